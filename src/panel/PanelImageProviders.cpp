#include "panel/PanelImageProviders.h"

#include "platform/qt/ThemeIcons.h"

#include <QColor>
#include <QMutexLocker>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrl>

namespace kelvo {

ThumbnailImageProvider::ThumbnailImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image, QQuickImageProvider::ForceAsynchronousImageLoading) {}

void ThumbnailImageProvider::setThumbnails(QHash<QString, QByteArray> pngById) {
    QMutexLocker lock(&m_mutex);
    m_png = std::move(pngById);
}

QImage ThumbnailImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize) {
    const QString entryId = id.section(QLatin1Char('/'), 0, 0);
    QByteArray png;
    {
        QMutexLocker lock(&m_mutex);
        png = m_png.value(entryId);
    }
    QImage image;
    if (!png.isEmpty()) image.loadFromData(png);
    if (!image.isNull() && requestedSize.isValid() && requestedSize.width() > 0 && requestedSize.height() > 0
        && (image.width() > requestedSize.width() || image.height() > requestedSize.height())) {
        image = image.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (size) *size = image.size();
    return image;
}

IconImageProvider::IconImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage IconImageProvider::renderIcon(const QString &name, const QColor &color, const QSize &size) {
    QSvgRenderer renderer(QStringLiteral(":/kelvo/icons/%1.svg").arg(name));
    if (!renderer.isValid() || size.isEmpty()) return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    // The symbols are drawn in black with white inner marks: black takes the
    // requested colour, white stays white, and the shape keeps its coverage.
    const float tr = color.redF(), tg = color.greenF(), tb = color.blueF(), ta = color.alphaF();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x];
            const int a = qAlpha(px);
            if (a == 0) continue;
            // Premultiplied: the source's lightness is its grey over alpha.
            const float white = float(qGray(px)) / float(a);
            const float alpha = float(a) / 255.0f * ta;
            auto channel = [&](float tint) { return qRound((tint + (1.0f - tint) * white) * alpha * 255.0f); };
            line[x] = qRgba(channel(tr), channel(tg), channel(tb), qRound(alpha * 255.0f));
        }
    }
    return image;
}

QImage IconImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize) {
    const int slash = id.lastIndexOf(QLatin1Char('/'));
    const QString name = slash < 0 ? id : id.left(slash);
    QColor color = slash < 0 ? QColor(Qt::black) : QColor(QLatin1Char('#') + id.mid(slash + 1));
    if (!color.isValid()) color = Qt::black;
    QSize target = requestedSize;
    if (target.width() <= 0 || target.height() <= 0) target = QSize(24, 24);
    QImage image = renderIcon(name, color, target);
    if (size) *size = image.size();
    return image;
}

ApplicationIconProvider::ApplicationIconProvider()
    : QQuickImageProvider(QQuickImageProvider::Image, QQuickImageProvider::ForceAsynchronousImageLoading) {}

QImage ApplicationIconProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize) {
    const int side = requestedSize.isValid() && requestedSize.width() > 0 ? requestedSize.width() : 32;
    QImage image = themeIconImage(QUrl::fromPercentEncoding(id.toUtf8()), side);
    if (image.isNull()) // the program's own generic symbol
        image = IconImageProvider::renderIcon(QStringLiteral("app.default"), QColor(60, 60, 67, 153), QSize(side, side));
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (size) *size = image.size();
    return image;
}

} // namespace kelvo
