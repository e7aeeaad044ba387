// The shortcut recorder's rules: what starts and ends recording, which key
// presses are recorded, swallowed or passed on, and what is stored.
#include "platform/memory/MemoryPlatform.h"
#include "settings/FakeKeyEventMonitor.h"
#include "settings/ShortcutRecorder.h"
#include "settings/StoredPreferences.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace kelvo;
using kelvo::test::FakeKeyEventMonitor;

namespace {

constexpr quint64 kShift = EventFlag::Shift;
constexpr quint64 kControl = EventFlag::Control;
constexpr quint64 kOption = EventFlag::Option;
constexpr quint64 kCommand = EventFlag::Command;

class ShortcutRecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&store, &PreferencesStore::changed, [this] {
            writes.append(QStringLiteral("%1/%2").arg(store.values.value("hotkeyCode", "-").toString(),
                                                      store.values.value("hotkeyModifiers", "-").toString()));
        });
    }

    memory::MemoryPreferences store;
    StoredPreferences prefs{store};
    FakeKeyEventMonitor monitor;
    std::unique_ptr<ShortcutRecorder> recorder = std::make_unique<ShortcutRecorder>(prefs, monitor);
    QStringList writes; // the stored combination after each write
};

TEST_F(ShortcutRecorderTest, IdleShowsTheStoredCombination)
{
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(recorder->hasMonitor());
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ V");
    EXPECT_EQ(monitor.installs, 0);
    store.setValue("hotkeyCode", 40);
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ K");
}

TEST_F(ShortcutRecorderTest, ClickStartsRecordingWithOneMonitor)
{
    recorder->toggleRecording();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText(), "请按键...");
    EXPECT_EQ(monitor.installs, 1);
    EXPECT_EQ(monitor.handlers.size(), 1);
    recorder->startRecording(); // already recording
    EXPECT_EQ(monitor.installs, 1);
}

TEST_F(ShortcutRecorderTest, ShiftCommandVIsStoredAndEndsRecording)
{
    store.values = {{"hotkeyCode", 40}, {"hotkeyModifiers", 4096}};
    recorder->toggleRecording();
    const quint64 token = monitor.handlers.firstKey();
    EXPECT_TRUE(monitor.press(9, kShift | kCommand)) << "the accepted press is swallowed";
    EXPECT_EQ(writes, (QStringList{"9/4096", "9/768"})) << "key code first, then modifiers";
    EXPECT_EQ(prefs.hotkeyCode(), 9);
    EXPECT_EQ(prefs.hotkeyModifiers(), 768);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ V");
    EXPECT_EQ(monitor.removed, QList<quint64>{token});
    EXPECT_TRUE(monitor.handlers.isEmpty());
    EXPECT_FALSE(monitor.press(40, kControl)) << "no monitor after recording";
    EXPECT_EQ(writes.size(), 2);
}

TEST_F(ShortcutRecorderTest, KeysWithoutModifiersAreSwallowedAndIgnored)
{
    recorder->toggleRecording();
    EXPECT_TRUE(monitor.press(9));
    EXPECT_TRUE(monitor.press(53)) << "Escape does not cancel";
    EXPECT_TRUE(monitor.press(36));
    EXPECT_TRUE(monitor.press(0, EventFlag::CapsLock | EventFlag::Function | EventFlag::NumericPad))
        << "caps lock, function and keypad are no modifiers";
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText(), "请按键...");
    EXPECT_TRUE(writes.isEmpty());
    EXPECT_TRUE(monitor.removed.isEmpty());

    recorder->toggleRecording(); // the second click ends recording unchanged
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(store.values.isEmpty());
    EXPECT_EQ(monitor.removed.size(), 1);
    EXPECT_EQ(recorder->displayText(), "⇧ ⌘ V");
}

TEST_F(ShortcutRecorderTest, ModifierKeysAloneRecordNothingAndPassThrough)
{
    recorder->toggleRecording();
    // Command, Shift, Caps Lock, Option, Control, right-hand twins, Function.
    for (quint32 code = 54; code <= 63; ++code)
        EXPECT_FALSE(monitor.press(code, kCommand | kShift)) << code;
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(writes.isEmpty());
    // After the modifier alone, a real key still records.
    EXPECT_TRUE(monitor.press(40, kControl));
    EXPECT_EQ(prefs.hotkeyCode(), 40);
    EXPECT_EQ(prefs.hotkeyModifiers(), 4096);
}

