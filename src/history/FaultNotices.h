#pragma once

#include "platform/Notifications.h"

#include <QString>

#include <set>

namespace kelvo {

// The kinds of fault the user is told of.
enum class Fault {
    EntryUnreadable,   // an entry's bytes can no longer be produced
    ClipboardRefused,  // the clipboard could not be taken for a write
    ClipboardLost,     // the connection that watches the clipboard is gone
    SaveFailed,        // the history file could not be written
    LoadFailed,        // the history file could not be read at start
    ExportFailed,      // an image could not be exported
    ShortcutRefused,   // the global shortcut could not be registered
    CopyNotRead,       // a copy's owner did not hand over its content in time
};

// Tells the user of faults in their words, through the desktop's
// notifications, without flooding: a kind of fault is told once, and again
// only after it has recovered (a later success of the same operation).
// Without notifications (nullptr) nothing is shown; the callers' own log
// lines remain.
class FaultNotices {
public:
    explicit FaultNotices(Notifications *notifications = nullptr) : notifications_(notifications) {}

    // `detail` completes the message where the kind has one (an error, a
    // file name, a shortcut).
    void report(Fault fault, const QString &detail = {});
    void recovered(Fault fault);
    bool isOutstanding(Fault fault) const { return outstanding_.count(fault) != 0; }

    // The message of a kind, in the user's language.
    static QString summary(Fault fault);
    static QString body(Fault fault, const QString &detail);

private:
    Notifications *notifications_;
    std::set<Fault> outstanding_;
};

} // namespace kelvo
