#pragma once

#include "history/ClipboardManager.h"
#include "model/ClipboardItem.h"
#include "platform/Accessibility.h"
#include "platform/Applications.h"
#include "platform/Clock.h"
#include "platform/Scheduler.h"

#include <optional>

namespace kelvo {

struct PasteBackServices {
    Applications &applications;
    SyntheticKeyboard &keyboard;
    MainLoop &mainLoop;
    Clock &clock;
};

// Whether the program may post synthetic key events, asked of the system at
// most once a second.
class AccessibilityPermission {
public:
    static constexpr qint64 kCacheLifetimeMs = 1000;

    AccessibilityPermission(SyntheticKeyboard &keyboard, Clock &clock);

    // The cached answer, refreshed when it is older than a second.
    bool isTrusted();
    // Asks the system afresh and caches the answer.
    bool refresh();
    // Asks the system to prompt the user; caches the answer.
    bool requestTrust();
    bool openSettings();

private:
    SyntheticKeyboard &keyboard_;
    Clock &clock_;
    bool trusted_ = false;
    std::optional<qint64> lastCheckMs_; // none: never checked
};

// Puts a chosen entry back on the clipboard and pastes it into the
// application that was in front: activate it, wait until it is frontmost
// (120 ms, then up to 8 retries 80 ms apart), then type the paste keystroke.
// Each paste is an independent chain of main-loop tasks that holds its
// target until it ends.
class PasteBack {
public:
    static constexpr int kFirstWaitMs = 120;
    static constexpr int kRetryWaitMs = 80;
    static constexpr int kMaxAttempts = 8;
    static constexpr quint32 kPasteKeyCode = 9; // V

    explicit PasteBack(const PasteBackServices &services);

    // False when the entry could not be written (the manager has told the
    // user): then no keystroke is sent, since it would paste whatever the
    // clipboard still holds, and the previous application only gets the
    // focus back.
    bool pasteToPreviousApp(const ClipboardItem &item, ClipboardManager &manager,
                            std::optional<RunningApplication> previousApp);
    bool pastePlainTextToPreviousApp(const ClipboardItem &item, ClipboardManager &manager,
                                     std::optional<RunningApplication> previousApp);
    // Posts the paste keystroke when trusted; false when nothing was posted.
    bool simulateCommandV();

    AccessibilityPermission &permission() { return permission_; }

private:
    void pasteWritten(std::optional<RunningApplication> previousApp);
    void writeFailed(const std::optional<RunningApplication> &previousApp);
    void activateAndSchedulePaste(const RunningApplication &app, int attempt);
    void pasteWhenFrontmost(const RunningApplication &app, int attempt, int maxAttempts);
    bool isFrontmost(const RunningApplication &app) const;

    PasteBackServices services_;
    AccessibilityPermission permission_;
};

} // namespace kelvo
