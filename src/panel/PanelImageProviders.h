#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QQuickImageProvider>

namespace kelvo {

// Serves "image://kelvothumb/<id>/<hash>": the PNG thumbnail of an image
// entry, decoded on the image loader thread (never while painting) and
// scaled to the requested size. Undecodable data gives a null image, which
// the card shows as its "图片内容" fallback.
class ThumbnailImageProvider : public QQuickImageProvider {
public:
    ThumbnailImageProvider();
    // The thumbnails of the rows shown now, by entry id; those of entries
    // no longer shown are let go.
    void setThumbnails(QHash<QString, QByteArray> pngById);
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

private:
    QMutex m_mutex;
    QHash<QString, QByteArray> m_png;
};

// Serves "image://kicon/<symbol name>/<rrggbb or aarrggbb>": one of the program's own
// SVG symbols (":/kelvo/icons/<name>.svg") rendered at the requested size in
// the given colour, written as hex digits without "#" ("808080", "80000000"),
// since "#" would start the URL fragment.
class IconImageProvider : public QQuickImageProvider {
public:
    IconImageProvider();
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
    static QImage renderIcon(const QString &name, const QColor &color, const QSize &size);
};

// Serves "image://appicon/<icon>": an application's icon as its desktop entry
// names it (a theme name or an absolute path), on the loader thread; the
// program's generic application symbol when there is none.
class ApplicationIconProvider : public QQuickImageProvider {
public:
    ApplicationIconProvider();
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};

} // namespace kelvo
