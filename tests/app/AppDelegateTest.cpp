// The delegate's flows: hot key registration from the stored shortcut, the
// panel's presentation and its callbacks, the paste target, termination.
#include "app/AppDelegate.h"

#include "history/HistoryTestSupport.h"
#include "platform/memory/MemoryPanelWindow.h"
#include "settings/StoredPreferences.h"

#include <QCoreApplication>
#include <QPointer>

using namespace kelvo;
using namespace kelvo::test;

namespace {

using RecordingHotKeys = memory::MemoryHotKeys;
using RecordingKeyboard = memory::MemorySyntheticKeyboard;

RunningApplication app(qint64 pid, const QString &name)
{
    RunningApplication a;
    a.processIdentifier = pid;
    a.localizedName = name;
    return a;
}

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override { makeDelegate(); }

    void makeDelegate()
    {
        AppServices services{rig.services(), hotKeys, keyboard,
                             [this] {
                                 ++windowsMade;
                                 auto w = std::make_unique<memory::MemoryPanelWindow>();
                                 window = w.get();
                                 return w;
                             },
                             [this] { ++settingsPresentations; }};
        delegate = std::make_unique<AppDelegate>(services);
        delegate->applicationDidFinishLaunching();
    }

    // Copies `text` on the clipboard and lets the poll take it.
    void copy(const QString &text)
    {
        rig.pasteboard.copy(textContents(text));
        rig.time.advance(ClipboardManager::kPollIntervalMs);
    }

    QStringList historyTexts()
    {
        QStringList texts;
        for (const auto &item : delegate->clipboardManager().filteredItems(ClipboardTab::history))
            texts.append(item.content.string());
        return texts;
    }

    void press(quint32 keyCode, quint64 flags = 0, const QString &chars = {})
    {
        ASSERT_TRUE(window);
        window->pressKey(KeyEvent{keyCode, flags, chars});
    }

    HistoryRig rig;
    RecordingHotKeys hotKeys;
    RecordingKeyboard keyboard;
    std::unique_ptr<AppDelegate> delegate;
    memory::MemoryPanelWindow *window = nullptr;
    int windowsMade = 0;
    int settingsPresentations = 0;
};

TEST_F(AppDelegateTest, FirstLaunchRegistersShiftCommandV)
{
    ASSERT_EQ(hotKeys.registrations.size(), 1);
    EXPECT_EQ(hotKeys.registrations.first(), qMakePair(9u, 768u));
}

TEST(AppDelegateShortcut, StoredZeroesAreKeysAndOutOfRangeValuesFallBack)
{
    struct Case {
        QVariant code, modifiers;
        quint32 wantCode, wantModifiers;
    };
    const QList<Case> cases{
        {0, 0, 0, 0},                          // A without modifiers
        {0, QVariant(), 0, 768},               // only the key stored
        {QVariant(), 4096, 9, 4096},
        {-1, qint64(1) << 33, 9, 768},         // cannot be a shortcut
        {49, 2048 + 4096, 49, 6144},
    };
    for (const Case &c : cases) {
        HistoryRig rig;
        if (c.code.isValid())
            rig.preferences.setValue(PreferenceKey::HotkeyCode, c.code);
        if (c.modifiers.isValid())
            rig.preferences.setValue(PreferenceKey::HotkeyModifiers, c.modifiers);
        RecordingHotKeys hotKeys;
        RecordingKeyboard keyboard;
        AppDelegate delegate(AppServices{rig.services(), hotKeys, keyboard, {}, {}});
        delegate.applicationDidFinishLaunching();
        ASSERT_EQ(hotKeys.registrations.size(), 1);
        EXPECT_EQ(hotKeys.registrations.first(), qMakePair(c.wantCode, c.wantModifiers))
            << c.code.toString().toStdString() << " " << c.modifiers.toString().toStdString();
    }
}

TEST_F(AppDelegateTest, ABurstOfPreferenceWritesReRegistersOnceAfterTheLast)
{
    rig.preferences.setValue(PreferenceKey::HotkeyCode, 40);
    rig.time.advance(300);
    rig.preferences.setValue(PreferenceKey::HotkeyModifiers, 2048);
    rig.time.advance(499);
    EXPECT_EQ(hotKeys.registrations.size(), 1);
    rig.time.advance(1);
    ASSERT_EQ(hotKeys.registrations.size(), 2);
    EXPECT_EQ(hotKeys.registrations.last(), qMakePair(40u, 2048u));
    EXPECT_EQ(hotKeys.unregistrations.size(), 1);

    // An unrelated write leaves the grab alone.
    rig.preferences.setValue(PreferenceKey::MaxHistoryCount, 100);
    rig.time.advance(600);
    EXPECT_EQ(hotKeys.registrations.size(), 2);
    EXPECT_EQ(hotKeys.unregistrations.size(), 1);
}

