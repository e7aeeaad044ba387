#pragma once

#include "platform/KeyEvent.h"

class QKeyEvent;

namespace kelvo {

// The key position in the virtual key numbering (9 = V) of an X11 key code
// (evdev code + 8); nullopt-like -1 for keys without a counterpart.
int virtualKeyCodeForX11KeyCode(quint32 x11KeyCode);

// A Qt key event as the panel's key routing sees it: the position of the
// key (for Return, Escape, Tab, Space, Backspace, Delete and the arrows the
// position that key has on a standard keyboard, wherever the keymap puts it), the modifier flags (Super = Command, Control, Alt = Option, Shift)
// and the characters of the key with all modifiers but Shift ignored.
// Events without a native scan code (offscreen, synthesized) are mapped by
// their Qt key instead.
KeyEvent keyEventFromQt(const QKeyEvent &event);

} // namespace kelvo
