// Behaviour of HistoryView.qml and ClipboardCard.qml, rendered offscreen.
#include "panel/FakeHistoryBackend.h"
#include "panel/QmlViews.h"
#include "panel/QuickTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QQmlEngine>
#include <QQuickView>
#include <QSet>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {

class HistoryViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        quickApp();
        prepareQuickControlsStyle();
    }

    void SetUp() override {
        view = std::make_unique<QQuickView>();
        backend.model()->setThumbnailProvider(installViewProviders(*view->engine()));
    }

    void TearDown() override {
        view.reset();
    }

    // Shows the view with the given rows, 1000 x 324 unless told otherwise.
    void show(QVector<HistoryRow> rows, int width = 1000) {
        backend.all = std::move(rows);
        backend.publish();
        view->setInitialProperties({{"backend", QVariant::fromValue<QObject *>(&backend)}});
        view->setResizeMode(QQuickView::SizeRootObjectToView);
        view->resize(width, 324);
        view->setSource(historyViewUrl());
        QString errors;
        for (const QQmlError &e : view->errors()) errors += e.toString() + '\n';
        ASSERT_EQ(view->status(), QQuickView::Ready) << qPrintable(errors);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        settle();
    }

    // After a change: the strip and the cards are laid out again.
    void settle() { EXPECT_TRUE(waitForLayout(view.get())) << "the view was not laid out"; }

    bool menuOpen() { return root()->findChild<QObject *>("cardMenu")->property("opened").toBool(); }

    void closeMenu() {
        QTest::keyClick(view.get(), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !menuOpen(); })) << "Escape left the menu open";
        settle();
    }

    // The selection's behaviours (scale, border width and colours, shadow)
    // share one duration: when the width and the scale have reached the
    // values of the card's state, the colours have too.
    bool selectionAnimationDone(const QString &id, bool selected) {
        QQuickItem *card = findCard(root(), id);
        if (!card) return false;
        const qreal width = findByName(card, "cardShape")->property("strokeWidth").toReal();
        const qreal scale = findByName(card, "cardBody")->scale();
        return std::abs(width - (selected ? 1.6 : 1.0)) < 1e-9 && std::abs(scale - (selected ? 1.012 : 1.0)) < 1e-9;
    }

    QQuickItem *root() { return view->rootObject(); }
    QQuickItem *item(const QString &name) { return findByName(root(), name); }
    QString text(const QString &name) { return item(name)->property("text").toString(); }
    bool visible(const QString &name) { return item(name)->isVisible(); }

    static QVector<HistoryRow> rows(int n, const QString &kind = "text") {
        QVector<HistoryRow> out;
        for (int i = 0; i < n; ++i) out.append(makeRow(QString::number(i), kind));
        return out;
    }

    QPoint cardCentre(const QString &id) {
        QQuickItem *card = findCard(root(), id);
        EXPECT_NE(card, nullptr) << "card " << qPrintable(id) << " not built";
        if (!card) return {};
        return card->mapToScene(QPointF(card->width() / 2, card->height() / 2)).toPoint();
    }

    void clickCard(const QString &id, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(view.get(), button, {}, cardCentre(id));
        settle();
    }

    qreal stripX() { return item("cardStrip")->property("contentX").toReal(); }

    // Texts of the open context menu, separators as "-".
    QStringList menuTexts() {
        QObject *menu = root()->findChild<QObject *>("cardMenu");
        QStringList out;
        const int count = menu->property("count").toInt();
        for (int i = 0; i < count; ++i) {
            QQuickItem *entry = nullptr;
            QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, entry), Q_ARG(int, i));
            if (QString(entry->metaObject()->className()).contains("Separator"))
                out << "-";
            else
                out << entry->property("text").toString();
        }
        return out;
    }

    FakeHistoryBackend backend;
    std::unique_ptr<QQuickView> view;
};

// --- Empty states -----------------------------------------------------------

