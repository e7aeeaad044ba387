#pragma once

#include <QString>

namespace kelvo::x11 {

// Whether the X server offers direct rendering (DRI3 or DRI2), that is a GPU
// behind its OpenGL. Without it (Xvfb, Xvnc, a server without a driver) GL is
// a software rasterizer, and Qt Quick's own software renderer draws the same
// views with a fraction of the memory and start-up time.
bool hasDirectRendering(const QString &displayName = {});

} // namespace kelvo::x11
