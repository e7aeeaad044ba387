#pragma once

#include <QDBusConnection>
#include <QStringList>

namespace kelvo::gnome {

// Kelvo's extension as the running GNOME Shell knows it, through the
// shell's org.gnome.Shell.Extensions interface, for a Kelvo that found it
// not answering.
class ExtensionSetup {
public:
    enum class Offer {
        None,        // no GNOME Shell, not installed, or on but failing
        Enable,      // installed and known to the shell, but switched off
        LogInAgain,  // installed since the shell started: GNOME loads it at login
    };

    explicit ExtensionSetup(const QDBusConnection &bus) : bus_(bus) {}

    // `dataDirs` are where it may be installed (its folder is
    // gnome-shell/extensions/<uuid> under one of them).
    Offer offer(const QStringList &dataDirs) const;
    // Switches it on and waits up to `timeoutMs` for it to answer.
    bool enable(int timeoutMs) const;

private:
    QDBusConnection bus_;
};

} // namespace kelvo::gnome