TEST_F(HistoryViewTest, EmptyStatesNameTheTabAndTheSearch) {
    ASSERT_NO_FATAL_FAILURE(show({}));
    EXPECT_TRUE(visible("emptyState"));
    EXPECT_FALSE(visible("cardStrip"));
    EXPECT_EQ(text("emptyTitle"), "暂无剪贴板记录");
    EXPECT_EQ(text("emptySubtitle"), "复制内容后将自动记录");

    backend.setActiveTab("pinned");
    settle();
    EXPECT_EQ(text("emptyTitle"), "暂无固定条目");
    EXPECT_EQ(text("emptySubtitle"), "在历史中右键条目后可固定到这里");

    backend.setSearchQuery("zzz");
    settle();
    EXPECT_EQ(text("emptyTitle"), "无匹配结果");
    EXPECT_EQ(text("emptySubtitle"), "在历史中右键条目后可固定到这里");
}

TEST_F(HistoryViewTest, SearchWithoutMatchesAndClearingItBringsCardsBack) {
    ASSERT_NO_FATAL_FAILURE(show(rows(3)));
    EXPECT_FALSE(visible("emptyState"));
    EXPECT_FALSE(visible("clearSearchButton"));

    backend.setSearchQuery("nothing like this");
    settle();
    EXPECT_TRUE(visible("emptyState"));
    EXPECT_EQ(text("emptyTitle"), "无匹配结果");
    EXPECT_EQ(text("emptySubtitle"), "复制内容后将自动记录");
    ASSERT_TRUE(visible("clearSearchButton"));

    QQuickItem *clear = item("clearSearchButton");
    QTest::mouseClick(view.get(), Qt::LeftButton, {},
                      clear->mapToScene(QPointF(clear->width() / 2, clear->height() / 2)).toPoint());
    settle();
    EXPECT_EQ(backend.searchQuery(), "");
    EXPECT_FALSE(visible("emptyState"));
    EXPECT_TRUE(visible("cardStrip"));
    EXPECT_EQ(backend.model()->count(), 3);
}

// The text field's own paste would ask Qt's clipboard, which waits on the
// GUI thread for the owner: Ctrl+V must go to the backend instead, and what
// the backend answers lands at the cursor, over the selection.
TEST_F(HistoryViewTest, PasteInTheSearchFieldGoesThroughTheBackend) {
    ASSERT_NO_FATAL_FAILURE(show(rows(3)));
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

TEST(SearchPasteText, LineBreaksAndTabsBecomeSingleSpaces) {
    EXPECT_EQ(textForSearchPaste("one\r\ntwo\n\nthree\tfour"), "one two three four");
    EXPECT_EQ(textForSearchPaste(QString("a") + QChar::LineSeparator + "b"), "a b");
    EXPECT_EQ(textForSearchPaste(""), "");
}

TEST(SearchPasteText, LongTextIsCutWithoutSplittingACharacter) {
    const QString huge(200000, u'x');
    EXPECT_EQ(textForSearchPaste(huge).size(), kMaxSearchPasteLength);

    // An emoji (two UTF-16 units) straddling the limit is dropped whole.
    QString straddling(kMaxSearchPasteLength - 1, u'y');
    straddling += QString::fromUtf8("\xF0\x9F\x98\x80") + "tail";
    const QString cut = textForSearchPaste(straddling);
    EXPECT_EQ(cut, QString(kMaxSearchPasteLength - 1, u'y'));
}

TEST_F(HistoryViewTest, TrashButtonClearsOnlyTheActiveTab) {
    auto all = rows(2);
    all.append(makeRow("p", "text", true));
    ASSERT_NO_FATAL_FAILURE(show(all));
    EXPECT_EQ(item("clearListButton")->property("helpText").toString(), "清空历史记录");
    QQuickItem *trash = item("clearListButton");
    const QPoint at = trash->mapToScene(QPointF(14, 14)).toPoint();
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, at);
    settle();
    EXPECT_EQ(backend.calls, QStringList{"clearHistory"});
    EXPECT_TRUE(visible("emptyState"));

    backend.setActiveTab("pinned");
    settle();
    EXPECT_EQ(item("clearListButton")->property("helpText").toString(), "清空固定条目");
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, at);
    settle();
    EXPECT_EQ(backend.calls, (QStringList{"clearHistory", "clearPinned"}));
    EXPECT_TRUE(backend.all.isEmpty());
}

