#include "panel/FloatingPanel.h"
#include "platform/memory/MemoryPanelWindow.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace kelvo;
using kelvo::memory::MemoryPanelWindow;

namespace {

class FloatingPanelTest : public ::testing::Test {
protected:
    FloatingPanelTest()
    {
        auto w = std::make_unique<MemoryPanelWindow>();
        window = w.get();
        panel = std::make_unique<FloatingPanel>(std::move(w));
        panel->onKeyLeft = [this] { calls << "left"; };
        panel->onKeyRight = [this] { calls << "right"; };
        panel->onKeyReturn = [this] { calls << "return"; };
        panel->onQuickPasteAtIndex = [this](int i) { calls << QString("quick %1").arg(i); };
    }

    void showFully()
    {
        panel->show();
        window->finishAnimation();
        window->log.clear();
    }
    int monitors() const { return window->keyMonitorCount() + window->clickMonitorCount(); }

    MemoryPanelWindow *window = nullptr;
    std::unique_ptr<FloatingPanel> panel;
    QStringList calls;
};

TEST_F(FloatingPanelTest, ShowPlacesAlongTheBottomEdgeFadesInAndShowingTwiceKeepsOneMonitorOfEach)
{
    // No screen at all: nothing is shown, nothing watched.
    window->screen.reset();
    panel->show();
    EXPECT_TRUE(window->log.isEmpty()) << "constructed hidden, and not shown without a screen";
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(monitors(), 0);

    // A screen away from the origin: the frame follows its edges.
    window->screen = QRect(1920, 0, 2560, 1440);
    panel->show();
    EXPECT_EQ(window->log, QStringList({"frame 1920,1116 2560x324", "alpha 0", "front", "key", "animate 1 80 out",
                                        "addClick 1", "addKey 2"}));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(window->keyWindow);
    panel->show(); // restarts the fade from 0
    EXPECT_EQ(window->keyMonitorCount(), 1);
    EXPECT_EQ(window->clickMonitorCount(), 1);
    EXPECT_EQ(window->alpha, 0.0);
    EXPECT_TRUE(window->finishAnimation());
    EXPECT_EQ(window->alpha, 1.0);
}

TEST(ChooseMainScreen, TheScreenHoldingMostOfTheActiveWindowElseThePrimary)
{
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)};
    const struct {
        std::optional<QRect> active;
        int primary, expected;
    } cases[] = {
        {QRect(2200, 300, 800, 600), 0, 1}, {QRect(100, 100, 800, 600), 1, 0},
        {QRect(1800, 100, 400, 300), 0, 1}, // mostly on the right one
        {std::nullopt, 1, 1},               // none: the primary
        {QRect(9000, 9000, 10, 10), 0, 0},  // off every screen
    };
    for (const auto &c : cases)
        EXPECT_EQ(chooseMainScreen(screens, c.primary, c.active), c.expected) << c.active.value_or(QRect()).x();
}

TEST_F(FloatingPanelTest, ReducedMotionOrAnImmediateDismissHidesBeforeReturning)
{
    for (const bool reduced : {true, false}) {
        SCOPED_TRACE(reduced ? "reduced motion" : "immediately");
        window->reducedMotion = reduced;
        panel->show();
        EXPECT_EQ(window->animating(), !reduced);
        window->finishAnimation();
        EXPECT_EQ(window->alpha, 1.0);
        window->log.clear();
        int completions = 0;
        panel->dismiss(!reduced, [&] { ++completions; });
        EXPECT_EQ(completions, 1) << "before dismiss() returned";
        EXPECT_EQ(window->log.mid(2), QStringList({"clearFocus", "alpha 0", "out"})) << "after both monitors went";
        EXPECT_EQ(monitors(), 0);
        EXPECT_FALSE(panel->isVisible());
        EXPECT_FALSE(window->animating());
        EXPECT_EQ(window->animations.isEmpty(), reduced);
    }
}

