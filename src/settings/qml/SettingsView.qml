import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../qml"

// The content of the settings window.
Rectangle {
    id: root
    objectName: "settingsView"
    required property var settings
    width: 420
    height: 560
    color: "#ececec"

    readonly property color boxColor: "#ffffff"

    component SectionTitle: Text {
        font.family: Theme.fontFamily
        font.pixelSize: 13
        font.bold: true
        color: Theme.secondary
    }
    component Box: Rectangle {
        Layout.fillWidth: true
        color: root.boxColor
        radius: 10
        border.width: 0.5
        border.color: Theme.alpha(Theme.primary, 0.1)
    }
    component RowIcon: KIcon {
        Layout.preferredWidth: 20
        size: 16
        color: Theme.accent
    }
    component RowTitle: Text {
        font.family: Theme.fontFamily
        font.pixelSize: 13
        color: Theme.primary
    }
    component SmallButton: Button {
        property bool prominent: false
        font.family: Theme.fontFamily
        font.pixelSize: 12
        implicitHeight: 24
        leftPadding: 10
        rightPadding: 10
        palette.button: prominent ? Theme.accent : "#f6f6f6"
        palette.buttonText: prominent ? "white" : Theme.primary
    }

    Component.onCompleted: settings.refreshAccessibilityStatus()
    onVisibleChanged: if (visible) settings.refreshAccessibilityStatus()

    ScrollView {
        id: scroller
        objectName: "settingsScroller"
        anchors.fill: parent
        contentWidth: availableWidth
        // The column with its padding of 24 above and below.
        contentHeight: column.implicitHeight + 48
        ScrollBar.vertical.policy: ScrollBar.AlwaysOn

        ColumnLayout {
            id: column
            width: scroller.availableWidth - 48
            x: 24
            y: 24
            spacing: 24

            // General
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 12
                SectionTitle { text: qsTr("常规") }
                Box {
                    implicitHeight: generalColumn.implicitHeight
                    ColumnLayout {
                        id: generalColumn
                        anchors.left: parent.left
                        anchors.right: parent.right
                        spacing: 0
                        RowLayout {
                            Layout.margins: 10
                            Layout.leftMargin: 12
                            Layout.rightMargin: 12
                            RowIcon { name: "power" }
                            RowTitle { text: qsTr("开机自启动") }
                            Item { Layout.fillWidth: true }
                            Switch {
                                objectName: "launchAtLoginSwitch"
                                Accessible.name: qsTr("开机自启动")
                                padding: 0
                                scale: 0.8
                                checked: root.settings.launchAtLogin
                                onToggled: root.settings.launchAtLogin = checked
                            }
                        }
                        Rectangle {
                            Layout.fillWidth: true
                            Layout.leftMargin: 38
                            implicitHeight: 1
                            color: Qt.rgba(0, 0, 0, 0.1)
                        }
                        RowLayout {
                            Layout.margins: 10
                            Layout.leftMargin: 12
                            Layout.rightMargin: 12
                            RowIcon { name: "menubar.arrow.up.rectangle" }
                            RowTitle { text: qsTr("显示菜单栏图标") }
                            Item { Layout.fillWidth: true }
                            Switch {
                                objectName: "menuBarIconSwitch"
                                Accessible.name: qsTr("显示菜单栏图标")
                                padding: 0
                                scale: 0.8
                                checked: root.settings.showMenuBarIcon
                                onToggled: root.settings.showMenuBarIcon = checked
                            }
                        }
                        Rectangle {
                            Layout.fillWidth: true
                            Layout.leftMargin: 38
                            implicitHeight: 1
                            color: Qt.rgba(0, 0, 0, 0.1)
                        }
                        RowLayout {
                            Layout.margins: 8
                            Layout.leftMargin: 12
                            Layout.rightMargin: 12
                            RowIcon { name: "globe" }
                            RowTitle { text: qsTr("语言") }
                            Item { Layout.fillWidth: true }
                            // Follow the desktop's language, or one of the
                            // catalogues, each named in its own language.
                            ComboBox {
                                id: languageBox
                                objectName: "languageBox"
                                Accessible.name: qsTr("语言")
                                implicitHeight: 26
                                font.family: Theme.fontFamily
                                font.pixelSize: 12
                                textRole: "name"
                                valueRole: "value"
                                model: [{ value: "system", name: qsTr("跟随系统") }].concat(root.settings.languageChoices)
                                // The stored choice, also after the list is
                                // translated anew or the preference changes
                                // elsewhere.
                                function showStoredChoice() {
                                    currentIndex = Math.max(0, indexOfValue(root.settings.language))
                                }
                                Component.onCompleted: showStoredChoice()
                                onModelChanged: Qt.callLater(showStoredChoice)
                                Connections {
                                    target: root.settings
                                    function onPreferencesChanged() { languageBox.showStoredChoice() }
                                }
                                onActivated: root.settings.language = currentValue
                            }
                        }
                    }
                }
            }

            // Permissions
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 12
                SectionTitle { text: qsTr("权限") }
                Box {
                    implicitHeight: permissionRow.implicitHeight + 20
                    RowLayout {
                        id: permissionRow
                        anchors.fill: parent
                        anchors.leftMargin: 12
                        anchors.rightMargin: 12
                        anchors.topMargin: 10
                        anchors.bottomMargin: 10
                        spacing: 10
                        KIcon {
                            Layout.preferredWidth: 20
                            size: 16
                            name: root.settings.accessibilityGranted ? "checkmark.shield.fill" : "exclamationmark.triangle.fill"
                            color: root.settings.accessibilityGranted ? Theme.green : Theme.orange
                        }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 4
                            RowTitle { text: qsTr("辅助功能权限") }
                            Text {
                                Layout.fillWidth: true
                                text: root.settings.accessibilityGranted ? qsTr("已开启，选择条目后可自动回到原应用并执行粘贴")
                                                                       : qsTr("未开启时仍会写回剪贴板并切回原应用；如需自动粘贴，请开启此权限")
                                wrapMode: Text.Wrap
                                font.family: Theme.fontFamily
                                font.pixelSize: 11
                                color: Theme.secondary
                            }
                        }
                        SmallButton {
                            visible: root.settings.accessibilityGranted
                            text: qsTr("重新检测")
                            onClicked: root.settings.refreshAccessibilityStatus()
                        }
                        SmallButton {
                            visible: !root.settings.accessibilityGranted
                            prominent: true
                            text: qsTr("开启权限")
                            onClicked: root.settings.openAccessibilitySettings()
                        }
                    }
                }
            }

            // Storage
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 12
                SectionTitle { text: qsTr("存储") }
                Box {
                    implicitHeight: storageRow.implicitHeight + 16
                    RowLayout {
                        id: storageRow
                        anchors.fill: parent
                        anchors.leftMargin: 12
                        anchors.rightMargin: 12
                        anchors.topMargin: 8
                        anchors.bottomMargin: 8
                        RowIcon { name: "archivebox" }
                        RowTitle { text: qsTr("历史记录上限") }
                        Item { Layout.fillWidth: true }
                        Text {
                            objectName: "historyLimitLabel"
                            text: qsTr("%n 条", "", root.settings.maxHistoryCount)
                            font.family: Theme.fontFamily
                            font.pixelSize: 13
                            color: Theme.primary
                        }
                        // The stepper: up and down halves of one small control.
                        // A screen reader reads and steps it as a spin box.
                        Rectangle {
                            objectName: "historyLimitStepper"
                            readonly property int value: root.settings.maxHistoryCount
                            readonly property int from: 10
                            readonly property int to: 500
                            readonly property int stepSize: 10
                            Accessible.role: Accessible.SpinBox
                            Accessible.name: qsTr("历史记录上限")
                            Accessible.description: qsTr("%n 条", "", root.settings.maxHistoryCount)
                            Accessible.onIncreaseAction: root.settings.stepHistoryLimit(1)
                            Accessible.onDecreaseAction: root.settings.stepHistoryLimit(-1)
                            implicitWidth: 16
                            implicitHeight: 24
                            radius: 4
                            color: "#f6f6f6"
                            border.width: 0.5
                            border.color: Qt.rgba(0, 0, 0, 0.25)
                            Column {
                                anchors.fill: parent
                                Repeater {
                                    model: [1, -1]
                                    Item {
                                        width: 16
                                        height: 12
                                        Text {
                                            anchors.centerIn: parent
                                            text: modelData > 0 ? "▴" : "▾"
                                            Accessible.ignored: true
                                            font.pixelSize: 10
                                            color: Theme.primary
                                        }
                                        MouseArea {
                                            anchors.fill: parent
                                            onClicked: root.settings.stepHistoryLimit(modelData)
                                        }
                                    }
                                }
                            }
                        }
                    }
                }
            }

            // Shortcut
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 12
                SectionTitle { text: qsTr("快捷键") }
                Box {
                    implicitHeight: shortcutRow.implicitHeight + 24
                    RowLayout {
                        id: shortcutRow
                        anchors.fill: parent
                        anchors.margins: 12
                        RowIcon { name: "keyboard" }
                        RowTitle { text: qsTr("显示/隐藏面板") }
                        Item { Layout.fillWidth: true }
                        // The shortcut recorder.
                        Rectangle {
                            objectName: "shortcutRecorder"
                            Accessible.role: Accessible.Button
                            Accessible.name: qsTr("显示/隐藏面板的快捷键")
                            Accessible.description: root.settings.recorderText
                            Accessible.onPressAction: root.settings.toggleRecording()
                            implicitWidth: recorderText.implicitWidth + 24
                            implicitHeight: recorderText.implicitHeight + 12
                            radius: 6
                            color: root.settings.isRecording ? Theme.accent : Theme.alpha(Theme.secondary, 0.15)
                            Text {
                                id: recorderText
                                anchors.centerIn: parent
                                text: root.settings.recorderText
                                font.family: "DejaVu Sans Mono"
                                font.pixelSize: 13
                                font.weight: Font.DemiBold
                                font.letterSpacing: 1
                                color: root.settings.isRecording ? "white" : Theme.primary
                            }
                            MouseArea {
                                anchors.fill: parent
                                onClicked: root.settings.toggleRecording()
                            }
                        }
                    }
                }
                Text {
                    Layout.fillWidth: true
                    Layout.leftMargin: 4
                    Layout.rightMargin: 4
                    text: qsTr("点击按钮后按下您想设置的按键组合。必须包含至少一个修饰键（%1）。").arg(root.settings.modifierKeys)
                    wrapMode: Text.Wrap
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    color: Theme.secondary
                }
                Text {
                    Layout.fillWidth: true
                    Layout.leftMargin: 4
                    Layout.rightMargin: 4
                    text: qsTr("面板内支持 %1 直接粘贴对应序号条目。").arg(root.settings.quickPasteKeys)
                    wrapMode: Text.Wrap
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    color: Theme.secondary
                }
                // Where the desktop lets no program register a shortcut.
                Text {
                    visible: root.settings.shortcutConfigurationLine !== ""
                    Layout.fillWidth: true
                    Layout.leftMargin: 4
                    Layout.rightMargin: 4
                    text: qsTr("此桌面不允许程序自行注册全局快捷键。请将下面这一行加入桌面（合成器）的配置，以 %1 显示或隐藏面板：")
                          .arg(root.settings.shortcutText)
                    wrapMode: Text.Wrap
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    color: Theme.secondary
                }
                TextEdit {
                    objectName: "shortcutConfigurationLine"
                    visible: text !== ""
                    Layout.fillWidth: true
                    Layout.leftMargin: 4
                    text: root.settings.shortcutConfigurationLine
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.WrapAnywhere
                    font.family: "DejaVu Sans Mono"
                    font.pixelSize: 11
                    color: Theme.primary
                }
            }

            IgnoredApplicationsSection {
                Layout.fillWidth: true
                settings: root.settings
            }

            // Warning while the tray icon is hidden.
            Rectangle {
                objectName: "hiddenIconWarning"
                visible: !root.settings.showMenuBarIcon
                Layout.fillWidth: true
                implicitHeight: warningRow.implicitHeight + 24
                radius: 8
                color: Theme.alpha(Theme.orange, 0.05)
                RowLayout {
                    id: warningRow
                    anchors.fill: parent
                    anchors.margins: 12
                    spacing: 10
                    KIcon {
                        Layout.alignment: Qt.AlignTop
                        name: "exclamationmark.triangle.fill"
                        size: 14
                        color: Theme.orange
                    }
                    Text {
                        Layout.fillWidth: true
                        text: qsTr("菜单栏图标已隐藏。您可以通过快捷键唤出剪贴板面板，点击齿轮按钮再次打开此设置窗口。")
                        wrapMode: Text.Wrap
                        lineHeightMode: Text.FixedHeight
                        lineHeight: 12 * 1.35 + 4
                        font.family: Theme.fontFamily
                        font.pixelSize: 12
                        color: Theme.secondary
                    }
                }
            }

            // Footer
            ColumnLayout {
                Layout.fillWidth: true
                Layout.topMargin: 8
                spacing: 16
                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: 1
                    color: Qt.rgba(0, 0, 0, 0.1)
                }
                Rectangle {
                    objectName: "quitButton"
                    Accessible.role: Accessible.Button
                    Accessible.name: qsTr("退出 Kelvo")
                    Accessible.onPressAction: root.settings.quit()
                    Layout.fillWidth: true
                    implicitHeight: quitRow.implicitHeight + 16
                    radius: 8
                    color: Theme.alpha(Theme.red, 0.1)
                    Row {
                        id: quitRow
                        anchors.centerIn: parent
                        spacing: 6
                        KIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "rectangle.portrait.and.arrow.right"
                            size: 14
                            color: Theme.red
                        }
                        Text {
                            text: qsTr("退出 Kelvo")
                            font.family: Theme.fontFamily
                            font.pixelSize: 13
                            font.weight: Font.Medium
                            color: Theme.red
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: root.settings.quit()
                    }
                }
                ColumnLayout {
                    Layout.alignment: Qt.AlignHCenter
                    spacing: 4
                    Text {
                        Layout.alignment: Qt.AlignHCenter
                        text: "Kelvo"
                        font.family: Theme.fontFamily
                        font.pixelSize: 14
                        font.bold: true
                        color: Theme.primary
                    }
                    Text {
                        objectName: "versionText"
                        Layout.alignment: Qt.AlignHCenter
                        text: "Version 1.0.0"
                        font.family: Theme.fontFamily
                        font.pixelSize: 11
                        color: Theme.secondary
                    }
                }
            }
        }
    }
}