// --- Context menu -------------------------------------------------------------

TEST_F(HistoryViewTest, ContextMenuItemsDependOnKindAndPin) {
    QVector<HistoryRow> all{makeRow("t", "text"), makeRow("u", "url"), makeRow("r", "raw"),
                            makeRow("rt", "richText"), makeRow("i", "image")};
    ASSERT_NO_FATAL_FAILURE(show(all));
    const QStringList plain{"固定", "-", "粘贴", "-", "删除"};
    for (const QString id : {"t", "u", "r"}) {
        clickCard(id, Qt::RightButton);
        EXPECT_EQ(menuTexts(), plain) << qPrintable(id);
        closeMenu();
    }
    clickCard("rt", Qt::RightButton);
    EXPECT_EQ(menuTexts(), (QStringList{"固定", "-", "粘贴", "粘贴为纯文本", "-", "删除"}));
    closeMenu();
    clickCard("i", Qt::RightButton);
    EXPECT_EQ(menuTexts(), (QStringList{"固定", "-", "粘贴", "图片另存为 PNG...", "-", "删除"}));
}

TEST_F(HistoryViewTest, ContextMenuOfPinnedEntryOffersUnpinAndActionsReachTheStore) {
    ASSERT_NO_FATAL_FAILURE(show({makeRow("p", "image", true)}));
    backend.setActiveTab("pinned");
    settle();
    clickCard("p", Qt::RightButton);
    ASSERT_EQ(menuTexts().value(0), "取消固定");

    QObject *menu = root()->findChild<QObject *>("cardMenu");
    auto trigger = [&](int index) {
        QQuickItem *entry = nullptr;
        QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, entry), Q_ARG(int, index));
        QMetaObject::invokeMethod(entry, "triggered");
        settle();
    };
    const int selectedBefore = backend.selectedIndex();
    trigger(0);
    trigger(2);
    trigger(3);
    EXPECT_EQ(backend.calls, (QStringList{"togglePin p", "paste p", "saveImageAsPNG p"}));
    EXPECT_EQ(backend.selectedIndex(), selectedBefore);
}

// --- Selection clamping -------------------------------------------------------

TEST_F(HistoryViewTest, DeletingTheLastSelectedCardSelectsTheNewLast) {
    ASSERT_NO_FATAL_FAILURE(show(rows(5)));
    backend.setSelectedIndex(4);
    backend.removeItem("4");
    settle();
    EXPECT_EQ(backend.selectedIndex(), 3);
}

TEST_F(HistoryViewTest, DeletingACardInFrontKeepsTheIndex) {
    ASSERT_NO_FATAL_FAILURE(show(rows(5)));
    backend.setSelectedIndex(2);
    backend.removeItem("0");
    settle();
    EXPECT_EQ(backend.selectedIndex(), 2);
    EXPECT_EQ(backend.model()->rows().at(2).id, "3");
}

TEST_F(HistoryViewTest, EmptyingTheListResetsToZeroAndTabSwitchSelectsFirst) {
    ASSERT_NO_FATAL_FAILURE(show(rows(4)));
    backend.setSelectedIndex(3);
    backend.clearHistory();
    settle();
    EXPECT_EQ(backend.selectedIndex(), 0);

    backend.all = rows(4);
    backend.publish();
    backend.setSelectedIndex(2);
    backend.setActiveTab("pinned"); // empty tab
    settle();
    EXPECT_EQ(backend.selectedIndex(), 0);
}

