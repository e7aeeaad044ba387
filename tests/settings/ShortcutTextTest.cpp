// Display text of key combinations: the macOS glyphs, then the key's name
// or its code in brackets; on Linux the names and order of each desktop.
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

// One row per combination; the columns are the desktops (GNOME and the GTK
// desktops, KDE Plasma and LXQt, any other) as $XDG_CURRENT_DESKTOP names them.
TEST(KeyCombinationText, EachDesktopNamesAndOrdersTheKeysItsOwnWay)
{
    const QString desktops[] = {"ubuntu:GNOME", "KDE", "sway"};
    const struct {
        qint64 code, mask;
        const char *texts[3];
    } cases[] = {
        {9, 768, {"Shift+Super+V", "Meta+Shift+V", "Super+Shift+V"}}, // the default
        {40, 4096 | 2048 | 256, {"Ctrl+Alt+Super+K", "Meta+Ctrl+Alt+K", "Super+Ctrl+Alt+K"}},
        {53, 256, {"Super+Escape", "Meta+Esc", "Super+Esc"}},
        {116, 2048, {"Alt+Page Up", "Alt+PgUp", "Alt+PgUp"}},
        {22, 2048, {"Alt+6", "Alt+6", "Alt+6"}}, // by position, as stored
        {9, 1024 | 0x10000, {"V", "V", "V"}},    // Caps Lock and other bits are no modifiers
        {0xFFFF, 256, {"Super+[65535]", "Meta+[65535]", "Super+[65535]"}},
    };
    for (const auto &c : cases)
        for (int d = 0; d < 3; ++d)
            EXPECT_EQ(keyCombinationText(c.code, c.mask, keyNameStyleForDesktop(desktops[d])), c.texts[d])
                << qPrintable(desktops[d]) << " " << c.code << " " << c.mask;
    EXPECT_EQ(keyCombinationText(9, 768, KeyNameStyle::MacSymbols), "⇧ ⌘ V");
    EXPECT_EQ(keyNameStyleForDesktop("X-Cinnamon"), KeyNameStyle::Gnome);
    EXPECT_EQ(keyNameStyleForDesktop("GNOMEISH"), KeyNameStyle::Generic);
    // The hints of the views.
    EXPECT_EQ(modifierKeysText(KeyNameStyle::Gnome) + " " + searchKeysText(KeyNameStyle::Kde) + " "
                  + quickPasteKeysText(KeyNameStyle::Gnome),
              "Shift, Ctrl, Alt, Super Ctrl+F Ctrl+1…9");
}

} // namespace
