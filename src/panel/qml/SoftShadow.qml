import QtQuick

// A blurred drop shadow behind a rounded shape, approximated by a few
// stacked rounded rectangles that grow and fade (no effects module needed).
Item {
    id: shadow
    property color color: Qt.rgba(0, 0, 0, 0.05)
    property real radius: 16
    property real blur: 5
    property real offsetY: 3
    readonly property int steps: 5
    Repeater {
        model: shadow.steps
        Rectangle {
            readonly property real spread: shadow.blur * (index + 1) / shadow.steps
            x: -spread / 2
            y: shadow.offsetY - spread / 2
            width: shadow.width + spread
            height: shadow.height + spread
            radius: shadow.radius + spread / 2
            color: Qt.rgba(shadow.color.r, shadow.color.g, shadow.color.b,
                           shadow.color.a * 2.2 / shadow.steps * (1 - index / shadow.steps))
        }
    }
}