TEST_F(HistoryViewTest, ReplacingEntriesAtTheSameLengthKeepsTheIndex) {
    ASSERT_NO_FATAL_FAILURE(show(rows(3)));
    backend.setSelectedIndex(2);
    // A new copy at the front with the oldest dropped by the limit.
    backend.all.prepend(makeRow("new", "text"));
    backend.all.removeLast();
    backend.publish();
    settle();
    EXPECT_EQ(backend.selectedIndex(), 2);
}

// --- Clicks -------------------------------------------------------------------

TEST_F(HistoryViewTest, SecondClickWithin260MsPastes) {
    ASSERT_NO_FATAL_FAILURE(show(rows(3)));
    double t = 50.0;
    for (const double gap : {0.25, 0.2596, 0.259999}) {
        backend.calls.clear();
        t += 10;
        backend.now = t;
        clickCard("1");
        EXPECT_EQ(backend.selectedIndex(), 1);
        EXPECT_TRUE(backend.calls.isEmpty());
        backend.now = t + gap;
        clickCard("1");
        EXPECT_EQ(backend.calls, QStringList{"paste 1"}) << gap;
    }
}

TEST_F(HistoryViewTest, SecondClickAfter260MsOnlySelects) {
    ASSERT_NO_FATAL_FAILURE(show(rows(3)));
    backend.now = 50.0;
    clickCard("2");
    backend.now = 50.26;
    clickCard("2");
    backend.now = 51.0;
    clickCard("2");
    EXPECT_TRUE(backend.calls.isEmpty());
    EXPECT_EQ(backend.selectedIndex(), 2);
}

TEST_F(HistoryViewTest, ThreeQuickClicksGiveOneDoubleClick) {
    ASSERT_NO_FATAL_FAILURE(show(rows(2)));
    for (double t : {10.0, 10.1, 10.2}) {
        backend.now = t;
        clickCard("0");
    }
    EXPECT_EQ(backend.calls, QStringList{"paste 0"});
    backend.now = 10.3; // pairs with the third click
    clickCard("0");
    EXPECT_EQ(backend.calls, (QStringList{"paste 0", "paste 0"}));
}

TEST_F(HistoryViewTest, ClicksOnDifferentCardsAreNotADoubleClick) {
    ASSERT_NO_FATAL_FAILURE(show(rows(3)));
    backend.now = 5.0;
    clickCard("0");
    backend.now = 5.1;
    clickCard("1");
    EXPECT_TRUE(backend.calls.isEmpty());
    EXPECT_EQ(backend.selectedIndex(), 1);
}

// --- Scrolling ----------------------------------------------------------------

TEST_F(HistoryViewTest, ClickSelectsWithoutScrollingButArrowSelectionCentres) {
    ASSERT_NO_FATAL_FAILURE(show(rows(30), 900));
    const qreal start = stripX();
    // Card 4 is at the right edge (20 + 4 * 200 = 820 .. 1006): partly visible.
    clickCard("3");
    EXPECT_EQ(backend.selectedIndex(), 3);
    EXPECT_EQ(stripX(), start);

    backend.setSelectedIndex(10); // as the arrow keys do
    settle();
    QQuickItem *card = findCard(root(), "10");
    ASSERT_NE(card, nullptr);
    const qreal centre = card->mapToScene(QPointF(card->width() / 2, 0)).x();
    EXPECT_NEAR(centre, 450, 2);
}

TEST_F(HistoryViewTest, ClickOnTheSelectedCardKeepsSuppressingTheNextScroll) {
    ASSERT_NO_FATAL_FAILURE(show(rows(30), 900));
    backend.now = 1.0;
    clickCard("0"); // already selected: no change of the index
    const qreal start = stripX();
    backend.setSelectedIndex(12);
    settle();
    EXPECT_EQ(stripX(), start);
    backend.setSelectedIndex(13);
    settle();
    EXPECT_GT(stripX(), start);
}

