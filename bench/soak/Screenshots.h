#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace kelvo::soak {

// The PNG file of an image.
QByteArray pngOf(const QImage &image);

// A PNG that looks like a desktop screenshot (windows with text, a photo-like
// patch) and differs for every seed; a 3840 x 2160 one is a few MB, as a
// real screenshot of that size is.
QByteArray screenshotPNG(quint32 seed, QSize size = QSize(3840, 2160));

} // namespace kelvo::soak
