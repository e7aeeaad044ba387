// Display text of key combinations, the key-name table and the event flag
// to Carbon mask translation.
#include "platform/KeyEvent.h"
#include "settings/ShortcutText.h"

#include <gtest/gtest.h>

#include <QMap>

using namespace kelvo;

namespace {

// The key names by virtual key code, as the settings window lists them.
const QMap<int, QString> &expectedNames()
{
    static const QMap<int, QString> names = [] {
        QMap<int, QString> m;
        const char *letters[][2] = {{"0", "A"},  {"1", "S"},  {"2", "D"},  {"3", "F"},  {"4", "H"},  {"5", "G"},
                                    {"6", "Z"},  {"7", "X"},  {"8", "C"},  {"9", "V"},  {"11", "B"}, {"12", "Q"},
                                    {"13", "W"}, {"14", "E"}, {"15", "R"}, {"16", "Y"}, {"17", "T"}, {"31", "O"},
                                    {"32", "U"}, {"34", "I"}, {"35", "P"}, {"37", "L"}, {"38", "J"}, {"40", "K"},
                                    {"45", "N"}, {"46", "M"}};
        for (const auto &pair : letters)
            m.insert(QString::fromLatin1(pair[0]).toInt(), QString::fromLatin1(pair[1]));
        const char *digits[][2] = {{"18", "1"}, {"19", "2"}, {"20", "3"}, {"21", "4"}, {"22", "6"},
                                   {"23", "5"}, {"25", "9"}, {"26", "7"}, {"28", "8"}, {"29", "0"}};
        for (const auto &pair : digits)
            m.insert(QString::fromLatin1(pair[0]).toInt(), QString::fromLatin1(pair[1]));
        m.insert(24, "=");
        m.insert(27, "-");
        m.insert(49, "Space");
        m.insert(51, "⌫");
        m.insert(53, "Esc");
        m.insert(123, "←");
        m.insert(124, "→");
        m.insert(125, "↓");
        m.insert(126, "↑");
        return m;
    }();
    return names;
}

TEST(KeyName, EveryNamedKeyOfTheTable)
{
    ASSERT_EQ(expectedNames().size(), 45);
    for (auto it = expectedNames().cbegin(); it != expectedNames().cend(); ++it)
        EXPECT_EQ(keyName(it.key()), it.value()) << "key code " << it.key();
}

TEST(KeyName, EveryOtherCodeIsBracketedDecimal)
{
    for (int code = 0; code < 512; ++code) {
        if (expectedNames().contains(code))
            continue;
        EXPECT_EQ(keyName(code), QStringLiteral("[%1]").arg(code)) << code;
    }
    EXPECT_EQ(keyName(36), "[36]");  // Return
    EXPECT_EQ(keyName(48), "[48]");  // Tab
    EXPECT_EQ(keyName(122), "[122]"); // F1
    EXPECT_EQ(keyName(65535), "[65535]");
}

TEST(KeyName, CodesOutsideSixteenBitsAreNeverGivenAName)
{
    // Cut down to 16 bits, 65545 would read as V.
    EXPECT_EQ(keyName(65536 + 9), "[65545]");
    EXPECT_EQ(keyName(65536), "[65536]");
    EXPECT_EQ(keyName(-1), "[-1]");
    EXPECT_EQ(keyName(qint64(1) << 40), "[1099511627776]");
}

TEST(ShortcutDisplayText, DefaultIsShiftCommandV)
{
    EXPECT_EQ(shortcutDisplayText(9, 768), QStringLiteral("⇧ ⌘ V"));
    EXPECT_EQ(shortcutDisplayText(9, 768), QString::fromUtf8("\xe2\x87\xa7 \xe2\x8c\x98 V"));
}

TEST(ShortcutDisplayText, GlyphsInControlOptionShiftCommandOrder)
{
    EXPECT_EQ(shortcutDisplayText(40, 4096 | 2048 | 256), "⌃ ⌥ ⌘ K");
    EXPECT_EQ(shortcutDisplayText(36, 4096 | 512), "⌃ ⇧ [36]");
    EXPECT_EQ(shortcutDisplayText(23, 2048), "⌥ 5");
    EXPECT_EQ(shortcutDisplayText(22, 2048), "⌥ 6");
    EXPECT_EQ(shortcutDisplayText(0, 512), "⇧ A");
    EXPECT_EQ(shortcutDisplayText(49, 4096 | 2048 | 512 | 256), "⌃ ⌥ ⇧ ⌘ Space");
    EXPECT_EQ(shortcutDisplayText(53, 256), "⌘ Esc");
    EXPECT_EQ(shortcutDisplayText(126, 4096), "⌃ ↑");
}

TEST(ShortcutDisplayText, KeyWithoutModifiersIsItsNameAlone)
{
    EXPECT_EQ(shortcutDisplayText(9, 0), "V");
    EXPECT_EQ(shortcutDisplayText(48, 0), "[48]");
    EXPECT_EQ(shortcutDisplayText(51, 0), "⌫");
}

TEST(ShortcutDisplayText, OtherMaskBitsAreIgnored)
{
    // Carbon's caps lock (1024), alpha lock and unrelated high bits.
    EXPECT_EQ(shortcutDisplayText(9, 768 | 1024 | 1 | 0x10000 | 0x100000), "⇧ ⌘ V");
    EXPECT_EQ(shortcutDisplayText(9, 1024 | 128), "V");
    EXPECT_EQ(shortcutDisplayText(9, -1), "⌃ ⌥ ⇧ ⌘ V") << "every bit set includes the four";
}

TEST(ShortcutDisplayText, UnknownAndOutOfRangeCodes)
{
    EXPECT_EQ(shortcutDisplayText(0xFFFF, 256), "⌘ [65535]");
    EXPECT_EQ(shortcutDisplayText(70000, 512), "⇧ [70000]");
    EXPECT_EQ(shortcutDisplayText(-5, 0), "[-5]");
}

TEST(CarbonModifiers, EachFlagMapsToItsBit)
{
    EXPECT_EQ(carbonModifiers(0), 0u);
    EXPECT_EQ(carbonModifiers(EventFlag::Control), 4096u);
    EXPECT_EQ(carbonModifiers(EventFlag::Option), 2048u);
    EXPECT_EQ(carbonModifiers(EventFlag::Shift), 512u);
    EXPECT_EQ(carbonModifiers(EventFlag::Command), 256u);
    EXPECT_EQ(carbonModifiers(262144), 4096u);
    EXPECT_EQ(carbonModifiers(524288), 2048u);
    EXPECT_EQ(carbonModifiers(131072), 512u);
    EXPECT_EQ(carbonModifiers(1048576), 256u);
    EXPECT_EQ(carbonModifiers(EventFlag::Shift | EventFlag::Command), 768u);
    EXPECT_EQ(carbonModifiers(EventFlag::Control | EventFlag::Option | EventFlag::Shift | EventFlag::Command), 6912u);
}

TEST(CarbonModifiers, OtherFlagsAreDropped)
{
    EXPECT_EQ(carbonModifiers(EventFlag::CapsLock | EventFlag::Function | EventFlag::NumericPad), 0u);
    EXPECT_EQ(carbonModifiers(EventFlag::CapsLock | EventFlag::Shift), 512u);
    // Device-dependent low bits and the help flag.
    EXPECT_EQ(carbonModifiers(0xFFFF | 0x400000 | EventFlag::Command), 256u);
}

} // namespace
