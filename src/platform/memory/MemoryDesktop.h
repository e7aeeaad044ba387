#pragma once

#include "platform/Desktop.h"

namespace kelvo::memory {

// A desktop without a display: the test sets what it reports and presses
// buttons through press().
class MemoryDesktop : public Desktop {
public:
    std::optional<QRect> activeWindowFrame() override { return activeWindow; }
    bool reduceMotion() override { return reducedMotion; }
    void setButtonPressHandler(std::function<void(QPoint)> h) override { handler = std::move(h); }

    // A button press at `position`; false when nobody watches.
    bool press(QPoint position)
    {
        if (!handler)
            return false;
        auto copy = handler;
        copy(position);
        return true;
    }

    std::optional<QRect> activeWindow;
    bool reducedMotion = false;
    std::function<void(QPoint)> handler;
};

} // namespace kelvo::memory
