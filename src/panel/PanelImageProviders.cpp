#include "panel/PanelImageProviders.h"

#include <QColor>
#include <QMutexLocker>
#include <QPainter>
#include <QSvgRenderer>

namespace kelvo {

ThumbnailImageProvider::ThumbnailImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image, QQuickImageProvider::ForceAsynchronousImageLoading) {}

void ThumbnailImageProvider::setThumbnail(const QString &id, const QByteArray &png) {
    QMutexLocker lock(&m_mutex);
    m_png.insert(id, png);
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
    // Keep the shape's coverage, take the colour from the request.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
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

} // namespace kelvo
