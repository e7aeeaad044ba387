#pragma once

#include "platform/Desktop.h"
#include "platform/StatusMenu.h"

#include <QObject>
#include <QVariantMap>

namespace kelvo::gnome {

class ShellExtension;

// The desktop as the panel needs it on GNOME: the focused window's frame
// comes from the shell (stage coordinates, which are those Xwayland gives
// Kelvo's screens), and the shell places the panel's window. Reduced motion
// and button presses come from `fallback` (the X11 desktop of Kelvo's own
// windows).
class GnomeDesktop final : public Desktop {
public:
    GnomeDesktop(ShellExtension &shell, Desktop &fallback) : shell_(shell), fallback_(fallback) {}

    // Asks the shell, waiting up to half a second.
    std::optional<QRect> activeWindowFrame() override;
    bool reduceMotion() override { return fallback_.reduceMotion(); }
    void setButtonPressHandler(std::function<void(QPoint)> handler) override
    {
        fallback_.setButtonPressHandler(std::move(handler));
    }

    // Has the shell move Kelvo's X11 window `x11Window` to `frame`, above
    // the others, on every workspace, with the keyboard.
    void placeWindow(quint32 x11Window, const QRect &frame);

    // The frame of a focus report; nullopt for none.
    static std::optional<QRect> frameOf(const QVariantMap &window);

private:
    ShellExtension &shell_;
    Desktop &fallback_;
};

// Kelvo's menu in GNOME's top bar, which shows no tray: shown again after
// the extension came back.
class GnomeStatusMenu final : public QObject, public StatusMenu {
public:
    explicit GnomeStatusMenu(ShellExtension &shell, QObject *parent = nullptr);
    void show(const Labels &labels, bool paused, bool visible) override;

private:
    void send() const;

    ShellExtension &shell_;
    std::optional<Labels> labels_;
    bool paused_ = false, visible_ = false;
};

} // namespace kelvo::gnome
