#include "settings/ShortcutText.h"

#include "platform/KeyEvent.h"

#include <QList>

namespace kelvo {

namespace {

struct NamedKey {
    quint16 code;
    const char16_t *name;
};

constexpr NamedKey kNamedKeys[] = {
    {0, u"A"},    {1, u"S"},      {2, u"D"},    {3, u"F"},   {4, u"H"},   {5, u"G"},   {6, u"Z"},
    {7, u"X"},    {8, u"C"},      {9, u"V"},    {11, u"B"},  {12, u"Q"},  {13, u"W"},  {14, u"E"},
    {15, u"R"},   {16, u"Y"},     {17, u"T"},   {18, u"1"},  {19, u"2"},  {20, u"3"},  {21, u"4"},
    {22, u"6"},   {23, u"5"},     {24, u"="},   {25, u"9"},  {26, u"7"},  {27, u"-"},  {28, u"8"},
    {29, u"0"},   {31, u"O"},     {32, u"U"},   {34, u"I"},  {35, u"P"},  {37, u"L"},  {38, u"J"},
    {40, u"K"},   {45, u"N"},     {46, u"M"},   {49, u"Space"}, {51, u"⌫"}, {53, u"Esc"},
    {123, u"←"},  {124, u"→"},    {125, u"↓"},  {126, u"↑"},
};

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Keys whose keycaps name them differently from the characters they type,
// as GTK and Qt write them; every other key of the table above is its
// character. Positions follow the US layout, as the stored codes do.
struct LinuxKey {
    quint16 code;
    const char *gtk;
    const char *qt;
};

constexpr LinuxKey kLinuxKeys[] = {
    {49, "Space", "Space"},    {36, "Return", "Return"},  {76, "Enter", "Enter"},    {48, "Tab", "Tab"},
    {51, "Backspace", "Backspace"}, {53, "Escape", "Esc"}, {117, "Delete", "Del"},   {115, "Home", "Home"},
    {119, "End", "End"},       {116, "Page Up", "PgUp"},  {121, "Page Down", "PgDown"}, {123, "Left", "Left"},
    {124, "Right", "Right"},   {125, "Down", "Down"},     {126, "Up", "Up"},         {122, "F1", "F1"},
    {120, "F2", "F2"},         {99, "F3", "F3"},          {118, "F4", "F4"},         {96, "F5", "F5"},
    {97, "F6", "F6"},          {98, "F7", "F7"},          {100, "F8", "F8"},         {101, "F9", "F9"},
    {109, "F10", "F10"},       {103, "F11", "F11"},       {111, "F12", "F12"},       {33, "[", "["},
    {30, "]", "]"},            {41, ";", ";"},            {39, "'", "'"},            {43, ",", ","},
    {47, ".", "."},            {44, "/", "/"},            {42, "Backslash", "\\"},  {50, "`", "`"},
};

QString linuxKeyName(qint64 keyCode, KeyNameStyle style)
{
    for (const LinuxKey &key : kLinuxKeys)
        if (key.code == keyCode)
            return QString::fromLatin1(style == KeyNameStyle::Gnome ? key.gtk : key.qt);
    return keyName(keyCode);
}

struct Modifier {
    quint32 bit;
    const char *name;
};

// The modifiers in the order the style writes them.
QList<Modifier> linuxModifiers(KeyNameStyle style)
{
    const Modifier shift{CarbonModifier::Shift, "Shift"}, control{CarbonModifier::Control, "Ctrl"},
        alt{CarbonModifier::Option, "Alt"}, super{CarbonModifier::Command, "Super"},
        meta{CarbonModifier::Command, "Meta"};
    switch (style) {
    case KeyNameStyle::Gnome: return {shift, control, alt, super};
    case KeyNameStyle::Kde: return {meta, control, alt, shift};
    case KeyNameStyle::Generic:
    case KeyNameStyle::MacSymbols: break;
    }
    return {super, control, alt, shift};
}

} // namespace

QString keyName(qint64 keyCode)
{
    if (keyCode >= 0 && keyCode <= 0xFFFF) {
        for (const NamedKey &key : kNamedKeys)
            if (key.code == keyCode)
                return QString::fromUtf16(key.name);
    }
    // A stored value outside the 16-bit range is shown as it is rather than
    // cut down to 16 bits, which could name a different key.
    return QStringLiteral("[%1]").arg(keyCode);
}

QString shortcutDisplayText(qint64 keyCode, qint64 modifiers)
{
    QString text;
    if (modifiers & CarbonModifier::Control)
        text += QStringLiteral("⌃ ");
    if (modifiers & CarbonModifier::Option)
        text += QStringLiteral("⌥ ");
    if (modifiers & CarbonModifier::Shift)
        text += QStringLiteral("⇧ ");
    if (modifiers & CarbonModifier::Command)
        text += QStringLiteral("⌘ ");
    text += keyName(keyCode);

    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

KeyNameStyle keyNameStyleForDesktop(const QString &currentDesktop)
{
#ifdef Q_OS_MACOS
    Q_UNUSED(currentDesktop);
    return KeyNameStyle::MacSymbols;
#else
    static const QStringList qtDesktops{"KDE", "LXQt"};
    static const QStringList gtkDesktops{"GNOME", "Unity", "X-Cinnamon", "Cinnamon", "XFCE", "MATE", "Budgie", "Pantheon"};
    const QStringList names = currentDesktop.split(u':', Qt::SkipEmptyParts);
    for (const QString &name : names) {
        if (qtDesktops.contains(name, Qt::CaseInsensitive))
            return KeyNameStyle::Kde;
        if (gtkDesktops.contains(name, Qt::CaseInsensitive))
            return KeyNameStyle::Gnome;
    }
    return KeyNameStyle::Generic;
#endif
}

QString keyCombinationText(qint64 keyCode, qint64 modifiers, KeyNameStyle style)
{
    if (style == KeyNameStyle::MacSymbols)
        return shortcutDisplayText(keyCode, modifiers);
    QStringList parts;
    for (const Modifier &modifier : linuxModifiers(style))
        if (modifiers & modifier.bit)
            parts.append(QString::fromLatin1(modifier.name));
    parts.append(linuxKeyName(keyCode, style));
    return parts.join(u'+');
}

QString modifierKeysText(KeyNameStyle style)
{
    if (style == KeyNameStyle::MacSymbols)
        return QStringLiteral("⌘, ⇧, ⌥, ⌃");
    QStringList names;
    for (const Modifier &modifier : linuxModifiers(style))
        names.append(QString::fromLatin1(modifier.name));
    return names.join(QLatin1String(", "));
}

namespace {
constexpr qint64 kKeyF = 3;
constexpr qint64 kKey1 = 18;
} // namespace

QString searchKeysText(KeyNameStyle style)
{
    if (style == KeyNameStyle::MacSymbols)
        return QStringLiteral("⌘F");
    return keyCombinationText(kKeyF, CarbonModifier::Control, style);
}

QString quickPasteKeysText(KeyNameStyle style)
{
    if (style == KeyNameStyle::MacSymbols)
        return QStringLiteral("⌘1..9");
    return keyCombinationText(kKey1, CarbonModifier::Control, style) + QStringLiteral("…9");
}

quint32 carbonModifiers(quint64 eventFlags)
{
    quint32 mask = 0;
    if (eventFlags & EventFlag::Control)
        mask |= CarbonModifier::Control;
    if (eventFlags & EventFlag::Option)
        mask |= CarbonModifier::Option;
    if (eventFlags & EventFlag::Shift)
        mask |= CarbonModifier::Shift;
    if (eventFlags & EventFlag::Command)
        mask |= CarbonModifier::Command;
    return mask;
}

} // namespace kelvo
