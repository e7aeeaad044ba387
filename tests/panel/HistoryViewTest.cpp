// Behaviour of HistoryView.qml and ClipboardCard.qml, rendered offscreen.
#include "panel/QuickTestSupport.h"

using namespace kelvo;
using namespace kelvo::test;

namespace {

class HistoryViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { quickApp(); }

    // Shows the view with the given rows, 1000 x 324 unless told otherwise.
    void show(QVector<HistoryRow> rows, int width = 1000) {
        backend.all = std::move(rows);
        ASSERT_TRUE(showHistoryView(*view, backend, width));
    }

    // After a change: the strip and the cards are laid out again (nothing left
    // to polish in the window, within the default deadline).
    void settle() { EXPECT_TRUE(QQuickTest::qWaitForPolish(view.get())) << "the view was not laid out"; }

    bool menuOpen() { return root()->findChild<QObject *>("cardMenu")->property("opened").toBool(); }

    void closeMenu() {
        QTest::keyClick(view.get(), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !menuOpen(); })) << "Escape left the menu open";
        settle();
    }

    QQuickItem *root() { return view->rootObject(); }
    // A named part of an entry's card; when either is missing, a failure and
    // an empty item in its place.
    QQuickItem *part(const QString &id, const QString &name) {
        static QQuickItem missing;
        QQuickItem *card = findCard(root(), id);
        QQuickItem *found = card ? findByName(card, name) : nullptr;
        EXPECT_NE(found, nullptr) << "card " << qPrintable(id) << " has no " << qPrintable(name);
        return found ? found : &missing;
    }
    QQuickItem *item(const QString &name) { return findByName(root(), name); }
    QString text(const QString &name) { return item(name)->property("text").toString(); }
    bool visible(const QString &name) { return item(name)->isVisible(); }

    void clickAt(QQuickItem *target, Qt::MouseButton button = Qt::LeftButton) {
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(view.get(), button, {}, centreOf(target));
        settle();
    }
    void clickCard(const QString &id, Qt::MouseButton button = Qt::LeftButton) {
        clickAt(findCard(root(), id), button);
    }

    qreal stripX() { return item("cardStrip")->property("contentX").toReal(); }

    QQuickItem *menuEntry(int index) {
        QQuickItem *entry = nullptr;
        QMetaObject::invokeMethod(root()->findChild<QObject *>("cardMenu"), "itemAt",
                                  Q_RETURN_ARG(QQuickItem *, entry), Q_ARG(int, index));
        return entry;
    }

    // Texts of the open context menu, separators as "-".
    QStringList menuTexts() {
        QStringList out;
        const int count = root()->findChild<QObject *>("cardMenu")->property("count").toInt();
        for (int i = 0; i < count; ++i) {
            QQuickItem *entry = menuEntry(i);
            out << (QString(entry->metaObject()->className()).contains("Separator") ? QString("-")
                                                                                    : entry->property("text").toString());
        }
        return out;
    }

    FakeHistoryBackend backend;
    std::unique_ptr<QQuickView> view = std::make_unique<QQuickView>();
};

// --- Empty states and the header's buttons ----------------------------------

TEST_F(HistoryViewTest, EmptyStatesNameTheTabAndTheSearchAndClearingTheSearchBringsCardsBack) {
    ASSERT_NO_FATAL_FAILURE(show(makeRows(3)));
    EXPECT_FALSE(visible("emptyState"));
    EXPECT_FALSE(visible("clearSearchButton"));
    const struct {
        std::function<void()> change;
        const char *title, *subtitle;
    } states[] = {
        {[&] { backend.setSearchQuery("nothing like this"); }, "无匹配结果", "复制内容后将自动记录"},
        {[&] { clickAt(item("clearSearchButton")); }, nullptr, nullptr},
        {[&] { backend.clearHistory(); }, "暂无剪贴板记录", "复制内容后将自动记录"},
        {[&] { backend.setActiveTab("pinned"); }, "暂无固定条目", "在历史中右键条目后可固定到这里"},
        {[&] { backend.setSearchQuery("zzz"); }, "无匹配结果", "在历史中右键条目后可固定到这里"},
    };
    for (const auto &state : states) {
        state.change();
        settle();
        SCOPED_TRACE(state.title ? state.title : "cards");
        EXPECT_EQ(visible("emptyState"), state.title != nullptr);
        EXPECT_EQ(visible("cardStrip"), state.title == nullptr);
        EXPECT_EQ(visible("clearSearchButton"), !backend.searchQuery().isEmpty());
        if (state.title) {
            EXPECT_EQ(text("emptyTitle"), state.title);
            EXPECT_EQ(text("emptySubtitle"), state.subtitle);
        }
    }
}

