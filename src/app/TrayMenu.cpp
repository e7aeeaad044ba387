#include "app/TrayMenu.h"

#include "panel/PanelImageProviders.h"

#include <QIcon>
#include <QPixmap>

namespace kelvo {

TrayMenu::TrayMenu(Hooks hooks, QObject *parent) : QObject(parent), m_hooks(std::move(hooks)) {
    m_panelAction = m_menu.addAction(panelItemTitle(m_hooks.shortcutText ? m_hooks.shortcutText() : QString()));
    connect(m_panelAction, &QAction::triggered, this, [this] { if (m_hooks.togglePanel) m_hooks.togglePanel(); });
    m_menu.addSeparator();
    connect(m_menu.addAction(QStringLiteral("清空历史记录")), &QAction::triggered, this,
            [this] { if (m_hooks.clearHistory) m_hooks.clearHistory(); });
    m_menu.addSeparator();
    connect(m_menu.addAction(QStringLiteral("设置...")), &QAction::triggered, this,
            [this] { if (m_hooks.openSettings) m_hooks.openSettings(); });
    m_menu.addSeparator();
    QAction *quit = m_menu.addAction(QStringLiteral("退出 Kelvo"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, [this] { if (m_hooks.quit) m_hooks.quit(); });

    connect(&m_menu, &QMenu::aboutToShow, this, [this] {
        m_panelAction->setText(panelItemTitle(m_hooks.shortcutText ? m_hooks.shortcutText() : QString()));
    });

    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(
            IconImageProvider::renderIcon(QStringLiteral("list.bullet.clipboard"), QColor(40, 40, 40), QSize(size, size))));
    m_tray.setIcon(icon);
    m_tray.setToolTip(QStringLiteral("Kelvo"));
    m_tray.setContextMenu(&m_menu);
    // A left click opens the same menu, as a menu bar item does.
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) m_menu.popup(QCursor::pos());
    });
}

void TrayMenu::setPresent(bool present) {
    m_tray.setVisible(present);
}

} // namespace kelvo
