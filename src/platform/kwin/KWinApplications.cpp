#include "platform/kwin/KWinApplications.h"

#include "platform/kwin/PlasmaWindows.h"
#include "platform/x11/DesktopEntries.h"

#include <unistd.h>

namespace kelvo::kwin {

KWinApplications::KWinApplications(const QString &displayName, QStringList dataDirs, QObject *parent)
    : QObject(parent), windows_(std::make_unique<PlasmaWindows>(displayName, this)),
      entries_(std::make_unique<x11::DesktopEntryIndex>(std::move(dataDirs)))
{
}

KWinApplications::~KWinApplications() = default;

bool KWinApplications::isValid() const
{
    return windows_->isValid();
}

std::optional<RunningApplication> KWinApplications::frontmostApplication() const
{
    const std::optional<PlasmaWindow> front = windows_->active();
    if (!front)
        return std::nullopt;
    RunningApplication app;
    app.processIdentifier = front->pid;
    app.windowHandle = front->id;
    if (!front->appId.isEmpty())
        app.localizedName = front->appId;
    if (auto entry = entries_->find(front->appId, front->appId)) {
        app.localizedName = entry->name;
        app.icon = x11::desktopEntryIcon(entry->icon);
    }
    return app;
}

void KWinApplications::activate(const RunningApplication &app)
{
    windows_->activate(app.windowHandle);
}

void KWinApplications::activateSelf()
{
    // Windows are numbered in the order KWin announced them: the newest of
    // this process is the one the user is about to use.
    const qint64 self = getpid();
    std::optional<PlasmaWindow> chosen;
    for (const PlasmaWindow &w : windows_->windows())
        if (w.pid == self && (!chosen || w.id > chosen->id))
            chosen = w;
    if (chosen)
        windows_->activate(chosen->id);
}

} // namespace kelvo::kwin
