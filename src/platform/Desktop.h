#pragma once

#include <QList>
#include <QRect>

#include <QPoint>

#include <functional>
#include <optional>

namespace kelvo {

// What the floating panel asks of the desktop beyond its own window: where
// the active window is, and whether the user asked for reduced motion.
class Desktop {
public:
    virtual ~Desktop() = default;

    // The frame of the window that has the keyboard focus (the active
    // window), in device pixels of the virtual desktop; nullopt when there
    // is none or it cannot be found out.
    virtual std::optional<QRect> activeWindowFrame() = 0;
    // Whether the desktop says animations should be left out.
    virtual bool reduceMotion() = 0;
    // Calls `handler` on the main thread with the pointer's position (device
    // pixels) for every press of the left, middle or right button anywhere
    // on the desktop, whichever window receives it, also when it moves no
    // keyboard focus. An empty handler stops watching.
    virtual void setButtonPressHandler(std::function<void(QPoint)> handler) = 0;
};

// The main screen of the panel: the screen that holds the larger part of
// the active window, else the primary screen. `screens` are the screens'
// frames in the same coordinates as `activeWindow`; returns an index into
// `screens`, -1 when there is none.
int chooseMainScreen(const QList<QRect> &screens, int primary, const std::optional<QRect> &activeWindow);

} // namespace kelvo
