#include "platform/gnome/GnomeApplications.h"

#include "platform/gnome/ShellExtension.h"
#include "platform/qt/ThemeIcons.h"
#include "platform/unix/Processes.h"

namespace kelvo::gnome {

GnomeApplications::GnomeApplications(ShellExtension &shell, QStringList dataDirs, QObject *parent)
    : QObject(parent), shell_(shell), entries_(std::move(dataDirs))
{
    connect(&shell_, &ShellExtension::focusChanged, this, [this](const QVariantMap &window) {
        focus_ = window;
        front_.reset();
    });
}

std::optional<RunningApplication> GnomeApplications::describe(const QVariantMap &window,
                                                              x11::DesktopEntryIndex &entries)
{
    const quint64 id = window.value(QStringLiteral("window")).toULongLong();
    if (id == 0)
        return std::nullopt;
    RunningApplication app;
    app.windowHandle = id;
    app.processIdentifier = window.value(QStringLiteral("pid")).toLongLong();
    const QString name = window.value(QStringLiteral("name")).toString();
    if (!name.isEmpty())
        app.localizedName = name;
    // The shell names an application by its desktop file; a window it
    // matched to none has an id of its own ("window:3").
    QString appId = window.value(QStringLiteral("app")).toString();
    const QString wmClass = window.value(QStringLiteral("wmClass")).toString();
    if (!wmClass.isEmpty())
        app.identity.classNames = {wmClass};
    app.identity.executable = programOfProcess(app.processIdentifier);
    if (appId.endsWith(QLatin1String(".desktop"))) {
        appId.chop(8);
        if (const auto entry = entries.find(appId, appId)) {
            app.localizedName = entry->name;
            app.icon = themeIconImage(entry->icon);
            app.identity.desktopEntryId = entry->fileId;
        } else {
            app.identity.desktopEntryId = appId;
        }
    }
    return app;
}

std::optional<RunningApplication> GnomeApplications::frontmostApplication() const
{
    if (!front_)
        front_ = describe(focus_, entries_);
    return *front_;
}

void GnomeApplications::activate(const RunningApplication &app)
{
    if (app.windowHandle != 0)
        shell_.activate(app.windowHandle);
}

void GnomeApplications::activateSelf()
{
    shell_.activate(0);
}

} // namespace kelvo::gnome
