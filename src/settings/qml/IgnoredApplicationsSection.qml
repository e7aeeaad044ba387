import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../qml"

// The applications whose copies are never recorded: the list, each with a
// remove button, and a chooser of installed applications (and of the one
// that was in front) to add one.
ColumnLayout {
    id: section
    objectName: "ignoredApplicationsSection"
    required property var settings
    spacing: 12

    // An application's icon (the provider draws the generic one for an icon
    // it cannot find), or the generic one when it names none.
    component AppIcon: Item {
        property string source
        implicitWidth: 20
        implicitHeight: 20
        Image {
            id: picture
            anchors.fill: parent
            sourceSize: Qt.size(40, 40)
            fillMode: Image.PreserveAspectFit
            asynchronous: true
            source: parent.source
        }
        KIcon {
            anchors.centerIn: parent
            visible: parent.source === ""
            name: "app.default"
            size: 18
            color: Theme.secondary
        }
    }
    component Caption: Text {
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        font.family: Theme.fontFamily
        font.pixelSize: 11
        color: Theme.secondary
    }
    component ChoiceButton: Button {
        font.family: Theme.fontFamily
        font.pixelSize: 12
        implicitHeight: 24
        leftPadding: 10
        rightPadding: 10
        palette.button: "#f6f6f6"
        palette.buttonText: Theme.primary
    }

    Text {
        text: qsTr("隐私")
        font.family: Theme.fontFamily
        font.pixelSize: 13
        font.bold: true
        color: Theme.secondary
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: box.implicitHeight + 20
        color: "#ffffff"
        radius: 10
        border.width: 0.5
        border.color: Theme.alpha(Theme.primary, 0.1)
        ColumnLayout {
            id: box
            x: 12
            y: 10
            width: parent.width - 24
            spacing: 8
            RowLayout {
                spacing: 8
                KIcon {
                    Layout.preferredWidth: 20
                    name: "eye.slash"
                    size: 16
                    color: Theme.accent
                }
                Text {
                    Layout.fillWidth: true
                    text: qsTr("不记录这些应用的复制")
                    font.family: Theme.fontFamily
                    font.pixelSize: 13
                    color: Theme.primary
                }
                ChoiceButton {
                    objectName: "addIgnoredApplication"
                    text: qsTr("添加…")
                    onClicked: chooser.open()
                }
            }
            Caption {
                Layout.leftMargin: 28
                text: qsTr("这些应用复制的内容不会被读取，也不会进入历史。")
            }
            Caption {
                objectName: "noIgnoredApplications"
                Layout.leftMargin: 28
                visible: section.settings.ignoredApplications.length === 0
                text: qsTr("未排除任何应用")
            }
            Repeater {
                objectName: "ignoredApplicationList"
                model: section.settings.ignoredApplications
                RowLayout {
                    required property var modelData
                    Layout.leftMargin: 28
                    spacing: 8
                    AppIcon { source: modelData.icon }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 0
                        Text {
                            Layout.fillWidth: true
                            text: modelData.name
                            elide: Text.ElideRight
                            font.family: Theme.fontFamily
                            font.pixelSize: 13
                            color: Theme.primary
                        }
                        Text {
                            Layout.fillWidth: true
                            visible: modelData.name.toLowerCase() !== modelData.id.toLowerCase()
                            text: modelData.id
                            elide: Text.ElideMiddle
                            font.family: Theme.fontFamily
                            font.pixelSize: 10
                            color: Theme.secondary
                        }
                    }
                    ChoiceButton {
                        text: qsTr("移除")
                        onClicked: section.settings.unignoreApplication(modelData.id)
                    }
                }
            }
        }
    }

    // The chooser, over the whole window.
    Popup {
        id: chooser
        objectName: "applicationChooser"
        parent: Overlay.overlay
        modal: true
        width: 360
        height: 440
        x: (parent.width - width) / 2
        y: (parent.height - height) / 2
        padding: 14
        onOpened: search.text = ""
        background: Rectangle {
            color: "#ececec"
            radius: 10
            border.width: 0.5
            border.color: Theme.alpha(Theme.primary, 0.25)
        }
        ColumnLayout {
            anchors.fill: parent
            spacing: 10
            Text {
                text: qsTr("选择不记录的应用")
                font.family: Theme.fontFamily
                font.pixelSize: 13
                font.bold: true
                color: Theme.primary
            }
            // The application that was in front before this window opened.
            RowLayout {
                readonly property var front: section.settings.applicationInFront
                visible: front.id !== undefined
                spacing: 8
                AppIcon { source: parent.front.icon || "" }
                Text {
                    Layout.fillWidth: true
                    text: qsTr("前台应用：%1").arg(parent.front.name || "")
                    elide: Text.ElideRight
                    font.family: Theme.fontFamily
                    font.pixelSize: 12
                    color: Theme.primary
                }
                ChoiceButton {
                    objectName: "ignoreApplicationInFront"
                    enabled: !parent.front.ignored
                    text: parent.front.ignored ? qsTr("已排除") : qsTr("排除")
                    onClicked: {
                        const id = parent.front.id
                        chooser.close()
                        section.settings.ignoreApplication(id)
                    }
                }
            }
            TextField {
                id: search
                objectName: "applicationSearch"
                Layout.fillWidth: true
                placeholderText: qsTr("搜索已安装的应用")
                font.family: Theme.fontFamily
                font.pixelSize: 12
            }
            ListView {
                id: installed
                objectName: "installedApplicationList"
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                model: section.settings.installedApplications.filter(
                           app => search.text === "" || app.name.toLowerCase().includes(search.text.toLowerCase()))
                ScrollBar.vertical: ScrollBar {}
                delegate: ItemDelegate {
                    required property var modelData
                    width: installed.width
                    height: 34
                    enabled: !modelData.ignored
                    // Adding one renews the list, and with it this row.
                    onClicked: {
                        const id = modelData.id
                        chooser.close()
                        section.settings.ignoreApplication(id)
                    }
                    contentItem: RowLayout {
                        spacing: 8
                        AppIcon { source: modelData.icon }
                        Text {
                            Layout.fillWidth: true
                            text: modelData.name
                            elide: Text.ElideRight
                            font.family: Theme.fontFamily
                            font.pixelSize: 12
                            color: modelData.ignored ? Theme.secondary : Theme.primary
                        }
                        Text {
                            visible: modelData.ignored
                            text: qsTr("已排除")
                            font.family: Theme.fontFamily
                            font.pixelSize: 11
                            color: Theme.secondary
                        }
                    }
                }
            }
            ChoiceButton {
                Layout.alignment: Qt.AlignRight
                text: qsTr("取消")
                onClicked: chooser.close()
            }
        }
    }
}
