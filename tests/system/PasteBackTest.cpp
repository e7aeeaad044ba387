// Paste-back: the write and its log line, the activation and retry
// schedule on virtual time, the paste keystroke and its failures, and the
// one-second trust cache.
#include "system/PasteBack.h"

#include "history/HistoryTestSupport.h"

using namespace kelvo;
using namespace kelvo::test;

namespace {

RunningApplication target(qint64 pid, quint64 window = 0)
{
    RunningApplication app;
    app.processIdentifier = pid;
    app.windowHandle = window;
    app.localizedName = QStringLiteral("Target %1").arg(pid);
    return app;
}

class PasteBackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = rig.make();
        rig.copyAndPoll(*manager, textContents("hello"));
        rig.applications.frontmost = target(1); // the program's own window, say
    }
    ClipboardItem first() { return manager->filteredItems(ClipboardTab::history).first(); }
    void pasteTo(std::optional<RunningApplication> app) { paste.pasteToPreviousApp(first(), *manager, app); }

    HistoryRig rig;
    memory::MemorySyntheticKeyboard keyboard;
    std::unique_ptr<ClipboardManager> manager;
    PasteBack paste{PasteBackServices{rig.applications, keyboard, rig.time, rig.time}};
    LogCapture log;
};

TEST_F(PasteBackTest, TheKeystrokeFollowsTheActivationAndItsChecks)
{
    // (target in front already, activation takes effect) -> when the paste
    // comes and how many activations it took.
    const struct {
        bool inFront, takesEffect;
        int pasteAtMs, activations;
    } cases[] = {
        {true, true, 120, 0},
        {false, true, 120, 1},
        {false, false, 760, 9}, // attempts 0 to 8 each activate
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pasteAtMs + c.activations);
        rig.applications.frontmost = target(c.inFront ? 42 : 1);
        rig.applications.activationTakesEffect = c.takesEffect;
        rig.applications.activations.clear();
        keyboard.posted.clear();
        log.lines.clear();
        pasteTo(target(42));
        rig.time.advance(c.pasteAtMs - 1);
        EXPECT_TRUE(keyboard.posted.isEmpty());
        rig.time.advance(1);
        EXPECT_EQ(keyboard.posted, QStringList({"9down", "9up"}));
        EXPECT_EQ(rig.applications.activations.size(), c.activations);
        for (const auto &a : rig.applications.activations)
            EXPECT_EQ(a.processIdentifier, 42);
        rig.time.advance(5000);
        EXPECT_EQ(keyboard.posted.size(), 2) << "the chain ends with the paste";
        EXPECT_EQ(log.lines, QStringList({"[Kelvo] 已写入剪贴板, 类型: doc.text", "[Kelvo] 已模拟 ⌘V 粘贴"}));
    }
}

TEST_F(PasteBackTest, WindowsDecideWhetherTheTargetIsInFrontAndAnUnknownProcessNeverMatches)
{
    // (front pid, front window, target pid, target window) -> activated first?
    const struct {
        qint64 frontPid;
        quint64 frontWindow;
        qint64 targetPid;
        quint64 targetWindow;
        bool activated;
    } cases[] = {
        {7, 100, 7, 100, false}, // the same window
        {7, 101, 7, 100, true},  // another window, same process
        {0, 101, 0, 100, true},  // no pid on either
        {0, 0, 0, 0, true},      // nothing known at all
        {9, 0, 9, 100, false},   // window unknown: the pid
        {8, 0, 9, 0, true},
    };
    for (const auto &c : cases) {
        rig.applications.activations.clear();
        rig.applications.frontmost = target(c.frontPid, c.frontWindow);
        pasteTo(target(c.targetPid, c.targetWindow));
        EXPECT_EQ(!rig.applications.activations.isEmpty(), c.activated) << c.frontPid << " " << c.frontWindow;
        rig.time.advance(2000);
    }
}

TEST_F(PasteBackTest, TwoPastesRunTwoIndependentChains)
{
    pasteTo(target(42));
    rig.time.advance(60);
    pasteTo(target(42));
    rig.time.advance(2000);
    EXPECT_EQ(keyboard.posted.size(), 4);
}

