#include "panel/PanelKeyRouting.h"

namespace kelvo {

int quickPasteIndexForKeyCode(quint32 keyCode)
{
    // The digit row is not in key-code order: 5 and 6, 7 and 8 are swapped
    // with respect to their positions.
    switch (keyCode) {
    case 18: return 0;
    case 19: return 1;
    case 20: return 2;
    case 21: return 3;
    case 23: return 4;
    case 22: return 5;
    case 26: return 6;
    case 28: return 7;
    case 25: return 8;
    default: return -1;
    }
}

PanelKeyAction routePanelKey(const KeyEvent &event)
{
    using Kind = PanelKeyAction::Kind;
    const bool command = (event.modifierFlags & (EventFlag::Command | EventFlag::Control)) != 0;
    const bool shift = (event.modifierFlags & EventFlag::Shift) != 0;

    if (command && event.charactersIgnoringModifiers == QLatin1String("f"))
        return {Kind::TypingStart};
    if (command) {
        const int index = quickPasteIndexForKeyCode(event.keyCode);
        if (index >= 0)
            return {Kind::QuickPaste, index};
    }
    switch (event.keyCode) {
    case PanelKey::Return: return {Kind::Return};
    case PanelKey::Tab: return {Kind::Tab, 0, shift};
    case PanelKey::Escape: return {Kind::Dismiss};
    case PanelKey::LeftArrow: return {Kind::Left};
    case PanelKey::RightArrow: return {Kind::Right};
    default: return {};
    }
}

} // namespace kelvo
