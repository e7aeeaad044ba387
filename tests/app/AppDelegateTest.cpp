// The delegate's flows: hot key registration from the stored shortcut, the
// panel's presentation and its callbacks, the paste target, termination.
#include "app/AppDelegate.h"

#include "history/HistoryTestSupport.h"
#include "platform/memory/MemoryPanelWindow.h"
#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"

#include <QCoreApplication>

using namespace kelvo;
using namespace kelvo::test;

namespace {

RunningApplication app(qint64 pid)
{
    RunningApplication a;
    a.processIdentifier = pid;
    a.localizedName = QStringLiteral("App %1").arg(pid);
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

    // Copies each text on the clipboard and lets the poll take it.
    void copy(const QStringList &texts)
    {
        for (const QString &text : texts) {
            rig.pasteboard.copy(textContents(text));
            rig.time.advance(ClipboardManager::kPollIntervalMs);
        }
    }
    void press(quint32 keyCode, quint64 flags = 0, const QString &chars = {})
    {
        ASSERT_TRUE(window);
        window->pressKey(KeyEvent{keyCode, flags, chars});
    }
    SelectionState &selection() { return delegate->selectionState(); }
    ClipboardManager &manager() { return delegate->clipboardManager(); }
    // Search, selection and tab as a user left them.
    void disturbState()
    {
        manager().setSearchQuery("x");
        selection().setSelectedIndex(1);
        selection().setActiveTab(ClipboardTab::pinned);
    }
    void expectFreshState()
    {
        EXPECT_EQ(manager().searchQuery(), QString());
        EXPECT_EQ(selection().selectedIndex(), 0);
        EXPECT_EQ(selection().activeTab(), ClipboardTab::history);
    }

    HistoryRig rig;
    memory::MemoryHotKeys hotKeys;
    memory::MemorySyntheticKeyboard keyboard;
    std::unique_ptr<AppDelegate> delegate;
    memory::MemoryPanelWindow *window = nullptr;
    int windowsMade = 0;
    int settingsPresentations = 0;
};

TEST_F(AppDelegateTest, FirstLaunchGrabsShiftCommandVAndAShortcutChangeReRegistersOnceAfterTheBurst)
{
    EXPECT_EQ(hotKeys.registrations, (QList<QPair<quint32, quint32>>{{9, 768}}));
    rig.preferences.setValue(PreferenceKey::HotkeyCode, 40);
    rig.time.advance(300);
    rig.preferences.setValue(PreferenceKey::HotkeyModifiers, 2048);
    rig.time.advance(499);
    EXPECT_EQ(hotKeys.registrations.size(), 1);
    rig.time.advance(1);
    EXPECT_EQ(hotKeys.registrations.size(), 2);
    EXPECT_EQ(hotKeys.registrations.last(), qMakePair(40u, 2048u));
}

TEST_F(AppDelegateTest, AShortcutTheDesktopRebindsIsStoredAndNotRegisteredAgain)
{
    hotKeys.rebind(hotKeys.lastHandle, {38, 2304}); // Super+Alt+J, chosen in the desktop's settings
    rig.time.advance(0);
    EXPECT_EQ(rig.preferences.integer(PreferenceKey::HotkeyCode), 38);
    EXPECT_EQ(rig.preferences.integer(PreferenceKey::HotkeyModifiers), 2304);
    rig.time.advance(AppDelegate::kPreferenceDebounceMs);
    EXPECT_EQ(hotKeys.registrations.size(), 1) << "the stored combination is the one held";
    EXPECT_TRUE(hotKeys.press({38, 2304}));

    hotKeys.rebind(hotKeys.lastHandle + 1, {0, 0}); // news of no registration of this run
    rig.time.advance(0);
    EXPECT_EQ(rig.preferences.integer(PreferenceKey::HotkeyCode), 38);
}

// A shortcut another program holds leaves the user without a way to the
// panel: they are told once, and again only after a registration worked.
TEST_F(AppDelegateTest, ATakenShortcutIsToldOnceUntilOneIsRegistered)
{
    const auto choose = [&](qint64 keyCode) {
        rig.preferences.setValue(PreferenceKey::HotkeyCode, keyCode);
        rig.time.advance(AppDelegate::kPreferenceDebounceMs);
    };
    hotKeys.taken = {{40, 768}, {41, 768}};
    choose(40);
    choose(41);
    ASSERT_EQ(rig.notifications.shown.size(), 1);
    EXPECT_TRUE(rig.notifications.shown.first().startsWith(FaultNotices::summary(Fault::ShortcutRefused)));
    EXPECT_TRUE(rig.notifications.shown.first().contains(shortcutDisplayText(40, 768))) << "names the shortcut";
    choose(9);
    choose(40);
    EXPECT_EQ(rig.notifications.shown.size(), 2);
}

// Where the clipboard reports its changes nothing is scheduled while idle;
// a change whose report went missing is read when the panel is shown.
TEST_F(AppDelegateTest, WithReportedChangesNothingRunsWhileIdleAndAShowingCatchesAMissedOne)
{
    rig.pasteboard.reportingChanges = true;
    delegate.reset();
    makeDelegate();
    EXPECT_FALSE(manager().isPolling());
    rig.time.advance(60000);
    EXPECT_EQ(rig.time.pendingCount(), 0);
    rig.pasteboard.copy(textContents("unreported"));
    rig.time.advance(60000);
    EXPECT_TRUE(manager().items().isEmpty());
    delegate->showPanel();
    rig.time.runPending();
    EXPECT_EQ(texts(manager().items()), QStringList({"unreported"}));
}

TEST_F(AppDelegateTest, HotKeyTogglesThePanelAndEveryShowingStartsFresh)
{
    copy({"one", "two"});
    hotKeys.pressAny();
    rig.time.advance(0);
    ASSERT_TRUE(delegate->panel());
    EXPECT_TRUE(delegate->panel()->isVisible());
    const QUuid firstToken = selection().panelPresentationToken();

    disturbState();
    window->cancel(); // Escape: the panel dismisses itself, the state stays
    window->finishAnimation();
    EXPECT_EQ(manager().searchQuery(), "x");
    hotKeys.pressAny();
    rig.time.advance(0);
    EXPECT_TRUE(delegate->panel()->isVisible());
    expectFreshState();
    EXPECT_NE(selection().panelPresentationToken(), firstToken);
    EXPECT_FALSE(selection().panelPresentationToken().isNull());

    disturbState();
    hotKeys.pressAny(); // the second press hides and resets
    rig.time.advance(0);
    expectFreshState();
    window->finishAnimation();
    EXPECT_FALSE(delegate->panel()->isVisible());
    EXPECT_EQ(windowsMade, 1) << "the panel is built once and reused";
}

TEST_F(AppDelegateTest, KeysMoveTheSelectionWithinTheActiveListAndSwitchTabs)
{
    copy({"one", "two", "three"});
    delegate->showPanel();
    for (int i = 0; i < 3; ++i)
        press(124); // right
    EXPECT_EQ(selection().selectedIndex(), 2) << "clamped to the three entries";
    press(123); // left
    EXPECT_EQ(selection().selectedIndex(), 1);
    press(48, 0, "\t");
    EXPECT_EQ(selection().activeTab(), ClipboardTab::pinned);
    press(48, EventFlag::Shift, "\t");
    EXPECT_EQ(selection().activeTab(), ClipboardTab::history);

    selection().setPendingChars("stale");
    press(3, EventFlag::Command, "f"); // command-F asks for the search field
    EXPECT_EQ(selection().pendingChars(), QString());
    EXPECT_TRUE(selection().shouldFocusSearch());
}

TEST_F(AppDelegateTest, QuickPasteTakesTheFilteredListAndTheTargetOfTheShowingAndNothingOutsideIt)
{
    copy({"apple", "banana", "apricot"});
    rig.applications.frontmost = app(42);
    delegate->showPanel();
    rig.applications.frontmost = app(7); // something else came forward since
    manager().setSearchQuery("zz");
    press(36, 0, "\r"); // Return with nothing listed
    manager().setSearchQuery("ap");
    press(20, EventFlag::Command, "3"); // "ap" lists two entries
    EXPECT_TRUE(delegate->panel()->isVisible());
    rig.time.advance(2000);
    EXPECT_TRUE(keyboard.posted.isEmpty());

    press(19, EventFlag::Command, "2"); // command-2: the second entry of "ap"
    EXPECT_FALSE(delegate->panel()->isVisible()) << "taken down at once";
    EXPECT_EQ(rig.pasteboard.current->strings.value(PasteboardType::String), "apple");
    rig.time.advance(2000);
    ASSERT_FALSE(rig.applications.activations.isEmpty());
    EXPECT_EQ(rig.applications.activations.first().processIdentifier, 42);
    EXPECT_EQ(keyboard.posted, QStringList({"9down", "9up"}));
}

TEST_F(AppDelegateTest, HidingThePanelHandsTheFocusBackOnlyWhenItKeptIt)
{
    const qint64 self = QCoreApplication::applicationPid();
    copy({"one"});
    // (front when hidden, how it is hidden) -> activations of the editor
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
        SCOPED_TRACE(c.how);
        rig.applications.frontmost = app(42);
        rig.applications.activations.clear();
        delegate->showPanel();
        rig.applications.frontmost = app(c.frontWhenHidden);
        rig.applications.activationTakesEffect = false;
        const QString how = QString::fromLatin1(c.how);
        if (how == "escape")
            window->cancel();
        else if (how == "hotkey")
            delegate->togglePanel();
        else if (how == "settings")
            delegate->onOpenSettings();
        else
            delegate->onPaste(manager().items().first()); // a reference into the list the paste reorders
        window->finishAnimation();
        EXPECT_FALSE(delegate->panel()->isVisible());
        EXPECT_EQ(rig.applications.activations.size(), c.activations);
        for (const RunningApplication &a : rig.applications.activations)
            EXPECT_EQ(a.processIdentifier, 42);
        rig.time.advance(2000); // the paste-back's retries end
        rig.applications.activationTakesEffect = true;
    }
    EXPECT_EQ(settingsPresentations, 1);
}

