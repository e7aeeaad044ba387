#pragma once

#include <QImage>
#include <QString>

namespace kelvo {

// The picture a desktop entry's Icon names: an absolute path, else the
// icon theme's icon of that name (Qt's theme, else hicolor's files), else
// /usr/share/pixmaps. Null when none is found. `size` in pixels, for themed
// and scalable icons.
QImage themeIconImage(const QString &icon, int size = 64);

} // namespace kelvo
