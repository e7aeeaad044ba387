// The floating panel with its real window and the history view in it, keys
// and activation as the window system delivers them (offscreen platform).
#include "panel/FloatingPanel.h"
#include "panel/QuickPanelWindow.h"
#include "panel/QuickTestSupport.h"
#include "platform/memory/MemoryDesktop.h"

using namespace kelvo;
using namespace kelvo::test;

namespace {

class PanelWindowViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { quickApp(); }

    void SetUp() override {
        backend.all = makeRows(3);
        auto w = std::make_unique<QuickPanelWindow>(&engine, &desktop);
        ASSERT_TRUE(loadHistoryView(*w, backend));
        window = w.get();
        panel = std::make_unique<FloatingPanel>(std::move(w));
        panel->onKeyLeft = [this] { calls << "left"; };
        panel->onKeyRight = [this] { calls << "right"; };
        panel->onKeyReturn = [this] { calls << "return"; };
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->opacity() == 1.0; }));
    }

    QObject *menu() { return window->rootObject()->findChild<QObject *>("cardMenu"); }
    bool menuOpen() { return menu()->property("opened").toBool(); }

    void openMenuOnCard(const QString &id) {
        QQuickItem *card = findCard(window->rootObject(), id);
        ASSERT_NE(card, nullptr);
        QTest::mouseClick(window, Qt::RightButton, {}, centreOf(card));
        // Open, and holding the keyboard: the keys below are meant for the menu.
        ASSERT_TRUE(QTest::qWaitFor([&] { return menuOpen() && menu()->property("activeFocus").toBool(); }));
    }

    QQmlEngine engine;
    memory::MemoryDesktop desktop;
    FakeHistoryBackend backend;
    QuickPanelWindow *window = nullptr;
    std::unique_ptr<FloatingPanel> panel;
    QStringList calls;
};

// Keys the open menu does not want are nobody's: the panel routes none of
// them, and dismissing the panel closes the menu.
TEST_F(PanelWindowViewTest, OpenMenuOwnsTheKeyboardAndGoesWithThePanel) {
    ASSERT_NO_FATAL_FAILURE(openMenuOnCard("1"));
    QTest::keyClick(window, Qt::Key_Right);
    QTest::keyClick(window, Qt::Key_Left);
    QTest::keyClick(window, Qt::Key_Return); // nothing highlighted
    EXPECT_TRUE(calls.isEmpty()) << qPrintable(calls.join(' '));
    EXPECT_TRUE(backend.calls.isEmpty()) << qPrintable(backend.calls.join(' '));
    panel->dismiss(true);
    EXPECT_FALSE(menuOpen());
}

TEST_F(PanelWindowViewTest, ActivatingAnotherWindowOfTheProgramKeepsThePanel) {
    QQuickView settings;
    settings.resize(200, 200);
    settings.show();
    settings.requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
    EXPECT_TRUE(panel->clickOutsideMonitor().has_value());
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(PanelWindowViewTest, ButtonPressOutsideEveryWindowOfTheProgramDismisses) {
    QQuickView settings;
    settings.setGeometry(3000, 100, 200, 200);
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    const QPoint inPanel = window->geometry().center();
    for (const QPoint inside : {inPanel, QPoint(3100, 200)}) {
        ASSERT_TRUE(desktop.press(inside));
        EXPECT_TRUE(panel->clickOutsideMonitor().has_value()) << inside.x();
    }
    ASSERT_TRUE(desktop.press(QPoint(5000, 5000)));
    EXPECT_FALSE(panel->clickOutsideMonitor().has_value()); // dismissing
    EXPECT_FALSE(desktop.handler); // the watch ends with the monitor
}

} // namespace
