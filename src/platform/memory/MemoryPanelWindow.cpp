#include "platform/memory/MemoryPanelWindow.h"

namespace kelvo::memory {

void MemoryPanelWindow::setFrame(const QRect &f)
{
    frame = f;
    log.append(QStringLiteral("frame %1,%2 %3x%4").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height()));
}

void MemoryPanelWindow::endRunning()
{
    if (!running)
        return;
    auto finished = std::move(running->finished);
    running.reset();
    if (finished)
        finished();
}

void MemoryPanelWindow::setAlpha(double a)
{
    log.append(QStringLiteral("alpha %1").arg(a));
    endRunning();
    alpha = a;
}

void MemoryPanelWindow::animateAlpha(double a, int durationMs, Easing easing, std::function<void()> finished)
{
    log.append(QStringLiteral("animate %1 %2 %3")
                   .arg(a)
                   .arg(durationMs)
                   .arg(easing == Easing::EaseIn ? QStringLiteral("in") : QStringLiteral("out")));
    endRunning();
    Animation anim{a, durationMs, easing, std::move(finished)};
    animations.append(Animation{a, durationMs, easing, {}});
    running = std::move(anim);
}

bool MemoryPanelWindow::finishAnimation()
{
    if (!running)
        return false;
    alpha = running->target;
    endRunning();
    return true;
}

void MemoryPanelWindow::orderFrontRegardless()
{
    log.append(QStringLiteral("front"));
    visible = true;
}

void MemoryPanelWindow::makeKey()
{
    log.append(QStringLiteral("key"));
    keyWindow = true;
}

void MemoryPanelWindow::orderOut()
{
    log.append(QStringLiteral("out"));
    visible = false;
    keyWindow = false;
}

void MemoryPanelWindow::clearFocus()
{
    log.append(QStringLiteral("clearFocus"));
    ++focusClears;
}

quint64 MemoryPanelWindow::addClickOutsideMonitor(std::function<void()> handler)
{
    if (monitorsFail) {
        log.append(QStringLiteral("addClick 0"));
        return 0;
    }
    const quint64 token = nextToken_++;
    clickMonitors.insert(token, std::move(handler));
    log.append(QStringLiteral("addClick %1").arg(token));
    return token;
}

quint64 MemoryPanelWindow::addLocalKeyMonitor(KeyEventMonitor::Handler handler)
{
    if (monitorsFail) {
        log.append(QStringLiteral("addKey 0"));
        return 0;
    }
    const quint64 token = nextToken_++;
    keyMonitors.insert(token, std::move(handler));
    log.append(QStringLiteral("addKey %1").arg(token));
    return token;
}

void MemoryPanelWindow::removeMonitor(quint64 token)
{
    log.append(QStringLiteral("remove %1").arg(token));
    clickMonitors.remove(token);
    keyMonitors.remove(token);
}

std::optional<QRect> MemoryPanelWindow::mainScreenFrame() const
{
    if (screens.isEmpty())
        return screen;
    return screens.value(chooseMainScreen(screens, primaryScreen, activeWindow));
}

bool MemoryPanelWindow::pressKey(const KeyEvent &event)
{
    // Copy: a handler may remove monitors while we iterate.
    const auto monitors = keyMonitors.values();
    for (const auto &handler : monitors) {
        if (handler && handler(event))
            return true;
    }
    if (keyDownHandler)
        return keyDownHandler(event);
    return false;
}

void MemoryPanelWindow::clickOutside()
{
    const auto monitors = clickMonitors.values();
    for (const auto &handler : monitors) {
        if (handler)
            handler();
    }
}

void MemoryPanelWindow::cancel()
{
    if (cancelHandler)
        cancelHandler();
}

} // namespace kelvo::memory
