// The views, the tray menu and the screen reader's names in the language of
// the locale the test runs under (CTest runs it under en_US, zh_CN and
// de_DE; KELVO_EXPECTED_CATALOGUE names the catalogue each should read).
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

// What each language shows; the Chinese are the program's own texts.
struct Texts {
    const char *hint, *placeholder, *emptyTitle, *emptySubtitle;
    const char *badge, *age, *info;
    QStringList tray;
    // Accessible names: the tabs, the search field, the two header buttons;
    // the selected card's name and description.
    QStringList controls;
    const char *card, *cardDescription, *recentAge;
};

const Texts kEnglish{
    "Tab to switch · ←/→ to select · Enter to paste · Esc to close",
    "Search (Ctrl+F)", "No clipboard history yet", "Anything you copy will appear here",
    "Unknown app", "2 minutes ago", "5 characters",
    {"Show Clipboard History  Super+Shift+V", "Clear History", "Pause Recording", "Settings…", "Quit Kelvo"},
    {"History", "Pinned", "Search", "Clear History", "Settings"},
    "Text, Hello world, 2 minutes ago", "From Unknown app", ", Just now",
};
const Texts kChinese{
    "Tab 切换分类 · ←/→ 选择 · Enter 粘贴 · Esc 关闭",
    "Ctrl+F 搜索", "暂无剪贴板记录", "复制内容后将自动记录",
    "未知来源", "2 分钟前", "5 个字符",
    {"显示剪贴板历史  Super+Shift+V", "清空历史记录", "暂停记录", "设置...", "退出 Kelvo"},
    {"历史", "固定", "搜索", "清空历史记录", "设置"},
    "文本，Hello world，2 分钟前", "来自 未知来源", "，刚刚",
};

class LocaleViewsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "locale_views_test";
        static char *argv[] = {name, nullptr};
        static QApplication *app = new QApplication(argc, argv);
        Q_UNUSED(app);
        prepareQuickControlsStyle();
        static Translations translations;
        catalogue = translations.apply(QStringLiteral("system"));
    }

    const Texts &texts() const { return catalogue.startsWith("zh") ? kChinese : kEnglish; }

    // Two entries copied 130 s and 10 s ago from an application Kelvo
    // does not know, their texts made as capture makes them.
    void show()
    {
        const std::pair<const char *, double> copies[] = {{"Hello world", 130}, {"Second", 10}};
        for (const auto &[text, age] : copies) {
            ClipboardItem item = ClipboardItem::make(ClipboardContent::text(QString::fromUtf8(text)), std::nullopt,
                                                     std::nullopt, {}, 1000.0 - age);
            item.infoLabel = QStringLiteral("5 个字符"); // as stored, whatever the text
            rows.append(historyRowFor(item, 1000.0));
        }
        backend.all = rows;
        backend.setSearchKeys(QStringLiteral("Ctrl+F"));
        ASSERT_TRUE(showHistoryView(view, backend, 1280));
    }

    QQuickItem *item(const QString &name) { return findByName(view.rootObject(), name); }
    QString accessibleName(QQuickItem *item)
    {
        QAccessibleInterface *iface = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
        return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
    }

    static inline QString catalogue;
    QVector<HistoryRow> rows;
    FakeHistoryBackend backend;
    QQuickView view;
};

TEST_F(LocaleViewsTest, TheLocaleChoosesTheCatalogue)
{
    EXPECT_EQ(catalogue, qEnvironmentVariable("KELVO_EXPECTED_CATALOGUE"))
        << "LANG=" << qPrintable(qEnvironmentVariable("LANG"));
}

TEST_F(LocaleViewsTest, HeaderPlaceholderCardAndEmptyStateReadInTheLanguage)
{
    ASSERT_NO_FATAL_FAILURE(show());
    EXPECT_EQ(item("keyHint")->property("text").toString(), texts().hint);
    EXPECT_EQ(item("searchField")->property("placeholderText").toString(), texts().placeholder);
    QQuickItem *card = findCard(view.rootObject(), rows[0].id);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(findByName(card, "sourceName")->property("text").toString(), texts().badge);
    EXPECT_EQ(findByName(card, "ageText")->property("text").toString(), texts().age);
    EXPECT_EQ(card->property("infoLabel").toString(), texts().info);
    EXPECT_FALSE(item("keyHint")->property("truncated").toBool()) << "the hint does not fit at 1280 pixels";

    backend.clearHistory();
    EXPECT_TRUE(QQuickTest::qWaitForPolish(&view));
    EXPECT_EQ(item("emptyTitle")->property("text").toString(), texts().emptyTitle);
    EXPECT_EQ(item("emptySubtitle")->property("text").toString(), texts().emptySubtitle);
}

TEST_F(LocaleViewsTest, TheTrayMenuReadsInTheLanguage)
{
    TrayMenu tray({[] { return keyCombinationText(9, 768, KeyNameStyle::Generic); }, {}, {}, {}, {}, {}});
    QStringList titles;
    for (QAction *action : tray.menu().actions())
        if (!action->isSeparator())
            titles.append(action->text());
    EXPECT_EQ(titles, texts().tray);
}

// The controls are named for a screen reader in the language; the selected
// card says its kind, preview and age and has the focus, which follows the
// selection. (The announcement of the change reaches a screen reader through
// the platform's bridge: tests/e2e/accessibility.sh.)
TEST_F(LocaleViewsTest, ScreenReaderNamesAndTheFocusFollowingTheSelection)
{
    ASSERT_NO_FATAL_FAILURE(show());
    QStringList names;
    for (const char *name : {"tab_history", "tab_pinned", "searchField", "clearListButton", "settingsButton"})
        names.append(accessibleName(item(name)));
    EXPECT_EQ(names, texts().controls);

    QQuickItem *first = findCard(view.rootObject(), rows[0].id);
    QQuickItem *second = findCard(view.rootObject(), rows[1].id);
    ASSERT_TRUE(first && second);
    QAccessibleInterface *firstCard = QAccessible::queryAccessibleInterface(first);
    ASSERT_NE(firstCard, nullptr);
    EXPECT_EQ(firstCard->role(), QAccessible::ListItem);
    EXPECT_EQ(firstCard->text(QAccessible::Name), texts().card);
    EXPECT_EQ(firstCard->text(QAccessible::Description), texts().cardDescription);
    EXPECT_TRUE(firstCard->state().focused && firstCard->state().selected);

    backend.setSelectedIndex(1);
    EXPECT_TRUE(QQuickTest::qWaitForPolish(&view));
    EXPECT_FALSE(firstCard->state().focused);
    QAccessibleInterface *secondCard = QAccessible::queryAccessibleInterface(second);
    EXPECT_TRUE(secondCard->state().focused && secondCard->state().selected);
    EXPECT_TRUE(secondCard->text(QAccessible::Name).endsWith(texts().recentAge));
}

} // namespace
