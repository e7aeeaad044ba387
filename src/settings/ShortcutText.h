#pragma once

#include <QString>
#include <QStringList>
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

// How a desktop names and orders the keys of a combination.
enum class KeyNameStyle {
    MacSymbols, // macOS: the glyphs of shortcutDisplayText(), "⇧ ⌘ V"
    Gnome,      // GTK's names and order (GNOME, Xfce, Cinnamon, MATE...): "Shift+Super+V"
    Kde,        // Qt's names and order (KDE Plasma, LXQt): "Meta+Shift+V"
    Generic,    // other desktops (sway, Hyprland, window managers): "Super+Shift+V"
};

// The style of the desktop named by $XDG_CURRENT_DESKTOP (a colon-separated
// list such as "ubuntu:GNOME"); the macOS build always uses the glyphs.
KeyNameStyle keyNameStyleForDesktop(const QString &currentDesktop);

// The display text of a key combination (key position and Carbon mask, as
// stored) wherever one is shown. On Linux the modifiers held, named and
// ordered as the desktop does, then the key, joined by "+": Command is
// Super (Meta on KDE), Option Alt, Control Ctrl. Key names are those of
// the keycaps and stay untranslated, as the desktops keep them.
QString keyCombinationText(qint64 keyCode, qint64 modifiers, KeyNameStyle style);

// The four modifier keys, in the style's order: "Shift, Ctrl, Alt, Super".
QString modifierKeysText(KeyNameStyle style);

// The keys that the views name in their hints: the search field's ("⌘F",
// inside the panel Control on Linux: "Ctrl+F") and the number keys that
// paste the first nine cards ("Ctrl+1…9").
QString searchKeysText(KeyNameStyle style);
QString quickPasteKeysText(KeyNameStyle style);

// Event modifier flags -> Carbon mask; only Control, Option, Shift and
// Command count, Caps Lock, Function, the keypad flag and the rest are
// dropped.
quint32 carbonModifiers(quint64 eventFlags);

} // namespace kelvo
