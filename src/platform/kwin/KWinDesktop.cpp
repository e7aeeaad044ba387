#include "platform/kwin/KWinDesktop.h"

#include "platform/kwin/PlasmaWindows.h"

#include <unistd.h>

namespace kelvo::kwin {

KWinDesktop::KWinDesktop(Desktop &fallback, const QString &displayName)
    : fallback_(fallback), windows_(std::make_unique<PlasmaWindows>(displayName))
{
    retry_.setSingleShot(true);
    retry_.setInterval(20);
    QObject::connect(&retry_, &QTimer::timeout, [this] { tryActivating(); });
}

KWinDesktop::~KWinDesktop() = default;

bool KWinDesktop::isValid() const
{
    return windows_->isValid();
}

std::optional<QRect> KWinDesktop::activeWindowFrame()
{
    const std::optional<PlasmaWindow> active = windows_->active();
    if (!active || !active->geometry.isValid())
        return std::nullopt;
    return active->geometry;
}

void KWinDesktop::placeWindow(const QRect &frame)
{
    pending_ = frame;
    deadline_ = QDeadlineTimer(2000);
    tryActivating();
}

void KWinDesktop::tryActivating()
{
    if (pending_.isNull())
        return;
    for (const PlasmaWindow &w : windows_->windows()) {
        if (w.pid == getpid() && w.geometry == pending_) {
            if (!w.active)
                windows_->activate(w.id);
            pending_ = {};
            return;
        }
    }
    if (deadline_.hasExpired())
        pending_ = {};
    else
        retry_.start();
}

} // namespace kelvo::kwin
