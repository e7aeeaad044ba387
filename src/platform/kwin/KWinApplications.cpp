#include "platform/kwin/KWinApplications.h"

#include "platform/kwin/PlasmaWindows.h"
#include "platform/qt/ThemeIcons.h"
#include "platform/unix/Processes.h"
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
    // KWin names the window's desktop entry (or its X11 class) and its
    // process, whose program is read here.
    app.identity.executable = programOfProcess(front->pid);
    if (!front->appId.isEmpty()) {
        app.localizedName = front->appId;
        app.identity.classNames = {front->appId};
    }
    std::optional<x11::DesktopEntry> entry;
    if (!front->appId.isEmpty())
        entry = entries_->find(front->appId, front->appId);
    if (!entry)
        entry = entries_->findByExecutable(app.identity.executable);
    if (entry) {
        app.localizedName = entry->name;
        app.icon = themeIconImage(entry->icon);
        app.identity.desktopEntryId = entry->fileId;
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
