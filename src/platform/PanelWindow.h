#pragma once

#include "platform/KeyEvent.h"

#include <QRect>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace kelvo {

// What the floating history panel needs of the windowing layer: one
// frameless, always-on-top, non-activating window on all desktops, the main
// screen, opacity with animations, and the two input monitors.
//
// Geometry is in the desktop's logical pixels with the origin at the top
// left of the virtual desktop, y growing downwards.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;

    enum class Easing { EaseIn, EaseOut };

    // The full frame of the screen that has the keyboard focus (the one
    // holding the active window, else the primary screen), nullopt when
    // there is no screen at all.
    virtual std::optional<QRect> mainScreenFrame() const = 0;
    // Moves and resizes the window and redisplays it.
    virtual void setFrame(const QRect &frame) = 0;

    // Opacity at once, 0 to 1; stops an opacity animation that is running.
    virtual void setAlpha(double alpha) = 0;
    // Animates the opacity to `alpha` over `durationMs` with the given
    // easing, replacing an opacity animation that is running. `finished`
    // (may be empty) runs on the main thread once this animation has ended,
    // also when it was replaced or stopped by setAlpha().
    virtual void animateAlpha(double alpha, int durationMs, Easing easing, std::function<void()> finished) = 0;

    // Puts the window in front although the program is not the active
    // application.
    virtual void orderFrontRegardless() = 0;
    // Gives the window the keyboard without activating the program.
    virtual void makeKey() = 0;
    // Removes the window from the screen; it stays alive.
    virtual void orderOut() = 0;
    // Takes keyboard focus away from whatever item of the window had it.
    virtual void clearFocus() = 0;
    virtual bool isVisible() const = 0;

    // Whether the user asked the desktop for reduced motion.
    virtual bool reduceMotion() const = 0;

    // A handler of button presses anywhere outside the program's windows
    // (left or right button), or of the panel losing the keyboard to another
    // program's window. Returns a token, 0 when it cannot be installed.
    virtual quint64 addClickOutsideMonitor(std::function<void()> handler) = 0;
    // A handler of key-down events delivered to any of the program's
    // windows, before they are dispatched; returning true swallows the
    // event. Returns a token, 0 when it cannot be installed.
    virtual quint64 addLocalKeyMonitor(KeyEventMonitor::Handler handler) = 0;
    // Removes the monitor of either kind with that token; may be called from
    // within a monitor's handler.
    virtual void removeMonitor(quint64 token) = 0;

    // Key-down events that no item of the window consumed and no monitor
    // swallowed; the handler returns true when it handled the event, else
    // the window's standard handling runs.
    virtual void setKeyDownHandler(KeyEventMonitor::Handler handler) = 0;
    // The user cancelled (Escape, Control-period) and no item handled it.
    virtual void setCancelHandler(std::function<void()> handler) = 0;
};

} // namespace kelvo
