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
    // Every binding as one line: launch, icon, code, modifiers, limit.
    QString readings() const
    {
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(prefs.launchAtLogin())
            .arg(prefs.showMenuBarIcon())
            .arg(prefs.hotkeyCode())
            .arg(prefs.hotkeyModifiers())
            .arg(prefs.maxHistoryCount());
    }
    memory::MemoryPreferences store;
    StoredPreferences prefs{store};
};

TEST_F(StoredPreferencesTest, StoredValuesAreReadAsTheStoreAppliesThem)
{
    using Values = QVariantMap;
    const qint64 maxU32 = std::numeric_limits<quint32>::max();
    const struct {
        Values stored;
        const char *read;
    } cases[] = {
        {{}, "0 1 9 768 50"}, // the defaults
        {{{"launchAtLogin", true}, {"showMenuBarIcon", false}, {"hotkeyCode", 40}, {"hotkeyModifiers", 6912},
          {"maxHistoryCount", 120}}, "1 0 40 6912 120"},
        {{{"hotkeyCode", 0}, {"hotkeyModifiers", 0}}, "0 1 0 0 50"}, // A without modifiers is a combination
        // The history store treats 0 or less as 50 and has no upper bound.
        {{{"maxHistoryCount", 0}}, "0 1 9 768 50"},
        {{{"maxHistoryCount", -500}}, "0 1 9 768 50"},
        {{{"maxHistoryCount", 1}}, "0 1 9 768 1"},
        {{{"maxHistoryCount", 1000}}, "0 1 9 768 1000"},
        // Outside the unsigned 32-bit range: the default.
        {{{"hotkeyCode", -1}, {"hotkeyModifiers", qint64(1) << 32}}, "0 1 9 768 50"},
        {{{"hotkeyCode", maxU32}, {"hotkeyModifiers", 70000}}, "0 1 4294967295 70000 50"},
        // An INI file hands its values back as text.
        {{{"launchAtLogin", "true"}, {"showMenuBarIcon", "0"}, {"hotkeyCode", " 12 "}, {"hotkeyModifiers", "4096"},
          {"maxHistoryCount", "200"}}, "1 0 12 4096 200"},
        // Of the wrong type: the default.
        {{{"launchAtLogin", "yes please"}, {"showMenuBarIcon", "maybe"}, {"hotkeyCode", "V"},
          {"hotkeyModifiers", true}, {"maxHistoryCount", 12.5}}, "0 1 9 768 50"},
    };
    int changes = 0;
    QObject::connect(&store, &PreferencesStore::changed, [&] { ++changes; });
    for (const auto &c : cases) {
        store.values = c.stored;
        EXPECT_EQ(readings(), QString::fromLatin1(c.read)) << c.read;
        EXPECT_EQ(store.values, c.stored) << "reading writes nothing";
    }
    EXPECT_EQ(changes, 0);
}

TEST_F(StoredPreferencesTest, WritesReachTheStoreAtOnceAsNativeValuesAndAnnounceThemselves)
{
    // What the store holds at each change notification.
    QStringList seen;
    QObject::connect(&prefs, &StoredPreferences::changed, [&] {
        seen.append(store.values.value("hotkeyCode", "-").toString() + "/" +
                    store.values.value("hotkeyModifiers", "-").toString());
    });
    prefs.setLaunchAtLogin(true);
    prefs.setShowMenuBarIcon(false);
    prefs.setMaxHistoryCount(70);
    EXPECT_EQ(store.values.value("launchAtLogin"), QVariant(true));
    EXPECT_EQ(store.values.value("showMenuBarIcon"), QVariant(false));
    EXPECT_EQ(store.values.value("maxHistoryCount").toLongLong(), 70);
    seen.clear();
    prefs.setHotkey(40, 4352); // the code first, then the modifiers
    EXPECT_EQ(seen, (QStringList{"40/-", "40/4352"}));
    store.setValue("maxHistoryCount", 90); // not through the bindings
    store.remove("maxHistoryCount");
    EXPECT_EQ(seen.size(), 4);
    EXPECT_EQ(readings(), "1 0 40 4352 50") << "a removed key reads as its default again";
    prefs.setLanguage("zh_CN"); // text; blank or no text reads as following the system
    EXPECT_EQ(store.values.value("language"), QVariant("zh_CN"));
    const std::pair<QVariant, const char *> languages[] = {{" en ", "en"}, {"", "system"}, {7, "system"}};
    for (const auto &[stored, read] : languages)
        EXPECT_EQ((store.setValue("language", stored), prefs.language()), read);
}

TEST(SteppedHistoryCount, MovesByTenWithinTheRangeAndBackIntoIt)
{
    const qint64 max = std::numeric_limits<qint64>::max(), min = std::numeric_limits<qint64>::min();
    // (stored, direction) -> stored after the press; out of the range a press
    // towards it enters it, a press away from it changes nothing.
    const qint64 cases[][3] = {
        {50, +1, 60},   {50, -1, 40},     {490, +1, 500}, {500, +1, 500}, {20, -1, 10},   {10, -1, 10},
        {10, +1, 20},   {495, +1, 500},   {15, -1, 10},   {1000, -1, 500}, {1000, +1, 1000}, {5, +1, 15},
        {5, -1, 5},     {max, +1, max},   {max, -1, 500}, {min, +1, 10},  {50, 0, 50},
    };
    for (const auto &c : cases)
        EXPECT_EQ(steppedHistoryCount(c[0], int(c[1])), c[2]) << c[0] << " " << c[1];
}

class DebouncedSubscriberTest : public ::testing::Test {
protected:
    memory::MemoryPreferences store;
    memory::VirtualTime time;
    QList<qint64> callTimes;
    std::unique_ptr<DebouncedPreferenceSubscriber> subscriber = std::make_unique<DebouncedPreferenceSubscriber>(
        store, time, 500, [this] { callTimes.append(time.monotonicMs()); });
};

TEST_F(DebouncedSubscriberTest, EachBurstOfWritesGivesOneCallAfterItsLast)
{
    time.advance(10000);
    EXPECT_TRUE(callTimes.isEmpty()) << "no writes, no call";
    store.setValue("hotkeyCode", 40);
    time.advance(200);
    store.setValue("hotkeyModifiers", 256);
    time.advance(450);
    store.setValue("maxHistoryCount", 80);
    time.advance(499);
    EXPECT_TRUE(callTimes.isEmpty());
    time.advance(1);
    EXPECT_EQ(callTimes, QList<qint64>{11150});
    store.remove("hotkeyCode");
    time.advance(5000);
    EXPECT_EQ(callTimes, (QList<qint64>{11150, 11650}));
}

TEST_F(DebouncedSubscriberTest, DestroyingTheSubscriberCancelsThePendingCallEvenFromItsAction)
{
    store.setValue("hotkeyCode", 1);
    subscriber.reset();
    time.advance(1000);
    EXPECT_TRUE(callTimes.isEmpty());
    EXPECT_EQ(time.pendingCount(), 0);

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
