#pragma once

#include <QString>

namespace kelvo {

// Short messages to the user, shown by the desktop (a pop-up that also lands
// in its list of notifications). Where the desktop shows none, a message
// goes to the log instead.
class Notifications {
public:
    virtual ~Notifications() = default;
    // `summary` is one line; `body` may be empty.
    virtual void notify(const QString &summary, const QString &body) = 0;
};

} // namespace kelvo
