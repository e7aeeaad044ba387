#pragma once

#include "platform/Desktop.h"

#include <QDeadlineTimer>
#include <QRect>
#include <QString>
#include <QTimer>

#include <memory>

namespace kelvo::kwin {

class PlasmaWindows;

// The desktop as the panel needs it under KWin: the active window's frame
// comes from KWin's window management, whatever kind of window it is, so the
// panel opens on the output of the window in front; its coordinates are the
// outputs' layout, which Xwayland gives Kelvo's screens. Reduced motion and
// button presses come from `fallback` (the X11 desktop of Kelvo's own
// windows).
//
// The panel is an Xwayland window placed by its own position hints. KWin's
// focus stealing prevention may refuse the keyboard to an X11 window that
// asks for it itself (at its strictest level it always does), so once KWin
// reports Kelvo's window at the panel's frame, it is activated through
// window management, as a task bar would.
class KWinDesktop final : public Desktop {
public:
    // `fallback` must outlive this object.
    KWinDesktop(Desktop &fallback, const QString &displayName = {});
    ~KWinDesktop() override;

    bool isValid() const;

    std::optional<QRect> activeWindowFrame() override;
    bool reduceMotion() override { return fallback_.reduceMotion(); }
    void setButtonPressHandler(std::function<void(QPoint)> handler) override
    {
        fallback_.setButtonPressHandler(std::move(handler));
    }

    // Activates this process's window once KWin shows it at `frame` (tried
    // from the event loop every 20 ms, for at most 2 s); a newer call
    // replaces an older one.
    void placeWindow(const QRect &frame);

private:
    void tryActivating();

    Desktop &fallback_;
    std::unique_ptr<PlasmaWindows> windows_;
    QRect pending_;
    QDeadlineTimer deadline_;
    QTimer retry_;
};

} // namespace kelvo::kwin
