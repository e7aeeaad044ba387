#pragma once

#include <QString>
#include <QtGlobal>

namespace kelvo {

// Carbon modifier mask bits of a stored key combination.
namespace CarbonModifier {
inline constexpr quint32 Command = 256;
inline constexpr quint32 Shift = 512;
inline constexpr quint32 Option = 2048;
inline constexpr quint32 Control = 4096;
} // namespace CarbonModifier

// The text of a key combination: the glyphs of the modifiers set in the
// Carbon mask (⌃ ⌥ ⇧ ⌘, in that order, each followed by a space), then the
// key's name. Other bits of the mask are ignored. (9, 768) reads "⇧ ⌘ V".
QString shortcutDisplayText(qint64 keyCode, qint64 modifiers);

// The name of a key position (virtual key code): upper-case letters,
// digits, "=", "-", "Space", "⌫", "Esc" and the arrows; any other code as
// "[" + its decimal value + "]" (Return is "[36]").
QString keyName(qint64 keyCode);

// Event modifier flags -> Carbon mask; only Control, Option, Shift and
// Command count, Caps Lock, Function, the keypad flag and the rest are
// dropped.
quint32 carbonModifiers(quint64 eventFlags);

} // namespace kelvo
