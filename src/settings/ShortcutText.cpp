#include "settings/ShortcutText.h"

#include "platform/KeyEvent.h"

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