// Plain text of a rich entry, without a target.
TEST_F(PasteBackTest, WithoutATargetOnlyTheClipboardIsWritten)
{
    rig.copyAndPoll(*manager, memory::MemoryContents::withData({{PasteboardType::RTF, "{\\rtf1 bold}"}}));
    ASSERT_EQ(first().content.kind(), ClipboardContent::Kind::RichText);
    rig.pasteboard.writeLog.clear();
    log.lines.clear();
    paste.pastePlainTextToPreviousApp(first(), *manager, std::nullopt);
    rig.time.advance(2000);
    EXPECT_EQ(rig.pasteboard.writeLog, QStringList({"write " + PasteboardType::String}));
    EXPECT_EQ(rig.pasteboard.current->strings.value(PasteboardType::String), QStringLiteral("bold"));
    EXPECT_TRUE(rig.applications.activations.isEmpty());
    EXPECT_TRUE(keyboard.posted.isEmpty());
    EXPECT_EQ(keyboard.trustQueries, 0);
    EXPECT_EQ(log.lines, QStringList({"[Kelvo] 已写入剪贴板(纯文本), 类型: doc.richtext",
                                      "[Kelvo] 没有记录到之前的应用，仅写入剪贴板"}));
}

// A keystroke after a failed write would paste whatever the clipboard still
// holds: there is none, and the target only gets the focus back.
TEST_F(PasteBackTest, AWriteThatFailsSendsNoKeystroke)
{
    rig.applications.frontmost = target(42);
    rig.pasteboard.refuseWrites = true;
    EXPECT_FALSE(paste.pasteToPreviousApp(first(), *manager, target(7)));
    rig.time.advance(2000);
    EXPECT_TRUE(keyboard.posted.isEmpty());
    ASSERT_EQ(rig.applications.activations.size(), 1);
    EXPECT_EQ(rig.applications.activations.first().processIdentifier, 7);
    EXPECT_EQ(log.lines.last(), QStringLiteral("[Kelvo] 写入剪贴板失败, 不执行粘贴"));
}

TEST_F(PasteBackTest, KeyEventFailuresPostNothing)
{
    keyboard.trusted = false;
    EXPECT_FALSE(paste.simulateCommandV());
    EXPECT_TRUE(log.lines.isEmpty()) << "untrusted: silent";
    keyboard.trusted = true;
    rig.time.advance(1001); // past the trust cache
    keyboard.failKeyDown = true;
    EXPECT_FALSE(paste.simulateCommandV());
    EXPECT_EQ(log.lines.last(), QStringLiteral("[Kelvo] 创建 keyDown 事件失败"));
    keyboard.failKeyDown = false;
    keyboard.failKeyUp = true;
    EXPECT_FALSE(paste.simulateCommandV());
    EXPECT_EQ(log.lines.last(), QStringLiteral("[Kelvo] 创建 keyUp 事件失败"));
    EXPECT_TRUE(keyboard.pending.isEmpty()) << "the key-down is dropped, not posted later";
    EXPECT_TRUE(keyboard.posted.isEmpty());
    keyboard.failKeyUp = false;
    EXPECT_TRUE(paste.simulateCommandV());
    EXPECT_EQ(keyboard.posted, QStringList({"9down", "9up"}));
}

TEST_F(PasteBackTest, TrustIsAskedOfTheSystemAtMostOnceASecondButAfreshAtEveryPaste)
{
    AccessibilityPermission &permission = paste.permission();
    permission.isTrusted();
    permission.isTrusted();
    EXPECT_EQ(keyboard.trustQueries, 1);
    rig.time.advance(1000);
    permission.isTrusted();
    EXPECT_EQ(keyboard.trustQueries, 1) << "exactly one second old is still fresh";
    rig.time.advance(1);
    EXPECT_TRUE(permission.isTrusted());
    EXPECT_EQ(keyboard.trustQueries, 2);

    // Revoked a moment ago: the cache still says yes, the paste asks afresh,
    // requests the permission and only activates the target.
    keyboard.trusted = false;
    EXPECT_TRUE(permission.isTrusted());
    pasteTo(target(42));
    EXPECT_EQ(keyboard.trustRequests, 1);
    EXPECT_FALSE(permission.isTrusted()) << "the request's answer is cached";
    EXPECT_EQ(keyboard.trustQueries, 3);
    rig.time.advance(2000);
    EXPECT_EQ(rig.applications.activations.size(), 1);
    EXPECT_TRUE(keyboard.posted.isEmpty());
    EXPECT_EQ(rig.pasteboard.current->strings.value(PasteboardType::String), QStringLiteral("hello"));
}

} // namespace
