#include "panel/QtKeyTranslation.h"

#include <QHash>
#include <QKeyEvent>

namespace kelvo {

namespace {

const QHash<quint32, int> &x11Table() {
    static const QHash<quint32, int> table{
        {9, 53},   {10, 18},  {11, 19},  {12, 20},  {13, 21},  {14, 23},  {15, 22},  {16, 26},  {17, 28},
        {18, 25},  {19, 29},  {20, 27},  {21, 24},  {22, 51},  {23, 48},  {24, 12},  {25, 13},  {26, 14},
        {27, 15},  {28, 17},  {29, 16},  {30, 32},  {31, 34},  {32, 31},  {33, 35},  {34, 33},  {35, 30},
        {36, 36},  {38, 0},   {39, 1},   {40, 2},   {41, 3},   {42, 5},   {43, 4},   {44, 38},  {45, 40},
        {46, 37},  {47, 41},  {48, 39},  {49, 50},  {51, 42},  {52, 6},   {53, 7},   {54, 8},   {55, 9},
        {56, 11},  {57, 45},  {58, 46},  {59, 43},  {60, 47},  {61, 44},  {65, 49},  {67, 122}, {68, 120},
        {69, 99},  {70, 118}, {71, 96},  {72, 97},  {73, 98},  {74, 100}, {75, 101}, {76, 109}, {95, 103},
        {96, 111}, {79, 89},  {80, 91},  {81, 92},  {83, 86},  {84, 87},  {85, 88},  {87, 83},  {88, 84},
        {89, 85},  {90, 82},  {104, 76}, {110, 115}, {111, 126}, {112, 116}, {113, 123}, {114, 124},
        {115, 119}, {116, 125}, {117, 121}, {119, 117},
    };
    return table;
}

// Keys that mean the same on every layout, by their symbol: a keymap may put
// them at any key code (Caps Lock made Escape, a virtual keyboard that
// uploads a keymap of its own), so their position says nothing.
int functionKeyCode(int key) {
    static const QHash<int, int> table{
        {Qt::Key_Return, 36}, {Qt::Key_Tab, 48},   {Qt::Key_Backtab, 48}, {Qt::Key_Space, 49},
        {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53}, {Qt::Key_Left, 123}, {Qt::Key_Right, 124},
        {Qt::Key_Down, 125}, {Qt::Key_Up, 126},  {Qt::Key_Enter, 76},  {Qt::Key_Delete, 117},
    };
    return table.value(key, -1);
}

int virtualKeyCodeForQtKey(int key) {
    static const QHash<int, int> table{
        {Qt::Key_A, 0},  {Qt::Key_S, 1},  {Qt::Key_D, 2},  {Qt::Key_F, 3},  {Qt::Key_H, 4},  {Qt::Key_G, 5},
        {Qt::Key_Z, 6},  {Qt::Key_X, 7},  {Qt::Key_C, 8},  {Qt::Key_V, 9},  {Qt::Key_B, 11}, {Qt::Key_Q, 12},
        {Qt::Key_W, 13}, {Qt::Key_E, 14}, {Qt::Key_R, 15}, {Qt::Key_Y, 16}, {Qt::Key_T, 17}, {Qt::Key_O, 31},
        {Qt::Key_U, 32}, {Qt::Key_I, 34}, {Qt::Key_P, 35}, {Qt::Key_L, 37}, {Qt::Key_J, 38}, {Qt::Key_K, 40},
        {Qt::Key_N, 45}, {Qt::Key_M, 46}, {Qt::Key_1, 18}, {Qt::Key_2, 19}, {Qt::Key_3, 20}, {Qt::Key_4, 21},
        {Qt::Key_5, 23}, {Qt::Key_6, 22}, {Qt::Key_7, 26}, {Qt::Key_8, 28}, {Qt::Key_9, 25}, {Qt::Key_0, 29},
        {Qt::Key_Equal, 24}, {Qt::Key_Minus, 27}, {Qt::Key_Return, 36}, {Qt::Key_Tab, 48}, {Qt::Key_Backtab, 48},
        {Qt::Key_Space, 49}, {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53}, {Qt::Key_Left, 123},
        {Qt::Key_Right, 124}, {Qt::Key_Down, 125}, {Qt::Key_Up, 126}, {Qt::Key_Enter, 76}, {Qt::Key_Delete, 117},
    };
    return table.value(key, -1);
}

} // namespace

int virtualKeyCodeForX11KeyCode(quint32 x11KeyCode) {
    return x11Table().value(x11KeyCode, -1);
}

KeyEvent keyEventFromQt(const QKeyEvent &event) {
    KeyEvent out;
    int code = functionKeyCode(event.key());
    if (code < 0 && event.nativeScanCode() != 0) code = virtualKeyCodeForX11KeyCode(event.nativeScanCode());
    if (code < 0) code = virtualKeyCodeForQtKey(event.key());
    // Keys without a position of their own get a code no rule matches.
    out.keyCode = code < 0 ? 0xFFFFu : quint32(code);

    const Qt::KeyboardModifiers mods = event.modifiers();
    if (mods & Qt::ShiftModifier) out.modifierFlags |= EventFlag::Shift;
    if (mods & Qt::ControlModifier) out.modifierFlags |= EventFlag::Control;
    if (mods & Qt::AltModifier) out.modifierFlags |= EventFlag::Option;
    if (mods & Qt::MetaModifier) out.modifierFlags |= EventFlag::Command;
    if (mods & Qt::KeypadModifier) out.modifierFlags |= EventFlag::NumericPad;

    // With Control or Super held, text() is a control character or empty;
    // the characters come from the key itself, Shift deciding the case.
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QChar c(u'a' + (key - Qt::Key_A));
        out.charactersIgnoringModifiers = (mods & Qt::ShiftModifier) ? QString(c.toUpper()) : QString(c);
    } else if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) {
        out.charactersIgnoringModifiers = QString(QChar(key));
    } else {
        out.charactersIgnoringModifiers = event.text();
    }
    return out;
}

} // namespace kelvo
