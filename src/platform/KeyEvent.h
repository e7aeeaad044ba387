#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace kelvo {

// Modifier flags of a key event (the platform event flag masks).
namespace EventFlag {
inline constexpr quint64 CapsLock = 0x10000;
inline constexpr quint64 Shift = 0x20000;
inline constexpr quint64 Control = 0x40000;
inline constexpr quint64 Option = 0x80000;
inline constexpr quint64 Command = 0x100000;
inline constexpr quint64 NumericPad = 0x200000;
inline constexpr quint64 Function = 0x800000;
} // namespace EventFlag

// A key-down event as the panel and the recorder see it: the key position
// in the virtual key numbering (0 = A, 9 = V, 53 = escape, 123..126 arrows),
// the modifier flags, and the characters the key gives ignoring modifiers.
struct KeyEvent {
    quint32 keyCode = 0;
    quint64 modifierFlags = 0;
    QString charactersIgnoringModifiers;
};

// Local monitoring of key-down events delivered to this program's windows,
// before they are dispatched. The handler returns true to swallow the event.
class KeyEventMonitor {
public:
    virtual ~KeyEventMonitor() = default;
    using Handler = std::function<bool(const KeyEvent &)>;
    // Returns a token, 0 when the platform cannot install the monitor.
    virtual quint64 addLocalKeyMonitor(Handler handler) = 0;
    virtual void removeMonitor(quint64 token) = 0;
};

} // namespace kelvo
