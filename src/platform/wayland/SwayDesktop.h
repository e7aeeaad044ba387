#pragma once

#include "platform/Desktop.h"
#include "platform/wayland/SwayIpc.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QTimer>

namespace kelvo::wayland {

// The desktop as the panel needs it under sway: the focused window's frame
// comes from sway's layout (its IPC tree), whose coordinates are those of
// the outputs as Xwayland shows them to Kelvo's windows, so the panel's
// screen is the output that holds the focused window whatever kind of
// window it is. Reduced motion and button presses come from `fallback`
// (the X11 desktop of Kelvo's own windows).
class SwayDesktop final : public Desktop {
public:
    // `fallback` must outlive this object. An empty socket path means
    // $SWAYSOCK.
    SwayDesktop(Desktop &fallback, const QString &socketPath = {});

    bool isValid() const { return ipc_.isValid(); }

    std::optional<QRect> activeWindowFrame() override;
    bool reduceMotion() override { return fallback_.reduceMotion(); }
    void setButtonPressHandler(std::function<void(QPoint)> handler) override
    {
        fallback_.setButtonPressHandler(std::move(handler));
    }

    // The frame of the focused node of a sway tree (JSON of GET_TREE): the
    // focused window, else the focused workspace or output; nullopt when
    // nothing is focused or the tree cannot be read.
    static std::optional<QRect> focusedFrame(const QByteArray &tree);

    // Has sway float the X11 (Xwayland) window `x11Window` on every
    // workspace, borderless, at `frame` (layout coordinates), and give it
    // the keyboard. sway knows the window only once Xwayland has shown its
    // first frame, so the commands are retried from the event loop until
    // sway runs them, for at most 2 s; a newer call replaces an older one.
    void placeWindow(quint32 x11Window, const QRect &frame);
    // The commands that do it.
    static QString placementCommand(quint32 x11Window, const QRect &frame);

private:
    void tryPlacing();

    Desktop &fallback_;
    swayipc::Connection ipc_;
    QString pending_;
    QDeadlineTimer placeDeadline_;
    QTimer retry_;
};

} // namespace kelvo::wayland
