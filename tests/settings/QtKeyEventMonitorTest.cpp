// The application-wide Qt key monitor (offscreen) and the recorder on it.
#include "platform/memory/MemoryPlatform.h"
#include "platform/qt/QtKeyEventMonitor.h"
#include "settings/ShortcutRecorder.h"
#include "settings/StoredPreferences.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

using namespace kelvo;

namespace {

QGuiApplication &guiApp()
{
    static int argc = 1;
    static char name[] = "kelvo_settings_logic_test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    return *app;
}

// Qt key + modifiers -> key position and flags, for the keys used here.
KeyEvent translate(const QKeyEvent &e)
{
    KeyEvent out;
    switch (e.key()) {
    case Qt::Key_V: out.keyCode = 9; break;
    case Qt::Key_K: out.keyCode = 40; break;
    case Qt::Key_Escape: out.keyCode = 53; break;
    default: out.keyCode = 0xFFFF; break;
    }
    if (e.modifiers() & Qt::ShiftModifier) out.modifierFlags |= EventFlag::Shift;
    if (e.modifiers() & Qt::ControlModifier) out.modifierFlags |= EventFlag::Control;
    if (e.modifiers() & Qt::AltModifier) out.modifierFlags |= EventFlag::Option;
    if (e.modifiers() & Qt::MetaModifier) out.modifierFlags |= EventFlag::Command;
    return out;
}

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
    static void SetUpTestSuite() { guiApp(); }

    // Sends a key press to `target` as the platform delivers it.
    static void press(QObject *target, int key, Qt::KeyboardModifiers mods = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(target, &event);
    }

    QtKeyEventMonitor monitor{&translate};
    CountingWindow window;
    QList<KeyEvent> seen;
};

TEST_F(QtKeyEventMonitorTest, SwallowedPressNeverReachesTheWindow)
{
    const quint64 token = monitor.addLocalKeyMonitor([this](const KeyEvent &e) {
        seen.append(e);
        return true;
    });
    ASSERT_NE(token, 0u);
    press(&window, Qt::Key_V, Qt::ShiftModifier | Qt::MetaModifier);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].keyCode, 9u);
    EXPECT_EQ(seen[0].modifierFlags, EventFlag::Shift | EventFlag::Command);
    EXPECT_EQ(window.presses, 0);
}

TEST_F(QtKeyEventMonitorTest, PassedPressReachesTheWindowAndOnlyWindowsAreWatched)
{
    monitor.addLocalKeyMonitor([this](const KeyEvent &e) {
        seen.append(e);
        return false;
    });
    press(&window, Qt::Key_K);
    EXPECT_EQ(seen.size(), 1);
    EXPECT_EQ(window.presses, 1);
    // The same press handed on to an item inside the window is not seen twice.
    QObject item;
    press(&item, Qt::Key_K);
    EXPECT_EQ(seen.size(), 1);
}

TEST_F(QtKeyEventMonitorTest, ModifierKeysAloneAreNotKeyDowns)
{
    monitor.addLocalKeyMonitor([this](const KeyEvent &e) {
        seen.append(e);
        return true;
    });
    for (int key : {int(Qt::Key_Shift), int(Qt::Key_Control), int(Qt::Key_Meta), int(Qt::Key_Alt),
                    int(Qt::Key_Super_L), int(Qt::Key_Super_R), int(Qt::Key_CapsLock), int(Qt::Key_AltGr)})
        press(&window, key, Qt::ShiftModifier);
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(window.presses, 8);
}

TEST_F(QtKeyEventMonitorTest, HandlersRunInOrderUntilOneSwallows)
{
    QStringList calls;
    monitor.addLocalKeyMonitor([&](const KeyEvent &) { calls.append("first"); return false; });
    monitor.addLocalKeyMonitor([&](const KeyEvent &) { calls.append("second"); return true; });
    monitor.addLocalKeyMonitor([&](const KeyEvent &) { calls.append("third"); return true; });
    press(&window, Qt::Key_V);
    EXPECT_EQ(calls, (QStringList{"first", "second"}));
    EXPECT_EQ(window.presses, 0);
}

TEST_F(QtKeyEventMonitorTest, RemovedMonitorHearsNothingMore)
{
    const quint64 token = monitor.addLocalKeyMonitor([this](const KeyEvent &e) {
        seen.append(e);
        return true;
    });
    EXPECT_EQ(monitor.monitorCount(), 1);
    monitor.removeMonitor(token);
    EXPECT_EQ(monitor.monitorCount(), 0);
    press(&window, Qt::Key_V);
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(window.presses, 1);
    monitor.removeMonitor(token); // twice is harmless
    monitor.removeMonitor(0);
}

TEST_F(QtKeyEventMonitorTest, HandlerMayRemoveItselfAndOthers)
{
    quint64 second = 0;
    int secondCalls = 0;
    quint64 first = 0;
    first = monitor.addLocalKeyMonitor([&](const KeyEvent &) {
        monitor.removeMonitor(first);
        monitor.removeMonitor(second);
        return false;
    });
    second = monitor.addLocalKeyMonitor([&](const KeyEvent &) { ++secondCalls; return true; });
    press(&window, Qt::Key_V);
    EXPECT_EQ(secondCalls, 0) << "a handler removed during delivery is not called";
    EXPECT_EQ(window.presses, 1);
    EXPECT_EQ(monitor.monitorCount(), 0);
}

TEST_F(QtKeyEventMonitorTest, ShortcutsCannotTakeKeysWhileMonitoring)
{
    QObject focus;
    QKeyEvent before(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::sendEvent(&focus, &before);
    EXPECT_FALSE(before.isAccepted()) << "without a monitor, shortcuts work as usual";

    const quint64 token = monitor.addLocalKeyMonitor([](const KeyEvent &) { return true; });
    QKeyEvent during(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::sendEvent(&focus, &during);
    EXPECT_TRUE(during.isAccepted());

    monitor.removeMonitor(token);
    QKeyEvent after(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::sendEvent(&focus, &after);
    EXPECT_FALSE(after.isAccepted());
}

TEST_F(QtKeyEventMonitorTest, RecorderOverTheQtMonitor)
{
    memory::MemoryPreferences store;
    StoredPreferences prefs(store);
    ShortcutRecorder recorder(prefs, monitor);
    recorder.toggleRecording();
    EXPECT_EQ(monitor.monitorCount(), 1);

    press(&window, Qt::Key_Escape); // no modifier: swallowed, recording goes on
    press(&window, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(window.presses, 1) << "only the modifier key alone went through";
    EXPECT_TRUE(recorder.isRecording());

    press(&window, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(prefs.hotkeyCode(), 40);
    EXPECT_EQ(prefs.hotkeyModifiers(), 4096 | 2048);
    EXPECT_EQ(window.presses, 1);
    EXPECT_EQ(monitor.monitorCount(), 0);

    press(&window, Qt::Key_V, Qt::ShiftModifier | Qt::MetaModifier);
    EXPECT_EQ(window.presses, 2) << "after recording, keys reach the views again";
    EXPECT_EQ(prefs.hotkeyCode(), 40);
}

} // namespace
