// The kelvo executable: one instance per session, the tray item, the
// floating panel with the history view and the settings window, on the X11
// desktop (or a Wayland one for the clipboard, see DesktopPlatform.h).
#include "app/AppDelegate.h"
#include "app/ApplicationId.h"
#include "app/CommandLine.h"
#include "app/DBusService.h"
#include "app/DesktopPlatform.h"
#include "app/PanelViewBackend.h"
#include "app/QtSaveDialog.h"
#include "app/TrayMenu.h"
#include "panel/QmlViews.h"
#include "panel/QtKeyTranslation.h"
#include "panel/QuickPanelWindow.h"
#include "platform/freedesktop/DesktopNotifications.h"
#include "platform/freedesktop/SleepWatcher.h"
#include "platform/qt/QtKeyEventMonitor.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStyledTextConverter.h"
#include "platform/unix/SignalBridge.h"
#include "platform/unix/SingleInstance.h"
#include "platform/x11/DesktopEntries.h"
#include "platform/x11/SettingsPreferencesStore.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Graphics.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11SyntheticKeyboard.h"
#include "platform/x11/XdgLoginItem.h"
#include "settings/SettingsViewBackend.h"
#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"
#include "settings/Translations.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickView>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QStandardPaths>
#include <QTextStream>

#include <csignal>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>

using namespace kelvo;

namespace {

// The settings window: built at the first opening, kept (closing only hides
// it), brought forward and activated at every opening.
class SettingsWindow {
public:
    SettingsWindow(QQmlEngine &engine, StoredPreferences &prefs, KeyEventMonitor &keyMonitor,
                   SyntheticKeyboard &keyboard, LoginItem &loginItem, bool needsShortcutLine, KeyNameStyle keyNames)
        : engine_(engine), prefs_(prefs), keyMonitor_(keyMonitor), keyboard_(keyboard), loginItem_(loginItem),
          needsShortcutLine_(needsShortcutLine), keyNames_(keyNames) {}

    // The application in front before the window opened, for the list of
    // applications never recorded.
    std::function<std::optional<RunningApplication>()> applicationInFront;

    void present()
    {
        if (!window_) {
            backend_ = std::make_unique<SettingsViewBackend>(
                prefs_, keyMonitor_,
                SettingsViewBackend::Hooks{
                    [this] { return keyboard_.isTrusted(); },
                    [this] { keyboard_.openSettings(); },
                    [this](bool on) { return loginItem_.setEnabled(on).value_or(QString()); },
                    [] { QCoreApplication::quit(); },
                    [this](qint64 keyCode, qint64 modifiers) {
                        return needsShortcutLine_ ? shortcutConfigurationLine(quint32(keyCode), quint32(modifiers),
                                                                              qEnvironmentVariable("XDG_CURRENT_DESKTOP"))
                                                  : QString();
                    },
                    Translations::catalogues(), keyNames_,
                    [this] { return installedApplications(); },
                    [this]() -> std::optional<ApplicationChoice> {
                        const auto app = applicationInFront ? applicationInFront() : std::nullopt;
                        if (!app || !app->identity.isKnown())
                            return std::nullopt;
                        const std::optional<x11::DesktopEntry> entry =
                            entries_.find(app->identity.desktopEntryId, app->identity.desktopEntryId);
                        return ApplicationChoice{app->identity.preferredId(),
                                                 app->localizedName.value_or(app->identity.preferredId()),
                                                 entry ? entry->icon : QString(),
                                                 app->identity.classNames + QStringList(app->identity.executable)};
                    }});
            window_ = std::make_unique<QQuickView>(&engine_, nullptr);
            window_->setTitle(title());
            window_->setFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::WindowMinimizeButtonHint);
            window_->setInitialProperties({{"settings", QVariant::fromValue<QObject *>(backend_.get())}});
            window_->setSource(settingsViewUrl());
            window_->setMinimumSize(QSize(420, 560));
            window_->setMaximumSize(QSize(420, 560));
            window_->resize(420, 560);
            if (QScreen *screen = window_->screen())
                window_->setPosition(screen->availableGeometry().center() - QPoint(210, 280));
        }
        backend_->refreshApplications();
        window_->show();
        window_->raise();
        window_->requestActivate();
    }

