#pragma once

#include "platform/KeyEvent.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// Translation between the stored key numbering (the virtual key code of a
// key position on the ANSI layout, 9 = V) and X11: key codes (evdev code + 8,
// the same position on every layout), the keysyms that the US layout puts on
// each position, modifier masks and key events. Pure functions, no display.
namespace kelvo::x11 {

// X11 modifier mask bits (core protocol).
namespace X11Mod {
inline constexpr quint16 Shift = 1 << 0;
inline constexpr quint16 Lock = 1 << 1;
inline constexpr quint16 Control = 1 << 2;
inline constexpr quint16 Mod1 = 1 << 3; // Alt
inline constexpr quint16 Mod2 = 1 << 4; // usually Num Lock
inline constexpr quint16 Mod4 = 1 << 6; // Super
} // namespace X11Mod

// Carbon modifier mask bits of a stored combination.
namespace CarbonMod {
inline constexpr quint32 Command = 256;
inline constexpr quint32 Shift = 512;
inline constexpr quint32 Option = 2048;
inline constexpr quint32 Control = 4096;
} // namespace CarbonMod

// One key position: its virtual key code, its X11 key code and the keysyms
// of the US layout without and with Shift (0 where there is none).
struct KeyPosition {
    quint32 virtualKey;
    quint8 x11KeyCode;
    quint32 keysym;
    quint32 shiftedKeysym;
};

// Every key position this program knows, ordered by virtual key code.
const QList<KeyPosition> &keyPositions();

std::optional<quint8> x11KeyCodeForVirtualKey(quint32 virtualKey);
// The Linux input (evdev) code of the position, as Wayland compositors take
// keys: the X11 key code - 8.
std::optional<quint32> evdevCodeForVirtualKey(quint32 virtualKey);
std::optional<quint32> virtualKeyForX11KeyCode(quint32 x11KeyCode);
// The US-layout keysym on that position (unshifted).
std::optional<quint32> keysymForVirtualKey(quint32 virtualKey);
// The position that carries `keysym` on the US layout, either level.
std::optional<quint32> virtualKeyForKeysym(quint32 keysym);

// How a configuration format writes each modifier, and what stands
// between the parts of a combination.
struct ModifierNames {
    const char *command, *control, *option, *shift;
    const char *separator = "+";
};
// A combination as text: its modifiers (Command, Control, Option, Shift, as
// `names` writes them), then the keysym name that the US layout puts on the
// key's position, joined by the separator ("Mod4+Shift+v"); nothing for a
// position without a name.
std::optional<QString> combinationText(quint32 virtualKey, quint32 carbonModifiers, const ModifierNames &names);

// Carbon mask -> X11 mask: command Super (Mod4), shift Shift, option Alt
// (Mod1), control Control. Other bits have no X11 counterpart and are dropped.
quint16 x11ModifiersForCarbon(quint32 carbonModifiers);
// X11 state -> Carbon mask (the four modifiers only).
quint32 carbonModifiersForX11State(quint16 state);
// X11 state -> event flags (Caps Lock, Shift, Control, Option, Command).
quint64 eventFlagsForX11State(quint16 state);

// `modifiers` combined with every state of Caps Lock and Num Lock, the
// plain combination first. `numLockMask` 0 means the keyboard has no Num Lock.
QList<quint16> withLockVariants(quint16 modifiers, quint16 numLockMask);

bool isKeypadKeysym(quint32 keysym);
// The text a keysym types, empty for keys that type nothing.
QString charactersForKeysym(quint32 keysym);

// A key-down event from an X11 key press: the key code and state of the
// event and the keysyms that the server's keymap puts on that key at the
// first two levels. The virtual key code comes from the position, or from
// the keysym for key codes outside the table (0xFFFF when neither knows the
// key). The characters ignore every modifier but Shift.
KeyEvent keyEventFromX11(quint32 x11KeyCode, quint16 state, quint32 keysym, quint32 shiftedKeysym);

} // namespace kelvo::x11
