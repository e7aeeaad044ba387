#pragma once

#include "platform/Desktop.h"
#include "platform/PanelWindow.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace kelvo::memory {

// A panel window without a display. Every call is logged in order; the
// opacity animation runs only when the test finishes it; input is fed
// through pressKey() and clickOutside().
class MemoryPanelWindow : public PanelWindow {
public:
    // `screen`, or when `screens` are set the main one of them.
    std::optional<QRect> mainScreenFrame() const override;
    void setFrame(const QRect &f) override;
    void setAlpha(double a) override;
    void animateAlpha(double a, int durationMs, Easing easing, std::function<void()> finished) override;
    void orderFrontRegardless() override;
    void makeKey() override;
    void orderOut() override;
    void clearFocus() override;
    bool isVisible() const override { return visible; }
    bool reduceMotion() const override { return reducedMotion; }
    quint64 addClickOutsideMonitor(std::function<void()> handler) override;
    quint64 addLocalKeyMonitor(KeyEventMonitor::Handler handler) override;
    void removeMonitor(quint64 token) override;
    void setKeyDownHandler(KeyEventMonitor::Handler handler) override { keyDownHandler = std::move(handler); }
    void setCancelHandler(std::function<void()> handler) override { cancelHandler = std::move(handler); }

    // Test controls.
    struct Animation {
        double target = 0;
        int durationMs = 0;
        Easing easing = Easing::EaseOut;
        std::function<void()> finished;
    };
    // Ends the running opacity animation: the opacity reaches its target,
    // then its finished handler runs. False when none is running.
    bool finishAnimation();
    bool animating() const { return running.has_value(); }
    // A key-down event delivered to the program: the local monitors see it
    // first; if none swallows it, it reaches the key-down handler. Returns
    // true when something consumed it.
    bool pressKey(const KeyEvent &event);
    // A button press in another program: every click-outside monitor runs.
    void clickOutside();
    // The user cancels with no item handling it.
    void cancel();

    int clickMonitorCount() const { return clickMonitors.size(); }
    int keyMonitorCount() const { return keyMonitors.size(); }

    std::optional<QRect> screen = QRect(0, 0, 1920, 1080);
    QList<QRect> screens;
    int primaryScreen = 0;
    std::optional<QRect> activeWindow;
    bool reducedMotion = false;
    bool monitorsFail = false; // both add* calls return 0
    bool visible = false;
    bool keyWindow = false;
    double alpha = 1.0;
    std::optional<QRect> frame;
    std::optional<Animation> running;
    QList<Animation> animations; // every animation started, in order
    int focusClears = 0;
    // "frame x,y wxh", "alpha <a>", "animate <a> <ms> in|out", "front",
    // "key", "out", "clearFocus", "addClick <t>", "addKey <t>", "remove <t>"
    QStringList log;

    QMap<quint64, std::function<void()>> clickMonitors;
    QMap<quint64, KeyEventMonitor::Handler> keyMonitors;
    KeyEventMonitor::Handler keyDownHandler;
    std::function<void()> cancelHandler;

private:
    void endRunning();
    quint64 nextToken_ = 1;
};

} // namespace kelvo::memory
