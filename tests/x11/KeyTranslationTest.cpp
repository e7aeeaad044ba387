#include "platform/x11/KeyTranslation.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace kelvo;
using namespace kelvo::x11;

TEST(KeyPositionTable, EveryPositionHasOneKeyCodeAndBackWhereTheKeyboardHasIt)
{
    QSet<quint32> virtualKeys;
    QSet<quint8> keyCodes;
    for (const KeyPosition &p : keyPositions()) {
        EXPECT_FALSE(virtualKeys.contains(p.virtualKey)) << "virtual key twice: " << p.virtualKey;
        EXPECT_FALSE(keyCodes.contains(p.x11KeyCode)) << "X11 key code twice: " << int(p.x11KeyCode);
        virtualKeys.insert(p.virtualKey);
        keyCodes.insert(p.x11KeyCode);
        EXPECT_EQ(x11KeyCodeForVirtualKey(p.virtualKey), p.x11KeyCode);
        EXPECT_EQ(virtualKeyForX11KeyCode(p.x11KeyCode), p.virtualKey);
        EXPECT_EQ(keysymForVirtualKey(p.virtualKey), p.keysym);
    }
    const std::pair<quint32, quint8> named[] = {{9, 55},    {36, 36},   {48, 23},   {53, 9},  {49, 65},
                                                {51, 22},   {123, 113}, {124, 114}, {125, 116}, {126, 111},
                                                {0, 38},    {12, 24},   {18, 10},   {29, 19}};
    for (const auto &[vk, code] : named)
        EXPECT_EQ(x11KeyCodeForVirtualKey(vk), code) << "virtual key " << vk;
    EXPECT_FALSE(x11KeyCodeForVirtualKey(52)); // no key at 52
    EXPECT_FALSE(x11KeyCodeForVirtualKey(0xFFFF));
    EXPECT_FALSE(virtualKeyForX11KeyCode(0));
    EXPECT_FALSE(virtualKeyForX11KeyCode(255));
}

TEST(KeysymLookup, BothLevelsNameTheirPosition)
{
    // '<' is unshifted on the ISO key and Shift+comma elsewhere: the
    // unshifted position wins. ISO_Left_Tab is Shift+Tab.
    const std::pair<quint32, quint32> cases[] = {{'v', 9},     {'V', 9},      {'!', 18},     {0xff0d, 36},
                                                 {0xfe20, 48}, {0xffb5, 87},  {'<', 10},     {',', 43}};
    for (const auto &[sym, vk] : cases)
        EXPECT_EQ(virtualKeyForKeysym(sym), vk) << std::hex << sym;
    EXPECT_FALSE(virtualKeyForKeysym(0x1008ff13)); // XF86AudioRaiseVolume
}

TEST(ModifierTranslation, MasksAndFlagsOfSuperShiftAltControl)
{
    EXPECT_EQ(x11ModifiersForCarbon(768), X11Mod::Mod4 | X11Mod::Shift); // the default Super+Shift
    // Bits without an X11 meaning (Caps Lock 1024, anything else) are dropped.
    EXPECT_EQ(x11ModifiersForCarbon(1024 | 0x10000 | CarbonMod::Command), X11Mod::Mod4);
    const quint32 all = CarbonMod::Command | CarbonMod::Shift | CarbonMod::Option | CarbonMod::Control;
    EXPECT_EQ(carbonModifiersForX11State(x11ModifiersForCarbon(all)), all);
    // Locks and the other modifiers are no part of a combination.
    EXPECT_EQ(carbonModifiersForX11State(X11Mod::Lock | X11Mod::Mod2 | X11Mod::Shift), CarbonMod::Shift);

    EXPECT_EQ(eventFlagsForX11State(X11Mod::Mod4 | X11Mod::Shift), EventFlag::Command | EventFlag::Shift);
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Control | X11Mod::Mod1), EventFlag::Control | EventFlag::Option);
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Lock), EventFlag::CapsLock);
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Mod2), 0u); // Num Lock
}

TEST(KeyEventTranslation, PositionFlagsAndCharactersOfAnX11Key)
{
    const quint32 none = 0xFFFF;
    const struct {
        quint8 code;
        quint16 state;
        quint32 sym, shiftedSym;
        quint32 keyCode;
        quint64 flags;
        const char *chars;
    } cases[] = {
        {41, X11Mod::Control | X11Mod::Mod4, 'f', 'F', 3, EventFlag::Control | EventFlag::Command, "f"},
        {55, X11Mod::Shift | X11Mod::Mod4, 'v', 'V', 9, EventFlag::Shift | EventFlag::Command, "V"},
        {10, X11Mod::Shift, '1', '!', 18, EventFlag::Shift, "!"},
        {38, X11Mod::Shift, 'a', 0, 0, EventFlag::Shift, "A"}, // one level: Shift still gives upper case
        {38, X11Mod::Mod1 | X11Mod::Control, 'a', 'A', 0, EventFlag::Option | EventFlag::Control, "a"},
        {38, 0, 'q', 'Q', 0, 0, "q"},       // a French layout: the position is still A
        {200, 0, 'a', 'A', 0, 0, "a"},      // outside the table: the keysym decides
        {201, 0, 0x1008ff13, 0, none, 0, ""},
        {202, 0, 0, 0, none, 0, ""},
        {36, 0, 0xff0d, 0, 36, 0, "\r"},    // control keys type their control characters
        {23, 0, 0xff09, 0xfe20, 48, 0, "\t"},
        {9, 0, 0xff1b, 0, 53, 0, "\x1b"},
        {65, 0, ' ', 0, 49, 0, " "},
        {113, 0, 0xff51, 0, 123, 0, ""},    // arrows type nothing
        {104, 0, 0xff8d, 0, 76, EventFlag::NumericPad, "\r"}, // KP_Enter
    };
    for (const auto &c : cases) {
        const KeyEvent e = keyEventFromX11(c.code, c.state, c.sym, c.shiftedSym);
        EXPECT_EQ(e.keyCode, c.keyCode) << int(c.code);
        EXPECT_EQ(e.modifierFlags, c.flags) << int(c.code);
        EXPECT_EQ(e.charactersIgnoringModifiers, QString::fromLatin1(c.chars)) << int(c.code);
    }
    EXPECT_EQ(charactersForKeysym(0xe9), "é"); // eacute
    EXPECT_EQ(charactersForKeysym(0x1000000 + 0x4e2d), "中"); // Unicode keysym
    EXPECT_EQ(charactersForKeysym(0x1000000 + 0x1f600), QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_TRUE(charactersForKeysym(0).isEmpty());
}
