#include "platform/x11/KeyTranslation.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace kelvo;
using namespace kelvo::x11;

TEST(KeyPositionTable, EveryPositionHasOneKeyCodeAndBack)
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
}

TEST(KeyPositionTable, NamedKeysSitWhereTheKeyboardHasThem)
{
    const std::pair<quint32, quint8> expected[] = {
        {9, 55},   {36, 36},  {48, 23},  {53, 9},   {49, 65},  {51, 22},  {123, 113},
        {124, 114}, {125, 116}, {126, 111}, {0, 38},  {12, 24},  {18, 10},  {29, 19},
    };
    for (const auto &[vk, code] : expected)
        EXPECT_EQ(x11KeyCodeForVirtualKey(vk), code) << "virtual key " << vk;
}

TEST(KeyPositionTable, UnknownCodesHaveNoCounterpart)
{
    EXPECT_FALSE(x11KeyCodeForVirtualKey(52).has_value()); // no key at 52
    EXPECT_FALSE(x11KeyCodeForVirtualKey(0xFFFF).has_value());
    EXPECT_FALSE(virtualKeyForX11KeyCode(0).has_value());
    EXPECT_FALSE(virtualKeyForX11KeyCode(255).has_value());
    EXPECT_FALSE(virtualKeyForKeysym(0x1008ff13).has_value()); // XF86AudioRaiseVolume
}

TEST(KeysymLookup, BothLevelsNameTheirPosition)
{
    EXPECT_EQ(virtualKeyForKeysym('v'), 9u);
    EXPECT_EQ(virtualKeyForKeysym('V'), 9u);
    EXPECT_EQ(virtualKeyForKeysym('!'), 18u);
    EXPECT_EQ(virtualKeyForKeysym(0xff0d), 36u); // Return
    EXPECT_EQ(virtualKeyForKeysym(0xfe20), 48u); // ISO_Left_Tab is Shift+Tab
    EXPECT_EQ(virtualKeyForKeysym(0xffb5), 87u); // KP_5
    // '<' is unshifted on the ISO key and Shift+comma elsewhere: the
    // unshifted position wins.
    EXPECT_EQ(virtualKeyForKeysym('<'), 10u);
    EXPECT_EQ(virtualKeyForKeysym(','), 43u);
}

TEST(ModifierTranslation, CarbonMaskMapsToSuperShiftAltControl)
{
    EXPECT_EQ(x11ModifiersForCarbon(768), X11Mod::Mod4 | X11Mod::Shift); // the default Super+Shift
    EXPECT_EQ(x11ModifiersForCarbon(CarbonMod::Option), X11Mod::Mod1);
    EXPECT_EQ(x11ModifiersForCarbon(CarbonMod::Control), X11Mod::Control);
    EXPECT_EQ(x11ModifiersForCarbon(0), 0);
    // Bits without an X11 meaning (Caps Lock 1024, anything else) are dropped.
    EXPECT_EQ(x11ModifiersForCarbon(1024 | 0x10000 | CarbonMod::Command), X11Mod::Mod4);

    const quint32 all = CarbonMod::Command | CarbonMod::Shift | CarbonMod::Option | CarbonMod::Control;
    EXPECT_EQ(carbonModifiersForX11State(x11ModifiersForCarbon(all)), all);
    // Locks and the other modifiers are no part of a combination.
    EXPECT_EQ(carbonModifiersForX11State(X11Mod::Lock | X11Mod::Mod2 | X11Mod::Shift), CarbonMod::Shift);
}

TEST(ModifierTranslation, EventFlagsOfAnX11State)
{
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Mod4 | X11Mod::Shift), EventFlag::Command | EventFlag::Shift);
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Control | X11Mod::Mod1), EventFlag::Control | EventFlag::Option);
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Lock), EventFlag::CapsLock);
    EXPECT_EQ(eventFlagsForX11State(X11Mod::Mod2), 0u); // Num Lock
}

TEST(LockVariants, PlainCombinationFirstThenEveryLockState)
{
    const QList<quint16> v = withLockVariants(X11Mod::Mod4 | X11Mod::Shift, X11Mod::Mod2);
    ASSERT_EQ(v.size(), 4);
    EXPECT_EQ(v[0], X11Mod::Mod4 | X11Mod::Shift);
    EXPECT_TRUE(v.contains(X11Mod::Mod4 | X11Mod::Shift | X11Mod::Lock));
    EXPECT_TRUE(v.contains(X11Mod::Mod4 | X11Mod::Shift | X11Mod::Mod2));
    EXPECT_TRUE(v.contains(X11Mod::Mod4 | X11Mod::Shift | X11Mod::Lock | X11Mod::Mod2));

    // No Num Lock on the keyboard: only Caps Lock doubles the grab.
    EXPECT_EQ(withLockVariants(X11Mod::Control, 0), (QList<quint16>{X11Mod::Control, quint16(X11Mod::Control | X11Mod::Lock)}));
    // A bare key still gets its lock variants.
    EXPECT_EQ(withLockVariants(0, X11Mod::Mod2).size(), 4);
}