TEST_F(HistoryViewTest, TrashButtonClearsOnlyTheActiveTab) {
    auto all = makeRows(2);
    all.append(makeRow("p", "text", true));
    ASSERT_NO_FATAL_FAILURE(show(all));
    EXPECT_EQ(item("clearListButton")->property("helpText").toString(), "清空历史记录");
    clickAt(item("clearListButton"));
    EXPECT_EQ(backend.calls, QStringList{"clearHistory"});

    backend.setActiveTab("pinned");
    settle();
    EXPECT_EQ(item("clearListButton")->property("helpText").toString(), "清空固定条目");
    clickAt(item("clearListButton"));
    EXPECT_EQ(backend.calls, (QStringList{"clearHistory", "clearPinned"}));
    EXPECT_TRUE(backend.all.isEmpty());
}

// The text field's own paste would ask Qt's clipboard, which waits on the
// GUI thread for the owner: Ctrl+V must go to the backend instead, and what
// the backend answers lands at the cursor, over the selection.
TEST_F(HistoryViewTest, PasteInTheSearchFieldGoesThroughTheBackend) {
    ASSERT_NO_FATAL_FAILURE(show(makeRows(3)));
    QQuickItem *field = item("searchField");
    field->forceActiveFocus();
    QTest::keyClick(view.get(), Qt::Key_A);
    QTest::keyClick(view.get(), Qt::Key_B);
    settle();
    ASSERT_EQ(backend.searchQuery(), "ab");
    QTest::keyClick(view.get(), Qt::Key_Left);

    QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
    settle();
    EXPECT_EQ(backend.calls.count("requestSearchPaste"), 1);
    EXPECT_EQ(backend.searchQuery(), "ab") << "nothing is pasted before the backend answers";

    emit backend.searchPasteReady("XY");
    settle();
    EXPECT_EQ(backend.searchQuery(), "aXYb");

    QMetaObject::invokeMethod(field, "selectAll");
    emit backend.searchPasteReady("new");
    settle();
    EXPECT_EQ(backend.searchQuery(), "new");
    EXPECT_EQ(field->property("text").toString(), "new");
}

TEST(SearchPasteText, OneLineWithoutTabsCutWithoutSplittingACharacter) {
    EXPECT_EQ(textForSearchPaste("one\r\ntwo\n\nthree\tfour"), "one two three four");
    EXPECT_EQ(textForSearchPaste(QString("a") + QChar::LineSeparator + "b"), "a b");
    EXPECT_EQ(textForSearchPaste(""), "");
    EXPECT_EQ(textForSearchPaste(QString(200000, u'x')).size(), kMaxSearchPasteLength);
    // An emoji (two UTF-16 units) straddling the limit is dropped whole.
    const QString head(kMaxSearchPasteLength - 1, u'y');
    EXPECT_EQ(textForSearchPaste(head + QString::fromUtf8("\xF0\x9F\x98\x80") + "tail"), head);
}

// --- Context menu -------------------------------------------------------------

TEST_F(HistoryViewTest, ContextMenuItemsDependOnKindAndPinAndReachTheStore) {
    ASSERT_NO_FATAL_FAILURE(show({makeRow("t", "text"), makeRow("u", "url"), makeRow("r", "raw"),
                                  makeRow("rt", "richText"), makeRow("i", "image"), makeRow("p", "image", true)}));
    const QStringList plain{"固定", "-", "粘贴", "-", "删除"};
    const std::pair<const char *, QStringList> menus[] = {
        {"t", plain}, {"u", plain}, {"r", plain},
        {"rt", {"固定", "-", "粘贴", "粘贴为纯文本", "-", "删除"}},
        {"i", {"固定", "-", "粘贴", "图片另存为 PNG...", "-", "删除"}},
    };
    for (const auto &[id, texts] : menus) {
        clickCard(id, Qt::RightButton);
        EXPECT_EQ(menuTexts(), texts) << id;
        closeMenu();
    }

    backend.setActiveTab("pinned");
    settle();
    clickCard("p", Qt::RightButton);
    ASSERT_EQ(menuTexts().value(0), "取消固定");
    const int selectedBefore = backend.selectedIndex();
    for (int index : {0, 2, 3}) {
        QMetaObject::invokeMethod(menuEntry(index), "triggered");
        settle();
    }
    EXPECT_EQ(backend.calls, (QStringList{"togglePin p", "paste p", "saveImageAsPNG p"}));
    EXPECT_EQ(backend.selectedIndex(), selectedBefore);
}