// The settings offer the application that was in front as one never to
// record: never this program's own window, but the one before the panel.
TEST_F(AppDelegateTest, TheApplicationBeforeTheSettingsIsTheOneInFrontOrTheOneBeforeThePanel)
{
    rig.applications.frontmost = app(42);
    delegate->openSettings();
    EXPECT_EQ(delegate->applicationBeforeSettings()->processIdentifier, 42);
    delegate->showPanel(); // the panel remembers 42
    rig.applications.frontmost = app(QCoreApplication::applicationPid());
    delegate->onOpenSettings();
    EXPECT_EQ(delegate->applicationBeforeSettings()->processIdentifier, 42);
}

TEST_F(AppDelegateTest, NoFrontmostApplicationStillWritesTheClipboard)
{
    copy({"kept"});
    rig.applications.frontmost.reset();
    delegate->showPanel();
    rig.applications.frontmost = app(9); // came forward after the showing: not the target
    rig.pasteboard.writeLog.clear(); // the clipboard holds "kept" already: count the writes
    delegate->onPastePlainText(manager().filteredItems(ClipboardTab::history).first());
    rig.time.advance(2000);
    EXPECT_EQ(rig.pasteboard.writeLog.size(), 1);
    EXPECT_TRUE(keyboard.posted.isEmpty());
    EXPECT_TRUE(rig.applications.activations.isEmpty());
}

TEST_F(AppDelegateTest, TerminationUnregistersAndKeepsTheLastChange)
{
    copy({"last words"});
    ASSERT_TRUE(manager().hasPendingSave());
    delegate->applicationWillTerminate();
    EXPECT_EQ(hotKeys.unregistrations.size(), 1);
    EXPECT_FALSE(manager().hasPendingSave());
    // A preference written while quitting grabs no key again.
    rig.preferences.setValue(PreferenceKey::HotkeyCode, 3);
    rig.time.advance(1000);
    EXPECT_EQ(hotKeys.registrations.size(), 1);
    rig.background.flush();
    delegate.reset();

    // A fresh start reads what the quitting one wrote, and grabs the stored shortcut.
    makeDelegate();
    EXPECT_EQ(hotKeys.registrations.last(), qMakePair(3u, 768u));
    QStringList texts;
    for (const auto &item : manager().filteredItems(ClipboardTab::history))
        texts.append(item.content.string());
    EXPECT_EQ(texts, QStringList({"last words"}));
}

} // namespace
