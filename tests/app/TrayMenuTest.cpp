// The tray menu: its items, the shortcut text that follows the stored
// preference each time the menu opens, and the pause state.
#include "app/TrayMenu.h"

#include "platform/memory/MemoryPlatform.h"
#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

class TrayMenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "tray_menu_test";
        static char *argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }
    QAction *item(const QString &title)
    {
        for (QAction *action : tray.menu().actions())
            if (action->text() == title)
                return action;
        ADD_FAILURE() << "no item " << title.toStdString();
        return nullptr;
    }

    memory::MemoryPreferences store;
    StoredPreferences prefs{store};
    QStringList calls;
    TrayMenu tray{{[this] { return shortcutDisplayText(prefs.hotkeyCode(), prefs.hotkeyModifiers()); },
                   [this] { calls << "toggle"; }, [this] { calls << "clear"; }, [this] { calls << "settings"; },
                   [this] { calls << "quit"; }, [this](bool paused) { calls << (paused ? "pause" : "resume"); }}};
};

TEST_F(TrayMenuTest, EachItemRunsWhatItsTitleSaysAndTheShortcutFollowsThePreference)
{
    // The menu from top to bottom: each title and what it runs; nullptr: a separator.
    const std::pair<const char *, const char *> items[] = {
        {"显示剪贴板历史  ⇧ ⌘ V", "toggle"}, {nullptr, nullptr}, {"清空历史记录", "clear"}, {"暂停记录", "pause"},
        {nullptr, nullptr}, {"设置...", "settings"}, {nullptr, nullptr}, {"退出 Kelvo", "quit"}};
    const QList<QAction *> actions = tray.menu().actions();
    ASSERT_EQ(actions.size(), qsizetype(std::size(items)));
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const auto &[title, call] = items[i];
        EXPECT_EQ(actions[i]->isSeparator(), title == nullptr) << i;
        if (!title)
            continue;
        EXPECT_EQ(actions[i]->text(), QString::fromUtf8(title));
        actions[i]->trigger();
        EXPECT_EQ(calls.value(calls.size() - 1), call) << title;
    }
    EXPECT_EQ(item("退出 Kelvo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    // A new shortcut shows the next time the menu opens, without a restart.
    prefs.setHotkey(0, 4096);
    QMetaObject::invokeMethod(&tray.menu(), "aboutToShow");
    EXPECT_EQ(tray.menu().actions().first()->text(), "显示剪贴板历史  ⌃ A");
}

// The pause item is a check item that follows the stored state, and the tray
// icon looks different while paused.
TEST_F(TrayMenuTest, PauseStateShowsInTheCheckItemAndTheIcon)
{
    QAction *pause = item("暂停记录");
    ASSERT_TRUE(pause && pause->isCheckable());
    const QImage recording = tray.trayIcon().icon().pixmap(22, 22).toImage();
    for (bool paused : {true, false, true}) {
        tray.setCapturePaused(paused);
        EXPECT_EQ(pause->isChecked(), paused);
        EXPECT_EQ(tray.trayIcon().icon().pixmap(22, 22).toImage() == recording, !paused);
    }
    pause->trigger(); // checked -> unchecked: the user resumes
    EXPECT_EQ(calls, QStringList({"resume"}));
}

} // namespace