// --- Selection and clicks -----------------------------------------------------

TEST_F(HistoryViewTest, SelectionFollowsTheListWhenItChanges) {
    ASSERT_NO_FATAL_FAILURE(show(makeRows(5)));
    const struct {
        const char *what;
        int selected;
        std::function<void()> change;
        int expected;
        QString card; // the selected card's id, none for an empty list
    } steps[] = {
        {"the last selected card deleted", 4, [&] { backend.removeItem("4"); }, 3, "3"},
        {"a card in front deleted", 2, [&] { backend.removeItem("0"); }, 2, "3"},
        {"a new copy in front, the oldest dropped by the limit", 2, [&] {
             backend.all.prepend(makeRow("new", "text"));
             backend.all.removeLast();
             backend.publish();
         }, 2, "2"},
        {"the list emptied", 2, [&] { backend.clearHistory(); }, 0, {}},
        {"switched to an empty tab", 2, [&] {
             backend.all = makeRows(4);
             backend.publish();
             backend.setSelectedIndex(2);
             backend.setActiveTab("pinned");
         }, 0, {}},
    };
    for (const auto &step : steps) {
        backend.setSelectedIndex(step.selected);
        step.change();
        settle();
        EXPECT_EQ(backend.selectedIndex(), step.expected) << step.what;
        EXPECT_EQ(backend.model()->rows().value(step.expected).id, step.card) << step.what;
    }
}

TEST_F(HistoryViewTest, OnlyASecondClickOnTheSameCardWithin260MsPastes) {
    ASSERT_NO_FATAL_FAILURE(show(makeRows(3)));
    const struct {
        QList<std::pair<QString, double>> clicks; // card, seconds after the row's start
        QStringList calls;
        int selected;
    } cases[] = {
        {{{"1", 0}, {"1", 0.2596}}, {"paste 1"}, 1},
        {{{"1", 0}, {"1", 0.259999}}, {"paste 1"}, 1},
        {{{"2", 0}, {"2", 0.26}, {"2", 1.0}}, {}, 2},
        {{{"0", 0}, {"0", 0.1}, {"0", 0.2}, {"0", 0.3}}, {"paste 0", "paste 0"}, 0}, // the third starts anew
        {{{"0", 0}, {"1", 0.1}}, {}, 1},
    };
    double start = 50;
    for (const auto &c : cases) {
        start += 100;
        backend.calls.clear();
        for (const auto &[id, at] : c.clicks) {
            backend.now = start + at;
            clickCard(id);
        }
        EXPECT_EQ(backend.calls, c.calls) << c.clicks.last().second;
        EXPECT_EQ(backend.selectedIndex(), c.selected);
    }
}

TEST_F(HistoryViewTest, ClicksDoNotScrollArrowSelectionCentresAndEachPresentationStartsAtTheFront) {
    ASSERT_NO_FATAL_FAILURE(show(makeRows(30), 900));
    const qreal start = stripX();
    // A click on the selected card changes no index: the next change still
    // does not scroll, the one after does.
    backend.now = 1.0;
    clickCard("0");
    backend.setSelectedIndex(12);
    settle();
    EXPECT_EQ(stripX(), start);
    backend.setSelectedIndex(25);
    settle();
    EXPECT_GT(stripX(), start);
    backend.present();
    settle();
    EXPECT_EQ(stripX(), start);

    // Card 4 is at the right edge (20 + 4 * 200 = 820 .. 1006): partly visible.
    clickCard("3");
    EXPECT_EQ(backend.selectedIndex(), 3);
    EXPECT_EQ(stripX(), start);
    backend.setSelectedIndex(10); // as the arrow keys do
    settle();
    QQuickItem *card = findCard(root(), "10");
    ASSERT_NE(card, nullptr);
    EXPECT_NEAR(card->mapToScene(QPointF(card->width() / 2, 0)).x(), 450, 2);
}

