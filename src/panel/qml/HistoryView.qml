import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The whole content of the floating panel: header with tabs, hint, search
// box and buttons; a divider; the strip of cards or an empty state.
Item {
    id: root
    objectName: "historyView"
    Accessible.role: Accessible.Pane
    Accessible.name: qsTr("剪贴板历史")

    // A HistoryViewBackend.
    required property var backend
    readonly property var listModel: backend.model
    readonly property int count: listModel.count
    readonly property bool reduceMotion: backend.reduceMotion
    readonly property bool historyTab: backend.activeTab !== "pinned"

    // Set by a click on a card, so that the selection change the click makes
    // does not scroll the strip.
    property bool suppressNextAutoScroll: false
    // The selection the change handler saw last: the selection state
    // announces every assignment, and only a real change counts.
    property int seenSelectedIndex: -1
    Component.onCompleted: seenSelectedIndex = backend.selectedIndex
    // True while the view clears a focus request it has just served.
    property bool clearingFocusRequest: false

    readonly property string emptyTitle: backend.searchQuery.length > 0 ? qsTr("无匹配结果")
                                        : (historyTab ? qsTr("暂无剪贴板记录") : qsTr("暂无固定条目"))
    readonly property string emptySubtitle: historyTab ? qsTr("复制内容后将自动记录") : qsTr("在历史中右键条目后可固定到这里")

    // The context menu of a card, top to bottom.
    function menuEntries(kind, pinned) {
        const entries = [{ text: pinned ? qsTr("取消固定") : qsTr("固定", "pin an entry"), action: "togglePin" },
                         { separator: true },
                         { text: qsTr("粘贴"), action: "paste" }]
        if (kind === "richText")
            entries.push({ text: qsTr("粘贴为纯文本"), action: "pastePlainText" })
        if (kind === "image")
            entries.push({ text: qsTr("图片另存为 PNG..."), action: "saveImageAsPNG" })
        entries.push({ separator: true })
        entries.push({ text: qsTr("删除"), action: "removeItem" })
        return entries
    }

    function runMenuAction(action, id) {
        switch (action) {
        case "togglePin": backend.togglePin(id); break
        case "paste": backend.paste(id); break
        case "pastePlainText": backend.pastePlainText(id); break
        case "saveImageAsPNG": backend.saveImageAsPNG(id); break
        case "removeItem": backend.removeItem(id); break
        }
    }

    function focusSearchField() { searchField.forceActiveFocus() }

    // A screen reader reads the selected card when the panel comes to the
    // front (after the window's own focus, which would cover it) and
    // whenever another card becomes the selected one.
    function announceSelectedCard() {
        const slot = strip.itemAtIndex(root.backend.selectedIndex)
        if (slot && root.count > 0)
            root.backend.announceFocus(slot.card)
    }
    Window.onActiveChanged: if (Window.active) Qt.callLater(root.announceSelectedCard)

    Connections {
        target: root.backend
        function onShouldFocusSearchChanged() {
            if (root.clearingFocusRequest)
                return
            if (root.backend.shouldFocusSearch) {
                searchField.forceActiveFocus()
                root.clearingFocusRequest = true
                root.backend.shouldFocusSearch = false
                root.clearingFocusRequest = false
            } else {
                searchField.focus = false
                root.forceActiveFocus()
            }
        }
        function onActiveTabChanged() { root.backend.selectedIndex = 0 }
        function onSearchPasteReady(text) {
            if (searchField.selectedText.length > 0)
                searchField.remove(searchField.selectionStart, searchField.selectionEnd)
            searchField.insert(searchField.cursorPosition, text)
            root.backend.searchQuery = searchField.text
        }
        function onPresentationTokenChanged() {
            if (root.count > 0) {
                root.suppressNextAutoScroll = false
                strip.scrollToStart()
            }
        }
        function onSelectedIndexChanged() {
            if (root.backend.selectedIndex === root.seenSelectedIndex)
                return
            root.seenSelectedIndex = root.backend.selectedIndex
            if (root.suppressNextAutoScroll) {
                root.suppressNextAutoScroll = false
                return
            }
            const i = root.backend.selectedIndex
            if (i >= 0 && i < root.count)
                strip.positionViewAtIndex(i, ListView.Center)
        }
    }
    Connections {
        target: root.listModel
        function onCountChanged() {
            const n = root.count
            if (n === 0)
                root.backend.selectedIndex = 0
            else if (root.backend.selectedIndex >= n)
                root.backend.selectedIndex = n - 1
        }
    }

    // Background: two gradients in the panel's rounded shape, outlined by a
    // white gradient that fades towards the bottom.
    GradientShape {
        objectName: "panelBackground"
        anchors.fill: parent
        radius: 22
        fills: [
            { from: Qt.point(0, 0), to: Qt.point(1, 1),
              stops: [[0, Qt.rgba(0.972, 0.980, 0.988, 1)], [1, Qt.rgba(0.945, 0.961, 0.980, 1)]] },
            { from: Qt.point(0, 0), to: Qt.point(0.5, 0.5),
              stops: [[0, Qt.rgba(0.231, 0.510, 0.965, 0.1)], [1, Qt.rgba(0.231, 0.510, 0.965, 0)]] }
        ]
        strokeWidth: 1
        strokeFrom: Qt.point(0, 0)
        strokeTo: Qt.point(0, 1)
        strokeStops: [[0, Qt.rgba(1, 1, 1, 0.45)], [1, Qt.rgba(1, 1, 1, 0.08)]]
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header row.
        RowLayout {
            objectName: "headerRow"
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 10
            spacing: 12

            // Tab switcher.
            Rectangle {
                Accessible.role: Accessible.PageTabList
                Accessible.name: qsTr("分类")
                implicitWidth: tabRow.implicitWidth + 8
                implicitHeight: tabRow.implicitHeight + 8
                radius: height / 2
                color: Qt.rgba(1, 1, 1, 0.9)
                border.width: 1
                border.color: Theme.hairline
                Row {
                    id: tabRow
                    x: 4
                    y: 4
                    spacing: 6
                    Repeater {
                        model: [{ title: qsTr("历史", "tab"), tab: "history" }, { title: qsTr("固定", "tab of pinned entries"), tab: "pinned" }]
                        Rectangle {
                            objectName: "tab_" + modelData.tab
                            readonly property bool active: root.backend.activeTab === modelData.tab
                            Accessible.role: Accessible.PageTab
                            Accessible.name: modelData.title
                            Accessible.selectable: true
                            Accessible.selected: active
                            Accessible.onPressAction: root.backend.activeTab = modelData.tab
                            width: tabTitle.implicitWidth + 28
                            height: tabTitle.implicitHeight + 12
                            radius: height / 2
                            color: active ? Qt.rgba(1, 1, 1, 0.95) : "transparent"
                            Behavior on color { ColorAnimation { duration: root.reduceMotion ? 0 : 180; easing.type: Easing.OutQuad } }
                            Text {
                                id: tabTitle
                                anchors.centerIn: parent
                                text: modelData.title
                                font.family: Theme.fontFamily
                                font.pixelSize: 12
                                font.weight: Font.DemiBold
                                color: parent.active ? Qt.rgba(0.110, 0.349, 0.886, 1) : Theme.secondary
                                Behavior on color { ColorAnimation { duration: root.reduceMotion ? 0 : 180; easing.type: Easing.OutQuad } }
                            }
                            MouseArea {
                                anchors.fill: parent
                                onClicked: root.backend.activeTab = modelData.tab
                            }
                        }
                    }
                }
            }

            Item { Layout.fillWidth: true }

            Text {
                objectName: "keyHint"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                text: qsTr("Tab 切换分类 · ←/→ 选择 · Enter 粘贴 · Esc 关闭")
                font.family: Theme.fontFamily
                font.pixelSize: 11
                font.weight: Font.Medium
                color: Theme.secondary
                maximumLineCount: 1
                elide: Text.ElideRight
                // All of it where the header has the room; only a narrow
                // screen cuts it.
                Layout.preferredWidth: implicitWidth
                Layout.maximumWidth: implicitWidth
                Layout.minimumWidth: 0
            }

            // Search box.
            Rectangle {
                objectName: "searchBox"
                Layout.preferredWidth: 250
                Layout.maximumWidth: 250
                implicitHeight: searchRow.implicitHeight + 14
                radius: 10
                color: Qt.rgba(1, 1, 1, 0.9)
                border.width: 1
                border.color: Theme.hairline
                RowLayout {
                    id: searchRow
                    anchors.fill: parent
                    anchors.leftMargin: 11
                    anchors.rightMargin: 11
                    anchors.topMargin: 7
                    anchors.bottomMargin: 7
                    spacing: 7
                    KIcon {
                        name: "magnifyingglass"
                        size: 12
                        color: Theme.secondary
                    }
                    TextField {
                        id: searchField
                        objectName: "searchField"
                        Accessible.name: qsTr("搜索")
                        Accessible.description: placeholderText
                        Accessible.searchEdit: true
                        Layout.fillWidth: true
                        padding: 0
                        leftPadding: 0
                        rightPadding: 0
                        topPadding: 0
                        bottomPadding: 0
                        background: null
                        placeholderText: qsTr("%1 搜索").arg(root.backend.searchKeys)
                        placeholderTextColor: Theme.alpha(Theme.secondary, 0.8)
                        color: Theme.primary
                        // Selecting with the mouse would make the program the
                        // owner of the PRIMARY selection, which it never
                        // touches; the keyboard still selects.
                        selectByMouse: false
                        font.family: Theme.fontFamily
                        font.pixelSize: 13
                        font.weight: Font.Medium
                        text: root.backend.searchQuery
                        onTextEdited: root.backend.searchQuery = text
                        // Pasting goes through the backend: the text field's
                        // own paste would wait on this thread for the owner.
                        Keys.onPressed: (event) => {
                            if (event.matches(StandardKey.Paste)) {
                                event.accepted = true
                                root.backend.requestSearchPaste()
                            }
                        }
                        // A middle click would paste PRIMARY, read on this
                        // thread from an owner that may never answer.
                        MouseArea {
                            anchors.fill: parent
                            acceptedButtons: Qt.MiddleButton
                        }
                    }
                    Item {
                        objectName: "clearSearchButton"
                        Accessible.role: Accessible.Button
                        Accessible.name: qsTr("清除搜索")
                        Accessible.onPressAction: root.backend.searchQuery = ""
                        visible: root.backend.searchQuery.length > 0
                        implicitWidth: 14
                        implicitHeight: 14
                        KIcon {
                            anchors.centerIn: parent
                            name: "xmark.circle.fill"
                            size: 12
                            color: Theme.secondary
                        }
                        MouseArea {
                            anchors.fill: parent
                            anchors.margins: -3
                            onClicked: root.backend.searchQuery = ""
                        }
                    }
                }
            }

            HeaderIconButton {
                objectName: "clearListButton"
                icon: "trash"
                helpText: root.historyTab ? qsTr("清空历史记录") : qsTr("清空固定条目")
                onActivated: root.historyTab ? root.backend.clearHistory() : root.backend.clearPinned()
            }
            HeaderIconButton {
                objectName: "settingsButton"
                icon: "gearshape"
                helpText: qsTr("设置")
                onActivated: root.backend.openSettings()
            }
        }

        // Divider.
        Rectangle {
            objectName: "divider"
            Layout.fillWidth: true
            implicitHeight: 1
            color: Qt.rgba(0, 0, 0, 0.1)
        }

        // Content area.
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Column {
                objectName: "emptyState"
                visible: root.count === 0
                anchors.centerIn: parent
                spacing: 10
                KIcon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "square.stack.3d.up"
                    size: 32
                    color: Theme.alpha(Theme.secondary, 0.55)
                }
                Text {
                    objectName: "emptyTitle"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: root.emptyTitle
                    font.family: Theme.fontFamily
                    font.pixelSize: 15
                    font.weight: Font.DemiBold
                    color: Theme.secondary
                }
                Text {
                    objectName: "emptySubtitle"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: root.emptySubtitle
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.caption
                    color: Theme.alpha(Theme.secondary, 0.7)
                }
            }

            ListView {
                id: strip
                objectName: "cardStrip"
                Accessible.role: Accessible.List
                Accessible.name: root.historyTab ? qsTr("历史", "tab") : qsTr("固定", "tab of pinned entries")
                visible: root.count > 0
                // The strip's padding above and below the cards.
                anchors.fill: parent
                anchors.topMargin: 16
                anchors.bottomMargin: 16
                orientation: ListView.Horizontal
                spacing: 14
                leftMargin: 20
                rightMargin: 20
                clip: false
                boundsBehavior: Flickable.StopAtBounds
                cacheBuffer: 0
                model: root.listModel

                // The first card at the leading edge, with the strip's padding.
                function scrollToStart() {
                    cancelFlick()
                    contentX = originX - leftMargin
                }
                delegate: Item {
                    id: slot
                    required property int index
                    required property string itemId
                    required property string kind
                    required property string previewText
                    required property string urlString
                    required property string infoLabel
                    required property string timeAgoText
                    required property string sourceAppName
                    required property bool isPinned
                    required property bool hasThumbnail
                    required property string thumbnailSource
                    required property string kindIcon
                    width: 186
                    height: 228
                    readonly property alias card: cardItem

                    ClipboardCard {
                        id: cardItem
                        itemId: slot.itemId
                        kind: slot.kind
                        previewText: slot.previewText
                        urlString: slot.urlString
                        infoLabel: slot.infoLabel
                        timeAgoText: slot.timeAgoText
                        sourceAppName: slot.sourceAppName
                        isPinned: slot.isPinned
                        hasThumbnail: slot.hasThumbnail
                        thumbnailSource: slot.thumbnailSource
                        kindIcon: slot.kindIcon
                        isSelected: root.backend.selectedIndex === slot.index
                        // A screen reader follows the selection.
                        onIsSelectedChanged: if (isSelected && Window.active) root.backend.announceFocus(this)
                        reduceMotion: root.reduceMotion
                        clock: function() { return root.backend.currentTime() }
                        onSelect: {
                            root.suppressNextAutoScroll = true
                            root.backend.selectedIndex = slot.index
                        }
                        onDoubleClicked: root.backend.paste(slot.itemId)
                        onContextMenuRequested: function(x, y) {
                            cardMenu.openFor(slot.itemId, slot.kind, slot.isPinned, this, x, y)
                        }
                    }
                }

                // A vertical wheel scrolls the strip sideways.
                WheelHandler {
                    acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
                    onWheel: function(event) {
                        const delta = event.angleDelta.y !== 0 ? event.angleDelta.y : event.angleDelta.x
                        const maxX = Math.max(strip.originX - strip.leftMargin,
                                              strip.originX + strip.contentWidth + strip.rightMargin - strip.width)
                        strip.contentX = Math.max(strip.originX - strip.leftMargin, Math.min(maxX, strip.contentX - delta))
                    }
                }
            }
        }
    }

    Menu {
        id: cardMenu
        objectName: "cardMenu"
        property string itemId
        property var entries: []

        function openFor(id, kind, pinned, anchorItem, x, y) {
            while (count > 0)
                takeItem(0).destroy()
            itemId = id
            entries = root.menuEntries(kind, pinned)
            for (let i = 0; i < entries.length; ++i) {
                const e = entries[i]
                if (e.separator)
                    addItem(separatorComponent.createObject(null))
                else
                    addItem(itemComponent.createObject(null, { text: e.text, actionName: e.action }))
            }
            popup(anchorItem, x, y)
        }
    }
    Component {
        id: itemComponent
        MenuItem {
            property string actionName
            font.family: Theme.fontFamily
            font.pixelSize: 13
            onTriggered: root.runMenuAction(actionName, cardMenu.itemId)
        }
    }
    Component {
        id: separatorComponent
        MenuSeparator {}
    }
}
