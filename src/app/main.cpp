// The kelvo executable: one instance per session, the tray item, the
// floating panel with the history view and the settings window.
#include "app/PanelViewBackend.h"
#include "app/TrayMenu.h"
#include "panel/FloatingPanel.h"
#include "panel/QmlViews.h"
#include "panel/QuickPanelWindow.h"
#include "panel/SelectionState.h"
#include "platform/Preferences.h"
#include "platform/unix/SignalBridge.h"
#include "platform/unix/SingleInstance.h"
#include "settings/SettingsViewBackend.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QStyleHints>
#include <QTextStream>
#include <QUuid>

#include <csignal>
#include <memory>

using namespace kelvo;

namespace {

// The user's preferences in $XDG_CONFIG_HOME/Kelvo/Kelvo.conf.
class IniPreferencesStore : public PreferencesStore {
public:
    IniPreferencesStore()
        : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvo"), QStringLiteral("Kelvo")) {}
    std::optional<QVariant> object(const QString &key) const override {
        if (!m_settings.contains(key)) return std::nullopt;
        return m_settings.value(key);
    }
    void setValue(const QString &key, const QVariant &value) override {
        m_settings.setValue(key, value);
        m_settings.sync();
        emit changed();
    }
    void remove(const QString &key) override {
        m_settings.remove(key);
        m_settings.sync();
        emit changed();
    }

private:
    mutable QSettings m_settings;
};

// Display text of a key combination: modifier glyphs, then the key's name.
QString shortcutText(int keyCode, int modifiers) {
    static const QHash<int, QString> names{
        {0, "A"}, {1, "S"}, {2, "D"}, {3, "F"}, {4, "H"}, {5, "G"}, {6, "Z"}, {7, "X"}, {8, "C"}, {9, "V"},
        {11, "B"}, {12, "Q"}, {13, "W"}, {14, "E"}, {15, "R"}, {16, "Y"}, {17, "T"}, {31, "O"}, {32, "U"},
        {34, "I"}, {35, "P"}, {37, "L"}, {38, "J"}, {40, "K"}, {45, "N"}, {46, "M"}, {18, "1"}, {19, "2"},
        {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"}, {25, "9"}, {26, "7"}, {28, "8"}, {29, "0"}, {24, "="},
        {27, "-"}, {49, "Space"}, {51, "⌫"}, {53, "Esc"}, {123, "←"}, {124, "→"}, {125, "↓"}, {126, "↑"}};
    QString text;
    if (modifiers & 4096) text += QStringLiteral("⌃ ");
    if (modifiers & 2048) text += QStringLiteral("⌥ ");
    if (modifiers & 512) text += QStringLiteral("⇧ ");
    if (modifiers & 256) text += QStringLiteral("⌘ ");
    text += names.value(keyCode, QStringLiteral("[%1]").arg(quint16(keyCode)));
    return text.trimmed();
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kelvo"));
    app.setQuitOnLastWindowClosed(false);
    app.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 10));
    // Always the light appearance.
    app.setPalette(QPalette(QColor(236, 236, 236)));

    SingleInstanceLock lock;
    if (!lock.tryLock()) {
        QTextStream(stdout) << "Kelvo is already running (pid " << lock.holderPid() << ")." << Qt::endl;
        return 0;
    }

    prepareQuickControlsStyle();
    IniPreferencesStore prefs;
    SelectionState selection;
    QQmlEngine engine;
    ThumbnailImageProvider *thumbnails = installViewProviders(engine);

    std::unique_ptr<FloatingPanel> panel;
    std::unique_ptr<QQuickView> settingsWindow;
    std::unique_ptr<SettingsViewBackend> settingsBackend;
    std::unique_ptr<PanelViewBackend> panelBackend;

    auto hidePanel = [&](bool immediately) {
        if (!panel || !panel->isVisible()) return;
        panel->dismiss(immediately);
        selection.reset();
        panelBackend->setSearchQuery(QString());
    };

