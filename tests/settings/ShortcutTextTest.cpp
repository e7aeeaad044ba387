// Display text of key combinations, the key-name table and the event flag
// to modifier mask translation.
#include "platform/KeyEvent.h"
#include "settings/ShortcutText.h"

#include <gtest/gtest.h>

#include <QMap>

using namespace kelvo;

namespace {

TEST(KeyName, NamedKeysAndBracketedDecimalForEveryOtherCode)
{
    // The key names by virtual key code, as the settings window lists them.
    const QString letters = "ASDFHGZXCV?BQWERYT", digits = "123465=97-80";
    QMap<qint64, QString> names{{31, "O"},     {32, "U"},   {34, "I"}, {35, "P"}, {37, "L"}, {38, "J"},
                                {40, "K"},     {45, "N"},   {46, "M"}, {49, "Space"}, {51, "⌫"}, {53, "Esc"},
                                {123, "←"},    {124, "→"},  {125, "↓"}, {126, "↑"}};
    for (int i = 0; i < letters.size(); ++i)
        if (letters[i] != u'?')
            names.insert(i, letters.mid(i, 1));
    for (int i = 0; i < digits.size(); ++i)
        names.insert(18 + i, digits.mid(i, 1));
    ASSERT_EQ(names.size(), 45);
    for (qint64 code = 0; code < 512; ++code)
        EXPECT_EQ(keyName(code), names.value(code, QStringLiteral("[%1]").arg(code))) << code;
    // Codes outside sixteen bits are never given a name (cut down, 65545 would read as V).
    for (qint64 code : {qint64(65536 + 9), qint64(65536), qint64(65535), qint64(-1), qint64(1) << 40})
        EXPECT_EQ(keyName(code), QStringLiteral("[%1]").arg(code));
}

TEST(ShortcutDisplayText, GlyphsInControlOptionShiftCommandOrderThenTheKey)
{
    const struct {
        qint64 code, mask;
        const char *text;
    } cases[] = {
        {9, 768, "\xe2\x87\xa7 \xe2\x8c\x98 V"}, // the default, shift-command-V
        {40, 4096 | 2048 | 256, "⌃ ⌥ ⌘ K"},
        {36, 4096 | 512, "⌃ ⇧ [36]"},
        {23, 2048, "⌥ 5"},
        {0, 512, "⇧ A"},
        {49, 4096 | 2048 | 512 | 256, "⌃ ⌥ ⇧ ⌘ Space"},
        {126, 4096, "⌃ ↑"},
        {9, 0, "V"}, // no modifiers: the name alone
        {51, 0, "⌫"},
        // Caps lock (1024), alpha lock and unrelated high bits are ignored.
        {9, 768 | 1024 | 1 | 0x10000 | 0x100000, "⇧ ⌘ V"},
        {9, 1024 | 128, "V"},
        {9, -1, "⌃ ⌥ ⇧ ⌘ V"}, // every bit set includes the four
        {0xFFFF, 256, "⌘ [65535]"},
        {70000, 512, "⇧ [70000]"},
        {-5, 0, "[-5]"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(shortcutDisplayText(c.code, c.mask), QString::fromUtf8(c.text)) << c.code << " " << c.mask;
}

TEST(CarbonModifiers, EachModifierFlagMapsToItsBitAndOtherFlagsAreDropped)
{
    const quint64 all = EventFlag::Control | EventFlag::Option | EventFlag::Shift | EventFlag::Command;
    const std::pair<quint64, quint32> cases[] = {
        {0, 0},
        {262144, 4096}, // Control
        {524288, 2048}, // Option
        {131072, 512},  // Shift
        {1048576, 256}, // Command
        {all, 6912},
        {EventFlag::CapsLock | EventFlag::Function | EventFlag::NumericPad, 0},
        {EventFlag::CapsLock | EventFlag::Shift, 512},
        {0xFFFF | 0x400000 | EventFlag::Command, 256}, // device bits and the help flag
    };
    for (const auto &[flags, mask] : cases)
        EXPECT_EQ(carbonModifiers(flags), mask) << flags;
}

} // namespace
