#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace kelvo {

// The tray item: the "list.bullet.clipboard" symbol with a menu of four
// commands. The first item's title carries the current shortcut's text and
// is re-read every time the menu opens.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString()> shortcutText;
        std::function<void()> togglePanel;
        std::function<void()> clearHistory;
        std::function<void()> openSettings;
        std::function<void()> quit;
    };

    explicit TrayMenu(Hooks hooks, QObject *parent = nullptr);

    // The tray item is present exactly while `present` is true.
    void setPresent(bool present);
    bool isPresent() const { return m_tray.isVisible(); }
    QMenu &menu() { return m_menu; }

    static QString panelItemTitle(const QString &shortcutText) {
        return QStringLiteral("显示剪贴板历史  ") + shortcutText;
    }

private:
    Hooks m_hooks;
    QMenu m_menu;
    QAction *m_panelAction = nullptr;
    QSystemTrayIcon m_tray;
};

} // namespace kelvo
