#pragma once

#include "platform/Applications.h"

#include <QObject>
#include <QString>

#include <memory>

namespace kelvo::wayland {

// Running applications on a Wayland desktop through the wlroots
// foreign-toplevel protocol. The frontmost one is the toplevel the
// compositor reports as activated; its name is the desktop entry's Name for
// its app_id, else the app_id; its icon the desktop entry's icon; its
// identity the app_id and that entry's id (the protocol names no program).
// data-control names no clipboard owner, so the source of a copy is the
// application in front when the copy is reported. The
// protocol names no processes, so processIdentifier and windowHandle carry
// a number that stands for the window (the same while it lives, never 0):
// paste-back compares it to know whether its target is in front again.
//
// Construct it on the main thread; the connection is served from the event
// loop (the compositor answers at once: nothing here waits for a client).
class WaylandApplications final : public QObject, public Applications {
public:
    explicit WaylandApplications(const QString &displayName = {}, QStringList dataDirs = {},
                                 QObject *parent = nullptr);
    ~WaylandApplications() override;

    bool isValid() const;

    std::optional<RunningApplication> frontmostApplication() const override;
    // Asks the compositor to activate the application's window.
    void activate(const RunningApplication &app) override;
    // Activates the window of this program (app_id "kelvo", any case).
    void activateSelf() override;

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
};

} // namespace kelvo::wayland
