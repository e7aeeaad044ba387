#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace kelvo {

// A running application as the clipboard paths see it, through the window
// that represents it. Two handles denote the same target when their windows
// are equal; only where a window is unknown do equal, known (non-zero)
// process identifiers stand in.
struct RunningApplication {
    std::optional<QString> localizedName;
    QImage icon; // null when the application has none
    qint64 processIdentifier = 0;
    quint64 windowHandle = 0; // platform window that represents it, 0 if none
};

class Applications {
public:
    virtual ~Applications() = default;
    // The application receiving keyboard input, or nullopt.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Brings that application to the front; completes asynchronously.
    virtual void activate(const RunningApplication &app) = 0;
    // Brings this program itself to the front.
    virtual void activateSelf() = 0;
};

} // namespace kelvo