TEST(KeyEventTranslation, CommandFReachesThePanelAsPositionFlagsAndLetter)
{
    const KeyEvent e = keyEventFromX11(41, X11Mod::Control | X11Mod::Mod4, 'f', 'F');
    EXPECT_EQ(e.keyCode, 3u);
    EXPECT_EQ(e.modifierFlags, EventFlag::Control | EventFlag::Command);
    EXPECT_EQ(e.charactersIgnoringModifiers, QStringLiteral("f"));
}

TEST(KeyEventTranslation, ShiftAloneDecidesTheCharacters)
{
    EXPECT_EQ(keyEventFromX11(55, X11Mod::Shift | X11Mod::Mod4, 'v', 'V').charactersIgnoringModifiers,
              QStringLiteral("V"));
    EXPECT_EQ(keyEventFromX11(10, X11Mod::Shift, '1', '!').charactersIgnoringModifiers, QStringLiteral("!"));
    // A keymap with one level: Shift still gives the upper case.
    EXPECT_EQ(keyEventFromX11(38, X11Mod::Shift, 'a', 0).charactersIgnoringModifiers, QStringLiteral("A"));
    // Alt and Control change nothing.
    EXPECT_EQ(keyEventFromX11(38, X11Mod::Mod1 | X11Mod::Control, 'a', 'A').charactersIgnoringModifiers,
              QStringLiteral("a"));
}

TEST(KeyEventTranslation, PositionWinsOverTheLayout)
{
    // On a French layout the A position types 'q': the position is still A.
    EXPECT_EQ(keyEventFromX11(38, 0, 'q', 'Q').keyCode, 0u);
    EXPECT_EQ(keyEventFromX11(38, 0, 'q', 'Q').charactersIgnoringModifiers, QStringLiteral("q"));
}

TEST(KeyEventTranslation, KeyCodesOutsideTheTableFallBackToTheKeysym)
{
    EXPECT_EQ(keyEventFromX11(200, 0, 'a', 'A').keyCode, 0u);
    EXPECT_EQ(keyEventFromX11(201, 0, 0x1008ff13, 0).keyCode, 0xFFFFu);
    EXPECT_EQ(keyEventFromX11(202, 0, 0, 0).keyCode, 0xFFFFu);
    EXPECT_TRUE(keyEventFromX11(202, 0, 0, 0).charactersIgnoringModifiers.isEmpty());
}

TEST(KeyEventTranslation, ControlKeysTypeTheirControlCharacters)
{
    EXPECT_EQ(keyEventFromX11(36, 0, 0xff0d, 0).charactersIgnoringModifiers, QStringLiteral("\r"));
    EXPECT_EQ(keyEventFromX11(23, 0, 0xff09, 0xfe20).charactersIgnoringModifiers, QStringLiteral("\t"));
    EXPECT_EQ(keyEventFromX11(9, 0, 0xff1b, 0).charactersIgnoringModifiers, QStringLiteral("\x1b"));
    EXPECT_EQ(keyEventFromX11(65, 0, ' ', 0).charactersIgnoringModifiers, QStringLiteral(" "));
    // Arrows type nothing.
    EXPECT_TRUE(keyEventFromX11(113, 0, 0xff51, 0).charactersIgnoringModifiers.isEmpty());
    EXPECT_EQ(keyEventFromX11(113, 0, 0xff51, 0).keyCode, 123u);
}

TEST(KeyEventTranslation, KeypadKeysCarryTheNumericPadFlag)
{
    const KeyEvent kp = keyEventFromX11(104, 0, 0xff8d, 0); // KP_Enter
    EXPECT_EQ(kp.keyCode, 76u);
    EXPECT_TRUE(kp.modifierFlags & EventFlag::NumericPad);
    EXPECT_FALSE(keyEventFromX11(36, 0, 0xff0d, 0).modifierFlags & EventFlag::NumericPad);
}

TEST(KeyEventTranslation, NonLatinKeysymsGiveTheirText)
{
    EXPECT_EQ(charactersForKeysym(0xe9), QStringLiteral("é"));          // eacute
    EXPECT_EQ(charactersForKeysym(0x1000000 + 0x4e2d), QStringLiteral("中")); // Unicode keysym
    EXPECT_EQ(charactersForKeysym(0x1000000 + 0x1f600), QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_TRUE(charactersForKeysym(0).isEmpty());
}
