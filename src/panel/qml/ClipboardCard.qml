import QtQuick

// One history entry as a fixed-size card of the strip.
Item {
    id: card
    objectName: "clipboardCard"

    property string itemId
    property string kind: "text"
    property string previewText
    property string urlString
    property string infoLabel
    property string timeAgoText
    property string sourceAppName
    property bool isPinned: false
    property bool hasThumbnail: false
    property string thumbnailSource
    property string kindIcon: "doc.text"
    property bool isSelected: false
    property bool reduceMotion: false
    // Returns the current time in seconds; the owner supplies the clock.
    property var clock: function() { return Date.now() / 1000 }

    // Time of the last click that did not complete a double click; starts
    // in the distant past so that the first click is never a double click.
    property real lastClickTime: -Infinity

    signal select()
    signal doubleClicked()
    signal contextMenuRequested(real x, real y)

    width: 186
    height: 228

    function handleClick() {
        const now = card.clock()
        // Compared in whole milliseconds, so that 0.26 s measured on a
        // floating-point clock is not taken for a hair less.
        const elapsedMs = Math.round((now - lastClickTime) * 1000)
        card.select()
        if (elapsedMs < 260) {
            card.doubleClicked()
            lastClickTime = -Infinity
        } else {
            lastClickTime = now
        }
    }

    readonly property int animationMs: reduceMotion ? 0 : 160

    Item {
        id: body
        objectName: "cardBody"
        anchors.fill: parent
        scale: card.isSelected && !card.reduceMotion ? 1.012 : 1
        Behavior on scale { NumberAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }

        SoftShadow {
            anchors.fill: parent
            radius: 16
            color: card.isSelected ? Qt.rgba(0.231, 0.510, 0.965, 0.18) : Qt.rgba(0, 0, 0, 0.05)
            blur: card.isSelected ? 10 : 5
            offsetY: card.isSelected ? 6 : 3
        }

        // Border: the outer shape carries the gradient, the inner one the fill.
        Rectangle {
            id: borderShape
            anchors.fill: parent
            radius: 16
            gradient: Gradient {
                GradientStop {
                    position: 0
                    color: card.isSelected ? Qt.rgba(0.635, 0.796, 0.980, 0.98) : Qt.rgba(0.886, 0.910, 0.941, 1)
                    Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
                }
                GradientStop {
                    position: 1
                    color: card.isSelected ? Qt.rgba(0.231, 0.510, 0.965, 0.94) : Qt.rgba(0.886, 0.910, 0.941, 0.72)
                    Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
                }
            }
        }
        Rectangle {
            anchors.fill: parent
            anchors.margins: card.isSelected ? 1.6 : 1
            radius: 16 - anchors.margins
            color: Qt.rgba(0.996, 0.997, 0.999, 1)
        }

        Column {
            x: 12
            y: 12
            width: parent.width - 24
            spacing: 10

            // Header: source badge, spacer, age.
            Item {
                width: parent.width
                height: badge.height
                Rectangle {
                    id: badge
                    objectName: "sourceBadge"
                    width: Math.min(badgeRow.implicitWidth + 14, parent.width - age.implicitWidth - 8)
                    height: badgeRow.implicitHeight + 8
                    radius: height / 2
                    color: Qt.rgba(1, 1, 1, card.isSelected ? 0.95 : 0.98)
                    border.width: 1
                    border.color: card.isSelected ? Qt.rgba(0.765, 0.839, 0.949, 1) : Qt.rgba(0.839, 0.871, 0.918, 1)
                    Row {
                        id: badgeRow
                        x: 7
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4
                        Text {
                            id: sourceName
                            objectName: "sourceName"
                            text: card.sourceAppName.length > 0 ? card.sourceAppName : "未知来源"
                            font.family: Theme.fontFamily
                            font.pixelSize: 10
                            font.weight: Font.DemiBold
                            color: card.isSelected ? Qt.rgba(0.255, 0.392, 0.596, 1) : Qt.rgba(0.365, 0.396, 0.451, 1)
                            elide: Text.ElideRight
                            maximumLineCount: 1
                            width: Math.min(implicitWidth, 120)
                        }
                        KIcon {
                            objectName: "badgeStar"
                            visible: card.isPinned
                            name: "star.fill"
                            size: 9
                            color: Theme.orange
                            anchors.verticalCenter: parent.verticalCenter
                        }
                    }
                }
                Text {
                    id: age
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: card.timeAgoText
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: Theme.secondary
                }
            }

            // Preview box.
            Rectangle {
                width: parent.width
                height: 132
                radius: 11
                color: Qt.rgba(1, 1, 1, card.isSelected ? 0.98 : 0.82)
                border.width: 1
                border.color: card.isSelected ? Qt.rgba(0.733, 0.820, 0.949, 1) : Qt.rgba(0.886, 0.910, 0.941, 1)
                clip: true

                Item {
                    id: previewArea
                    x: 10
                    y: 10
                    width: parent.width - 20
                    height: parent.height - 20

                    Text {
                        objectName: "textPreview"
                        visible: card.kind === "text" || card.kind === "richText"
                        width: parent.width
                        text: card.previewText
                        textFormat: Text.PlainText
                        font.family: Theme.fontFamily
                        font.pixelSize: 12
                        color: Theme.primary
                        wrapMode: Text.Wrap
                        maximumLineCount: 6
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }

                    Column {
                        objectName: "imagePreview"
                        visible: card.kind === "image"
                        width: parent.width
                        spacing: 8
                        readonly property bool showImage: card.hasThumbnail && thumb.status !== Image.Error
                                                          && !(thumb.status === Image.Ready && thumb.implicitWidth === 0)
                        Item {
                            visible: parent.showImage
                            width: parent.width
                            height: Math.min(112, thumb.paintedHeight > 0 ? thumb.paintedHeight : 112)
                            Image {
                                id: thumb
                                objectName: "thumbnail"
                                width: parent.width
                                height: 112
                                asynchronous: true
                                fillMode: Image.PreserveAspectFit
                                horizontalAlignment: Image.AlignLeft
                                verticalAlignment: Image.AlignTop
                                sourceSize: Qt.size(2 * 164, 2 * 112)
                                source: card.kind === "image" && card.hasThumbnail ? card.thumbnailSource : ""
                                layer.enabled: false
                            }
                        }
                        Row {
                            objectName: "imageFallback"
                            visible: !parent.showImage
                            spacing: 8
                            KIcon {
                                name: "photo"
                                size: 20
                                color: Theme.alpha(Theme.secondary, 0.8)
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            Text {
                                text: "图片内容"
                                font.family: Theme.fontFamily
                                font.pixelSize: Theme.caption
                                color: Theme.secondary
                                anchors.verticalCenter: parent.verticalCenter
                            }
                        }
                    }

                    Column {
                        objectName: "urlPreview"
                        visible: card.kind === "url"
                        width: parent.width
                        spacing: 6
                        KIcon {
                            name: "link"
                            size: 16
                            color: Theme.alpha(Theme.blue, 0.9)
                        }
                        Text {
                            width: parent.width
                            text: card.urlString
                            textFormat: Text.PlainText
                            font.family: Theme.fontFamily
                            font.pixelSize: 11
                            color: Theme.blue
                            wrapMode: Text.WrapAnywhere
                            maximumLineCount: 5
                            elide: Text.ElideRight
                        }
                    }

                    Column {
                        objectName: "rawPreview"
                        visible: card.kind === "raw"
                        width: parent.width
                        spacing: 8
                        KIcon {
                            name: "tray.full"
                            size: 18
                            color: Theme.alpha(Theme.secondary, 0.9)
                        }
                        Text {
                            text: "应用专用内容"
                            font.family: Theme.fontFamily
                            font.pixelSize: 12
                            font.weight: Font.DemiBold
                            color: Theme.primary
                        }
                        Text {
                            width: parent.width
                            text: "保留原始剪贴板格式，可回贴到来源应用"
                            font.family: Theme.fontFamily
                            font.pixelSize: 11
                            color: Theme.secondary
                            wrapMode: Text.Wrap
                            maximumLineCount: 3
                            elide: Text.ElideRight
                        }
                    }
                }
            }

            // Footer: kind icon, info label, spacer, pin.
            Item {
                width: parent.width
                height: Math.max(info.implicitHeight, 14)
                KIcon {
                    id: kindGlyph
                    objectName: "kindIcon"
                    anchors.verticalCenter: parent.verticalCenter
                    name: card.kindIcon
                    size: 12
                    color: card.isSelected ? Qt.rgba(0.150, 0.420, 0.920, 1) : Theme.secondary
                }
                Text {
                    id: info
                    anchors.left: kindGlyph.right
                    anchors.leftMargin: 6
                    anchors.right: pin.visible ? pin.left : parent.right
                    anchors.rightMargin: pin.visible ? 6 : 0
                    anchors.verticalCenter: parent.verticalCenter
                    text: card.infoLabel
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: Theme.secondary
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
                KIcon {
                    id: pin
                    objectName: "footerPin"
                    visible: card.isPinned
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    name: "pin.fill"
                    size: 10
                    color: Theme.orange
                }
            }
        }
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onPressed: function(mouse) {
            if (mouse.button === Qt.RightButton)
                card.contextMenuRequested(mouse.x, mouse.y)
        }
        onClicked: function(mouse) {
            if (mouse.button === Qt.LeftButton)
                card.handleClick()
        }
    }
}
