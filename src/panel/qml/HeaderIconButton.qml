import QtQuick
import QtQuick.Controls

// A small round icon button of the panel header.
Item {
    id: button
    property string icon
    property string helpText
    signal activated()
    width: 28
    height: 28
    Accessible.role: Accessible.Button
    Accessible.name: helpText
    Accessible.onPressAction: activated()

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: Qt.rgba(1, 1, 1, 0.9)
        border.width: 1
        border.color: Theme.hairline
    }
    KIcon {
        anchors.centerIn: parent
        name: button.icon
        size: 13
        color: Theme.secondary
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.activated()
    }
    ToolTip.visible: area.containsMouse && helpText.length > 0
    ToolTip.delay: 600
    ToolTip.text: helpText
}
