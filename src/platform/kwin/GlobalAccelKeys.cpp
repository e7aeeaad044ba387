#include "platform/kwin/GlobalAccelKeys.h"

#include "platform/x11/KeyTranslation.h"

#include <QHash>

namespace kelvo::kwin {

namespace {

using x11::CarbonMod::Command;
using x11::CarbonMod::Control;
using x11::CarbonMod::Option;
using x11::CarbonMod::Shift;

constexpr quint32 kIsoKey = 10; // the key beside the left Shift, absent on ANSI keyboards
constexpr int kKeypad = int(Qt::KeypadModifier);

bool isAscii(quint32 keysym) { return keysym >= 0x20 && keysym <= 0x7e; }
bool isLetter(quint32 keysym) { return keysym >= 'a' && keysym <= 'z'; }
// The digits and the decimal point of the keypad, its second level.
bool isKeypadDigit(quint32 keysym) { return (keysym >= 0xffb0 && keysym <= 0xffb9) || keysym == 0xffae; }

// Keysyms beyond ASCII and their Qt keys; the keypad's with the keypad bit.
const QHash<quint32, int> &specialKeys()
{
    static const QHash<quint32, int> keys = [] {
        QHash<quint32, int> k{
            {0xff0d, Qt::Key_Return}, {0xff09, Qt::Key_Tab},       {0xff08, Qt::Key_Backspace},
            {0xff1b, Qt::Key_Escape}, {0xffff, Qt::Key_Delete},    {0xff63, Qt::Key_Insert},
            {0xff50, Qt::Key_Home},   {0xff57, Qt::Key_End},       {0xff55, Qt::Key_PageUp},
            {0xff56, Qt::Key_PageDown}, {0xff51, Qt::Key_Left},    {0xff52, Qt::Key_Up},
            {0xff53, Qt::Key_Right},  {0xff54, Qt::Key_Down},      {0xff7f, Qt::Key_NumLock},
            {0xffae, kKeypad | Qt::Key_Period},   {0xffaa, kKeypad | Qt::Key_Asterisk},
            {0xffab, kKeypad | Qt::Key_Plus},     {0xffad, kKeypad | Qt::Key_Minus},
            {0xffaf, kKeypad | Qt::Key_Slash},    {0xff8d, kKeypad | Qt::Key_Enter},
            {0xffbd, kKeypad | Qt::Key_Equal}};
        for (quint32 n = 0; n < 10; ++n)
            k.insert(0xffb0 + n, kKeypad | (Qt::Key_0 + int(n)));
        for (quint32 n = 0; n < 20; ++n) // F1 to F20
            k.insert(0xffbe + n, Qt::Key_F1 + int(n));
        return k;
    }();
    return keys;
}

std::optional<int> qtKeyForKeysym(quint32 keysym)
{
    if (isLetter(keysym))
        return int(keysym - 'a' + 'A');
    if (isAscii(keysym))
        return int(keysym);
    const auto it = specialKeys().constFind(keysym);
    return it == specialKeys().constEnd() ? std::nullopt : std::optional<int>(*it);
}

std::optional<quint32> keysymForQtKey(int key)
{
    if (key >= 'A' && key <= 'Z')
        return quint32(key - 'A' + 'a');
    if (isAscii(quint32(key)))
        return quint32(key);
    const quint32 keysym = specialKeys().key(key, 0);
    return keysym ? std::optional<quint32>(keysym) : std::nullopt;
}

const x11::KeyPosition *position(quint32 keyCode)
{
    for (const x11::KeyPosition &p : x11::keyPositions())
        if (p.virtualKey == keyCode)
            return &p;
    return nullptr;
}

// The position carrying the keysym, and whether at its second level:
// level one first, and the ANSI keys before the ISO key.
std::optional<std::pair<const x11::KeyPosition *, bool>> positionOf(quint32 keysym)
{
    for (bool iso : {false, true})
        for (bool shifted : {false, true})
            for (const x11::KeyPosition &p : x11::keyPositions())
                if ((p.virtualKey == kIsoKey) == iso && (shifted ? p.shiftedKeysym : p.keysym) == keysym)
                    return std::pair{&p, shifted};
    return std::nullopt;
}

} // namespace

std::optional<int> qtKeyCodeFor(quint32 keyCode, quint32 modifiers)
{
    const x11::KeyPosition *p = position(keyCode);
    if (!p)
        return std::nullopt;
    quint32 keysym = isKeypadDigit(p->shiftedKeysym) ? p->shiftedKeysym : p->keysym;
    int mods = ((modifiers & Command) ? int(Qt::META) : 0) | ((modifiers & Shift) ? int(Qt::SHIFT) : 0) |
               ((modifiers & Option) ? int(Qt::ALT) : 0) | ((modifiers & Control) ? int(Qt::CTRL) : 0);
    if ((modifiers & Shift) && isAscii(p->shiftedKeysym) && !isLetter(p->keysym)) {
        keysym = p->shiftedKeysym;
        mods &= ~int(Qt::SHIFT);
    }
    const auto key = qtKeyForKeysym(keysym);
    return key ? std::optional<int>(*key | mods) : std::nullopt;
}

std::optional<std::pair<quint32, quint32>> combinationForQtKeyCode(int qtKeyCode)
{
    const int key = qtKeyCode & ~int(Qt::KeyboardModifierMask);
    const int keypad = qtKeyCode & kKeypad;
    const auto keysym = keysymForQtKey(key | keypad);
    const auto found = keysym ? positionOf(*keysym) : std::nullopt;
    if (!found)
        return std::nullopt;
    quint32 modifiers = ((qtKeyCode & Qt::META) ? Command : 0) | ((qtKeyCode & Qt::SHIFT) ? Shift : 0) |
                        ((qtKeyCode & Qt::ALT) ? Option : 0) | ((qtKeyCode & Qt::CTRL) ? Control : 0);
    // A shifted sign is its key with Shift; the keypad's digits are not.
    if (found->second && isAscii(*keysym))
        modifiers |= Shift;
    return std::pair{found->first->virtualKey, modifiers};
}

} // namespace kelvo::kwin
