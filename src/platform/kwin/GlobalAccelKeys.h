#pragma once

#include <QtGlobal>

#include <optional>
#include <utility>

namespace kelvo::kwin {

// A stored combination (key position, 9 = V, and the modifier mask command
// 256, shift 512, option 2048, control 4096) as KDE's global shortcut
// service writes keys: one Qt key code with Qt's modifier bits (Meta for
// command, Alt for option). The key is the one the US layout puts on the
// position; for a shifted position whose second level is no letter, the
// shifted key without Shift ("Meta+!" for Super+Shift+1), as KWin matches the
// keys it sees. Keypad positions are their digits and signs with the keypad
// bit. Nothing for a position without a Qt key (a modifier key alone).
std::optional<int> qtKeyCodeFor(quint32 keyCode, quint32 modifiers);

// The other way round: the key position and modifier mask of a Qt key code;
// nothing for a key no position of the US layout carries.
std::optional<std::pair<quint32, quint32>> combinationForQtKeyCode(int qtKeyCode);

} // namespace kelvo::kwin
