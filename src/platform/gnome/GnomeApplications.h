#pragma once

#include "platform/Applications.h"
#include "platform/x11/DesktopEntries.h"

#include <QObject>
#include <QVariantMap>

namespace kelvo::gnome {

class ShellExtension;

// The application in front on GNOME, as the extension reports the focused
// window (a command-line copy's own passing surface is never taken for
// it). Its name and icon are those of the desktop entry the shell matched
// the window to, else the shell's name for it. processIdentifier is the
// window's process and windowHandle Mutter's id of the window, which paste
// -back compares to know whether its target is in front again.
class GnomeApplications final : public QObject, public Applications {
public:
    explicit GnomeApplications(ShellExtension &shell, QStringList dataDirs = {}, QObject *parent = nullptr);

    std::optional<RunningApplication> frontmostApplication() const override;
    // Asks the shell to activate the application's window.
    void activate(const RunningApplication &app) override;
    // Activates Kelvo's latest window.
    void activateSelf() override;

    // An application as a focus report names it; nullopt for an empty one.
    static std::optional<RunningApplication> describe(const QVariantMap &window, x11::DesktopEntryIndex &entries);

private:
    ShellExtension &shell_;
    mutable x11::DesktopEntryIndex entries_;
    QVariantMap focus_;
    // Built at the first question after a change of focus.
    mutable std::optional<std::optional<RunningApplication>> front_;
};

} // namespace kelvo::gnome
