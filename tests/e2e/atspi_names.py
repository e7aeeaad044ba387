"""What a screen reader reads of the running kelvo, through AT-SPI.

Usage: atspi_names.py panel LANGUAGE       the panel's controls and cards
       atspi_names.py focus LANGUAGE KEYS  presses KEYS (xdotool) and waits
                                           for the focus to reach the next card
       atspi_names.py settings LANGUAGE    the settings window's controls
Exits 0 when everything is there, 1 with the missing names on stderr.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

EXPECTED = {
    "en": {
        "panel": [("page tab", "History"), ("page tab", "Pinned"), ("text", "Search"),
                  ("push button", "Clear History"), ("push button", "Settings"), ("list", "History"),
                  ("label", "Tab to switch · ←/→ to select · Enter to paste · Esc to close")],
        "card": "Text, beta, ",
        "next card": "Text, alpha, ",
        "settings": [("check box", "Start at login"), ("check box", "Show tray icon"), ("combo box", "Language"),
                     ("spin button", "History limit"), ("push button", "Shortcut to show or hide the panel"),
                     ("push button", "Quit Kelvo"), ("push button", "Check Again")],
    },
    "zh": {
        "panel": [("page tab", "历史"), ("page tab", "固定"), ("text", "搜索"),
                  ("push button", "清空历史记录"), ("push button", "设置"), ("list", "历史"),
                  ("label", "Tab 切换分类 · ←/→ 选择 · Enter 粘贴 · Esc 关闭")],
        "card": "文本，beta，",
        "next card": "文本，alpha，",
        "settings": [("check box", "开机自启动"), ("check box", "显示菜单栏图标"), ("combo box", "语言"),
                     ("spin button", "历史记录上限"), ("push button", "显示/隐藏面板的快捷键"),
                     ("push button", "退出 Kelvo"), ("push button", "重新检测")],
    },
}


def kelvo():
    """The kelvo application on the AT-SPI bus, within 10 seconds."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name.lower() == "kelvo":
                return app
        time.sleep(0.1)  # the poll interval
    sys.exit("kelvo is not on the AT-SPI bus")


def nodes(root):
    """Every object under root, with its role name and name."""
    stack = [root]
    while stack:
        node = stack.pop()
        try:
            yield node, node.getRoleName(), node.name
            stack.extend(child for child in node if child is not None)
        except Exception:  # an object that went away while walking
            continue


def window(title):
    """The shown window of that title, within 10 seconds."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        for node, role, name in nodes(kelvo()):
            if role in ("frame", "window", "dialog") and name == title and \
                    node.getState().contains(pyatspi.STATE_SHOWING):
                return node
        time.sleep(0.1)  # the poll interval
    sys.exit("no window %r" % title)


def missing(root, expected):
    found = {(role, name) for _, role, name in nodes(root)}
    return [item for item in expected if item not in found]


def focused_card(root):
    for node, role, name in nodes(root):
        if role == "list item" and node.getState().contains(pyatspi.STATE_FOCUSED):
            return name
    return None


def check_panel(language):
    panel = window("Kelvo")
    lost = missing(panel, EXPECTED[language]["panel"])
    card = focused_card(panel)
    if lost or not (card or "").startswith(EXPECTED[language]["card"]):
        sys.exit("panel: missing %r; focused card %r" % (lost, card))
    print("panel: %d controls named; focused card %r" % (len(EXPECTED[language]["panel"]), card))


def check_focus(language, keys):
    """Presses keys and waits, at most 10 s, for the event that moves the
    focus to the next card."""
    want = EXPECTED[language]["next card"]
    seen = []

    def on_focus(event):
        if event.detail1 == 1 and event.source.getRoleName() == "list item":
            seen.append(event.source.name)
            if event.source.name.startswith(want):
                pyatspi.Registry.stop()

    def press():
        subprocess.run(["xdotool", "key"] + keys.split(), check=True)
        return False

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    GLib.timeout_add(200, press)
    GLib.timeout_add_seconds(10, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    if not any(name.startswith(want) for name in seen):
        sys.exit("no focus event for %r; seen %r" % (want, seen))
    card = focused_card(window("Kelvo"))
    if not (card or "").startswith(want):
        sys.exit("the focused card is %r" % card)
    print("focus: moved to %r" % card)


def check_settings(language):
    title = "Kelvo Settings" if language == "en" else "Kelvo 设置"
    lost = missing(window(title), EXPECTED[language]["settings"])
    if lost:
        sys.exit("settings: missing %r" % lost)
    print("settings: %d controls named" % len(EXPECTED[language]["settings"]))


if __name__ == "__main__":
    what, language = sys.argv[1], sys.argv[2]
    if what == "panel":
        check_panel(language)
    elif what == "focus":
        check_focus(language, sys.argv[3])
    elif what == "settings":
        check_settings(language)
