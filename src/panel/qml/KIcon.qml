import QtQuick

// One of the program's own symbols, tinted.
Item {
    id: icon
    property string name
    property color color: "black"
    property real size: 12
    implicitWidth: size
    implicitHeight: size

    Image {
        anchors.fill: parent
        fillMode: Image.PreserveAspectFit
        smooth: true
        sourceSize: Qt.size(Math.ceil(icon.size * 2), Math.ceil(icon.size * 2))
        source: icon.name.length > 0 ? "image://kicon/" + icon.name + "/" + String(icon.color).substring(1) : ""
    }
}