TEST_F(HistoryViewTest, EachPresentationScrollsBackToTheFirstCard) {
    ASSERT_NO_FATAL_FAILURE(show(rows(30), 900));
    const qreal start = stripX();
    backend.setSelectedIndex(25);
    settle();
    ASSERT_GT(stripX(), start);
    backend.present();
    settle();
    EXPECT_EQ(stripX(), start);
}

// --- Cards --------------------------------------------------------------------

TEST_F(HistoryViewTest, CardShowsSourceFallbackPinMarksAndImageFallback) {
    auto anonymous = makeRow("a", "text", true);
    anonymous.sourceAppName = "";
    auto broken = makeRow("b", "image", true);
    broken.thumbnailPNG = "definitely not a png";
    auto noThumb = makeRow("c", "image", true);
    ASSERT_NO_FATAL_FAILURE(show({anonymous, broken, noThumb}));
    backend.setActiveTab("pinned");
    settle();
    // The broken thumbnail is decoded on the loader thread: wait for its answer.
    QQuickItem *brokenCard = findCard(root(), "b");
    ASSERT_NE(brokenCard, nullptr);
    QQuickItem *brokenThumb = findByName(brokenCard, "thumbnail");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const int status = brokenThumb->property("status").toInt(); // Image.Ready or Image.Error
        return status == 1 || status == 3;
    })) << "the loader never answered for the broken thumbnail";
    settle();

    QQuickItem *a = findCard(root(), "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(findByName(a, "sourceName")->property("text").toString(), "未知来源");
    EXPECT_TRUE(findByName(a, "badgeStar")->isVisible());
    EXPECT_TRUE(findByName(a, "footerPin")->isVisible());
    for (const QString id : {"b", "c"}) {
        QQuickItem *card = findCard(root(), id);
        ASSERT_NE(card, nullptr);
        EXPECT_TRUE(findByName(card, "imageFallback")->isVisible()) << qPrintable(id);
    }

    backend.setActiveTab("history");
    backend.all = {makeRow("u", "text")};
    backend.publish();
    settle();
    QQuickItem *u = findCard(root(), "u");
    ASSERT_NE(u, nullptr);
    EXPECT_FALSE(findByName(u, "badgeStar")->isVisible());
    EXPECT_FALSE(findByName(u, "footerPin")->isVisible());
}

TEST_F(HistoryViewTest, LongSourceNameIsCutInsideItsBadge) {
    const QString longName = "A Very Long Application Name From Somewhere Far Away Indeed";
    auto plain = makeRow("n", "text");
    auto pinned = makeRow("p", "text", true);
    plain.sourceAppName = pinned.sourceAppName = longName;
    ASSERT_NO_FATAL_FAILURE(show({plain, pinned}));
    auto box = [](QQuickItem *i) { return i->mapRectToScene(QRectF(0, 0, i->width(), i->height())); };
    for (const QString id : {"n", "p"}) {
        if (id == "p") {
            backend.setActiveTab("pinned");
            settle();
        }
        QQuickItem *card = findCard(root(), id);
        ASSERT_NE(card, nullptr);
        QQuickItem *name = findByName(card, "sourceName");
        const QRectF badge = box(findByName(card, "sourceBadge"));
        EXPECT_TRUE(name->property("truncated").toBool());
        EXPECT_EQ(name->property("lineCount").toInt(), 1);
        EXPECT_LE(box(name).right(), badge.right() - 7 + 0.5) << qPrintable(id);
        EXPECT_LE(box(findByName(card, "badgeStar")).right(), badge.right() - 7 + 0.5);
        EXPECT_LT(badge.right(), box(findByName(card, "ageText")).left()) << qPrintable(id);
    }
}