// --- Cards --------------------------------------------------------------------

TEST_F(HistoryViewTest, CardShowsItsSourceCutInsideTheBadgePinMarksAndImageFallbacks) {
    const QString longName = "A Very Long Application Name From Somewhere Far Away Indeed";
    auto plain = makeRow("n", "text");
    auto pinned = makeRow("p", "text", true);
    plain.sourceAppName = pinned.sourceAppName = longName;
    auto anonymous = makeRow("a", "text", true);
    anonymous.sourceAppName = "";
    auto broken = makeRow("b", "image", true);
    broken.thumbnailPNG = "definitely not a png";
    ASSERT_NO_FATAL_FAILURE(show({plain, pinned, anonymous, broken, makeRow("c", "image", true)}));
    auto box = [](QQuickItem *i) { return i->mapRectToScene(QRectF(0, 0, i->width(), i->height())); };
    const auto expectNameCutInsideTheBadge = [&](const QString &id) {
        SCOPED_TRACE(qPrintable(id));
        QQuickItem *name = part(id, "sourceName");
        const QRectF badge = box(part(id, "sourceBadge"));
        EXPECT_TRUE(name->property("truncated").toBool());
        EXPECT_EQ(name->property("lineCount").toInt(), 1);
        EXPECT_LE(box(name).right(), badge.right() - 7 + 0.5);
        EXPECT_LE(box(part(id, "badgeStar")).right(), badge.right() - 7 + 0.5);
        EXPECT_LT(badge.right(), box(part(id, "ageText")).left());
    };
    expectNameCutInsideTheBadge("n");
    EXPECT_FALSE(part("n", "badgeStar")->isVisible());
    EXPECT_FALSE(part("n", "footerPin")->isVisible());

    backend.setActiveTab("pinned");
    settle();
    expectNameCutInsideTheBadge("p");
    // The broken thumbnail is decoded on the loader thread: wait for its answer.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const int status = part("b", "thumbnail")->property("status").toInt(); // Image.Ready or Image.Error
        return status == 1 || status == 3;
    })) << "the loader never answered for the broken thumbnail";
    settle();
    EXPECT_EQ(part("a", "sourceName")->property("text").toString(), "未知来源");
    EXPECT_TRUE(part("a", "badgeStar")->isVisible());
    EXPECT_TRUE(part("a", "footerPin")->isVisible());
    EXPECT_TRUE(part("b", "imageFallback")->isVisible());
    EXPECT_TRUE(part("c", "imageFallback")->isVisible());
}

// --- Rendering ------------------------------------------------------------------

TEST_F(HistoryViewTest, RenderedSelectionIsABlueBorderAndThumbnailsHaveRoundCorners) {
    auto picture = makeRow("i", "image");
    picture.thumbnailPNG = solidPng(300, 200, Qt::red);
    ASSERT_NO_FATAL_FAILURE(show({makeRow("r", "richText"), picture}));
    QQuickItem *thumb = part("i", "thumbnail");
    // A card's border half-way along its bottom edge.
    const auto border = [&](const QImage &shot, const QString &id) {
        QQuickItem *body = part(id, "cardBody");
        return shot.pixelColor(body->mapToScene(QPointF(body->width() / 2, body->height() - 1.1)).toPoint());
    };
    QImage shot;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        shot = view->grabWindow();
        const QColor selected = border(shot, "r");
        return selected.blue() - selected.red() > 60 &&
               shot.pixelColor(thumb->mapToScene(QPointF(20, 20)).toPoint()) == QColor(Qt::red);
    })) << "the selected card's border never turned blue or the thumbnail was not drawn";
    const QColor plain = border(shot, "i");
    EXPECT_LT(std::abs(plain.blue() - plain.red()), 30) << "an unselected border is grey: " << qPrintable(plain.name());

    // The picture's corner is cut, its inside is not.
    EXPECT_NE(shot.pixelColor(thumb->mapToScene(QPointF(0.5, 0.5)).toPoint()), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(thumb->mapToScene(QPointF(8, 8)).toPoint()), QColor(Qt::red));
}

} // namespace
