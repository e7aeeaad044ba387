#pragma once

#include "platform/StatusMenu.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace kelvo {

// The tray item: the "list.bullet.clipboard" symbol with a menu of four
// commands and the check item that pauses capture. The first item's title
// carries the current shortcut's text and is re-read every time the menu
// opens. While capture is paused the icon is greyed with a pause sign.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString()> shortcutText;
        std::function<void()> togglePanel;
        std::function<void()> clearHistory;
        std::function<void()> openSettings;
        std::function<void()> quit;
        // The check item "暂停记录": called with the new state when chosen.
        std::function<void(bool)> setCapturePaused;
    };

    explicit TrayMenu(Hooks hooks, QObject *parent = nullptr);

    // The tray item is present exactly while `present` is true.
    void setPresent(bool present);
    bool isPresent() const { return m_tray.isVisible(); }
    // Shows the pause state: the check mark and the icon.
    void setCapturePaused(bool paused);
    bool showsPaused() const { return m_iconPaused; }
    const QSystemTrayIcon &trayIcon() const { return m_tray; }
    // A message from the tray item (the desktop's notification), where the
    // item is shown.
    void showNotice(const QString &text);
    static QIcon icon(bool paused);
    QMenu &menu() { return m_menu; }
    // The items' labels as they read now, for a desktop that shows the menu
    // itself.
    StatusMenu::Labels labels() const;

    // Sets every title and the tool tip anew, in the current language.
    void retranslate();

    static QString panelItemTitle(const QString &shortcutText) {
        return tr("显示剪贴板历史  %1").arg(shortcutText);
    }

private:
    Hooks m_hooks;
    QMenu m_menu;
    QAction *m_panelAction = nullptr;
    QAction *m_clearAction = nullptr;
    QAction *m_pauseAction = nullptr;
    QAction *m_settingsAction = nullptr;
    QAction *m_quitAction = nullptr;
    bool m_iconPaused = false;
    QSystemTrayIcon m_tray;
};

} // namespace kelvo
