#include "Screenshots.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

namespace kelvo::soak {

QByteArray screenshotPNG(quint32 seed, QSize size)
{
    QRandomGenerator rng(seed);
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(int(rng.bounded(360)), 90, 200));
    sky.setColorAt(1, QColor::fromHsv(int(rng.bounded(360)), 120, 90));
    p.fillRect(image.rect(), sky);
    // Windows with lines of text.
    for (int w = 0; w < 12; ++w) {
        const QRect frame(int(rng.bounded(size.width() * 3 / 4)), int(rng.bounded(size.height() * 3 / 4)),
                          size.width() / 5 + int(rng.bounded(size.width() / 4)),
                          size.height() / 5 + int(rng.bounded(size.height() / 4)));
        p.fillRect(frame, QColor(248, 248, 246));
        p.fillRect(QRect(frame.topLeft(), QSize(frame.width(), 36)), QColor::fromHsv(int(rng.bounded(360)), 40, 230));
        p.setPen(QColor(30, 30, 30));
        QFont font = p.font();
        font.setPixelSize(18);
        p.setFont(font);
        for (int y = frame.top() + 60; y < frame.bottom() - 10; y += 26)
            p.drawText(frame.left() + 14, y,
                       QStringLiteral("%1 line %2 of a window, seed %3").arg(rng.generate(), 8, 16).arg(y).arg(seed));
    }
    // A photo: smooth colour with grain, which compresses as photos do.
    const QRect photo(int(rng.bounded(size.width() / 4)), int(rng.bounded(size.height() / 4)), size.width() / 2,
                      size.height() / 2);
    for (int y = photo.top(); y < photo.bottom() && y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = photo.left(); x < photo.right() && x < size.width(); ++x) {
            const int grain = int(rng.bounded(12));
            line[x] = qRgb((x / 7 + grain) & 255, (y / 5 + grain) & 255, ((x + y) / 11 + grain) & 255);
        }
    }
    p.end();
    return pngOf(image);
}

QByteArray pngOf(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace kelvo::soak
