#pragma once

#include <QBuffer>
#include <QImage>

namespace kelvo::test {

// A PNG of one colour, as a program that copies a picture would write it.
inline QByteArray pngBytes(int width, int height, QRgb color = qRgb(200, 30, 30))
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace kelvo::test
