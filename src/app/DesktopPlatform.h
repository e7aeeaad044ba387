#pragma once

#include "platform/Accessibility.h"
#include "platform/Applications.h"
#include "platform/Desktop.h"
#include "platform/HotKeys.h"
#include "platform/Pasteboard.h"
#include "platform/Preferences.h"
#include "platform/StatusMenu.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace kelvo {

// The desktop services, chosen once at start: the Wayland clipboard when the
// session is Wayland ($WAYLAND_DISPLAY) and the compositor offers
// data-control, X11 otherwise. On Wayland, the frontmost application and the
// paste keystroke are the compositor's when it offers them (KWin's window
// management and fake input where it grants them to Kelvo; elsewhere
// foreign-toplevel management and virtual keyboards), else X11's
// (Xwayland). The shortcut is KDE's shortcut service on KWin, a sway binding
// when sway's IPC socket answers, else the desktop portal's GlobalShortcuts
// where the session bus offers them, else X11's (Xwayland).
// On GNOME Shell every service but the writes to the clipboard is Kelvo's
// extension's, where it answers on the session bus.
namespace gnome {
class ShellExtension;
}
struct DesktopPlatform {
    // GNOME Shell's extension, which the GNOME services use: first, so that
    // it goes last.
    std::shared_ptr<gnome::ShellExtension> gnomeShell;
    // "Wayland (KWin)", "Wayland (GNOME Shell)", "Wayland (sway)", "Wayland"
    // or "X11"
    QString name;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Applications> applications;
    std::unique_ptr<HotKeyService> hotKeys;
    std::unique_ptr<SyntheticKeyboard> keyboard;
    // A Wayland session whose shortcut service is only Xwayland's grab
    // (which fires while an X11 window has the focus): the user binds
    // `kelvo toggle` in the desktop's configuration instead.
    bool shortcutNeedsConfiguration = false;
    // What the desktop withholds from Kelvo and what that means, for the
    // user, once; empty when nothing is missing.
    QString notice;
    // The desktop's own place for the tray's menu, where it shows no tray;
    // null elsewhere.
    std::unique_ptr<StatusMenu> statusMenu;
};

// The line that binds a combination (key position and modifier flags, as
// stored) to `kelvo toggle`: Hyprland's syntax on Hyprland
// ($XDG_CURRENT_DESKTOP), the i3/sway syntax (which wlroots compositors such
// as sway read) elsewhere; "" for a key without a name.
QString shortcutConfigurationLine(quint32 keyCode, quint32 modifiers, const QString &currentDesktop);

// The interfaces of the globals a Wayland compositor offers.
using CompositorProbe = std::function<QStringList(const QString &waylandDisplay)>;

// What the desktop may ask the user before the platform is chosen.
struct DesktopQuestions {
    std::function<bool(const QString &question)> ask; // true: yes
    std::function<void(const QString &notice)> tell;
};

// On GNOME Shell's Wayland session where Kelvo's extension does not answer:
// when it is installed but switched off, asks once (a "no" is kept in
// `preferences`) and switches it on; when GNOME loads it only at the next
// login, says so once per login. Does nothing elsewhere.
void prepareDesktopPlatform(const QString &waylandDisplay, PreferencesStore &preferences,
                            const DesktopQuestions &questions);

// Chooses and builds the services; logs one line naming the platform, and
// says once what a missing protocol or grant means. waylandDisplay is
// $WAYLAND_DISPLAY, swaySocket $SWAYSOCK; the probe defaults to asking the
// compositor. KWin is recognised by its own globals or by
// $XDG_CURRENT_DESKTOP naming KDE.
DesktopPlatform createDesktopPlatform(const QString &waylandDisplay, const QString &swaySocket,
                                      const CompositorProbe &probe = {});

namespace x11 {
class X11Desktop;
}

// The desktop the panel places itself by, where it is not X11's own.
struct PanelDesktop {
    std::unique_ptr<Desktop> desktop;
    // Places the shown panel window (its X11 id) at its frame, for window
    // systems that do not take the window's own word for it.
    std::function<void(quint32 window, const QRect &frame)> placeShownWindow;
};

// On Wayland Kelvo's windows are Xwayland windows, placed by the
// compositor. Under sway the panel is floated, placed and focused through
// sway's IPC, and its screen is the output of sway's focused window. Under
// KWin it places itself and is activated through KWin's window management,
// and its screen is the output of KWin's active window. Under GNOME Shell
// the extension places it, and its screen is the one of the shell's focused
// window. Elsewhere (X11
// sessions; other compositors) `desktop` is null and the X11 desktop is the
// panel's.
PanelDesktop createPanelDesktop(const DesktopPlatform &platform, x11::X11Desktop &x11, const QString &swaySocket,
                                const QString &waylandDisplay = {});

} // namespace kelvo
