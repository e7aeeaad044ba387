#include "platform/x11/KeyTranslation.h"

#include <xkbcommon/xkbcommon.h>

#include <QHash>

namespace kelvo::x11 {

namespace {

constexpr quint32 ch(char c) { return quint32(static_cast<unsigned char>(c)); }

const QList<KeyPosition> kPositions = {
    {0, 38, ch('a'), ch('A')},     {1, 39, ch('s'), ch('S')},      {2, 40, ch('d'), ch('D')},
    {3, 41, ch('f'), ch('F')},     {4, 43, ch('h'), ch('H')},      {5, 42, ch('g'), ch('G')},
    {6, 52, ch('z'), ch('Z')},     {7, 53, ch('x'), ch('X')},      {8, 54, ch('c'), ch('C')},
    {9, 55, ch('v'), ch('V')},     {10, 94, ch('<'), ch('>')},     {11, 56, ch('b'), ch('B')},
    {12, 24, ch('q'), ch('Q')},    {13, 25, ch('w'), ch('W')},     {14, 26, ch('e'), ch('E')},
    {15, 27, ch('r'), ch('R')},    {16, 29, ch('y'), ch('Y')},     {17, 28, ch('t'), ch('T')},
    {18, 10, ch('1'), ch('!')},    {19, 11, ch('2'), ch('@')},     {20, 12, ch('3'), ch('#')},
    {21, 13, ch('4'), ch('$')},    {22, 15, ch('6'), ch('^')},     {23, 14, ch('5'), ch('%')},
    {24, 21, ch('='), ch('+')},    {25, 18, ch('9'), ch('(')},     {26, 16, ch('7'), ch('&')},
    {27, 20, ch('-'), ch('_')},    {28, 17, ch('8'), ch('*')},     {29, 19, ch('0'), ch(')')},
    {30, 35, ch(']'), ch('}')},    {31, 32, ch('o'), ch('O')},     {32, 30, ch('u'), ch('U')},
    {33, 34, ch('['), ch('{')},    {34, 31, ch('i'), ch('I')},     {35, 33, ch('p'), ch('P')},
    {36, 36, 0xff0d, 0},           {37, 46, ch('l'), ch('L')},     {38, 44, ch('j'), ch('J')},
    {39, 48, ch('\''), ch('"')},   {40, 45, ch('k'), ch('K')},     {41, 47, ch(';'), ch(':')},
    {42, 51, ch('\\'), ch('|')},   {43, 59, ch(','), ch('<')},     {44, 61, ch('/'), ch('?')},
    {45, 57, ch('n'), ch('N')},    {46, 58, ch('m'), ch('M')},     {47, 60, ch('.'), ch('>')},
    {48, 23, 0xff09, 0xfe20},      {49, 65, ch(' '), 0},           {50, 49, ch('`'), ch('~')},
    {51, 22, 0xff08, 0},           {53, 9, 0xff1b, 0},             {54, 134, 0xffec, 0},
    {55, 133, 0xffeb, 0},          {56, 50, 0xffe1, 0},            {57, 66, 0xffe5, 0},
    {58, 64, 0xffe9, 0},           {59, 37, 0xffe3, 0},            {60, 62, 0xffe2, 0},
    {61, 108, 0xffea, 0},          {62, 105, 0xffe4, 0},           {65, 91, 0xff9f, 0xffae},
    {67, 63, 0xffaa, 0},           {69, 86, 0xffab, 0},            {71, 77, 0xff7f, 0},
    {75, 106, 0xffaf, 0},          {76, 104, 0xff8d, 0},           {78, 82, 0xffad, 0},
    {81, 125, 0xffbd, 0},          {82, 90, 0xff9e, 0xffb0},       {83, 87, 0xff9c, 0xffb1},
    {84, 88, 0xff99, 0xffb2},      {85, 89, 0xff9b, 0xffb3},       {86, 83, 0xff96, 0xffb4},
    {87, 84, 0xff9d, 0xffb5},      {88, 85, 0xff98, 0xffb6},       {89, 79, 0xff95, 0xffb7},
    {91, 80, 0xff97, 0xffb8},      {92, 81, 0xff9a, 0xffb9},       {96, 71, 0xffc2, 0},
    {97, 72, 0xffc3, 0},           {98, 73, 0xffc4, 0},            {99, 69, 0xffc0, 0},
    {100, 74, 0xffc5, 0},          {101, 75, 0xffc6, 0},           {103, 95, 0xffc8, 0},
    {105, 191, 0xffca, 0},         {106, 194, 0xffcd, 0},          {107, 192, 0xffcb, 0},
    {109, 76, 0xffc7, 0},          {111, 96, 0xffc9, 0},           {113, 193, 0xffcc, 0},
    {114, 118, 0xff63, 0},         {115, 110, 0xff50, 0},          {116, 112, 0xff55, 0},
    {117, 119, 0xffff, 0},         {118, 70, 0xffc1, 0},           {119, 115, 0xff57, 0},
    {120, 68, 0xffbf, 0},          {121, 117, 0xff56, 0},          {122, 67, 0xffbe, 0},
    {123, 113, 0xff51, 0},         {124, 114, 0xff53, 0},          {125, 116, 0xff54, 0},
    {126, 111, 0xff52, 0},
};

struct Indexes {
    QHash<quint32, const KeyPosition *> byVirtualKey;
    QHash<quint32, const KeyPosition *> byKeyCode;
    QHash<quint32, const KeyPosition *> byKeysym;
};

const Indexes &indexes()
{
    static const Indexes idx = [] {
        Indexes i;
        for (const KeyPosition &p : kPositions) {
            i.byVirtualKey.insert(p.virtualKey, &p);
            i.byKeyCode.insert(p.x11KeyCode, &p);
        }
        // Level one first, so that a keysym on two positions (the ISO key's
        // '<' is also Shift+comma) names the key where it is unshifted.
        for (const KeyPosition &p : kPositions)
            if (p.shiftedKeysym && !i.byKeysym.contains(p.shiftedKeysym))
                i.byKeysym.insert(p.shiftedKeysym, &p);
        for (const KeyPosition &p : kPositions)
            i.byKeysym.insert(p.keysym, &p);
        return i;
    }();
    return idx;
}

} // namespace

const QList<KeyPosition> &keyPositions() { return kPositions; }

std::optional<quint8> x11KeyCodeForVirtualKey(quint32 virtualKey)
{
    const KeyPosition *p = indexes().byVirtualKey.value(virtualKey);
    if (!p)
        return std::nullopt;
    return p->x11KeyCode;
}

std::optional<quint32> evdevCodeForVirtualKey(quint32 virtualKey)
{
    const auto code = x11KeyCodeForVirtualKey(virtualKey);
    return code && *code >= 8 ? std::optional<quint32>(*code - 8) : std::nullopt;
}

std::optional<quint32> virtualKeyForX11KeyCode(quint32 x11KeyCode)
{
    const KeyPosition *p = indexes().byKeyCode.value(x11KeyCode);
    if (!p)
        return std::nullopt;
    return p->virtualKey;
}

std::optional<quint32> keysymForVirtualKey(quint32 virtualKey)
{
    const KeyPosition *p = indexes().byVirtualKey.value(virtualKey);
    if (!p)
        return std::nullopt;
    return p->keysym;
}

std::optional<QString> combinationText(quint32 virtualKey, quint32 carbonModifiers, const ModifierNames &names)
{
    const auto keysym = keysymForVirtualKey(virtualKey);
    char name[64];
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return std::nullopt;
    QStringList parts;
    if (carbonModifiers & CarbonMod::Command)
        parts << QLatin1String(names.command);
    if (carbonModifiers & CarbonMod::Control)
        parts << QLatin1String(names.control);
    if (carbonModifiers & CarbonMod::Option)
        parts << QLatin1String(names.option);
    if (carbonModifiers & CarbonMod::Shift)
        parts << QLatin1String(names.shift);
    parts << QString::fromLatin1(name);
    return parts.join(QLatin1String(names.separator));
}

std::optional<quint32> virtualKeyForKeysym(quint32 keysym)
{
    const KeyPosition *p = indexes().byKeysym.value(keysym);
    if (!p)
        return std::nullopt;
    return p->virtualKey;
}

quint16 x11ModifiersForCarbon(quint32 carbon)
{
    quint16 mask = 0;
    if (carbon & CarbonMod::Command)
        mask |= X11Mod::Mod4;
    if (carbon & CarbonMod::Shift)
        mask |= X11Mod::Shift;
    if (carbon & CarbonMod::Option)
        mask |= X11Mod::Mod1;
    if (carbon & CarbonMod::Control)
        mask |= X11Mod::Control;
    return mask;
}

quint32 carbonModifiersForX11State(quint16 state)
{
    quint32 mask = 0;
    if (state & X11Mod::Mod4)
        mask |= CarbonMod::Command;
    if (state & X11Mod::Shift)
        mask |= CarbonMod::Shift;
    if (state & X11Mod::Mod1)
        mask |= CarbonMod::Option;
    if (state & X11Mod::Control)
        mask |= CarbonMod::Control;
    return mask;
}

quint64 eventFlagsForX11State(quint16 state)
{
    quint64 flags = 0;
    if (state & X11Mod::Lock)
        flags |= EventFlag::CapsLock;
    if (state & X11Mod::Shift)
        flags |= EventFlag::Shift;
    if (state & X11Mod::Control)
        flags |= EventFlag::Control;
    if (state & X11Mod::Mod1)
        flags |= EventFlag::Option;
    if (state & X11Mod::Mod4)
        flags |= EventFlag::Command;
    return flags;
}

QList<quint16> withLockVariants(quint16 modifiers, quint16 numLockMask)
{
    QList<quint16> variants;
    const quint16 locks[] = {0, X11Mod::Lock, numLockMask, quint16(X11Mod::Lock | numLockMask)};
    for (quint16 lock : locks) {
        const quint16 m = modifiers | lock;
        if (!variants.contains(m))
            variants.append(m);
    }
    return variants;
}

bool isKeypadKeysym(quint32 keysym)
{
    return keysym >= 0xff80 && keysym <= 0xffbd; // XK_KP_Space .. XK_KP_Equal
}

QString charactersForKeysym(quint32 keysym)
{
    if (keysym == 0)
        return {};
    const char32_t code = xkb_keysym_to_utf32(keysym);
    if (code == 0)
        return {};
    return QString::fromUcs4(&code, 1);
}

KeyEvent keyEventFromX11(quint32 x11KeyCode, quint16 state, quint32 keysym, quint32 shiftedKeysym)
{
    KeyEvent event;
    std::optional<quint32> vk = virtualKeyForX11KeyCode(x11KeyCode);
    if (!vk && keysym)
        vk = virtualKeyForKeysym(keysym);
    event.keyCode = vk.value_or(0xFFFF);

    event.modifierFlags = eventFlagsForX11State(state);
    if (isKeypadKeysym(keysym) || isKeypadKeysym(shiftedKeysym))
        event.modifierFlags |= EventFlag::NumericPad;

    quint32 sym = keysym;
    if ((state & X11Mod::Shift) && shiftedKeysym)
        sym = shiftedKeysym;
    QString text = charactersForKeysym(sym);
    // A keymap that lists only the lower case of a letter: Shift gives its
    // upper case all the same.
    if ((state & X11Mod::Shift) && !shiftedKeysym)
        text = text.toUpper();
    event.charactersIgnoringModifiers = text;
    return event;
}

} // namespace kelvo::x11