TEST_F(AppDelegateTest, HotKeyTogglesThePanelAndTheSecondPressResetsIt)
{
    copy("one");
    copy("two");
    hotKeys.pressAny();
    rig.time.advance(0);
    ASSERT_TRUE(delegate->panel());
    EXPECT_TRUE(delegate->panel()->isVisible());

    delegate->clipboardManager().setSearchQuery("tw");
    delegate->selectionState().setSelectedIndex(1);
    delegate->selectionState().setActiveTab(ClipboardTab::pinned);
    hotKeys.pressAny();
    rig.time.advance(0);
    EXPECT_EQ(delegate->clipboardManager().searchQuery(), QString());
    EXPECT_EQ(delegate->selectionState().selectedIndex(), 0);
    EXPECT_EQ(delegate->selectionState().activeTab(), ClipboardTab::history);
    window->finishAnimation();
    EXPECT_FALSE(delegate->panel()->isVisible());
    EXPECT_EQ(windowsMade, 1);

    hotKeys.pressAny();
    rig.time.advance(0);
    EXPECT_TRUE(delegate->panel()->isVisible());
    EXPECT_EQ(windowsMade, 1) << "the panel is built once and reused";
}

TEST_F(AppDelegateTest, EveryShowingStartsFresh)
{
    copy("one");
    copy("two");
    delegate->showPanel();
    const QUuid firstToken = delegate->selectionState().panelPresentationToken();
    delegate->clipboardManager().setSearchQuery("x");
    delegate->selectionState().setSelectedIndex(1);
    delegate->selectionState().setActiveTab(ClipboardTab::pinned);
    window->cancel(); // Escape: the panel dismisses itself, the state stays
    window->finishAnimation();
    EXPECT_EQ(delegate->clipboardManager().searchQuery(), QStringLiteral("x"));

    delegate->showPanel();
    EXPECT_EQ(delegate->clipboardManager().searchQuery(), QString());
    EXPECT_EQ(delegate->selectionState().selectedIndex(), 0);
    EXPECT_EQ(delegate->selectionState().activeTab(), ClipboardTab::history);
    EXPECT_NE(delegate->selectionState().panelPresentationToken(), firstToken);
    EXPECT_FALSE(delegate->selectionState().panelPresentationToken().isNull());
}

TEST_F(AppDelegateTest, KeysMoveTheSelectionWithinTheActiveListAndSwitchTabs)
{
    copy("one");
    copy("two");
    copy("three");
    delegate->showPanel();
    press(124); // right
    press(124);
    press(124);
    EXPECT_EQ(delegate->selectionState().selectedIndex(), 2) << "clamped to the three entries";
    press(123); // left
    EXPECT_EQ(delegate->selectionState().selectedIndex(), 1);

    press(48, 0, "\t");
    EXPECT_EQ(delegate->selectionState().activeTab(), ClipboardTab::pinned);
    press(48, EventFlag::Shift, "\t");
    EXPECT_EQ(delegate->selectionState().activeTab(), ClipboardTab::history);
}

TEST_F(AppDelegateTest, QuickPasteTakesTheFilteredListAndTheTargetOfTheShowing)
{
    copy("apple");
    copy("banana");
    copy("apricot");
    rig.applications.frontmost = app(42, "Editor");
    delegate->showPanel();
    rig.applications.frontmost = app(7, "Other"); // something else came forward since
    delegate->clipboardManager().setSearchQuery("ap");

    press(18, EventFlag::Command, "1"); // command-1: the first entry of "ap"
    EXPECT_FALSE(delegate->panel()->isVisible()) << "taken down at once";
    EXPECT_EQ(window->alpha, 0.0);
    EXPECT_FALSE(window->animating());
    EXPECT_EQ(rig.pasteboard.current->strings.value(PasteboardType::String), QStringLiteral("apricot"));

    rig.time.advance(2000);
    ASSERT_FALSE(rig.applications.activations.isEmpty());
    EXPECT_EQ(rig.applications.activations.first().processIdentifier, 42);
    EXPECT_EQ(keyboard.posted, QStringList({"9down", "9up"}));
}

TEST_F(AppDelegateTest, ReturnAndQuickPasteOutsideTheListDoNothing)
{
    delegate->showPanel();
    press(36, 0, "\r");
    press(19, EventFlag::Command, "2");
    EXPECT_TRUE(delegate->panel()->isVisible());
    rig.time.advance(2000);
    EXPECT_TRUE(rig.applications.activations.isEmpty());
    EXPECT_TRUE(keyboard.posted.isEmpty());

    copy("only");
    press(19, EventFlag::Command, "2");
    EXPECT_TRUE(delegate->panel()->isVisible());
    press(36, 0, "\r");
    EXPECT_FALSE(delegate->panel()->isVisible());
    EXPECT_EQ(rig.pasteboard.current->strings.value(PasteboardType::String), QStringLiteral("only"));
}