TEST_F(HistoryViewTest, DividerFollowsTheHeaderAndCardsSitBelowTheStripPadding) {
    ASSERT_NO_FATAL_FAILURE(show(rows(2)));
    QQuickItem *header = item("headerRow");
    QQuickItem *divider = item("divider");
    const qreal headerBottom = header->mapToScene(QPointF(0, header->height())).y();
    const qreal dividerTop = divider->mapToScene(QPointF(0, 0)).y();
    EXPECT_EQ(header->mapToScene(QPointF(0, 0)).y(), 10);
    EXPECT_EQ(dividerTop, headerBottom);
    QQuickItem *body = findByName(findCard(root(), "1"), "cardBody"); // not selected: not enlarged
    const qreal cardTop = body->mapToScene(QPointF(0, 0)).y();
    EXPECT_NEAR(cardTop, dividerTop + divider->height() + 16, 0.5);
}

// --- Rendering ------------------------------------------------------------------

TEST_F(HistoryViewTest, RenderedPanelIsNotBlankAndMarksTheSelectedCard) {
    QVector<HistoryRow> all{makeRow("t", "text"), makeRow("r", "richText"), makeRow("u", "url"),
                            makeRow("w", "raw"), makeRow("i", "image")};
    ASSERT_NO_FATAL_FAILURE(show(all, 1100));
    backend.setSelectedIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return selectionAnimationDone("r", true) && selectionAnimationDone("t", false); }))
        << "the selection animation did not end";
    settle();
    const QImage shot = view->grabWindow();
    ASSERT_FALSE(shot.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 200) << "the panel came out (nearly) blank";

    // The selected card's border is blue, an unselected one grey.
    auto borderPixel = [&](const QString &id) {
        QQuickItem *body = findByName(findCard(root(), id), "cardBody");
        const QPointF p = body->mapToScene(QPointF(body->width() / 2, body->height() - 1.1));
        return shot.pixelColor(p.toPoint());
    };
    const QColor selected = borderPixel("r");
    const QColor plain = borderPixel("t");
    EXPECT_GT(selected.blue() - selected.red(), 60) << qPrintable(selected.name());
    EXPECT_LT(std::abs(plain.blue() - plain.red()), 30) << qPrintable(plain.name());
}

TEST_F(HistoryViewTest, GradientsRunCornerToCornerAndTheThumbnailHasRoundCorners) {
    QImage red(300, 200, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    red.save(&buffer, "PNG");
    auto picture = makeRow("i", "image");
    picture.thumbnailPNG = png;
    ASSERT_NO_FATAL_FAILURE(show({makeRow("t", "text"), picture}));
    QQuickItem *thumb = findByName(findCard(root(), "i"), "thumbnail");
    ASSERT_TRUE(QTest::qWaitFor([&] { return thumb->property("status").toInt() == 1; })); // decoded
    QImage shot;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        shot = view->grabWindow();
        return shot.pixelColor(thumb->mapToScene(QPointF(20, 20)).toPoint()) == QColor(Qt::red);
    }));

    // Panel: gradient 1 from the top-leading to the bottom-trailing corner,
    // sampled where gradient 2 (top-leading to centre) has faded out.
    EXPECT_LT(shot.pixelColor(990, 5).red(), shot.pixelColor(560, 319).red());

    // Selected card: the border's two ends meet half-way along the sides.
    QQuickItem *body = findByName(findCard(root(), "t"), "cardBody");
    const QColor topRight = shot.pixelColor(body->mapToScene(QPointF(body->width() - 30, 0.8)).toPoint());
    const QColor bottomLeft = shot.pixelColor(body->mapToScene(QPointF(0.8, body->height() - 30)).toPoint());
    EXPECT_LT(std::abs(topRight.red() - bottomLeft.red()), 40)
        << qPrintable(topRight.name()) << " " << qPrintable(bottomLeft.name());

    // The picture's corner is cut, its inside is not.
    EXPECT_NE(shot.pixelColor(thumb->mapToScene(QPointF(0.5, 0.5)).toPoint()), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(thumb->mapToScene(QPointF(8, 8)).toPoint()), QColor(Qt::red));
}

} // namespace
