#pragma once

#include "platform/Applications.h"
#include "platform/x11/DesktopEntries.h"
#include "platform/x11/X11Connection.h"

#include <QHash>

#include <memory>

namespace kelvo::x11 {

// Running applications on an X11 desktop. The frontmost one is the window
// named by the window manager's _NET_ACTIVE_WINDOW (the input focus where no
// EWMH window manager runs); its process is _NET_WM_PID, its name the desktop
// entry's Name for its WM_CLASS, else the class name; its icon _NET_WM_ICON,
// else the desktop entry's icon.
class X11Applications : public Applications {
public:
    // An empty display name connects to $DISPLAY; empty data dirs search the
    // XDG data directories.
    explicit X11Applications(const QString &displayName = {}, QStringList dataDirs = {});
    ~X11Applications() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    // The owner of CLIPBOARD: the X client that created the owner window
    // (often a hidden window of its own). Its class is WM_CLASS of that
    // window, else of its client leader, else of a top-level window the
    // same client made; its program comes from its process (_NET_WM_PID of
    // those windows, else the X-Resource extension's answer for the client)
    // through /proc; its desktop entry by class, else by program.
    std::optional<ApplicationIdentity> clipboardSource() const override;
    // Asks the window manager to activate the application's window (source
    // indication 2, a pager: honoured without focus-stealing checks); with
    // no EWMH window manager the window is raised and given the input focus.
    void activate(const RunningApplication &app) override;
    // Activates this process's topmost visible window.
    void activateSelf() override;

    bool isValid() const { return connection_->isValid(); }
    // Whether an EWMH window manager is running on the display now.
    bool hasEwmhWindowManager() const;

private:
    xcb_window_t activeWindow() const;
    xcb_window_t clientWindowAbove(xcb_window_t window) const;
    xcb_window_t windowOfProcess(qint64 pid) const;
    RunningApplication describe(xcb_window_t window) const;
    // What is known of the application a window of it names.
    ApplicationIdentity identityOf(xcb_window_t window, std::optional<QString> *name = nullptr,
                                  QString *icon = nullptr) const;
    // A window of the same client that carries WM_CLASS, or none.
    xcb_window_t classWindowOf(xcb_window_t window) const;
    qint64 clientProcess(xcb_window_t window) const;
    QImage windowIcon(xcb_window_t window) const;
    void activateWindow(xcb_window_t window) const;

    std::unique_ptr<X11Connection> connection_;
    mutable DesktopEntryIndex entries_;
};

// The image a _NET_WM_ICON value holds that suits a small card icon best:
// the smallest one at least 64 pixels wide, else the largest. Null when the
// value holds no well-formed image.
QImage imageFromNetWmIcon(const std::vector<quint32> &value);

} // namespace kelvo::x11
