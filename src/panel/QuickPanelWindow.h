#pragma once

#include "platform/PanelWindow.h"

#include <QHash>
#include <QPointer>
#include <QQuickView>

#include <functional>

class QPropertyAnimation;

namespace kelvo {

// The floating panel's real window: a frameless Qt Quick view that stays on
// top, on all desktops and out of the task bar and pager, and takes the
// keyboard while shown. On X11 it is a utility window with the EWMH states
// above, sticky, skip-taskbar and skip-pager. A click outside the panel is
// seen as the panel losing the keyboard to another window (X11 offers no
// passive global pointer monitor without grabbing the pointer).
class QuickPanelWindow : public QQuickView, public PanelWindow {
    Q_OBJECT
public:
    explicit QuickPanelWindow(QQmlEngine *engine, QWindow *parent = nullptr);
    ~QuickPanelWindow() override;

    std::optional<QRect> mainScreenFrame() const override;
    void setFrame(const QRect &frame) override;
    void setAlpha(double alpha) override;
    void animateAlpha(double alpha, int durationMs, Easing easing, std::function<void()> finished) override;
    void orderFrontRegardless() override;
    void makeKey() override;
    void orderOut() override;
    void clearFocus() override;
    bool isVisible() const override;
    bool reduceMotion() const override { return false; }
    quint64 addClickOutsideMonitor(std::function<void()> handler) override;
    quint64 addLocalKeyMonitor(KeyEventMonitor::Handler handler) override;
    void removeMonitor(quint64 token) override;
    void setKeyDownHandler(KeyEventMonitor::Handler handler) override;
    void setCancelHandler(std::function<void()> handler) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyX11WindowState();
    void onActiveChanged();
    void finishAnimation();

    QPropertyAnimation *m_fade = nullptr;
    std::function<void()> m_fadeFinished;
    QHash<quint64, std::function<void()>> m_clickMonitors;
    QHash<quint64, KeyEventMonitor::Handler> m_keyMonitors;
    quint64 m_nextToken = 1;
    KeyEventMonitor::Handler m_keyDown;
    std::function<void()> m_cancel;
    bool m_hadKeyboard = false;
};

} // namespace kelvo
