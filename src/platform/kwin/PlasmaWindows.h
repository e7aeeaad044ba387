#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>

namespace kelvo::kwin {

// A window as KWin's window management reports it: Wayland and X11
// (Xwayland) windows alike, Kelvo's own included.
struct PlasmaWindow {
    quint64 id = 0;    // Kelvo's number for the window: never 0, the same while it lives
    QString appId;     // its desktop entry's name, else its app id or X11 class
    QString title;
    qint64 pid = 0;    // 0 when KWin does not know it
    QRect geometry;    // its frame, in the layout coordinates of the outputs
    bool active = false;
};

// The windows of the desktop through org_kde_plasma_window_management, on
// a connection of its own served from the main thread's event loop. KWin
// offers the protocol only to programs it trusts (X-KDE-Wayland-Interfaces
// in their desktop entry); without it isValid() is false.
//
// A window counts once KWin has sent its initial state; one that is
// unmapped is gone. Every query reads what KWin has sent so far, without
// waiting.
class PlasmaWindows final : public QObject {
public:
    // An empty display name means $WAYLAND_DISPLAY.
    explicit PlasmaWindows(const QString &displayName = {}, QObject *parent = nullptr);
    ~PlasmaWindows() override;

    bool isValid() const;

    QList<PlasmaWindow> windows();
    // The window KWin reports as active; the one that became active last
    // should two say so.
    std::optional<PlasmaWindow> active();
    // Asks KWin to activate the window (and to restore it when minimized).
    void activate(quint64 id);

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
};

} // namespace kelvo::kwin
