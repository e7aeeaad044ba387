#pragma once

#include "platform/Desktop.h"
#include "platform/PanelWindow.h"

#include <QHash>
#include <QPointer>
#include <QQuickView>

#include <functional>

class QPropertyAnimation;

namespace kelvo {

// The floating panel's real window: a frameless Qt Quick view that stays on
// top, on all desktops and out of the task bar and pager, and takes the
// keyboard while shown; the window system's part (on X11 the EWMH states
// above, sticky, skip-taskbar and skip-pager) is done by onBeforeMapping.
// The main screen is the one of the desktop's active window. A click
// outside the panel is a button press that the desktop reports outside
// every window of the program, or the keyboard going to another program's
// window; the keyboard moving to another window of the program is not one.
class QuickPanelWindow : public QQuickView, public PanelWindow {
    Q_OBJECT
public:
    // `desktop` (may be null: primary screen, animations on) must outlive
    // the window.
    explicit QuickPanelWindow(QQmlEngine *engine, Desktop *desktop = nullptr, QWindow *parent = nullptr);
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
    bool reduceMotion() const override;
    quint64 addClickOutsideMonitor(std::function<void()> handler) override;
    quint64 addLocalKeyMonitor(KeyEventMonitor::Handler handler) override;
    void removeMonitor(quint64 token) override;
    void setKeyDownHandler(KeyEventMonitor::Handler handler) override;
    void setCancelHandler(std::function<void()> handler) override;

    // Whether a popup of the content (a card's context menu) has the
    // keyboard: it then gets every key, and nothing is routed to the panel.
    bool popupHasKeyboard() const;

    // Runs with the native window before each mapping of the window.
    std::function<void(quintptr nativeWindow)> onBeforeMapping;
    // Runs with the native window and its frame after each showing and
    // each move of the shown window, for desktops where the window system
    // rather than the window places it.
    std::function<void(quintptr nativeWindow, const QRect &frame)> onShown;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void closePopups();
    void onFocusWindowChanged(QWindow *focus);
    void onButtonPress(QPoint devicePosition);
    void finishAnimation();

    Desktop *m_desktop = nullptr;
    QPropertyAnimation *m_fade = nullptr;
    std::function<void()> m_fadeFinished;
    QHash<quint64, std::function<void()>> m_clickMonitors;
    QHash<quint64, KeyEventMonitor::Handler> m_keyMonitors;
    quint64 m_nextToken = 1;
    KeyEventMonitor::Handler m_keyDown;
    std::function<void()> m_cancel;
    bool m_hadKeyboard = false;
    bool m_mappedAgain = false; // mapped since the last makeKey()
};

} // namespace kelvo
