// The views, the tray menu and the names a screen reader reads, in the
// language of the locale the test runs under (CTest runs it under en_US,
// zh_CN and de_DE; KELVO_EXPECTED_CATALOGUE names the catalogue each reads).
#include "app/PanelViewBackend.h"
#include "app/TrayMenu.h"
#include "panel/QuickTestSupport.h"
#include "settings/ShortcutText.h"
#include "settings/Translations.h"

#include <QAccessible>
#include <QApplication>

using namespace kelvo;
using namespace kelvo::test;

namespace {

// In the view's order: key hint, placeholder, the first card's badge, age
// and info label, the empty state's title and subtitle, the tray's items;
// the accessible names of the tabs, search field and header buttons; the
// selected card's name and description.
const QStringList kEnglish{
    "Tab to switch · ←/→ to select · Enter to paste · Esc to close", "Search (Ctrl+F)", "Unknown app",
    "2 minutes ago", "5 characters", "No clipboard history yet", "Anything you copy will appear here",
    "Show Clipboard History  Super+Shift+V", "Clear History", "Pause Recording", "Settings…", "Quit Kelvo",
    "History", "Pinned", "Search", "Clear History", "Settings", "Text, Hello world, 2 minutes ago",
    "From Unknown app"};
const QStringList kChinese{
    "Tab 切换分类 · ←/→ 选择 · Enter 粘贴 · Esc 关闭", "Ctrl+F 搜索", "未知来源", "2 分钟前", "5 个字符",
    "暂无剪贴板记录", "复制内容后将自动记录", "显示剪贴板历史  Super+Shift+V", "清空历史记录", "暂停记录",
    "设置...", "退出 Kelvo", "历史", "固定", "搜索", "清空历史记录", "设置", "文本，Hello world，2 分钟前",
    "来自 未知来源"};

class LocaleViewsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "locale_views_test";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        prepareQuickControlsStyle();
        static Translations translations;
        catalogue = translations.apply(QStringLiteral("system"));
    }

    // Two entries copied 130 s and 10 s ago from an application Kelvo does
    // not know, with info labels as capture stores them.
    void show()
    {
        for (const auto &[text, age] : {std::pair{"Hello world", 130.0}, std::pair{"Second", 10.0}}) {
            ClipboardItem item = ClipboardItem::make(ClipboardContent::text(text), {}, {}, {}, 1000.0 - age);
            item.infoLabel = QStringLiteral("5 个字符");
            rows.append(historyRowFor(item, 1000.0));
        }
        backend.all = rows;
        ASSERT_TRUE(showHistoryView(view, backend, 1280));
    }
    QQuickItem *item(const QString &name) { return findByName(view.rootObject(), name); }
    QAccessibleInterface *accessible(QQuickItem *item) { return QAccessible::queryAccessibleInterface(item); }

    static inline QString catalogue;
    QVector<HistoryRow> rows;
    FakeHistoryBackend backend;
    QQuickView view;
};

TEST_F(LocaleViewsTest, TheLocaleChoosesTheLanguageOfTheViewsAndTheTrayMenu)
{
    ASSERT_EQ(catalogue, qEnvironmentVariable("KELVO_EXPECTED_CATALOGUE")) << qPrintable(qEnvironmentVariable("LANG"));
    ASSERT_NO_FATAL_FAILURE(show());
    QQuickItem *card = findCard(view.rootObject(), rows[0].id);
    ASSERT_NE(card, nullptr);
    QStringList shown{item("keyHint")->property("text").toString(),
                      item("searchField")->property("placeholderText").toString(),
                      findByName(card, "sourceName")->property("text").toString(),
                      findByName(card, "ageText")->property("text").toString(), card->property("infoLabel").toString()};
    EXPECT_FALSE(item("keyHint")->property("truncated").toBool()) << "the hint does not fit at 1280 pixels";
    backend.clearHistory();
    EXPECT_TRUE(QQuickTest::qWaitForPolish(&view));
    shown << item("emptyTitle")->property("text").toString() << item("emptySubtitle")->property("text").toString();
    TrayMenu tray({[] { return keyCombinationText(9, 768, KeyNameStyle::Generic); }, {}, {}, {}, {}, {}});
    for (QAction *action : tray.menu().actions())
        if (!action->isSeparator())
            shown << action->text();
    EXPECT_EQ(shown, (catalogue == "zh_CN" ? kChinese : kEnglish).mid(0, 12));
}

// The controls are named for a screen reader; the selected card says its
// kind, preview and age and holds the focus, which follows the selection.
// (That the focus is announced: tests/e2e/accessibility.sh.)
TEST_F(LocaleViewsTest, ScreenReaderNamesAndTheFocusFollowingTheSelection)
{
    ASSERT_NO_FATAL_FAILURE(show());
    QStringList names;
    for (const char *name : {"tab_history", "tab_pinned", "searchField", "clearListButton", "settingsButton"})
        names << accessible(item(name))->text(QAccessible::Name);
    QAccessibleInterface *first = accessible(findCard(view.rootObject(), rows[0].id));
    QAccessibleInterface *second = accessible(findCard(view.rootObject(), rows[1].id));
    ASSERT_TRUE(first && second);
    names << first->text(QAccessible::Name) << first->text(QAccessible::Description);
    EXPECT_EQ(names, (catalogue == "zh_CN" ? kChinese : kEnglish).mid(12));
    EXPECT_EQ(first->role(), QAccessible::ListItem);
    EXPECT_TRUE(first->state().focused && first->state().selected && !second->state().focused);
    backend.setSelectedIndex(1);
    EXPECT_TRUE(!first->state().focused && second->state().focused && second->state().selected);
}

} // namespace
