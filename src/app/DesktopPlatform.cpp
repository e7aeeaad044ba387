#include "app/DesktopPlatform.h"

#include "platform/Log.h"
#include "platform/portal/PortalHotKeyService.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11SyntheticKeyboard.h"
#ifdef KELVO_WITH_KWIN
#include "platform/kwin/FakeInputKeyboard.h"
#include "platform/kwin/KGlobalAccelHotKeyService.h"
#include "platform/kwin/KWinApplications.h"
#include "platform/kwin/KWinDesktop.h"
#include "settings/StoredPreferences.h"
#endif
#ifdef KELVO_WITH_GNOME
#include "platform/gnome/ExtensionSetup.h"
#include "platform/gnome/GnomeApplications.h"
#include "platform/gnome/GnomeDesktop.h"
#include "platform/gnome/GnomeInput.h"
#include "platform/gnome/GnomePasteboard.h"
#include "platform/gnome/ShellExtension.h"
#endif
#ifdef KELVO_WITH_WAYLAND
#include "platform/wayland/SwayDesktop.h"
#include "platform/wayland/SwayHotKeyService.h"
#include "platform/wayland/WaylandApplications.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandSyntheticKeyboard.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelvo {

namespace {

// The session bus, where the session names one (never one that libdbus
// would launch for Kelvo) and it can be reached.
std::optional<QDBusConnection> sessionBus()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))))
        return std::nullopt;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() ? std::optional<QDBusConnection>(bus) : std::nullopt;
}

// The desktop portal's shortcuts, where the session bus's portal offers them.
std::unique_ptr<HotKeyService> portalHotKeys()
{
    const std::optional<QDBusConnection> bus = sessionBus();
    if (!bus || !portal::PortalHotKeyService::offered(*bus))
        return nullptr;
    logLine(QStringLiteral("Shortcut: the desktop portal's GlobalShortcuts"));
    return std::make_unique<portal::PortalHotKeyService>(*bus);
}

bool isKWin(const QStringList &interfaces)
{
    return interfaces.contains(QLatin1String("org_kde_plasma_window_management"))
        || interfaces.contains(QLatin1String("org_kde_plasma_shell"))
        || qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(QLatin1String("KDE"));
}

#ifdef KELVO_WITH_KWIN
// KWin's own services where it grants them; says once what is missing.
void addKWinServices(DesktopPlatform &platform, const QString &waylandDisplay)
{
    QStringList missing;
    if (auto apps = std::make_unique<kwin::KWinApplications>(waylandDisplay); apps->isValid()) {
        platform.applications = std::move(apps);
    } else {
        logLine(QStringLiteral("KWin does not grant Kelvo org_kde_plasma_window_management: the window in front "
                               "is known only for X11 programs, and cards of Wayland programs name no source."));
        missing.append(QCoreApplication::translate("DesktopPlatform", "卡片不显示 Wayland 程序的来源"));
    }
    if (auto keyboard = std::make_unique<kwin::FakeInputKeyboard>(waylandDisplay); keyboard->isValid()) {
        platform.keyboard = std::move(keyboard);
    } else {
        logLine(QStringLiteral("KWin does not grant Kelvo org_kde_kwin_fake_input: pasting reaches only X11 programs."));
        missing.append(QCoreApplication::translate("DesktopPlatform", "粘贴只能送达 X11 程序"));
    }
    if (!missing.isEmpty())
        platform.notice = QCoreApplication::translate(
                              "DesktopPlatform",
                              "KWin 未授予 Kelvo 所需的接口（请从软件包安装 Kelvo，或用 tools/run.sh 启动）：%1。")
                              .arg(missing.join(QCoreApplication::translate("DesktopPlatform", "；")));
    if (const std::optional<QDBusConnection> bus = sessionBus();
        bus && kwin::KGlobalAccelHotKeyService::offered(*bus)) {
        logLine(QStringLiteral("Shortcut: KDE's global shortcut service (KGlobalAccel)"));
        platform.hotKeys = std::make_unique<kwin::KGlobalAccelHotKeyService>(
            *bus, std::pair{quint32(PreferenceDefault::HotkeyCode), quint32(PreferenceDefault::HotkeyModifiers)});
    }
}
#endif

