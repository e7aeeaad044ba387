#include "system/PasteBack.h"

#include "platform/Log.h"

namespace kelvo {

AccessibilityPermission::AccessibilityPermission(SyntheticKeyboard &keyboard, Clock &clock)
    : keyboard_(keyboard), clock_(clock)
{
}

bool AccessibilityPermission::isTrusted()
{
    const qint64 now = clock_.monotonicMs();
    if (!lastCheckMs_ || now - *lastCheckMs_ > kCacheLifetimeMs)
        refresh();
    return trusted_;
}

bool AccessibilityPermission::refresh()
{
    trusted_ = keyboard_.isTrusted();
    lastCheckMs_ = clock_.monotonicMs();
    return trusted_;
}

bool AccessibilityPermission::requestTrust()
{
    trusted_ = keyboard_.requestTrust();
    lastCheckMs_ = clock_.monotonicMs();
    return trusted_;
}

bool AccessibilityPermission::openSettings()
{
    return keyboard_.openSettings();
}

PasteBack::PasteBack(const PasteBackServices &services)
    : services_(services), permission_(services.keyboard, services.clock)
{
}

bool PasteBack::pasteToPreviousApp(const ClipboardItem &item, ClipboardManager &manager,
                                   std::optional<RunningApplication> previousApp)
{
    // The write moves the entry to the front, which may replace the list
    // that `item` refers into.
    const auto kind = item.content.kind();
    if (!manager.writeToPasteboard(item)) {
        writeFailed(previousApp);
        return false;
    }
    logLine(QStringLiteral("[Kelvo] 已写入剪贴板, 类型: ") + symbolName(kind));
    pasteWritten(std::move(previousApp));
    return true;
}

bool PasteBack::pastePlainTextToPreviousApp(const ClipboardItem &item, ClipboardManager &manager,
                                            std::optional<RunningApplication> previousApp)
{
    // The write moves the entry to the front, which may replace the list
    // that `item` refers into.
    const auto kind = item.content.kind();
    if (!manager.writePlainTextToPasteboard(item)) {
        writeFailed(previousApp);
        return false;
    }
    logLine(QStringLiteral("[Kelvo] 已写入剪贴板(纯文本), 类型: ") + symbolName(kind));
    pasteWritten(std::move(previousApp));
    return true;
}

void PasteBack::writeFailed(const std::optional<RunningApplication> &previousApp)
{
    logLine(QStringLiteral("[Kelvo] 写入剪贴板失败, 不执行粘贴"));
    if (previousApp)
        services_.applications.activate(*previousApp);
}

void PasteBack::pasteWritten(std::optional<RunningApplication> previousApp)
{
    if (!previousApp) {
        logLine(QStringLiteral("[Kelvo] 没有记录到之前的应用，仅写入剪贴板"));
        return;
    }
    if (!permission_.refresh()) {
        permission_.requestTrust();
        services_.applications.activate(*previousApp);
        return;
    }
    activateAndSchedulePaste(*previousApp, 0);
}

bool PasteBack::isFrontmost(const RunningApplication &app) const
{
    const std::optional<RunningApplication> front = services_.applications.frontmostApplication();
    if (!front)
        return false;
    // The window decides: another window of the same process (this
    // program's own panel among them) is not the target. Only where the
    // window is unknown the process stands in, and an unknown process
    // (0) never matches.
    if (front->windowHandle != 0 && app.windowHandle != 0)
        return front->windowHandle == app.windowHandle;
    return front->processIdentifier != 0 && front->processIdentifier == app.processIdentifier;
}

void PasteBack::activateAndSchedulePaste(const RunningApplication &app, int attempt)
{
    if (!isFrontmost(app))
        services_.applications.activate(app);
    // The chain holds the target by value and the services by reference;
    // the services live as long as the program.
    services_.mainLoop.after(attempt == 0 ? kFirstWaitMs : kRetryWaitMs,
                             [this, app, attempt] { pasteWhenFrontmost(app, attempt, kMaxAttempts); });
}

void PasteBack::pasteWhenFrontmost(const RunningApplication &app, int attempt, int maxAttempts)
{
    if (!isFrontmost(app) && attempt < maxAttempts) {
        activateAndSchedulePaste(app, attempt + 1);
        return;
    }
    simulateCommandV();
}

bool PasteBack::simulateCommandV()
{
    if (!permission_.isTrusted())
        return false;
    SyntheticKeyboard &keyboard = services_.keyboard;
    if (!keyboard.createKeyEvent(kPasteKeyCode, true)) {
        logLine(QStringLiteral("[Kelvo] 创建 keyDown 事件失败"));
        return false;
    }
    if (!keyboard.createKeyEvent(kPasteKeyCode, false)) {
        logLine(QStringLiteral("[Kelvo] 创建 keyUp 事件失败"));
        keyboard.discardPendingEvents();
        return false;
    }
    keyboard.postPendingEvents();
    logLine(QStringLiteral("[Kelvo] 已模拟 ⌘V 粘贴"));
    return true;
}

} // namespace kelvo
