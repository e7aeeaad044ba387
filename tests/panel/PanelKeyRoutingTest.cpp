#include "panel/PanelKeyRouting.h"

#include <gtest/gtest.h>

using namespace kelvo;
using Kind = PanelKeyAction::Kind;

namespace {

KeyEvent key(quint32 code, quint64 flags = 0, const QString &chars = {})
{
    return KeyEvent{code, flags, chars};
}

constexpr quint64 Cmd = EventFlag::Command;
constexpr quint64 Shift = EventFlag::Shift;
constexpr quint64 Opt = EventFlag::Option;
constexpr quint64 Ctrl = EventFlag::Control;

// Main-row digit keys 1..9 by key position.
constexpr quint32 kDigitCodes[9] = {18, 19, 20, 21, 23, 22, 26, 28, 25};

} // namespace

TEST(PanelKeyRoutingTest, TabReportsShift)
{
    EXPECT_EQ(routePanelKey(key(PanelKey::Tab, 0, "\t")), (PanelKeyAction{Kind::Tab, 0, false}));
    EXPECT_EQ(routePanelKey(key(PanelKey::Tab, Shift, "\t")), (PanelKeyAction{Kind::Tab, 0, true}));
    EXPECT_EQ(routePanelKey(key(PanelKey::Tab, Shift | Opt)), (PanelKeyAction{Kind::Tab, 0, true}));
}

TEST(PanelKeyRoutingTest, CommandDigitsByKeyPosition)
{
    for (int digit = 1; digit <= 9; ++digit) {
        const quint32 code = kDigitCodes[digit - 1];
        EXPECT_EQ(routePanelKey(key(code, Cmd, QString::number(digit))), (PanelKeyAction{Kind::QuickPaste, digit - 1}))
            << "digit " << digit;
        // Control counts as Command inside the panel.
        EXPECT_EQ(routePanelKey(key(code, Ctrl, QString::number(digit))).index, digit - 1);
    }
    // Only Command is tested: Shift does not matter, nor the characters.
    EXPECT_EQ(routePanelKey(key(18, Cmd | Shift, "!")), (PanelKeyAction{Kind::QuickPaste, 0}));
}

TEST(PanelKeyRoutingTest, DigitsThatAreNotQuickPaste)
{
    EXPECT_FALSE(routePanelKey(key(29, Cmd, "0")).handled()); // Command-0
    EXPECT_FALSE(routePanelKey(key(83, Cmd | EventFlag::NumericPad, "1")).handled()); // keypad 1
    EXPECT_FALSE(routePanelKey(key(20, 0, "3")).handled()); // 3 typed into the search
    EXPECT_FALSE(routePanelKey(key(20, Shift, "#")).handled());
    EXPECT_FALSE(routePanelKey(key(20, Opt, "3")).handled());
}

TEST(PanelKeyRoutingTest, CommandFStartsTypingByCharacters)
{
    EXPECT_EQ(routePanelKey(key(3, Cmd, "f")).kind, Kind::TypingStart);
    EXPECT_EQ(routePanelKey(key(3, Cmd | Opt, "f")).kind, Kind::TypingStart);
    EXPECT_EQ(routePanelKey(key(3, Ctrl, "f")).kind, Kind::TypingStart);
    EXPECT_FALSE(routePanelKey(key(3, Cmd | Shift, "F")).handled());
    EXPECT_FALSE(routePanelKey(key(3, 0, "f")).handled());
    EXPECT_FALSE(routePanelKey(key(3, Opt, "f")).handled());
    // The characters decide, not the position: on a layout where "f" lies
    // elsewhere, that key is the shortcut.
    EXPECT_EQ(routePanelKey(key(5, Cmd, "f")).kind, Kind::TypingStart);
    EXPECT_FALSE(routePanelKey(key(3, Cmd, "u")).handled());
}

TEST(PanelKeyRoutingTest, FixedKeysIgnoreModifiers)
{
    for (quint64 flags : {quint64(0), Shift, Cmd, Opt, Ctrl, Cmd | Shift}) {
        EXPECT_EQ(routePanelKey(key(PanelKey::Return, flags, "\r")).kind, Kind::Return) << flags;
        EXPECT_EQ(routePanelKey(key(PanelKey::Escape, flags)).kind, Kind::Dismiss) << flags;
        EXPECT_EQ(routePanelKey(key(PanelKey::LeftArrow, flags)).kind, Kind::Left) << flags;
        EXPECT_EQ(routePanelKey(key(PanelKey::RightArrow, flags)).kind, Kind::Right) << flags;
    }
}

TEST(PanelKeyRoutingTest, CommandFWinsOverTheKeyCode)
{
    // A key whose characters are "f" with Command is the search shortcut
    // even at the position of Return.
    EXPECT_EQ(routePanelKey(key(PanelKey::Return, Cmd, "f")).kind, Kind::TypingStart);
}

TEST(PanelKeyRoutingTest, OtherKeysAreLeftToTheContent)
{
    EXPECT_FALSE(routePanelKey(key(76, 0, "\x03")).handled()); // keypad Enter
    EXPECT_FALSE(routePanelKey(key(126)).handled()); // up
    EXPECT_FALSE(routePanelKey(key(125)).handled()); // down
    EXPECT_FALSE(routePanelKey(key(51, 0, "\x7f")).handled()); // delete
    EXPECT_FALSE(routePanelKey(key(0, 0, "a")).handled());
    EXPECT_FALSE(routePanelKey(key(49, 0, " ")).handled()); // space
    EXPECT_FALSE(routePanelKey(key(9, Cmd, "v")).handled()); // Command-V
}