TEST_F(AppDelegateTest, CommandFAsksForTheSearchField)
{
    delegate->showPanel();
    delegate->selectionState().setPendingChars(QStringLiteral("stale"));
    press(3, EventFlag::Command, "f");
    EXPECT_EQ(delegate->selectionState().pendingChars(), QString());
    EXPECT_TRUE(delegate->selectionState().shouldFocusSearch());
}

TEST_F(AppDelegateTest, OpeningSettingsFromThePanelHidesItFirst)
{
    delegate->showPanel();
    delegate->onOpenSettings();
    window->finishAnimation();
    EXPECT_FALSE(delegate->panel()->isVisible());
    EXPECT_EQ(settingsPresentations, 1);
    delegate->openSettings();
    EXPECT_EQ(settingsPresentations, 2);
}

TEST_F(AppDelegateTest, HidingThePanelHandsTheFocusBackOnlyWhenItKeptIt)
{
    const qint64 self = QCoreApplication::applicationPid();
    copy("one");
    // (front at the showing, front when hidden, how it is hidden) -> activations of the editor
    const struct {
        qint64 frontWhenHidden;
        const char *how;
        int activations;
    } cases[] = {
        {self, "escape", 1},   // the hidden panel kept the focus
        {self, "hotkey", 1},
        {77, "escape", 0},     // another window took it already
        {self, "settings", 0}, // the settings window takes it
        {self, "paste", 1},    // the paste-back's own activation only
    };
    for (const auto &c : cases) {
        rig.applications.frontmost = app(42, "Editor");
        rig.applications.activations.clear();
        delegate->showPanel();
        rig.applications.frontmost = app(c.frontWhenHidden, "Kelvo");
        rig.applications.activationTakesEffect = false;
        const QString how = QString::fromLatin1(c.how);
        if (how == "escape")
            window->cancel();
        else if (how == "hotkey")
            delegate->togglePanel();
        else if (how == "settings")
            delegate->onOpenSettings();
        else
            delegate->onPaste(delegate->clipboardManager().items().first()); // a reference into the list the paste reorders
        window->finishAnimation();
        EXPECT_EQ(rig.applications.activations.size(), c.activations) << c.how;
        for (const RunningApplication &a : rig.applications.activations)
            EXPECT_EQ(a.processIdentifier, 42) << c.how;
        rig.time.advance(2000); // the paste-back's retries end
        rig.applications.activationTakesEffect = true;
    }
}

TEST_F(AppDelegateTest, NoFrontmostApplicationStillWritesTheClipboard)
{
    copy("kept");
    rig.applications.frontmost.reset();
    LogCapture log;
    delegate->showPanel();
    delegate->onPastePlainText(delegate->clipboardManager().filteredItems(ClipboardTab::history).first());
    rig.time.advance(2000);
    EXPECT_EQ(rig.pasteboard.current->strings.value(PasteboardType::String), QStringLiteral("kept"));
    EXPECT_TRUE(keyboard.posted.isEmpty());
    EXPECT_FALSE(log.lines.isEmpty());
}

TEST_F(AppDelegateTest, TerminationUnregistersAndKeepsTheLastChange)
{
    copy("last words");
    ASSERT_TRUE(delegate->clipboardManager().hasPendingSave());
    delegate->applicationWillTerminate();
    EXPECT_EQ(hotKeys.unregistrations.size(), 1);
    EXPECT_FALSE(delegate->clipboardManager().hasPendingSave());
    rig.background.flush();
    delegate.reset();

    // A fresh start reads what the quitting one wrote.
    makeDelegate();
    EXPECT_EQ(historyTexts(), QStringList({"last words"}));
}

TEST_F(AppDelegateTest, LateEventsAfterTheDelegateIsGoneDoNothing)
{
    copy("x");
    delegate->showPanel();
    auto keyHandlerWindow = window;
    delegate.reset(); // the panel goes with it
    rig.preferences.setValue(PreferenceKey::HotkeyCode, 3);
    rig.time.advance(1000);
    ASSERT_TRUE(hotKeys.handler);
    hotKeys.handler(); // a press that was already on its way
    rig.time.advance(10);
    EXPECT_EQ(hotKeys.registrations.size(), 1);
    Q_UNUSED(keyHandlerWindow);
}

} // namespace
