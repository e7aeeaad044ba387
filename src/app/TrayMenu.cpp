#include "app/TrayMenu.h"

#include "panel/PanelImageProviders.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace kelvo {

TrayMenu::TrayMenu(Hooks hooks, QObject *parent) : QObject(parent), m_hooks(std::move(hooks)) {
    m_panelAction = m_menu.addAction(QString());
    connect(m_panelAction, &QAction::triggered, this, [this] { if (m_hooks.togglePanel) m_hooks.togglePanel(); });
    m_menu.addSeparator();
    m_clearAction = m_menu.addAction(QString());
    connect(m_clearAction, &QAction::triggered, this, [this] { if (m_hooks.clearHistory) m_hooks.clearHistory(); });
    m_pauseAction = m_menu.addAction(QString());
    m_pauseAction->setCheckable(true);
    connect(m_pauseAction, &QAction::triggered, this,
            [this](bool checked) { if (m_hooks.setCapturePaused) m_hooks.setCapturePaused(checked); });
    m_menu.addSeparator();
    m_settingsAction = m_menu.addAction(QString());
    connect(m_settingsAction, &QAction::triggered, this, [this] { if (m_hooks.openSettings) m_hooks.openSettings(); });
    m_menu.addSeparator();
    m_quitAction = m_menu.addAction(QString());
    m_quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(m_quitAction, &QAction::triggered, this, [this] { if (m_hooks.quit) m_hooks.quit(); });

    connect(&m_menu, &QMenu::aboutToShow, this, [this] {
        m_panelAction->setText(panelItemTitle(m_hooks.shortcutText ? m_hooks.shortcutText() : QString()));
    });

    m_tray.setIcon(icon(false));
    m_tray.setContextMenu(&m_menu);
    // A left click opens the same menu, as a menu bar item does.
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) m_menu.popup(QCursor::pos());
    });
    retranslate();
}

void TrayMenu::retranslate() {
    m_panelAction->setText(panelItemTitle(m_hooks.shortcutText ? m_hooks.shortcutText() : QString()));
    m_clearAction->setText(tr("清空历史记录"));
    m_pauseAction->setText(tr("暂停记录"));
    m_settingsAction->setText(tr("设置..."));
    m_quitAction->setText(tr("退出 Kelvo"));
    m_tray.setToolTip(m_iconPaused ? tr("Kelvo (暂停记录)") : QStringLiteral("Kelvo"));
}

StatusMenu::Labels TrayMenu::labels() const {
    return {panelItemTitle(m_hooks.shortcutText ? m_hooks.shortcutText() : QString()), m_clearAction->text(),
            m_pauseAction->text(), m_settingsAction->text(), m_quitAction->text()};
}

void TrayMenu::setPresent(bool present) {
    m_tray.setVisible(present);
}

void TrayMenu::setCapturePaused(bool paused) {
    if (m_iconPaused == paused)
        return;
    m_pauseAction->setChecked(paused);
    m_iconPaused = paused;
    m_tray.setIcon(icon(paused));
    retranslate();
}

// The paused icon: the symbol in a light grey with two pause bars over its
// lower right corner.
QIcon TrayMenu::icon(bool paused) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QImage image = IconImageProvider::renderIcon(QStringLiteral("list.bullet.clipboard"),
                                                     paused ? QColor(150, 150, 150) : QColor(40, 40, 40),
                                                     QSize(size, size));
        if (paused) {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            const qreal badge = size * 0.55, x = size - badge, y = size - badge;
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 149, 0));
            painter.drawEllipse(QRectF(x, y, badge, badge));
            painter.setBrush(Qt::white);
            const qreal barW = badge * 0.16, barH = badge * 0.5, top = y + (badge - barH) / 2;
            painter.drawRect(QRectF(x + badge * 0.3, top, barW, barH));
            painter.drawRect(QRectF(x + badge * 0.7 - barW, top, barW, barH));
        }
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

void TrayMenu::showNotice(const QString &text)
{
    if (m_tray.isVisible())
        m_tray.showMessage(QStringLiteral("Kelvo"), text, QSystemTrayIcon::Information, 15000);
}

} // namespace kelvo
