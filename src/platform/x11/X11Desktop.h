#pragma once

#include "platform/Desktop.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace kelvo::x11 {

// The desktop as the panel needs it on X11: the active window named by
// _NET_ACTIVE_WINDOW (else the window with the input focus), and reduced
// motion from the XSETTINGS value "Gtk/EnableAnimations" (0 means reduced
// motion; no settings manager or no such value means animations on), and
// button presses anywhere. It also gives the panel's own window its floating states.
class X11Desktop : public Desktop {
public:
    // An empty name connects to $DISPLAY; without a server every answer is
    // "unknown".
    explicit X11Desktop(const QString &displayName = {});
    ~X11Desktop() override;

    std::optional<QRect> activeWindowFrame() override;
    bool reduceMotion() override;
    // Raw button presses of XInput 2 on the root window: they reach every
    // client that asks for them, without any grab.
    void setButtonPressHandler(std::function<void(QPoint)> handler) override;

    // Marks the window as above, sticky, out of the task bar and pager, on
    // all desktops. The window manager drops these states when the window
    // is unmapped: call it before every mapping.
    void prepareFloatingWindow(quint32 window);

private:
    struct ButtonWatch;
    void readButtonEvents();
    void selectButtonPresses(bool on);

    QString displayName_;
    std::unique_ptr<X11Connection> c_;
    std::unique_ptr<ButtonWatch> buttons_;
};

// The integer value of `name` in an XSETTINGS property, nullopt when the
// data does not hold it as an integer (or is malformed).
std::optional<qint32> xsettingsInteger(const QByteArray &data, const QByteArray &name);

} // namespace kelvo::x11
