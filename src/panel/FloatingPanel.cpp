#include "panel/FloatingPanel.h"

#include <QPointer>

namespace kelvo {

namespace {
// Calls a copy, so that a callback may replace itself while it runs.
template <typename F, typename... Args>
void fireIfSet(const F &callback, Args &&...args)
{
    if (F copy = callback)
        copy(std::forward<Args>(args)...);
}
} // namespace

FloatingPanel::FloatingPanel(std::unique_ptr<PanelWindow> window, QObject *parent)
    : QObject(parent), window_(std::move(window))
{
    QPointer<FloatingPanel> self(this);
    window_->setKeyDownHandler([self](const KeyEvent &event) { return self && self->handleKey(event); });
    window_->setCancelHandler([self] {
        if (self)
            self->dismiss();
    });
}

FloatingPanel::~FloatingPanel()
{
    removeClickOutsideMonitor();
    removeLocalKeyMonitor();
    window_->setKeyDownHandler({});
    window_->setCancelHandler({});
}

bool FloatingPanel::isVisible() const
{
    return window_->isVisible();
}

void FloatingPanel::show()
{
    const std::optional<QRect> screen = window_->mainScreenFrame();
    if (!screen)
        return;
    ++generation_;
    dismissing_ = false;
    window_->setFrame(QRect(screen->x(), screen->y() + screen->height() - kHeight, screen->width(), kHeight));
    window_->setAlpha(0);
    window_->orderFrontRegardless();
    window_->makeKey();
    if (window_->reduceMotion())
        window_->setAlpha(1);
    else
        window_->animateAlpha(1, kFadeInMs, PanelWindow::Easing::EaseOut, {});

    removeClickOutsideMonitor();
    QPointer<FloatingPanel> self(this);
    const quint64 token = window_->addClickOutsideMonitor([self] {
        if (self && self->isVisible())
            self->dismiss();
    });
    if (token != 0)
        clickOutsideMonitor_ = token;
    installLocalKeyMonitor();
}

void FloatingPanel::dismiss(bool immediately, std::function<void()> completion)
{
    dismissing_ = true;
    if (onDismiss)
        onDismiss();
    removeClickOutsideMonitor();
    removeLocalKeyMonitor();
    clearFirstResponder();
    const quint64 generation = ++generation_;
    if (!immediately && !window_->reduceMotion()) {
        QPointer<FloatingPanel> self(this);
        window_->animateAlpha(0, kFadeOutMs, PanelWindow::Easing::EaseIn,
                              [self, generation, completion = std::move(completion)] {
                                  if (self && self->generation_ == generation)
                                      self->window_->orderOut();
                                  if (completion)
                                      completion();
                              });
        return;
    }
    window_->setAlpha(0);
    window_->orderOut();
    if (completion)
        completion();
}

void FloatingPanel::installLocalKeyMonitor()
{
    removeLocalKeyMonitor();
    QPointer<FloatingPanel> self(this);
    const quint64 token = window_->addLocalKeyMonitor([self](const KeyEvent &event) {
        if (!self || !self->isVisible())
            return false;
        return self->handleKey(event);
    });
    if (token != 0)
        localKeyMonitor_ = token;
}

void FloatingPanel::removeLocalKeyMonitor()
{
    if (localKeyMonitor_) {
        window_->removeMonitor(*localKeyMonitor_);
        localKeyMonitor_.reset();
    }
}

void FloatingPanel::removeClickOutsideMonitor()
{
    if (clickOutsideMonitor_) {
        window_->removeMonitor(*clickOutsideMonitor_);
        clickOutsideMonitor_.reset();
    }
}

void FloatingPanel::clearFirstResponder()
{
    window_->clearFocus();
}

bool FloatingPanel::handleKey(const KeyEvent &event)
{
    using Kind = PanelKeyAction::Kind;
    const PanelKeyAction action = routePanelKey(event);
    if (dismissing_)
        return action.kind != Kind::NotHandled; // the panel's keys do nothing while it goes
    switch (action.kind) {
    case Kind::NotHandled: return false;
    case Kind::TypingStart: fireIfSet(onTypingStart, QString()); break;
    case Kind::QuickPaste: fireIfSet(onQuickPasteAtIndex, action.index); break;
    case Kind::Return: fireIfSet(onKeyReturn); break;
    case Kind::Tab: fireIfSet(onKeyTab, action.shift); break;
    case Kind::Dismiss: dismiss(); break;
    case Kind::Left: fireIfSet(onKeyLeft); break;
    case Kind::Right: fireIfSet(onKeyRight); break;
    }
    return true;
}

} // namespace kelvo
