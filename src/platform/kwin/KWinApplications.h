#pragma once

#include "platform/Applications.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace kelvo::x11 {
class DesktopEntryIndex;
}

namespace kelvo::kwin {

class PlasmaWindows;

// Running applications under KWin, through its window management: the
// frontmost one is the active window, Wayland and X11 programs alike. Its
// name is its desktop entry's Name (looked up by the app id KWin reports,
// as X11 looks up WM_CLASS), else the app id; its icon the entry's icon.
// processIdentifier is the window's process as KWin knows it (0 when it does
// not); windowHandle a number that stands for the window (never 0, the same
// while it lives), which paste-back compares to know whether its target is
// in front again.
class KWinApplications final : public QObject, public Applications {
public:
    explicit KWinApplications(const QString &displayName = {}, QStringList dataDirs = {},
                              QObject *parent = nullptr);
    ~KWinApplications() override;

    // Whether KWin granted its window management.
    bool isValid() const;

    std::optional<RunningApplication> frontmostApplication() const override;
    // Asks KWin to activate the application's window.
    void activate(const RunningApplication &app) override;
    // Activates the newest window of this process.
    void activateSelf() override;

private:
    std::unique_ptr<PlasmaWindows> windows_;
    std::unique_ptr<x11::DesktopEntryIndex> entries_;
};

} // namespace kelvo::kwin
