#include "platform/qt/ThemeIcons.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QStandardPaths>

namespace kelvo {

QImage themeIconImage(const QString &icon, int size)
{
    if (icon.isEmpty())
        return {};
    if (QFileInfo(icon).isAbsolute())
        return QImage(icon);
    // QIcon needs a GUI application (and reads the desktop's theme).
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QIcon themed = QIcon::fromTheme(icon);
        if (!themed.isNull())
            return themed.pixmap(size, size).toImage();
    }
    // Without a theme set (a bare X server), hicolor's own files.
    QStringList candidates;
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        for (const char *sub : {"scalable/apps/%1.svg", "256x256/apps/%1.png", "128x128/apps/%1.png",
                                "64x64/apps/%1.png", "48x48/apps/%1.png"})
            candidates << dir + QStringLiteral("/icons/hicolor/") + QString::fromLatin1(sub).arg(icon);
    }
    for (const char *suffix : {".png", ".svg", ".xpm"})
        candidates << QStringLiteral("/usr/share/pixmaps/") + icon + QLatin1String(suffix);
    for (const QString &path : std::as_const(candidates)) {
        if (!QFileInfo::exists(path))
            continue;
        const QImage image(path);
        if (!image.isNull())
            return image.width() > size ? image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                        : image;
    }
    return {};
}

} // namespace kelvo
