#pragma once

#include "panel/PanelKeyRouting.h"
#include "platform/PanelWindow.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kelvo {

// The window that carries the history view along the bottom edge of the
// main screen. It places, shows and fades itself, routes a few keys to its
// callbacks while shown, and dismisses itself on Escape or a click outside.
// It knows nothing of entries or selection. Main thread only.
class FloatingPanel : public QObject {
    Q_OBJECT
public:
    static constexpr int kHeight = 324;
    static constexpr int kFadeInMs = 80;
    static constexpr int kFadeOutMs = 150;

    // Takes the window that shows the panel's content; it stays hidden and
    // unmonitored until show().
    explicit FloatingPanel(std::unique_ptr<PanelWindow> window, QObject *parent = nullptr);
    ~FloatingPanel() override;

    // Places the panel on the main screen's bottom edge, full width, shows
    // it with the keyboard, fades it in and starts both monitors. Without a
    // main screen it does nothing. Calling it again while shown re-places
    // it, restarts the fade-in and replaces both monitors.
    void show();
    // Stops both monitors, takes the focus away and hides the panel, with a
    // fade-out unless `immediately` or reduced motion; then runs
    // `completion`. A show() during the fade keeps the panel on screen (the
    // completion still runs when the fade ends).
    void dismiss(bool immediately = false, std::function<void()> completion = {});

    void installLocalKeyMonitor();
    void removeLocalKeyMonitor();
    void removeClickOutsideMonitor();
    // No item of the panel keeps the keyboard focus.
    void clearFirstResponder();

    bool isVisible() const;
    std::optional<quint64> clickOutsideMonitor() const { return clickOutsideMonitor_; }
    std::optional<quint64> localKeyMonitor() const { return localKeyMonitor_; }
    PanelWindow &window() { return *window_; }

    // Routes the key and runs its callback or the dismissal. Returns whether
    // the key was the panel's (also when its callback is absent). Once a
    // dismissal has begun no key is routed (also during the fade-out) until
    // the next show().
    bool handleKey(const KeyEvent &event);

    // Set by the owner; absent callbacks make their keys do nothing.
    std::function<void()> onKeyLeft;
    std::function<void()> onKeyRight;
    std::function<void(bool shift)> onKeyTab;
    std::function<void()> onKeyReturn;
    std::function<void(const QString &text)> onTypingStart;
    std::function<void(int index)> onQuickPasteAtIndex;
    // Runs at the start of every dismissal (Escape, a click outside, the
    // owner's own calls).
    std::function<void()> onDismiss;

private:
    std::unique_ptr<PanelWindow> window_;
    std::optional<quint64> clickOutsideMonitor_;
    std::optional<quint64> localKeyMonitor_;
    // Bumped by every show() and dismiss(), so that only the latest fade-out
    // takes the window off the screen.
    quint64 generation_ = 0;
    // Set by dismiss(), cleared by show().
    bool dismissing_ = false;
};

} // namespace kelvo