// Every way out fades: the monitors go at once, keys during the fade run
// nothing by either path (the key-down handler sees them once the monitors
// are gone), and the panel hides when the fade ends.
TEST_F(FloatingPanelTest, DismissEscapeCancelAndAClickOutsideFadeOutRoutingNothing)
{
    int completions = 0;
    const std::function<void()> triggers[] = {
        [&] { panel->dismiss(false, [&] { ++completions; }); },
        [&] { EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::Escape, 0, "\x1b"})); },
        [&] { window->cancel(); },
        [&] { window->clickOutside(); },
    };
    for (const auto &trigger : triggers) {
        showFully();
        trigger();
        const QStringList fade = window->log;
        EXPECT_EQ(fade.mid(2), QStringList({"clearFocus", "animate 0 150 in"})); // after both monitors went
        EXPECT_EQ(monitors(), 0);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::Return, 0, "\r"}));
        EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::RightArrow, 0, {}}));
        EXPECT_TRUE(window->pressKey(KeyEvent{18, EventFlag::Command, "1"}));
        EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::Escape, 0, "\x1b"}));
        EXPECT_TRUE(calls.isEmpty()) << qPrintable(calls.join(' '));
        EXPECT_EQ(window->log, fade) << "no second fade";
        EXPECT_EQ(completions, 0);
        window->finishAnimation();
        EXPECT_FALSE(panel->isVisible());
        completions = 0;
    }
}

TEST_F(FloatingPanelTest, ShowDuringFadeOutKeepsThePanelOnScreen)
{
    showFully();
    int completions = 0;
    panel->dismiss(false, [&] { ++completions; });
    panel->show(); // replaces the fade-out, whose end must not hide the panel
    window->finishAnimation();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(window->keyMonitorCount(), 1);
    EXPECT_EQ(window->clickMonitorCount(), 1);
}

// Which callback each key runs is checked through this panel by the
// delegate's tests (arrows, Tab, Command-F, Command-digit).
TEST_F(FloatingPanelTest, MonitoredKeysAreSwallowedOthersReachTheContent)
{
    showFully();
    int keyDowns = 0;
    window->keyDownHandler = [&](const KeyEvent &) { return ++keyDowns, false; };
    EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::RightArrow, 0, {}}));
    EXPECT_TRUE(window->pressKey(KeyEvent{25, EventFlag::Command, "9"}));
    EXPECT_EQ(calls, QStringList({"right", "quick 8"}));
    EXPECT_EQ(keyDowns, 0) << "the content saw a swallowed key";
    EXPECT_FALSE(window->pressKey(KeyEvent{20, 0, "3"}));
    EXPECT_EQ(keyDowns, 1) << "passed on to the content";

    // Keys whose callback is absent are still the panel's.
    calls.clear();
    panel->onKeyReturn = nullptr;
    EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::Return, 0, "\r"}));
    EXPECT_EQ(keyDowns, 1);
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(FloatingPanelTest, MonitorsThePlatformRefusesStayAbsentAndMonitorsIgnoreAHiddenPanel)
{
    window->monitorsFail = true;
    panel->show();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(panel->clickOutsideMonitor());
    EXPECT_FALSE(panel->localKeyMonitor());
    EXPECT_TRUE(window->pressKey(KeyEvent{PanelKey::RightArrow, 0, {}})) << "the key-down path";
    EXPECT_FALSE(window->pressKey(KeyEvent{0, 0, "a"}));
    EXPECT_EQ(calls, QStringList({"right"}));
    panel->dismiss(true);
    EXPECT_FALSE(window->log.join(' ').contains("remove"));

    // Hidden behind the panel's back: keys pass, a click does not dismiss again.
    window->monitorsFail = false;
    showFully();
    window->visible = false;
    calls.clear();
    int keyDowns = 0;
    window->keyDownHandler = [&](const KeyEvent &) { return ++keyDowns, false; };
    EXPECT_FALSE(window->pressKey(KeyEvent{PanelKey::LeftArrow, 0, {}})) << "swallowed for a hidden panel";
    EXPECT_EQ(keyDowns, 1);
    window->clickOutside();
    EXPECT_TRUE(window->log.isEmpty()) << "a hidden panel is not dismissed again";
    EXPECT_TRUE(calls.isEmpty()) << "the hidden panel ran " << qPrintable(calls.join(' '));
}

// Hands its call log out when the panel destroys it.
struct RecordingWindow : MemoryPanelWindow {
    explicit RecordingWindow(QStringList &out) : out(out) {}
    ~RecordingWindow() override { out = log; }
    QStringList &out;
};

TEST(FloatingPanelLifetimeTest, TeardownRemovesClickMonitorThenKeyMonitorBeforeTheWindowGoes)
{
    QStringList finalLog;
    {
        auto w = std::make_unique<RecordingWindow>(finalLog);
        RecordingWindow *window = w.get();
        FloatingPanel panel(std::move(w));
        panel.show();
        window->log.clear();
    }
    EXPECT_EQ(finalLog, QStringList({"remove 1", "remove 2"}));
}

} // namespace
