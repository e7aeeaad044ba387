#pragma once

#include "platform/KeyEvent.h"

namespace kelvo {

// Virtual key codes (by key position) the panel reacts to.
namespace PanelKey {
inline constexpr quint32 Return = 36;
inline constexpr quint32 Tab = 48;
inline constexpr quint32 Escape = 53;
inline constexpr quint32 LeftArrow = 123;
inline constexpr quint32 RightArrow = 124;
} // namespace PanelKey

// What a key-down event means to the floating panel.
struct PanelKeyAction {
    enum class Kind {
        NotHandled,
        TypingStart,     // Command-F: start typing into the search field
        QuickPaste,      // Command-1..9: `index` is the digit minus one
        Return,
        Tab,             // `shift` tells whether Shift was held
        Dismiss,         // Escape
        Left,
        Right,
    };
    Kind kind = Kind::NotHandled;
    int index = 0;
    bool shift = false;

    bool handled() const { return kind != Kind::NotHandled; }
    friend bool operator==(const PanelKeyAction &, const PanelKeyAction &) = default;
};

// 0-based quick-paste position of a main-row digit key 1..9, -1 for any
// other key (0 and the keypad digits included).
int quickPasteIndexForKeyCode(quint32 keyCode);

// The panel's key routing. Command is the Command flag or, on desktops
// where Super is taken by the window manager, the Control flag.
PanelKeyAction routePanelKey(const KeyEvent &event);

} // namespace kelvo