#ifdef KELVO_WITH_GNOME
// GNOME Shell offers no data-control: Kelvo's extension, where it answers on
// the session bus, gives the clipboard, the windows, the keystroke and the
// shortcut; Kelvo still writes through Xwayland's X11 clipboard.
bool addGnomeServices(DesktopPlatform &platform)
{
    const std::optional<QDBusConnection> bus = sessionBus();
    const std::optional<uint> version = bus ? gnome::ShellExtension::version(*bus, 1000) : std::nullopt;
    if (!version)
        return false;
    if (*version != gnome::kVersion) {
        logLine(QStringLiteral("Kelvo's GNOME Shell extension speaks version %1 of its interface, this Kelvo %2: "
                               "Kelvo runs on Xwayland. Install the extension of this Kelvo and log in again.")
                    .arg(*version)
                    .arg(gnome::kVersion));
        return false;
    }
    platform.gnomeShell = std::make_shared<gnome::ShellExtension>(*bus);
    gnome::ShellExtension &shell = *platform.gnomeShell;
    platform.name = QStringLiteral("Wayland (GNOME Shell)");
    platform.pasteboard = std::make_unique<gnome::GnomePasteboard>(shell, std::make_unique<x11::X11Pasteboard>());
    platform.applications = std::make_unique<gnome::GnomeApplications>(shell);
    platform.hotKeys = std::make_unique<gnome::GnomeHotKeyService>(shell);
    platform.keyboard = std::make_unique<gnome::GnomeSyntheticKeyboard>(shell);
    platform.statusMenu = std::make_unique<gnome::GnomeStatusMenu>(shell);
    return true;
}
#endif

} // namespace

DesktopPlatform createDesktopPlatform(const QString &waylandDisplay, const QString &swaySocket,
                                      const CompositorProbe &probe)
{
    DesktopPlatform platform;
    QStringList interfaces;
    if (!waylandDisplay.isEmpty()) {
#ifdef KELVO_WITH_WAYLAND
        interfaces = probe ? probe(waylandDisplay) : wayland::WaylandConnection::interfacesOf(waylandDisplay);
        const bool dataControl = wayland::WaylandPasteboard::offersDataControl(interfaces);
        if (dataControl) {
            auto pasteboard = std::make_unique<wayland::WaylandPasteboard>(nullptr, waylandDisplay);
            if (pasteboard->isValid()) {
                platform.name = QStringLiteral("Wayland");
                platform.pasteboard = std::move(pasteboard);
            }
        }
#else
        const bool dataControl = false;
        Q_UNUSED(probe);
#endif
#ifdef KELVO_WITH_GNOME
        if (!dataControl)
            addGnomeServices(platform);
#endif
        if (!platform.pasteboard && !dataControl)
            logLine(QStringLiteral(
                "This Wayland desktop does not let a clipboard history see copies (its compositor offers no "
                "data-control protocol), so Kelvo records only what X11 programs copy. For a full history use an "
                "X11 session, or a desktop that offers data-control such as sway or KDE Plasma."));
    }
    if (!platform.pasteboard) {
        platform.name = QStringLiteral("X11");
        platform.pasteboard = std::make_unique<x11::X11Pasteboard>();
    }
#ifdef KELVO_WITH_WAYLAND
    // On Wayland the windows in front and the paste keystroke are the
    // compositor's where it offers the protocols (KWin's own, or those of
    // wlroots compositors); elsewhere only Xwayland's are reachable.
    if (platform.name == QLatin1String("Wayland") && isKWin(interfaces)) {
        platform.name = QStringLiteral("Wayland (KWin)");
#ifdef KELVO_WITH_KWIN
        addKWinServices(platform, waylandDisplay);
#endif
    } else if (platform.name == QLatin1String("Wayland")) {
        if (auto apps = std::make_unique<wayland::WaylandApplications>(waylandDisplay); apps->isValid())
            platform.applications = std::move(apps);
        if (auto keyboard = std::make_unique<wayland::WaylandSyntheticKeyboard>(waylandDisplay); keyboard->isValid())
            platform.keyboard = std::move(keyboard);
        // sway binds the shortcut itself and reports its presses.
        if (auto hotKeys = std::make_unique<wayland::SwayHotKeyService>(swaySocket); hotKeys->isValid()) {
            platform.hotKeys = std::move(hotKeys);
            platform.name = QStringLiteral("Wayland (sway)");
        }
    }
#else
    Q_UNUSED(interfaces);
#endif
    if (!platform.applications)
        platform.applications = std::make_unique<x11::X11Applications>();
    if (!platform.hotKeys && !waylandDisplay.isEmpty())
        platform.hotKeys = portalHotKeys();
    if (!platform.hotKeys) {
        platform.hotKeys = std::make_unique<x11::X11HotKeyService>();
        platform.shortcutNeedsConfiguration = !waylandDisplay.isEmpty();
    }
    if (!platform.keyboard)
        platform.keyboard = std::make_unique<x11::X11SyntheticKeyboard>();
    logLine(QStringLiteral("Desktop platform: %1").arg(platform.name));
    return platform;
}

