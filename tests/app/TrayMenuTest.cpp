// The tray menu: its items, their titles and the shortcut text that follows
// the stored preference each time the menu opens.
#include "app/TrayMenu.h"

#include "platform/memory/MemoryPlatform.h"
#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"

#include <QApplication>
#include <QMetaObject>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

QStringList titles(QMenu &menu)
{
    QStringList out;
    for (QAction *action : menu.actions())
        out.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return out;
}

TEST(TrayMenuTest, ItemsFollowTheStoredShortcutAndCallTheirActions)
{
    int argc = 1;
    char name[] = "tray_menu_test";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);

    memory::MemoryPreferences store;
    StoredPreferences prefs(store);
    QStringList calls;
    TrayMenu tray({[&] { return shortcutDisplayText(prefs.hotkeyCode(), prefs.hotkeyModifiers()); },
                   [&] { calls << "toggle"; }, [&] { calls << "clear"; }, [&] { calls << "settings"; },
                   [&] { calls << "quit"; },
                   [&](bool paused) { calls << (paused ? "pause" : "resume"); }});

    const QString defaultTitle = QStringLiteral("显示剪贴板历史  ") + shortcutDisplayText(9, 768);
    EXPECT_EQ(titles(tray.menu()), QStringList({defaultTitle, "---", "清空历史记录", "暂停记录", "---", "设置...",
                                                "---", "退出 Kelvo"}));

    // A new shortcut shows the next time the menu opens, without a restart.
    prefs.setHotkey(0, 4096);
    QMetaObject::invokeMethod(&tray.menu(), "aboutToShow");
    EXPECT_EQ(tray.menu().actions().first()->text(),
              QStringLiteral("显示剪贴板历史  ") + shortcutDisplayText(0, 4096));
    EXPECT_NE(tray.menu().actions().first()->text(), defaultTitle);

    for (QAction *action : tray.menu().actions())
        if (!action->isSeparator())
            action->trigger();
    EXPECT_EQ(calls, QStringList({"toggle", "clear", "pause", "settings", "quit"}));
    EXPECT_EQ(tray.menu().actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

// The pause item is a check item that follows the stored state, and the tray
// icon looks different while paused.
TEST(TrayMenuTest, PauseStateShowsInTheCheckItemAndTheIcon)
{
    int argc = 1;
    char name[] = "tray_menu_test";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);

    QStringList calls;
    TrayMenu tray({{}, {}, {}, {}, {}, [&](bool paused) { calls << (paused ? "pause" : "resume"); }});
    QAction *pause = tray.menu().actions().at(3);
    ASSERT_EQ(pause->text(), QStringLiteral("暂停记录"));
    ASSERT_TRUE(pause->isCheckable());
    const QImage recording = tray.trayIcon().icon().pixmap(22, 22).toImage();

    for (bool paused : {true, false, true}) {
        tray.setCapturePaused(paused);
        EXPECT_EQ(pause->isChecked(), paused);
        const QImage shown = tray.trayIcon().icon().pixmap(22, 22).toImage();
        EXPECT_EQ(shown == recording, !paused);
    }
    pause->trigger(); // checked -> unchecked: the user resumes
    EXPECT_EQ(calls, QStringList({"resume"}));
}

} // namespace