    auto openSettings = [&] {
        hidePanel(true);
        if (!settingsWindow) {
            settingsBackend = std::make_unique<SettingsViewBackend>(
                prefs, SettingsViewBackend::Hooks{
                           [] { return false; }, [] {}, [](bool) { return QString(); }, shortcutText, [] {},
                           [] { QCoreApplication::quit(); }});
            settingsWindow = std::make_unique<QQuickView>(&engine, nullptr);
            settingsWindow->setTitle(QStringLiteral("Kelvo 设置"));
            settingsWindow->setInitialProperties({{"settings", QVariant::fromValue<QObject *>(settingsBackend.get())}});
            settingsWindow->setSource(settingsViewUrl());
            settingsWindow->setMinimumSize(QSize(420, 560));
            settingsWindow->setMaximumSize(QSize(420, 560));
            settingsWindow->resize(420, 560);
        }
        settingsWindow->show();
        settingsWindow->raise();
        settingsWindow->requestActivate();
    };

    PanelViewBackend::Hooks panelHooks;
    panelHooks.openSettings = openSettings;
    panelHooks.paste = [&](const QString &, bool) {
        if (panel) {
            panel->removeClickOutsideMonitor();
            panel->removeLocalKeyMonitor();
        }
        hidePanel(true);
    };
    panelBackend = std::make_unique<PanelViewBackend>(selection, panelHooks);
    panelBackend->model()->setThumbnailProvider(thumbnails);

    auto showPanel = [&] {
        if (!panel) {
            auto window = std::make_unique<QuickPanelWindow>(&engine);
            window->setInitialProperties({{"backend", QVariant::fromValue<QObject *>(panelBackend.get())}});
            window->setSource(historyViewUrl());
            QuickPanelWindow *raw = window.get();
            panel = std::make_unique<FloatingPanel>(std::move(window));
            raw->setKeyDownHandler([&](const KeyEvent &e) { return panel->handleKey(e); });
            raw->setCancelHandler([&] { hidePanel(false); });
        }
        const int count = panelBackend->model()->count();
        panel->onKeyLeft = [&] { selection.moveLeft(panelBackend->model()->count()); };
        panel->onKeyRight = [&] { selection.moveRight(panelBackend->model()->count()); };
        panel->onKeyTab = [&](bool) {
            selection.setActiveTab(selection.activeTab() == ClipboardTab::history ? ClipboardTab::pinned
                                                                                  : ClipboardTab::history);
        };
        panel->onKeyReturn = [&] {
            const auto &rows = panelBackend->model()->rows();
            const int i = int(selection.selectedIndex());
            if (i >= 0 && i < rows.size()) panelBackend->paste(rows.at(i).id);
        };
        panel->onTypingStart = [&](const QString &) { selection.setShouldFocusSearch(true); };
        panel->onQuickPasteAtIndex = [&](int i) {
            const auto &rows = panelBackend->model()->rows();
            if (i >= 0 && i < rows.size()) panelBackend->paste(rows.at(i).id);
        };
        Q_UNUSED(count);
        selection.reset();
        selection.setPanelPresentationToken(QUuid::createUuid());
        panelBackend->setSearchQuery(QString());
        panelBackend->present();
        panel->show();
    };
    auto togglePanel = [&] {
        if (panel && panel->isVisible())
            hidePanel(false);
        else
            showPanel();
    };

    auto showIcon = [&] {
        const auto v = prefs.object(QStringLiteral("showMenuBarIcon"));
        return v ? v->toBool() : true;
    };
    auto storedShortcut = [&] {
        const auto code = prefs.object(QStringLiteral("hotkeyCode"));
        const auto mods = prefs.object(QStringLiteral("hotkeyModifiers"));
        return shortcutText(code ? code->toInt() : 9, mods ? mods->toInt() : 768);
    };
    TrayMenu tray({storedShortcut, togglePanel, [&] { panelBackend->clearHistory(); }, openSettings,
                   [] { QCoreApplication::quit(); }});
    tray.setPresent(showIcon());
    QObject::connect(&prefs, &PreferencesStore::changed, &tray, [&] { tray.setPresent(showIcon()); });

    // SIGUSR1 toggles the panel and SIGUSR2 opens the settings, for scripts
    // (tools/screenshots.sh); SIGTERM and SIGINT quit normally.
    SignalBridge bridge({SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2});
    QObject::connect(&bridge, &SignalBridge::received, &app, [&](int sig) {
        if (sig == SIGUSR1)
            togglePanel();
        else if (sig == SIGUSR2)
            openSettings();
        else
            QCoreApplication::quit();
    });

    const int rc = app.exec();
    panel.reset();
    settingsWindow.reset();
    return rc;
}