TEST_F(ShortcutRecorderTest, AnyKeyWithAModifierIsAccepted)
{
    struct Case {
        quint32 code;
        quint64 flags;
        qint64 mask;
        const char *text;
    };
    const Case cases[] = {
        {36, kControl | kShift, 4608, "⌃ ⇧ [36]"},
        {0, kShift, 512, "⇧ A"},
        {23, kOption, 2048, "⌥ 5"},
        {22, kOption | EventFlag::CapsLock, 2048, "⌥ 6"},
        {53, kCommand, 256, "⌘ Esc"},
        {40, kControl | kOption | kCommand, 6912 - 512, "⌃ ⌥ ⌘ K"},
        {9, kShift | kCommand, 768, "⇧ ⌘ V"}, // the combination already stored
    };
    for (const Case &c : cases) {
        recorder->toggleRecording();
        EXPECT_TRUE(monitor.press(c.code, c.flags));
        EXPECT_FALSE(recorder->isRecording());
        EXPECT_EQ(store.values.value("hotkeyCode").toLongLong(), c.code);
        EXPECT_EQ(store.values.value("hotkeyModifiers").toLongLong(), c.mask);
        EXPECT_EQ(recorder->displayText(), QString::fromUtf8(c.text));
    }
    EXPECT_EQ(monitor.installs, int(std::size(cases)));
    EXPECT_EQ(monitor.removed.size(), int(std::size(cases)));
}

TEST_F(ShortcutRecorderTest, KeyWithoutAPositionIsNotStored)
{
    recorder->toggleRecording();
    EXPECT_TRUE(monitor.press(kUnknownKeyCode, kControl));
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(writes.isEmpty());
}

TEST_F(ShortcutRecorderTest, TogglingTwiceChangesNothing)
{
    int recordingChanges = 0;
    QObject::connect(recorder.get(), &ShortcutRecorder::isRecordingChanged, [&] { ++recordingChanges; });
    recorder->toggleRecording();
    recorder->toggleRecording();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recordingChanges, 2);
    EXPECT_EQ(monitor.installs, 1);
    EXPECT_EQ(monitor.removed.size(), 1);
    EXPECT_TRUE(monitor.handlers.isEmpty());
    EXPECT_TRUE(store.values.isEmpty());
    recorder->stopRecording(); // idle already: nothing to remove
    EXPECT_EQ(monitor.removed.size(), 1);
    EXPECT_EQ(recordingChanges, 2);
}

TEST_F(ShortcutRecorderTest, NoMonitorTokenStillRecordsStateAndReturnsToIdle)
{
    monitor.refuse = true;
    recorder->toggleRecording();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_FALSE(recorder->hasMonitor());
    EXPECT_FALSE(monitor.press(9, kShift | kCommand)) << "no handler is installed";
    EXPECT_TRUE(writes.isEmpty());
    recorder->toggleRecording();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(monitor.removed.isEmpty()) << "there was no monitor to remove";
}

TEST_F(ShortcutRecorderTest, EventsOutsideRecordingAreLeftAlone)
{
    EXPECT_FALSE(recorder->handleRecordingEvent(KeyEvent{9, kShift | kCommand, {}}));
    EXPECT_TRUE(writes.isEmpty());
}

TEST_F(ShortcutRecorderTest, DestroyedWhileRecordingRemovesItsMonitor)
{
    recorder->toggleRecording();
    const quint64 token = monitor.handlers.firstKey();
    recorder.reset();
    EXPECT_EQ(monitor.removed, QList<quint64>{token});
    EXPECT_TRUE(monitor.handlers.isEmpty());
}

TEST_F(ShortcutRecorderTest, DisplayTextNotifications)
{
    int textChanges = 0;
    QObject::connect(recorder.get(), &ShortcutRecorder::displayTextChanged, [&] { ++textChanges; });
    store.setValue("hotkeyModifiers", 256); // written elsewhere while idle
    EXPECT_EQ(textChanges, 1);
    recorder->toggleRecording();
    EXPECT_EQ(textChanges, 2);
    store.setValue("maxHistoryCount", 80); // the text stays "请按键..."
    EXPECT_EQ(textChanges, 2);
    monitor.press(12, kCommand);
    EXPECT_EQ(recorder->displayText(), "⌘ Q");
    EXPECT_GE(textChanges, 3);
}

} // namespace
