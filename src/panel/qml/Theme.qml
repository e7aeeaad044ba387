pragma Singleton
import QtQuick

// Colours and fonts of the light appearance, which the program always uses.
QtObject {
    readonly property color primary: Qt.rgba(0, 0, 0, 0.85)
    readonly property color secondary: Qt.rgba(60 / 255, 60 / 255, 67 / 255, 0.6)
    readonly property color blue: Qt.rgba(0 / 255, 122 / 255, 255 / 255, 1)
    readonly property color orange: Qt.rgba(255 / 255, 149 / 255, 0 / 255, 1)
    readonly property color green: Qt.rgba(52 / 255, 199 / 255, 89 / 255, 1)
    readonly property color red: Qt.rgba(255 / 255, 59 / 255, 48 / 255, 1)
    readonly property color accent: blue
    readonly property color hairline: Qt.rgba(0.886, 0.910, 0.941, 1)
    readonly property string fontFamily: "Noto Sans CJK SC"
    readonly property int caption: 12
    readonly property int caption2: 11

    // A colour at a given opacity.
    function alpha(c, a) { return Qt.rgba(c.r, c.g, c.b, c.a * a) }
}
