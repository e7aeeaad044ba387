#include "XvfbFixture.h"

#include "platform/Log.h"
#include "platform/x11/KeyTranslation.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyService.h"

#include <xcb/xcb_keysyms.h>

using namespace kelvo;
using namespace kelvo::x11;
using kelvo::testing::XvfbServer;

namespace {

// Another X client, for holding grabs and reading the server's state.
struct OtherClient : X11Connection {
    using X11Connection::X11Connection;
    // The X error code of grabbing, 0 on success.
    int grab(quint8 keyCode, quint16 modifiers)
    {
        auto cookie = xcb_grab_key_checked(get(), 1, root(), modifiers, keyCode, XCB_GRAB_MODE_ASYNC,
                                           XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t *e = xcb_request_check(get(), cookie);
        const int code = e ? e->error_code : 0;
        std::free(e);
        return code;
    }
    void ungrab(quint8 keyCode, quint16 modifiers)
    {
        xcb_ungrab_key(get(), keyCode, root(), modifiers);
        sync();
    }
    quint16 modifierState()
    {
        auto *r = xcb_query_pointer_reply(get(), xcb_query_pointer(get(), root()), nullptr);
        const quint16 mask = r ? r->mask : 0;
        std::free(r);
        return mask;
    }
};

class X11HotKeyServiceTest : public kelvo::testing::XvfbTest {
protected:
    void SetUp() override
    {
        XvfbTest::SetUp();
        service = std::make_unique<X11HotKeyService>(display());
        ASSERT_TRUE(service->isValid());
        service->installHandler([this] { ++presses; });
    }
    void TearDown() override
    {
        service.reset();
        XvfbTest::TearDown();
    }
    bool pressAndWait(const QString &keys, int expected)
    {
        xdotool({"key", keys});
        return XvfbServer::waitUntil([&] { return presses >= expected; }, 5000);
    }

    std::unique_ptr<X11HotKeyService> service;
    int presses = 0;
};

constexpr quint32 kV = 9;
constexpr quint32 kDefaultModifiers = 768;
constexpr quint8 kVKeyCode = 55;

} // namespace

TEST_F(X11HotKeyServiceTest, TheShortcutReachesTheHandlerOncePerPressAndOtherCombinationsDoNot)
{
    const HotKeyRegistration r = service->registerHotKey(kV, kDefaultModifiers);
    ASSERT_TRUE(r.handle);
    EXPECT_EQ(r.status, 0);
    for (const char *other : {"super+v", "ctrl+super+shift+v", "shift+v"})
        xdotool({"key", other});
    // Key events arrive in order: once the shortcut is seen, the others were.
    ASSERT_TRUE(pressAndWait("super+shift+v", 1));
    ASSERT_TRUE(pressAndWait("super+shift+v", 2));
    EXPECT_EQ(presses, 2);

    xdotool({"keydown", "super+shift+v"});
    XvfbServer::spin(1500); // held for this long, past the server's auto-repeat delay: the time is the subject
    xdotool({"keyup", "super+shift+v"});
    ASSERT_TRUE(pressAndWait("super+shift+v", 4));
    EXPECT_EQ(presses, 4) << "the repeats of the held key counted";

    const HotKeyRegistration noPosition = service->registerHotKey(0xFFFF, kDefaultModifiers);
    EXPECT_FALSE(noPosition.handle);
    EXPECT_NE(noPosition.status, 0);
}

TEST_F(X11HotKeyServiceTest, CapsLockAndNumLockDoNotStopTheShortcut)
{
    ASSERT_NE(service->numLockMask(), 0) << "the test server's keymap has Num Lock";
    ASSERT_TRUE(service->registerHotKey(kV, kDefaultModifiers).handle);
    OtherClient state(display());

    xdotool({"key", "Caps_Lock"});
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return state.modifierState() & X11Mod::Lock; }, 3000));
    ASSERT_TRUE(pressAndWait("super+shift+v", 1));

    xdotool({"key", "Num_Lock"});
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return state.modifierState() & service->numLockMask(); }, 3000));
    ASSERT_TRUE(pressAndWait("super+shift+v", 2)); // both locks on

    xdotool({"key", "Caps_Lock"});
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return !(state.modifierState() & X11Mod::Lock); }, 3000));
    ASSERT_TRUE(pressAndWait("super+shift+v", 3)); // Num Lock only
}

