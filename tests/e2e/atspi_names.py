"""What a screen reader reads of the running kelvo, through AT-SPI:
`atspi_names.py panel LANGUAGE` checks the panel's names and that Right
moves the focus to the next card; `settings LANGUAGE` the settings window's.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

NAMES = {
    ("panel", "en"): ("Kelvo", [("page tab", "History"), ("page tab", "Pinned"), ("text", "Search"),
                                ("push button", "Clear History"), ("push button", "Settings"),
                                ("label", "Tab to switch · ←/→ to select · Enter to paste · Esc to close"),
                                ("list item", "Text, beta, Just now"), ("list item", "Text, alpha, Just now")]),
    ("panel", "zh"): ("Kelvo", [("page tab", "历史"), ("page tab", "固定"), ("text", "搜索"),
                                ("push button", "清空历史记录"), ("push button", "设置"),
                                ("label", "Tab 切换分类 · ←/→ 选择 · Enter 粘贴 · Esc 关闭"),
                                ("list item", "文本，beta，刚刚"), ("list item", "文本，alpha，刚刚")]),
    ("settings", "en"): ("Kelvo Settings", [("check box", "Start at login"), ("combo box", "Language"),
                                            ("spin button", "History limit"), ("push button", "Quit Kelvo")]),
    ("settings", "zh"): ("Kelvo 设置", [("check box", "开机自启动"), ("combo box", "语言"),
                                       ("spin button", "历史记录上限"), ("push button", "退出 Kelvo")]),
}


def nodes(root):
    stack = [root]
    while stack:
        node = stack.pop()
        try:
            yield node, (node.getRoleName(), node.name)
            stack.extend(child for child in node if child is not None)
        except Exception:  # gone while walking
            continue


def window(title):
    """kelvo's shown window of that title, within 10 seconds."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            for node, (role, name) in nodes(app) if app is not None and app.name.lower() == "kelvo" else ():
                if role == "frame" and name == title and node.getState().contains(pyatspi.STATE_SHOWING):
                    return node
        time.sleep(0.1)  # the poll interval
    sys.exit("no window %r" % title)


def focused(title):
    return [name for node, (role, name) in nodes(window(title)) if node.getState().contains(pyatspi.STATE_FOCUSED)]


what, language = sys.argv[1:3]
title, expected = NAMES[(what, language)]
found = {item for _, item in nodes(window(title))}
if any(item not in found for item in expected):
    sys.exit("%s: missing %r" % (title, [item for item in expected if item not in found]))
if what == "panel":
    # The newest card has the focus; Right gives it to the next one, and says so.
    first, second = expected[-2][1], expected[-1][1]
    announced = []

    def on_focus(event):
        announced.append(event.source.name if event.detail1 else "")
        if announced[-1] == second:
            pyatspi.Registry.stop()

    if first not in focused(title):
        sys.exit("the focus is on %r, not on %r" % (focused(title), first))
    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    GLib.timeout_add(200, lambda: subprocess.run(["xdotool", "key", "Right"], check=True) and False)
    GLib.timeout_add_seconds(10, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    if second not in announced or second not in focused(title):
        sys.exit("no focus on %r: announced %r, focused %r" % (second, announced, focused(title)))
print("%s (%s): named as expected" % (what, language))
