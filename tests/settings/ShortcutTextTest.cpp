// Display text of key combinations: the modifier glyphs, then the key's name
// or its code in brackets.
#include "settings/ShortcutText.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

TEST(ShortcutDisplayText, GlyphsInControlOptionShiftCommandOrderThenTheKey)
{
    const struct {
        qint64 code, mask;
        const char *text;
    } cases[] = {
        {9, 768, "\xe2\x87\xa7 \xe2\x8c\x98 V"}, // the default, shift-command-V
        {23, 2048, "⌥ 5"},
        {22, 2048, "⌥ 6"}, // the digit keys are not in the order of their digits
        {49, 4096 | 2048 | 512 | 256, "⌃ ⌥ ⇧ ⌘ Space"},
        {126, 4096, "⌃ ↑"},
        {9, 0, "V"}, // no modifiers: the name alone
        {51, 0, "⌫"},
        {10, 0, "[10]"}, // a gap among the letters
        // Caps lock (1024), alpha lock and unrelated high bits are ignored.
        {9, 768 | 1024 | 1 | 0x10000 | 0x100000, "⇧ ⌘ V"},
        {9, 1024 | 128, "V"},
        {9, -1, "⌃ ⌥ ⇧ ⌘ V"}, // every bit set includes the four
        {0xFFFF, 256, "⌘ [65535]"},
        {70000, 512, "⇧ [70000]"},
        // Outside sixteen bits a code is never named (cut down, 65545 would read as V).
        {65536 + 9, 0, "[65545]"},
        {qint64(1) << 40, 0, "[1099511627776]"},
        {-5, 0, "[-5]"},
    };
    // More combinations as the recorder shows them once stored: ShortcutRecorderTest.
    for (const auto &c : cases)
        EXPECT_EQ(shortcutDisplayText(c.code, c.mask), QString::fromUtf8(c.text)) << c.code << " " << c.mask;
}

} // namespace
