#include "panel/PanelKeyRouting.h"

#include <gtest/gtest.h>

using namespace kelvo;
using Kind = PanelKeyAction::Kind;

namespace {

constexpr quint64 Cmd = EventFlag::Command;
constexpr quint64 Shift = EventFlag::Shift;
constexpr quint64 Opt = EventFlag::Option;
constexpr quint64 Ctrl = EventFlag::Control;
const PanelKeyAction kNone{};

TEST(PanelKeyRoutingTest, EachKeyGetsItsAction)
{
    const struct {
        KeyEvent key;
        PanelKeyAction action;
    } cases[] = {
        {{PanelKey::Tab, 0, "\t"}, {Kind::Tab, 0, false}},
        {{PanelKey::Tab, Shift, "\t"}, {Kind::Tab, 0, true}},
        {{PanelKey::Tab, Shift | Opt, {}}, {Kind::Tab, 0, true}},
        // Command-digit: Shift and the characters do not matter
        {{18, Cmd | Shift, "!"}, {Kind::QuickPaste, 0}},
        {{29, Cmd, "0"}, kNone},
        {{83, Cmd | EventFlag::NumericPad, "1"}, kNone}, // keypad 1
        {{20, 0, "3"}, kNone},                           // 3 typed into the search
        {{20, Shift, "#"}, kNone},
        {{20, Opt, "3"}, kNone},
        // Command-F by its characters, not its position; not with Shift
        {{3, Cmd, "f"}, {Kind::TypingStart}},
        {{3, Cmd | Opt, "f"}, {Kind::TypingStart}},
        {{3, Ctrl, "f"}, {Kind::TypingStart}},
        {{5, Cmd, "f"}, {Kind::TypingStart}},
        {{PanelKey::Return, Cmd, "f"}, {Kind::TypingStart}},
        {{3, Cmd | Shift, "F"}, kNone},
        {{3, 0, "f"}, kNone},
        {{3, Opt, "f"}, kNone},
        {{3, Cmd, "u"}, kNone},
        // left to the content
        {{76, 0, "\x03"}, kNone}, // keypad Enter
        {{126, 0, {}}, kNone},    // up
        {{125, 0, {}}, kNone},    // down
        {{51, 0, "\x7f"}, kNone}, // delete
        {{0, 0, "a"}, kNone},
        {{49, 0, " "}, kNone},
        {{9, Cmd, "v"}, kNone},
    };
    for (const auto &c : cases)
        EXPECT_EQ(routePanelKey(c.key), c.action) << c.key.keyCode << " " << c.key.modifierFlags;
}

TEST(PanelKeyRoutingTest, DigitsGoByKeyPositionAndFixedKeysIgnoreModifiers)
{
    // Main-row digits 1..9 by key position; Control counts as Command.
    constexpr quint32 kDigitCodes[9] = {18, 19, 20, 21, 23, 22, 26, 28, 25};
    for (int i = 0; i < 9; ++i)
        for (quint64 flags : {Cmd, Ctrl})
            EXPECT_EQ(routePanelKey({kDigitCodes[i], flags, QString::number(i + 1)}), (PanelKeyAction{Kind::QuickPaste, i}));
    for (quint64 flags : {quint64(0), Shift, Cmd, Opt, Ctrl, Cmd | Shift}) {
        EXPECT_EQ(routePanelKey({PanelKey::Return, flags, "\r"}).kind, Kind::Return) << flags;
        EXPECT_EQ(routePanelKey({PanelKey::Escape, flags, {}}).kind, Kind::Dismiss) << flags;
        EXPECT_EQ(routePanelKey({PanelKey::LeftArrow, flags, {}}).kind, Kind::Left) << flags;
        EXPECT_EQ(routePanelKey({PanelKey::RightArrow, flags, {}}).kind, Kind::Right) << flags;
    }
}

} // namespace