    // After a change of language.
    void retranslate()
    {
        if (window_)
            window_->setTitle(title());
    }

    void close()
    {
        window_.reset();
        backend_.reset();
    }

private:
    static QString title() { return QCoreApplication::translate("SettingsWindow", "Kelvo 设置"); }

    // The desktop entries listed in menus, as applications to choose.
    QList<ApplicationChoice> installedApplications()
    {
        QList<ApplicationChoice> choices;
        for (const x11::DesktopEntry &entry : entries_.all()) {
            // Kelvo itself is never a source: its own writes are never read.
            if (entry.noDisplay || entry.fileId == QLatin1String(appid::kId))
                continue;
            QStringList other;
            for (const QString &name : {entry.startupWMClass, entry.executable})
                if (!name.isEmpty())
                    other.append(name);
            choices.append({entry.fileId, entry.name, entry.icon, other});
        }
        return choices;
    }

    QQmlEngine &engine_;
    StoredPreferences &prefs_;
    x11::DesktopEntryIndex entries_;
    KeyEventMonitor &keyMonitor_;
    SyntheticKeyboard &keyboard_;
    LoginItem &loginItem_;
    std::unique_ptr<SettingsViewBackend> backend_;
    bool needsShortcutLine_ = false;
    KeyNameStyle keyNames_;
    std::unique_ptr<QQuickView> window_;
};

} // namespace