void prepareDesktopPlatform(const QString &waylandDisplay, PreferencesStore &preferences,
                            const DesktopQuestions &questions)
{
#ifdef KELVO_WITH_GNOME
    const std::optional<QDBusConnection> bus = waylandDisplay.isEmpty() ? std::nullopt : sessionBus();
    if (!bus || gnome::ShellExtension::version(*bus, 1000))
        return;
    const gnome::ExtensionSetup setup(*bus);
    const QString declinedKey = QStringLiteral("gnomeExtensionDeclined");
    switch (setup.offer(QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))) {
    case gnome::ExtensionSetup::Offer::None:
        return;
    case gnome::ExtensionSetup::Offer::Enable:
        if (preferences.boolean(declinedKey))
            return;
        if (!questions.ask(QCoreApplication::translate(
                "DesktopPlatform", "Kelvo 的 GNOME Shell 扩展已安装，但没有启用。启用后，Kelvo 能记录每一次复制和它的来源，"
                                   "用快捷键打开面板并粘贴。现在启用吗？"))) {
            preferences.setValue(declinedKey, true);
            logLine(QStringLiteral("Kelvo's GNOME Shell extension stays off (`gnome-extensions enable %1` switches it on)")
                        .arg(QLatin1String(gnome::kExtensionUuid)));
        } else if (!setup.enable(5000)) {
            logLine(QStringLiteral("GNOME Shell did not start Kelvo's extension; are extensions switched off in "
                                   "GNOME's Extensions application?"));
        }
        return;
    case gnome::ExtensionSetup::Offer::LogInAgain: {
        logLine(QStringLiteral("Kelvo's GNOME Shell extension is installed, but GNOME loads it at the next login; "
                               "until then Kelvo runs on Xwayland."));
        // Once a login: the runtime directory goes with the session.
        QFile told(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(QStringLiteral("kelvo-gnome-login-told")));
        if (told.exists() || !told.open(QIODevice::WriteOnly))
            return;
        questions.tell(QCoreApplication::translate(
            "DesktopPlatform", "Kelvo 的 GNOME Shell 扩展已安装，但 GNOME 要在重新登录后才会加载它。在此之前，"
                               "Kelvo 仍会记录复制，但快捷键打开面板和粘贴都不可用。"));
        return;
    }
    }
#else
    Q_UNUSED(waylandDisplay);
    Q_UNUSED(preferences);
    Q_UNUSED(questions);
#endif
}

QString shortcutConfigurationLine(quint32 keyCode, quint32 modifiers, const QString &currentDesktop)
{
#ifdef KELVO_WITH_WAYLAND
    const auto binding = wayland::SwayHotKeyService::bindingFor(keyCode, modifiers);
    if (!binding)
        return {};
    if (!currentDesktop.contains(QLatin1String("Hyprland"), Qt::CaseInsensitive))
        return QStringLiteral("bindsym %1 exec kelvo toggle").arg(*binding);
    QStringList parts = binding->split(u'+');
    const QString key = parts.takeLast();
    for (QString &part : parts)
        part = part == QLatin1String("Mod4") ? QStringLiteral("SUPER")
             : part == QLatin1String("Mod1") ? QStringLiteral("ALT")
                                             : part.toUpper();
    return QStringLiteral("bind = %1, %2, exec, kelvo toggle").arg(parts.join(u' '), key);
#else
    Q_UNUSED(keyCode);
    Q_UNUSED(modifiers);
    Q_UNUSED(currentDesktop);
    return {};
#endif
}

PanelDesktop createPanelDesktop(const DesktopPlatform &platform, x11::X11Desktop &x11, const QString &swaySocket,
                                const QString &waylandDisplay)
{
    PanelDesktop panel;
#ifdef KELVO_WITH_GNOME
    if (platform.gnomeShell) {
        auto gnome = std::make_unique<gnome::GnomeDesktop>(*platform.gnomeShell, x11);
        panel.placeShownWindow = [g = gnome.get()](quint32 window, const QRect &frame) { g->placeWindow(window, frame); };
        panel.desktop = std::move(gnome);
        return panel;
    }
#endif
#ifdef KELVO_WITH_KWIN
    if (platform.name == QLatin1String("Wayland (KWin)")) {
        if (auto kwin = std::make_unique<kwin::KWinDesktop>(x11, waylandDisplay); kwin->isValid()) {
            panel.placeShownWindow = [k = kwin.get()](quint32, const QRect &frame) { k->placeWindow(frame); };
            panel.desktop = std::move(kwin);
        }
        return panel;
    }
#else
    Q_UNUSED(waylandDisplay);
#endif
#ifdef KELVO_WITH_WAYLAND
    if (platform.name == QLatin1String("Wayland (sway)")) {
        if (auto sway = std::make_unique<wayland::SwayDesktop>(x11, swaySocket); sway->isValid()) {
            panel.placeShownWindow = [s = sway.get()](quint32 window, const QRect &frame) {
                s->placeWindow(window, frame);
            };
            panel.desktop = std::move(sway);
        }
    }
#else
    Q_UNUSED(platform);
    Q_UNUSED(x11);
    Q_UNUSED(swaySocket);
#endif
    return panel;
}

} // namespace kelvo
