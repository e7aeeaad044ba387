// The shortcut recorder's rules: what starts and ends recording, which key
// presses are recorded, swallowed or passed on, and what is stored.
#include "platform/memory/MemoryPlatform.h"
#include "settings/FakeKeyEventMonitor.h"
#include "settings/ShortcutRecorder.h"
#include "settings/StoredPreferences.h"

#include <gtest/gtest.h>

using namespace kelvo;
using kelvo::test::FakeKeyEventMonitor;

namespace {

constexpr quint64 kShift = EventFlag::Shift, kControl = EventFlag::Control, kOption = EventFlag::Option,
                  kCommand = EventFlag::Command;

class ShortcutRecorderTest : public ::testing::Test {
protected:
    memory::MemoryPreferences store;
    StoredPreferences prefs{store};
    FakeKeyEventMonitor monitor;
    std::unique_ptr<ShortcutRecorder> recorder = std::make_unique<ShortcutRecorder>(prefs, monitor);
};

TEST_F(ShortcutRecorderTest, IdleShowsTheStoredCombinationAndFollowsIt)
{
    int textChanges = 0;
    QObject::connect(recorder.get(), &ShortcutRecorder::displayTextChanged, [&] { ++textChanges; });
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ V");
    EXPECT_EQ(monitor.installs, 0);
    EXPECT_FALSE(recorder->handleRecordingEvent(KeyEvent{9, kShift | kCommand, {}})) << "not recording";
    store.setValue("hotkeyCode", 40); // written elsewhere
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ K");
    EXPECT_EQ(textChanges, 1);
    recorder->toggleRecording();
    EXPECT_EQ(textChanges, 2);
    store.setValue("maxHistoryCount", 80); // the text stays "请按键..."
    EXPECT_EQ(textChanges, 2);
}

TEST_F(ShortcutRecorderTest, AClickRecordsWithOneMonitorAndASecondClickEndsUnchanged)
{
    int recordingChanges = 0;
    QObject::connect(recorder.get(), &ShortcutRecorder::isRecordingChanged, [&] { ++recordingChanges; });
    recorder->toggleRecording();
    recorder->startRecording(); // already recording
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText(), "请按键...");
    EXPECT_EQ(monitor.installs, 1);
    EXPECT_EQ(monitor.handlers.size(), 1);
    recorder->toggleRecording();
    recorder->stopRecording(); // idle already: nothing to remove
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recordingChanges, 2);
    EXPECT_EQ(monitor.removed.size(), 1);
    EXPECT_TRUE(monitor.handlers.isEmpty());
    EXPECT_TRUE(store.values.isEmpty());
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ V");

    // Without a monitor token the state still goes to recording and back.
    monitor.refuse = true;
    recorder->toggleRecording();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_FALSE(recorder->hasMonitor());
    recorder->toggleRecording();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(monitor.removed.size(), 1) << "there was no monitor to remove";

    // Destroyed while recording: the monitor goes with it.
    monitor.refuse = false;
    recorder->toggleRecording();
    const quint64 token = monitor.handlers.firstKey();
    recorder.reset();
    EXPECT_EQ(monitor.removed.last(), token);
    EXPECT_TRUE(monitor.handlers.isEmpty());
}

TEST_F(ShortcutRecorderTest, PressesThatAreNoCombinationRecordNothing)
{
    recorder->toggleRecording();
    const struct {
        quint32 code;
        quint64 flags;
    } swallowed[] = {
        {9, 0},
        {53, 0}, // Escape does not cancel
        {36, 0},
        {0, EventFlag::CapsLock | EventFlag::Function | EventFlag::NumericPad}, // no modifiers
        {kUnknownKeyCode, kControl}, // no position to store
    };
    for (const auto &c : swallowed)
        EXPECT_TRUE(monitor.press(c.code, c.flags)) << c.code;
    // Command, Shift, Caps Lock, Option, Control, right-hand twins,
    // Function: the modifier keys alone pass through.
    for (quint32 code = 54; code <= 63; ++code)
        EXPECT_FALSE(monitor.press(code, kCommand | kShift)) << code;
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText(), "请按键...");
    EXPECT_TRUE(store.values.isEmpty());
    EXPECT_TRUE(monitor.removed.isEmpty());
}

TEST_F(ShortcutRecorderTest, AnyKeyWithAModifierIsStoredAndEndsRecording)
{
    store.values = {{"hotkeyCode", 40}, {"hotkeyModifiers", 4096}};
    const struct {
        quint32 code;
        quint64 flags;
        qint64 mask;
        const char *text;
    } cases[] = {
        {36, kControl | kShift, 4608, "⌃ ⇧ [36]"},
        {0, kShift, 512, "⇧ A"},
        // Caps Lock, the help flag and the device bits are no modifiers.
        {22, kOption | EventFlag::CapsLock | 0x400000 | 0xFFFF, 2048, "⌥ 6"},
        {53, kCommand, 256, "⌘ Esc"},
        {40, kControl | kOption | kCommand, 6400, "⌃ ⌥ ⌘ K"},
        {9, kShift | kCommand, 768, "⇧ ⌘ V"},
        {9, kShift | kCommand, 768, "⇧ ⌘ V"}, // the combination already stored
    };
    for (const auto &c : cases) {
        recorder->toggleRecording();
        EXPECT_TRUE(monitor.press(c.code, c.flags)) << "the accepted press is swallowed";
        EXPECT_FALSE(recorder->isRecording());
        EXPECT_EQ(store.values.value("hotkeyCode").toLongLong(), c.code);
        EXPECT_EQ(store.values.value("hotkeyModifiers").toLongLong(), c.mask);
        EXPECT_EQ(recorder->displayText(), QString::fromUtf8(c.text));
        EXPECT_TRUE(monitor.handlers.isEmpty());
    }
    EXPECT_FALSE(monitor.press(40, kControl)) << "no monitor after recording";
    EXPECT_EQ(monitor.installs, int(std::size(cases)));
    EXPECT_EQ(monitor.removed.size(), int(std::size(cases)));
}

} // namespace