int main(int argc, char **argv)
{
    // `kelvo <verb>`: a command for the running instance, no GUI.
    if (argc > 1)
        return runCommandLine(argc, argv);

#ifdef __GLIBC__
    // A copied picture passes through buffers of tens of MB (its bytes, the
    // decoded image for the thumbnail). glibc's default threshold follows
    // the largest block freed, so after the first picture such buffers come
    // from the heap, which keeps them resident for good: every buffer from
    // this size up is mapped and given back when it is freed.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif

    // Kelvo's windows are X11 windows, under Wayland too (Xwayland): only
    // there can the panel be placed and kept above others (see
    // DesktopPlatform.h). QT_QPA_PLATFORM still decides when it is set.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kelvo"));
    app.setApplicationVersion(QStringLiteral(KELVO_VERSION));
    app.setQuitOnLastWindowClosed(false);
    // Kelvo reads and writes CLIPBOARD through its own pasteboard only. Qt's
    // text fields ask Qt's clipboard whether they can paste on every owner
    // change, a request answered synchronously on this thread: with a silent
    // owner that freezes the panel, and with Kelvo's own pasteboard as the
    // owner (served on this thread) it waits for itself until Qt gives up.
    QGuiApplication::clipboard()->blockSignals(true);
    app.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 10));
    // Always the light appearance.
    app.setPalette(QPalette(QColor(236, 236, 236)));

    // The texts in the user's language, from the start: the preference, or
    // the desktop's languages. A change in the settings window applies at
    // once (see the end of the set-up).
    SettingsPreferencesStore preferencesStore;
    StoredPreferences prefs(preferencesStore);
    Translations translations;
    translations.apply(prefs.language());

    SingleInstanceLock lock;
    if (!lock.tryLock()) {
        QTextStream(stdout) << QCoreApplication::translate("main", "Kelvo 已在运行（进程 %1）。").arg(lock.holderPid())
                            << Qt::endl;
        return 0;
    }

    // Quitting by signal goes through the normal termination path.
    SignalBridge bridge({SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2});

    prepareQuickControlsStyle();
    // Without a GPU behind the X server, OpenGL is a software rasterizer that
    // costs far more memory and start-up time than Qt Quick's own software
    // renderer; QT_QUICK_BACKEND still decides when it is set.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && !x11::hasDirectRendering())
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    // The platform.
    SystemClock clock;
    QtMainLoop mainLoop;
    SerialBackgroundQueue background;
    LocalFileSystem files(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    MimeTypeRegistry types;
    QtStyledTextConverter styledText;
    QtSaveDialog saveDialog;
    x11::X11Desktop x11Desktop;
    prepareDesktopPlatform(qEnvironmentVariable("WAYLAND_DISPLAY"), preferencesStore,
                           {[](const QString &question) {
                                return QMessageBox::question(nullptr, QStringLiteral("Kelvo"), question)
                                    == QMessageBox::Yes;
                            },
                            [](const QString &notice) {
                                QMessageBox::information(nullptr, QStringLiteral("Kelvo"), notice);
                            }});
    DesktopPlatform platform = createDesktopPlatform(qEnvironmentVariable("WAYLAND_DISPLAY"),
                                                     qEnvironmentVariable("SWAYSOCK"));
    const PanelDesktop panelDesktop = createPanelDesktop(platform, x11Desktop, qEnvironmentVariable("SWAYSOCK"),
                                                         qEnvironmentVariable("WAYLAND_DISPLAY"));
    Desktop &desktop = panelDesktop.desktop ? *panelDesktop.desktop : x11Desktop;
    Pasteboard &pasteboard = *platform.pasteboard;
    Applications &applications = *platform.applications;
    HotKeyService &hotKeys = *platform.hotKeys;
    SyntheticKeyboard &keyboard = *platform.keyboard;
    XdgLoginItem loginItem;
    // Faults are told through the desktop's notifications (else the log);
    // never on a bus that libdbus would launch for Kelvo.
    freedesktop::DesktopNotifications notifications(DBusService::sessionBusConfigured()
                                                        ? QDBusConnection::sessionBus()
                                                        : QDBusConnection(QStringLiteral("none")));

    QQmlEngine engine;
    ThumbnailImageProvider *thumbnails = installViewProviders(engine);
    QtKeyEventMonitor keyMonitor(&keyEventFromQt);
    // Keys are shown as the desktop names them.
    const KeyNameStyle keyNames = keyNameStyleForDesktop(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    SettingsWindow settingsWindow(engine, prefs, keyMonitor, keyboard, loginItem,
                                  platform.shortcutNeedsConfiguration, keyNames);
    std::unique_ptr<PanelViewBackend> panelBackend;

    AppDelegate *delegatePtr = nullptr;
    AppServices services{
        HistoryServices{pasteboard, applications, types, styledText, files, clock, mainLoop, background,
                        preferencesStore, saveDialog, &notifications},
        hotKeys, keyboard,
        [&]() -> std::unique_ptr<PanelWindow> {
            auto window = std::make_unique<QuickPanelWindow>(&engine, &desktop);
            window->onBeforeMapping = [&x11Desktop](quintptr id) { x11Desktop.prepareFloatingWindow(quint32(id)); };
            if (panelDesktop.placeShownWindow)
                window->onShown = [&panelDesktop](quintptr id, const QRect &frame) {
                    panelDesktop.placeShownWindow(quint32(id), frame);
                };
            window->setInitialProperties({{"backend", QVariant::fromValue<QObject *>(panelBackend.get())}});
            window->setSource(historyViewUrl());
            return window;
        },
        [&] { settingsWindow.present(); }};
    auto delegate = std::make_unique<AppDelegate>(services);
    delegatePtr = delegate.get();
    QPointer<AppDelegate> weakDelegate(delegatePtr);

    panelBackend = std::make_unique<PanelViewBackend>(
        delegate->clipboardManager(), delegate->selectionState(),
        PanelViewBackend::Hooks{[weakDelegate](const ClipboardItem &item, bool plainText) {
                                    if (weakDelegate)
                                        weakDelegate->pasteFromPanel(item, plainText);
                                },
                                [weakDelegate] {
                                    if (weakDelegate)
                                        weakDelegate->onOpenSettings();
                                },
                                [&clock] { return clock.now(); },
                                [&pasteboard](std::function<void(const QString &)> done) {
                                    pasteboard.fetchContents(
                                        [done = std::move(done)](std::shared_ptr<const PasteboardContents> contents) {
                                            if (!contents)
                                                return;
                                            if (auto text = contents->stringForType(PasteboardType::String))
                                                done(*text);
                                            else if (auto texts = contents->textObjects(); texts && !texts->isEmpty())
                                                done(texts->first());
                                        });
                                },
                                [&desktop] { return desktop.reduceMotion(); }});
    panelBackend->model()->setThumbnailProvider(thumbnails);
    panelBackend->setSearchKeys(searchKeysText(keyNames));

    TrayMenu tray({[&] { return keyCombinationText(prefs.hotkeyCode(), prefs.hotkeyModifiers(), keyNames); },
                   [weakDelegate] {
                       if (weakDelegate)
                           weakDelegate->togglePanel();
                   },
                   [weakDelegate] {
                       if (weakDelegate)
                           weakDelegate->clipboardManager().clearHistory();
                   },
                   [weakDelegate] {
                       if (weakDelegate)
                           weakDelegate->openSettings();
                   },
                   [] { QCoreApplication::quit(); },
                   [&prefs](bool paused) { prefs.setCapturePaused(paused); }});
    // Where the desktop shows no tray, it may show the same menu itself.
    auto showStatusMenu = [&] {
        if (platform.statusMenu)
            platform.statusMenu->show(tray.labels(), tray.showsPaused(), prefs.showMenuBarIcon());
    };
    tray.setPresent(prefs.showMenuBarIcon());
    tray.setCapturePaused(delegate->clipboardManager().isCapturePaused());
    // What the desktop withholds, said once.
    if (!platform.notice.isEmpty())
        tray.showNotice(platform.notice);
    settingsWindow.applicationInFront = [weakDelegate]() -> std::optional<RunningApplication> {
        return weakDelegate ? weakDelegate->applicationBeforeSettings() : std::nullopt;
    };
    QObject::connect(&prefs, &StoredPreferences::changed, &tray, [&] {
        tray.setPresent(prefs.showMenuBarIcon());
        if (weakDelegate)
            tray.setCapturePaused(weakDelegate->clipboardManager().isCapturePaused());
        showStatusMenu();
    });

    // A new choice of language applies at once: the views' texts are
    // evaluated anew, the list's derived texts and the tray menu rebuilt.
    QObject::connect(&prefs, &StoredPreferences::changed, &translations,
                     [&] { translations.apply(prefs.language()); });
    QObject::connect(&translations, &Translations::changed, &app, [&] {
        engine.retranslate();
        settingsWindow.retranslate();
        tray.retranslate();
        showStatusMenu();
        if (panelBackend)
            panelBackend->refresh();
    });

    // Commands from the command line and other programs, on the session bus.
    auto dbusService = std::make_unique<DBusService>(*delegate, prefs, platform.name.toLower());
    dbusService->registerOnSessionBus();
    // The desktop's helpers answer Kelvo once it has its bus name.
    showStatusMenu();

    // SIGUSR1 toggles the panel and SIGUSR2 opens the settings, for scripts;
    // SIGTERM, SIGINT and SIGHUP quit normally.
    QObject::connect(&bridge, &SignalBridge::received, &app, [weakDelegate](int sig) {
        if (sig == SIGUSR1 && weakDelegate)
            weakDelegate->togglePanel();
        else if (sig == SIGUSR2 && weakDelegate)
            weakDelegate->openSettings();
        else if (sig != SIGUSR1 && sig != SIGUSR2)
            QCoreApplication::quit();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [weakDelegate] {
        if (weakDelegate)
            weakDelegate->applicationWillTerminate();
    });

    // Where changes are reported nothing looks at the clipboard while idle;
    // a report lost over a suspend is caught when the machine wakes.
    freedesktop::SleepWatcher sleepWatcher(QDBusConnection::systemBus());
    QObject::connect(&sleepWatcher, &freedesktop::SleepWatcher::resumed, &app, [weakDelegate] {
        if (weakDelegate)
            weakDelegate->clipboardManager().checkPasteboard();
    });

    delegate->applicationDidFinishLaunching();
    const int rc = app.exec();

    // The views go before the store they show.
    dbusService.reset();
    settingsWindow.close();
    delegate.reset();
    panelBackend.reset();
    background.flush();
    return rc;
}
