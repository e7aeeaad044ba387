// The application-wide Qt key monitor with the program's key translation.
#include "panel/QtKeyTranslation.h"
#include "panel/QuickTestSupport.h"
#include "platform/qt/QtKeyEventMonitor.h"

#include <QKeyEvent>
#include <QWindow>

using namespace kelvo;

namespace {

class CountingWindow : public QWindow {
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        ++presses;
        e->accept();
    }
};

class QtKeyEventMonitorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::quickApp(); }
    // Sends a key press to `target` as the platform delivers it.
    static void press(QObject *target, int key, Qt::KeyboardModifiers mods = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(target, &event);
    }
    static bool overrideAccepted(QObject *target)
    {
        QKeyEvent event(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
        QCoreApplication::sendEvent(target, &event);
        return event.isAccepted();
    }

    QtKeyEventMonitor monitor{&keyEventFromQt};
    CountingWindow window;
    QList<KeyEvent> seen;
    QStringList calls;
};

TEST_F(QtKeyEventMonitorTest, HandlersRunInOrderUntilOneSwallowsAndOnlyKeysOfWindowsAreSeen)
{
    monitor.addLocalKeyMonitor([&](const KeyEvent &e) { seen.append(e); calls.append("first"); return false; });
    const quint64 second = monitor.addLocalKeyMonitor([&](const KeyEvent &) { calls.append("second"); return true; });
    monitor.addLocalKeyMonitor([&](const KeyEvent &) { calls.append("third"); return true; });
    ASSERT_NE(second, 0u);
    press(&window, Qt::Key_V, Qt::ShiftModifier | Qt::MetaModifier);
    EXPECT_EQ(calls, (QStringList{"first", "second"}));
    EXPECT_EQ(window.presses, 0) << "a swallowed press never reaches the window";
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].keyCode, 9u);
    EXPECT_EQ(seen[0].modifierFlags, EventFlag::Shift | EventFlag::Command);

    monitor.removeMonitor(second);
    press(&window, Qt::Key_K);
    EXPECT_EQ(window.presses, 0) << "the third swallows it";
    // The same press handed on to an item inside the window is not seen twice.
    QObject item;
    press(&item, Qt::Key_K);
    EXPECT_EQ(seen.size(), 2);
    // Modifier keys alone are no key-downs and reach the window.
    for (int key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Meta, Qt::Key_Alt, Qt::Key_Super_L, Qt::Key_Super_R,
                    Qt::Key_CapsLock, Qt::Key_AltGr})
        press(&window, key, Qt::ShiftModifier);
    EXPECT_EQ(seen.size(), 2);
    EXPECT_EQ(window.presses, 8);
}

TEST_F(QtKeyEventMonitorTest, HandlersRemovedBeforeOrDuringDeliveryHearNothing)
{
    quint64 first = 0, second = 0;
    first = monitor.addLocalKeyMonitor([&](const KeyEvent &) {
        calls.append("first");
        monitor.removeMonitor(first);
        monitor.removeMonitor(second);
        return false;
    });
    second = monitor.addLocalKeyMonitor([&](const KeyEvent &) { calls.append("second"); return true; });
    press(&window, Qt::Key_V);
    EXPECT_EQ(calls, QStringList{"first"}) << "a handler removed during delivery is not called";
    EXPECT_EQ(window.presses, 1);
    EXPECT_EQ(monitor.monitorCount(), 0);
    press(&window, Qt::Key_V);
    EXPECT_EQ(calls.size(), 1);
    EXPECT_EQ(window.presses, 2);
    monitor.removeMonitor(first); // twice is harmless
    monitor.removeMonitor(0);
}

TEST_F(QtKeyEventMonitorTest, ShortcutsCannotTakeKeysWhileMonitoring)
{
    QObject focus;
    EXPECT_FALSE(overrideAccepted(&focus)) << "without a monitor, shortcuts work as usual";
    const quint64 token = monitor.addLocalKeyMonitor([](const KeyEvent &) { return true; });
    EXPECT_TRUE(overrideAccepted(&focus));
    monitor.removeMonitor(token);
    EXPECT_FALSE(overrideAccepted(&focus));
}

} // namespace