TEST_F(X11HotKeyServiceTest, ACombinationHeldElsewhereFailsAndEveryGrabOfAnOldCombinationIsLetGo)
{
    const quint16 combination = X11Mod::Mod4 | X11Mod::Shift;
    OtherClient holder(display()), other(display());
    // The service's release reaches the server on its own connection: the
    // other client's grab may come first, so it is tried until the deadline.
    const auto grabbable = [&](quint16 mask) {
        return XvfbServer::waitUntil([&] {
            const bool granted = other.grab(kVKeyCode, mask) == 0;
            other.ungrab(kVKeyCode, mask);
            return granted;
        }, 5000);
    };
    ASSERT_EQ(holder.grab(kVKeyCode, combination), 0);
    const HotKeyRegistration refused = service->registerHotKey(kV, kDefaultModifiers);
    EXPECT_FALSE(refused.handle);
    EXPECT_EQ(refused.status, 10); // BadAccess
    // The lock variants that were granted before the refusal are let go.
    EXPECT_TRUE(grabbable(combination | X11Mod::Lock));
    EXPECT_TRUE(grabbable(combination | service->numLockMask()));

    // Once the holder lets go, the same combination registers; changing it
    // lets every grab of the old one go.
    holder.ungrab(kVKeyCode, combination);
    const HotKeyRegistration first = service->registerHotKey(kV, kDefaultModifiers);
    ASSERT_TRUE(first.handle);
    ASSERT_TRUE(pressAndWait("super+shift+v", 1));
    service->unregisterHotKey(*first.handle);
    for (quint16 mask : withLockVariants(combination, service->numLockMask()))
        EXPECT_TRUE(grabbable(mask)) << "mask " << mask;
    const HotKeyRegistration second = service->registerHotKey(49, 4096 | 2048); // control-option-space
    ASSERT_TRUE(second.handle);
    EXPECT_NE(*first.handle, *second.handle);
    xdotool({"key", "super+shift+v"});
    ASSERT_TRUE(pressAndWait("ctrl+alt+space", 2));
    EXPECT_EQ(presses, 2) << "the old combination still counted";
    ASSERT_TRUE(service->registerHotKey(96, 0).handle); // a bare F5 is a global shortcut too
    ASSERT_TRUE(pressAndWait("F5", 3));
}

TEST(X11HotKeyServiceWithoutDisplay, FailsWithAStatus)
{
    X11HotKeyService service(QStringLiteral(":4999"));
    EXPECT_FALSE(service.isValid());
    const HotKeyRegistration r = service.registerHotKey(kV, kDefaultModifiers);
    EXPECT_FALSE(r.handle);
    EXPECT_NE(r.status, 0);
    service.unregisterHotKey(1); // harmless
}

// The position table against the keymap that an X server really has: the
// US layout's keysyms sit on the key codes the table names.
TEST_F(X11HotKeyServiceTest, TheServerKeymapAgreesWithThePositionTable)
{
    OtherClient client(display());
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(client.get());
    ASSERT_TRUE(symbols);
    int checked = 0;
    for (const KeyPosition &p : keyPositions()) {
        // F13..F16 carry vendor keysyms in the evdev keymap.
        if (p.virtualKey == 105 || p.virtualKey == 106 || p.virtualKey == 107 || p.virtualKey == 113)
            continue;
        const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols, p.x11KeyCode, 0);
        EXPECT_EQ(sym, p.keysym) << "virtual key " << p.virtualKey << " at X11 key code " << int(p.x11KeyCode);
        if (p.shiftedKeysym) {
            const xcb_keysym_t shifted = xcb_key_symbols_get_keysym(symbols, p.x11KeyCode, 1);
            EXPECT_EQ(shifted, p.shiftedKeysym) << "virtual key " << p.virtualKey << " shifted";
        }
        ++checked;
    }
    xcb_key_symbols_free(symbols);
    EXPECT_GT(checked, 90);
}

TEST_F(X11HotKeyServiceTest, AGrabLostAfterAKeyboardChangeIsLoggedAndRetried)
{
    QStringList lines;
    setLogSink([&](const QString &line) { lines.append(line); });
    const HotKeyRegistration first = service->registerHotKey(kV, kDefaultModifiers);
    ASSERT_TRUE(first.handle);
    const quint16 numLock = service->numLockMask();
    ASSERT_EQ(numLock, XCB_MOD_MASK_2) << "the test server's Num Lock is on Mod2";

    // Another client holds the combination with Mod3, where Num Lock moves.
    OtherClient other(display());
    const quint16 combination = X11Mod::Mod4 | X11Mod::Shift;
    ASSERT_EQ(other.grab(kVKeyCode, combination | XCB_MOD_MASK_3), 0);
    auto *map = xcb_get_modifier_mapping_reply(other.get(), xcb_get_modifier_mapping(other.get()), nullptr);
    ASSERT_TRUE(map);
    const int perModifier = map->keycodes_per_modifier;
    std::vector<xcb_keycode_t> keys(xcb_get_modifier_mapping_keycodes(map),
                                    xcb_get_modifier_mapping_keycodes(map) + 8 * perModifier);
    std::free(map);
    for (int i = 0; i < perModifier; ++i) // Mod2 is the fourth group, Mod3 the fifth
        std::swap(keys[4 * perModifier + i], keys[5 * perModifier + i]);
    auto *set = xcb_set_modifier_mapping_reply(
        other.get(), xcb_set_modifier_mapping(other.get(), quint8(perModifier), keys.data()), nullptr);
    ASSERT_TRUE(set && set->status == XCB_MAPPING_STATUS_SUCCESS);
    std::free(set);

    EXPECT_TRUE(XvfbServer::waitUntil([&] { return !service->isHeld(*first.handle); }, 5000));
    EXPECT_EQ(lines, QStringList{QStringLiteral("[HotKeyManager] Failed to register hotkey: 10")});
    EXPECT_EQ(service->numLockMask(), XCB_MOD_MASK_3);

    other.ungrab(kVKeyCode, combination | XCB_MOD_MASK_3);
    const HotKeyRegistration again = service->registerHotKey(kV, kDefaultModifiers);
    EXPECT_TRUE(again.handle) << "the next registration grabs again";
    EXPECT_TRUE(pressAndWait("super+shift+v", 1));
    setLogSink(nullptr);
}
