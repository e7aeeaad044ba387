// The hot key manager's states, its short cut for an unchanged combination,
// retries after a refusal, and the deferred, weakly bound press action.
#include "system/HotKeyManager.h"

#include "platform/Log.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/VirtualTime.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

class HotKeyManagerTest : public ::testing::Test {
protected:
    HotKeyManagerTest()
    {
        setLogSink([this](const QString &line) { lines.append(line); });
    }
    ~HotKeyManagerTest() override { setLogSink(nullptr); }

    std::function<void()> counting() { return [this] { ++presses; }; }

    memory::MemoryHotKeys service;
    memory::VirtualTime time;
    HotKeyManager manager{service, time};
    QStringList lines;
    int presses = 0;
};

TEST_F(HotKeyManagerTest, SameCombinationTwiceRegistersOnceAndTheActionRunsInALaterTurn)
{
    manager.registerHotKey(9, 768, counting());
    int otherPresses = 0;
    manager.registerHotKey(9, 768, [&] { ++otherPresses; });
    EXPECT_EQ(service.registrations.size(), 1);
    EXPECT_TRUE(service.unregistrations.isEmpty());
    EXPECT_EQ(lines, QStringList({"[HotKeyManager] Registered hotkey: 9 with modifiers 768"}));

    ASSERT_TRUE(service.press({9, 768}));
    EXPECT_EQ(presses, 0) << "not inside the press handler";
    time.advance(0);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(otherPresses, 0) << "the first action stays: the second call changed nothing";
}

TEST_F(HotKeyManagerTest, ANewCombinationReplacesTheOldOneNeverHoldingTwo)
{
    manager.registerHotKey(9, 768, counting());
    manager.registerHotKey(0, 0, counting()); // the bare A key
    EXPECT_EQ(service.unregistrations.size(), 1);
    EXPECT_EQ(service.active.values(), (QList<QPair<quint32, quint32>>{{0, 0}}));
    EXPECT_FALSE(service.press({9, 768}));
    EXPECT_EQ(service.handlerInstalls, 1) << "one press handler for the life of the process";
}

TEST_F(HotKeyManagerTest, ARefusedOrLostCombinationIsLoggedSignedAndTriedAgainOnTheNextCall)
{
    service.taken.append({9, 768});
    manager.registerHotKey(9, 768, counting());
    service.refusalStatus = -9878;
    manager.registerHotKey(9, 768, counting());
    EXPECT_EQ(lines, QStringList({"[HotKeyManager] Failed to register hotkey: 10",
                                  "[HotKeyManager] Failed to register hotkey: -9878"}));
    service.taken.clear();
    manager.registerHotKey(9, 768, counting());
    EXPECT_EQ(service.registrations.size(), 3);

    service.active.clear(); // lost when the keyboard changed
    manager.registerHotKey(9, 768, counting());
    EXPECT_EQ(service.registrations.size(), 4);
    EXPECT_TRUE(service.press({9, 768}));
}

TEST_F(HotKeyManagerTest, UnregisterFreesTheKeyAndTheSameCombinationRegistersAgain)
{
    manager.registerHotKey(9, 768, counting());
    manager.unregisterHotKey();
    EXPECT_TRUE(service.active.isEmpty());
    manager.unregisterHotKey(); // nothing held: nothing to release
    EXPECT_EQ(service.unregistrations.size(), 1);
    manager.registerHotKey(9, 768, counting());
    EXPECT_EQ(service.active.size(), 1);
}

TEST(HotKeyManagerLifetime, DestructionReleasesTheGrabAndLatePressesDoNothing)
{
    memory::MemoryHotKeys service;
    memory::VirtualTime time;
    int presses = 0;
    {
        HotKeyManager manager(service, time);
        manager.registerHotKey(9, 768, [&] { ++presses; });
        ASSERT_TRUE(service.press({9, 768})); // in flight when the manager goes
    }
    EXPECT_TRUE(service.active.isEmpty());
    ASSERT_TRUE(service.handler);
    service.handler();
    time.advance(10);
    EXPECT_EQ(presses, 0);
}

} // namespace
