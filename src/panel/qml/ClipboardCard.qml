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

    // What a screen reader says of the card: its kind, its preview and its
    // age; then where it came from. The selected card has the focus.
    readonly property string kindLabel: kind === "richText" ? qsTr("富文本")
                                      : kind === "image" ? qsTr("图片")
                                      : kind === "url" ? qsTr("链接")
                                      : kind === "raw" ? qsTr("应用专用内容")
                                      : qsTr("文本")
    readonly property string sourceLabel: sourceAppName.length > 0 ? sourceAppName : qsTr("未知来源")
    Accessible.role: Accessible.ListItem
    // One pass over the placeholders: a preview may hold "%3" itself.
    Accessible.name: {
        const parts = [kindLabel, (kind === "url" ? urlString : previewText).replace(/\s+/g, " ").trim(), timeAgoText]
        return qsTr("%1，%2，%3").replace(/%([1-3])/g, (match, n) => parts[n - 1])
    }
    Accessible.description: isPinned ? qsTr("来自 %1，已固定").arg(sourceLabel) : qsTr("来自 %1").arg(sourceLabel)
    Accessible.selectable: true
    Accessible.selected: isSelected
    Accessible.focusable: true
    Accessible.focused: isSelected
    Accessible.onPressAction: doubleClicked()

    signal select()
    signal doubleClicked()
    signal contextMenuRequested(real x, real y)

    width: 186
    height: 228

    function handleClick() {
        const now = card.clock()
        // Seconds as doubles: a nanosecond of slack keeps a gap of exactly
        // 0.26 s that comes out a hair short from counting.
        const elapsed = now - lastClickTime
        card.select()
        if (elapsed < 0.26 - 1e-9) {
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
            Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
            Behavior on blur { NumberAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
            Behavior on offsetY { NumberAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
        }

        // Fill, and the border's gradient from corner to corner.
        GradientShape {
            id: borderShape
            objectName: "cardShape"
            anchors.fill: parent
            radius: 16
            property color borderStart: card.isSelected ? Qt.rgba(0.635, 0.796, 0.980, 0.98)
                                                        : Qt.rgba(0.886, 0.910, 0.941, 1)
            property color borderEnd: card.isSelected ? Qt.rgba(0.231, 0.510, 0.965, 0.94)
                                                      : Qt.rgba(0.886, 0.910, 0.941, 0.72)
            Behavior on borderStart { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
            Behavior on borderEnd { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
            Behavior on strokeWidth { NumberAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
            fills: [{ from: Qt.point(0, 0), to: Qt.point(1, 1),
                      stops: [[0, Qt.rgba(1, 1, 1, 0.9)], [1, Qt.rgba(1, 1, 1, 0.9)]] }]
            strokeWidth: card.isSelected ? 1.6 : 1
            strokeFrom: Qt.point(0, 0)
            strokeTo: Qt.point(1, 1)
            strokeStops: [[0, borderStart], [1, borderEnd]]
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
                    readonly property real starWidth: card.isPinned ? 9 + badgeRow.spacing : 0
                    width: Math.max(14, Math.min(sourceName.implicitWidth + starWidth + 14,
                                                 parent.width - age.implicitWidth - 8))
                    height: badgeRow.implicitHeight + 8
                    radius: height / 2
                    color: Qt.rgba(1, 1, 1, card.isSelected ? 0.95 : 0.98)
                    border.width: 1
                    border.color: card.isSelected ? Qt.rgba(0.765, 0.839, 0.949, 1) : Qt.rgba(0.839, 0.871, 0.918, 1)
                    Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
                    Behavior on border.color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
                    Row {
                        id: badgeRow
                        x: 7
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4
                        Text {
                            id: sourceName
                            objectName: "sourceName"
                            text: card.sourceLabel
                            font.family: Theme.fontFamily
                            font.pixelSize: 10
                            font.weight: Font.DemiBold
                            color: card.isSelected ? Qt.rgba(0.255, 0.392, 0.596, 1) : Qt.rgba(0.365, 0.396, 0.451, 1)
                            Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
                            elide: Text.ElideRight
                            maximumLineCount: 1
                            // Cut inside the badge, whatever the name's length.
                            width: Math.max(0, badge.width - 14 - badge.starWidth)
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
                    objectName: "ageText"
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
                id: previewBox
                color: Qt.rgba(1, 1, 1, card.isSelected ? 0.98 : 0.82)
                border.width: 1
                border.color: card.isSelected ? Qt.rgba(0.733, 0.820, 0.949, 1) : Qt.rgba(0.886, 0.910, 0.941, 1)
                Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
                Behavior on border.color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
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
                            }
                            // Rounds the picture's corners (radius 8) by covering
                            // what lies outside them in the box's colour.
                            Canvas {
                                id: thumbCorners
                                objectName: "thumbnailCorners"
                                width: thumb.paintedWidth
                                height: thumb.paintedHeight
                                property color cover: Qt.rgba(1, 1, 1, 1)
                                onWidthChanged: requestPaint()
                                onHeightChanged: requestPaint()
                                onPaint: {
                                    const ctx = getContext("2d")
                                    ctx.reset()
                                    const w = width, h = height, r = Math.min(8, w / 2, h / 2)
                                    if (w <= 0 || h <= 0)
                                        return
                                    ctx.beginPath()
                                    ctx.rect(0, 0, w, h)
                                    ctx.moveTo(r, 0)
                                    ctx.arcTo(0, 0, 0, r, r)
                                    ctx.lineTo(0, h - r)
                                    ctx.arcTo(0, h, r, h, r)
                                    ctx.lineTo(w - r, h)
                                    ctx.arcTo(w, h, w, h - r, r)
                                    ctx.lineTo(w, r)
                                    ctx.arcTo(w, 0, w - r, 0, r)
                                    ctx.closePath()
                                    ctx.fillRule = Qt.OddEvenFill
                                    ctx.fillStyle = cover
                                    ctx.fill()
                                }
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
                                text: qsTr("图片内容")
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
                            text: qsTr("应用专用内容")
                            font.family: Theme.fontFamily
                            font.pixelSize: 12
                            font.weight: Font.DemiBold
                            color: Theme.primary
                        }
                        Text {
                            width: parent.width
                            text: qsTr("保留原始剪贴板格式，可回贴到来源应用")
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
                    Behavior on color { ColorAnimation { duration: card.animationMs; easing.type: Easing.OutQuad } }
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
