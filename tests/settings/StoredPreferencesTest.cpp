// The live preference bindings, the stepper arithmetic and the debounced
// subscription, over in-memory preferences and virtual time.
#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/VirtualTime.h"
#include "settings/StoredPreferences.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <limits>

using namespace kelvo;

namespace {

class StoredPreferencesTest : public ::testing::Test {
protected:
    memory::MemoryPreferences store;
    StoredPreferences prefs{store};
};

TEST_F(StoredPreferencesTest, EmptyStoreReadsTheDefaultsWithoutWriting)
{
    int changes = 0;
    QObject::connect(&store, &PreferencesStore::changed, [&] { ++changes; });
    EXPECT_FALSE(prefs.launchAtLogin());
    EXPECT_TRUE(prefs.showMenuBarIcon());
    EXPECT_EQ(prefs.hotkeyCode(), 9);
    EXPECT_EQ(prefs.hotkeyModifiers(), 768);
    EXPECT_EQ(prefs.maxHistoryCount(), 50);
    EXPECT_TRUE(store.values.isEmpty());
    EXPECT_EQ(changes, 0);
}

TEST_F(StoredPreferencesTest, StoredValuesWinOverDefaults)
{
    store.values = {{"launchAtLogin", true}, {"showMenuBarIcon", false}, {"hotkeyCode", 40},
                    {"hotkeyModifiers", 6912}, {"maxHistoryCount", 120}};
    EXPECT_TRUE(prefs.launchAtLogin());
    EXPECT_FALSE(prefs.showMenuBarIcon());
    EXPECT_EQ(prefs.hotkeyCode(), 40);
    EXPECT_EQ(prefs.hotkeyModifiers(), 6912);
    EXPECT_EQ(prefs.maxHistoryCount(), 120);
}

TEST_F(StoredPreferencesTest, StoredZeroShortcutIsARealCombination)
{
    store.values = {{"hotkeyCode", 0}, {"hotkeyModifiers", 0}};
    EXPECT_EQ(prefs.hotkeyCode(), 0) << "0 is the A key";
    EXPECT_EQ(prefs.hotkeyModifiers(), 0) << "0 is a combination without modifiers";
}

TEST_F(StoredPreferencesTest, HistoryLimitReadsAsTheStoreAppliesIt)
{
    // The history store treats 0 or less as 50 and has no upper bound.
    for (qint64 stored : {0LL, -1LL, -500LL}) {
        store.values["maxHistoryCount"] = stored;
        EXPECT_EQ(prefs.maxHistoryCount(), 50) << stored;
    }
    for (qint64 stored : {1LL, 5LL, 10LL, 500LL, 1000LL}) {
        store.values["maxHistoryCount"] = stored;
        EXPECT_EQ(prefs.maxHistoryCount(), stored);
    }
}

TEST_F(StoredPreferencesTest, ShortcutValuesOutsideTheUnsigned32BitRangeReadAsDefault)
{
    store.values = {{"hotkeyCode", -1}, {"hotkeyModifiers", qint64(1) << 32}};
    EXPECT_EQ(prefs.hotkeyCode(), 9);
    EXPECT_EQ(prefs.hotkeyModifiers(), 768);
    store.values = {{"hotkeyCode", qint64(std::numeric_limits<quint32>::max())}, {"hotkeyModifiers", 70000}};
    EXPECT_EQ(prefs.hotkeyCode(), qint64(std::numeric_limits<quint32>::max()));
    EXPECT_EQ(prefs.hotkeyModifiers(), 70000);
}

TEST_F(StoredPreferencesTest, ValuesReadBackAsTextAreUnderstood)
{
    // An INI file hands its values back as text.
    store.values = {{"launchAtLogin", "true"}, {"showMenuBarIcon", "0"}, {"hotkeyCode", " 12 "},
                    {"hotkeyModifiers", "4096"}, {"maxHistoryCount", "200"}};
    EXPECT_TRUE(prefs.launchAtLogin());
    EXPECT_FALSE(prefs.showMenuBarIcon());
    EXPECT_EQ(prefs.hotkeyCode(), 12);
    EXPECT_EQ(prefs.hotkeyModifiers(), 4096);
    EXPECT_EQ(prefs.maxHistoryCount(), 200);
}

TEST_F(StoredPreferencesTest, ValuesOfTheWrongTypeReadAsDefault)
{
    store.values = {{"launchAtLogin", "yes please"}, {"showMenuBarIcon", "maybe"}, {"hotkeyCode", "V"},
                    {"hotkeyModifiers", true}, {"maxHistoryCount", 12.5}};
    EXPECT_FALSE(prefs.launchAtLogin());
    EXPECT_TRUE(prefs.showMenuBarIcon());
    EXPECT_EQ(prefs.hotkeyCode(), 9);
    EXPECT_EQ(prefs.hotkeyModifiers(), 768);
    EXPECT_EQ(prefs.maxHistoryCount(), 50);
}

TEST_F(StoredPreferencesTest, WritesReachTheStoreAtOnceAsNativeValues)
{
    prefs.setLaunchAtLogin(true);
    prefs.setShowMenuBarIcon(false);
    prefs.setMaxHistoryCount(70);
    EXPECT_EQ(store.values.value("launchAtLogin").typeId(), QMetaType::Bool);
    EXPECT_TRUE(store.values.value("launchAtLogin").toBool());
    EXPECT_EQ(store.values.value("showMenuBarIcon"), QVariant(false));
    EXPECT_EQ(store.values.value("maxHistoryCount").toLongLong(), 70);
    EXPECT_EQ(prefs.maxHistoryCount(), 70);
}

TEST_F(StoredPreferencesTest, SetHotkeyWritesTheCodeThenTheModifiers)
{
    // What the store holds at each change notification.
    QStringList seen;
    QObject::connect(&store, &PreferencesStore::changed, [&] {
        seen.append(QStringLiteral("%1/%2")
                        .arg(store.values.value("hotkeyCode", "-").toString(),
                             store.values.value("hotkeyModifiers", "-").toString()));
    });
    prefs.setHotkey(40, 4352);
    EXPECT_EQ(seen, (QStringList{"40/-", "40/4352"}));
    EXPECT_EQ(prefs.hotkeyCode(), 40);
    EXPECT_EQ(prefs.hotkeyModifiers(), 4352);
}

TEST_F(StoredPreferencesTest, ChangedFollowsEveryWriteFromAnywhere)
{
    int changes = 0;
    QObject::connect(&prefs, &StoredPreferences::changed, [&] { ++changes; });
    prefs.setShowMenuBarIcon(false);
    store.setValue("maxHistoryCount", 90); // not through the bindings
    store.remove("maxHistoryCount");
    prefs.setHotkey(1, 256);
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(prefs.maxHistoryCount(), 50) << "a removed key reads as its default again";
}

TEST(SteppedHistoryCount, MovesByTenWithinTheRange)
{
    EXPECT_EQ(steppedHistoryCount(50, +1), 60);
    EXPECT_EQ(steppedHistoryCount(50, -1), 40);
    EXPECT_EQ(steppedHistoryCount(490, +1), 500);
    EXPECT_EQ(steppedHistoryCount(500, +1), 500);
    EXPECT_EQ(steppedHistoryCount(20, -1), 10);
    EXPECT_EQ(steppedHistoryCount(10, -1), 10);
    EXPECT_EQ(steppedHistoryCount(10, +1), 20);
    EXPECT_EQ(steppedHistoryCount(495, +1), 500);
    EXPECT_EQ(steppedHistoryCount(15, -1), 10);
}

TEST(SteppedHistoryCount, ValuesOutsideTheRangeComeBackIntoIt)
{
    // Stored by other means: a press towards the range enters it, a press
    // away from it changes nothing.
    EXPECT_EQ(steppedHistoryCount(1000, -1), 500);
    EXPECT_EQ(steppedHistoryCount(1000, +1), 1000);
    EXPECT_EQ(steppedHistoryCount(5, +1), 15);
    EXPECT_EQ(steppedHistoryCount(5, -1), 5);
    EXPECT_EQ(steppedHistoryCount(std::numeric_limits<qint64>::max(), +1), std::numeric_limits<qint64>::max());
    EXPECT_EQ(steppedHistoryCount(std::numeric_limits<qint64>::max(), -1), 500);
    EXPECT_EQ(steppedHistoryCount(std::numeric_limits<qint64>::min(), +1), 10);
    EXPECT_EQ(steppedHistoryCount(50, 0), 50);
}

class DebouncedSubscriberTest : public ::testing::Test {
protected:
    memory::MemoryPreferences store;
    memory::VirtualTime time;
    QList<qint64> callTimes;
    std::unique_ptr<DebouncedPreferenceSubscriber> subscriber = std::make_unique<DebouncedPreferenceSubscriber>(
        store, time, 500, [this] { callTimes.append(time.monotonicMs()); });
};

TEST_F(DebouncedSubscriberTest, ABurstOfWritesGivesOneCallAfterTheLast)
{
    store.setValue("hotkeyCode", 40);
    time.advance(200);
    store.setValue("hotkeyModifiers", 256);
    time.advance(450);
    store.setValue("maxHistoryCount", 80);
    time.advance(499);
    EXPECT_TRUE(callTimes.isEmpty());
    time.advance(1);
    EXPECT_EQ(callTimes, QList<qint64>{1150});
    time.advance(5000);
    EXPECT_EQ(callTimes.size(), 1);
}

TEST_F(DebouncedSubscriberTest, SeparateBurstsGiveOneCallEach)
{
    store.setValue("hotkeyCode", 1);
    time.advance(600);
    store.remove("hotkeyCode");
    time.advance(600);
    EXPECT_EQ(callTimes, (QList<qint64>{500, 1100}));
}

TEST_F(DebouncedSubscriberTest, NoWritesNoCall)
{
    time.advance(10000);
    EXPECT_TRUE(callTimes.isEmpty());
}

TEST_F(DebouncedSubscriberTest, DestroyingTheSubscriberCancelsThePendingCall)
{
    store.setValue("hotkeyCode", 1);
    subscriber.reset();
    time.advance(1000);
    EXPECT_TRUE(callTimes.isEmpty());
    EXPECT_EQ(time.pendingCount(), 0);
}

TEST_F(DebouncedSubscriberTest, TheActionMayDestroyItsSubscriber)
{
    int calls = 0;
    subscriber = std::make_unique<DebouncedPreferenceSubscriber>(store, time, 500, [&] {
        ++calls;
        subscriber.reset();
    });
    store.setValue("hotkeyCode", 1);
    time.advance(500);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(subscriber, nullptr);
    store.setValue("hotkeyCode", 2);
    time.advance(1000);
    EXPECT_EQ(calls, 1);
}

} // namespace
