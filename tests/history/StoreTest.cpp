#include "HistoryTestSupport.h"

#include "history/TextSearch.h"

#include <QRandomGenerator>

using namespace kelvo;
using namespace kelvo::test;

namespace {

class StoreTest : public ::testing::Test {
protected:
    HistoryRig rig;
    std::unique_ptr<ClipboardManager> manager = rig.make();

    void add(const QString &text, bool pinned = false) { manager->addCapturedItem(textEntry(text, pinned)); }
    QStringList all() const { return texts(manager->items()); }
    void setLimit(int limit) { rig.preferences.values.insert(QStringLiteral("maxHistoryCount"), limit); }
};

// ---- duplicate rule ------------------------------------------------------

TEST_F(StoreTest, OnlyTheNewestEntryIsComparedForDuplicates)
{
    add("A");
    add("A");
    EXPECT_EQ(all(), QStringList({"A"}));
    add("B");
    add("A");
    EXPECT_EQ(all(), QStringList({"A", "B", "A"}));
}

TEST_F(StoreTest, StyledCopyOfTheNewestTextIsADuplicateAndLeavesItUnchanged)
{
    add("hello");
    const ClipboardItem first = manager->items().first();
    manager->addCapturedItem(entry(ClipboardContent::richText("hello", "{\\rtf1 hello}")));
    ASSERT_EQ(manager->items().size(), 1);
    EXPECT_EQ(manager->items().first().id, first.id);
    EXPECT_EQ(manager->items().first().content.kind(), ClipboardContent::Kind::Text);
    manager->addCapturedItem(entry(ClipboardContent::richText("other", "{\\rtf1 other}")));
    add("other");
    EXPECT_EQ(manager->items().size(), 2);
}

TEST_F(StoreTest, PinnedNewestEntryStillCountsAsDuplicate)
{
    add("secret plan", true);
    add("secret plan");
    EXPECT_EQ(manager->items().size(), 1);
    EXPECT_TRUE(manager->items().first().isPinned);
}

TEST_F(StoreTest, CanonicallyEquivalentTextsAreEqualButCaseMatters)
{
    add(QString::fromUtf8("caf\u00e9"));                      // precomposed
    add(QStringLiteral("cafe") + QChar(0x0301));            // decomposed
    EXPECT_EQ(manager->items().size(), 1);
    add(QString::fromUtf8("CAF\u00c9"));
    EXPECT_EQ(manager->items().size(), 2);
}

TEST_F(StoreTest, DuplicateRulePerKind)
{
    manager->addCapturedItem(entry(ClipboardContent::url("https://a.example")));
    add("https://a.example"); // url and text with the same characters differ
    EXPECT_EQ(manager->items().size(), 2);
    manager->addCapturedItem(entry(ClipboardContent::url("https://a.example")));
    manager->addCapturedItem(entry(ClipboardContent::url("https://a.example")));
    EXPECT_EQ(manager->items().size(), 3);

    const QByteArray png = pngBytes(4, 4);
    manager->addCapturedItem(entry(ClipboardContent::image(png)));
    manager->addCapturedItem(entry(ClipboardContent::image(QByteArray(png))));
    EXPECT_EQ(manager->items().size(), 4);
    manager->addCapturedItem(entry(ClipboardContent::image(pngBytes(4, 4, qRgb(0, 0, 255)))));
    EXPECT_EQ(manager->items().size(), 5);

    const QList<PasteboardItemPayload> raw{{{{"x-app/one", "1"}, {"public.utf8-plain-text", "t"}}}};
    manager->addCapturedItem(entry(ClipboardContent::raw(raw)));
    manager->addCapturedItem(entry(ClipboardContent::raw(raw)));
    EXPECT_EQ(manager->items().size(), 6);
    QList<PasteboardItemPayload> reordered{{{{"public.utf8-plain-text", "t"}, {"x-app/one", "1"}}}};
    manager->addCapturedItem(entry(ClipboardContent::raw(reordered)));
    EXPECT_EQ(manager->items().size(), 7);
}

TEST_F(StoreTest, DuplicateIsDroppedWithoutSaving)
{
    add("A");
    rig.time.advance(1000);
    const int writes = rig.files.writes;
    add("A");
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes);
}

// ---- history limit -------------------------------------------------------

TEST_F(StoreTest, LimitDropsOldestUnpinnedAndKeepsPinned)
{
    setLimit(3);
    // Build U1, P1, U2, U3, U4 newest first without the limit in the way.
    setLimit(100);
    add("U4");
    add("U3");
    add("U2");
    add("P1", true);
    add("U1");
    setLimit(3);
    manager->enforceHistoryLimit();
    EXPECT_EQ(all(), QStringList({"U1", "P1", "U2", "U3"}));
}

TEST_F(StoreTest, PinnedEntriesAreNotCountedByTheLimit)
{
    setLimit(100);
    for (int i = 0; i < 10; ++i)
        add(QStringLiteral("P%1").arg(i), true);
    setLimit(3);
    for (int i = 0; i < 20; ++i)
        add(QStringLiteral("U%1").arg(i));
    EXPECT_EQ(manager->items().size(), 13);
    EXPECT_EQ(manager->filteredItems(ClipboardTab::pinned).size(), 10);
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)), QStringList({"U19", "U18", "U17"}));
}

TEST_F(StoreTest, ZeroNegativeOrMissingLimitMeansFifty)
{
    for (std::optional<int> limit : {std::optional<int>(), std::optional<int>(0), std::optional<int>(-4)}) {
        rig.preferences.values.clear();
        if (limit)
            setLimit(*limit);
        manager->clearHistory();
        for (int i = 0; i < 60; ++i)
            add(QStringLiteral("T%1").arg(i));
        EXPECT_EQ(manager->items().size(), 50);
        EXPECT_EQ(manager->items().first().content.string(), "T59");
        EXPECT_EQ(manager->items().last().content.string(), "T10");
    }
}

TEST_F(StoreTest, LoweringTheLimitAppliesHalfASecondAfterTheLastChangeWithoutSaving)
{
    for (int i = 0; i < 8; ++i)
        add(QStringLiteral("T%1").arg(i));
    rig.time.advance(1000);
    const int writes = rig.files.writes;

    rig.preferences.setValue(QStringLiteral("maxHistoryCount"), 6);
    rig.time.advance(300);
    rig.preferences.setValue(QStringLiteral("maxHistoryCount"), 4);
    rig.time.advance(499);
    EXPECT_EQ(manager->items().size(), 8);
    rig.time.advance(1);
    EXPECT_EQ(manager->items().size(), 4);
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes);

    add("next");
    rig.time.advance(200);
    EXPECT_EQ(rig.readHistoryFile().size(), 4);
}

TEST_F(StoreTest, PreferenceChangeAfterTheManagerIsGoneDoesNothing)
{
    add("a");
    add("b");
    add("c");
    rig.time.advance(200);
    const int writes = rig.files.writes;
    const int idle = rig.time.pendingCount(); // the poll timer
    rig.preferences.setValue(QStringLiteral("maxHistoryCount"), 2);
    EXPECT_EQ(rig.time.pendingCount(), idle + 1) << "the limit is applied after a pause";
    manager.reset();
    EXPECT_EQ(rig.time.pendingCount(), 0) << "the release cancels the timer and the pending limit";
    rig.preferences.setValue(QStringLiteral("maxHistoryCount"), 1);
    EXPECT_EQ(rig.time.pendingCount(), 0) << "a released manager follows no preference";
    rig.time.advance(2000);
    EXPECT_EQ(rig.files.writes, writes);
    EXPECT_EQ(texts(rig.readHistoryFile()), QStringList({"c", "b", "a"})) << "the list was not shortened";
}

// ---- list operations -----------------------------------------------------

TEST_F(StoreTest, TogglePinFlipsInPlaceAndMovesBetweenTabs)
{
    add("C");
    add("B");
    add("A");
    const QUuid b = manager->items().at(1).id;
    manager->togglePin(b);
    EXPECT_EQ(all(), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(manager->items().at(1).isPinned);
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)), QStringList({"A", "C"}));
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::pinned)), QStringList({"B"}));
    manager->togglePin(b);
    EXPECT_FALSE(manager->items().at(1).isPinned);
    EXPECT_TRUE(manager->filteredItems(ClipboardTab::pinned).isEmpty());
}

TEST_F(StoreTest, UnknownIdsChangeNothingAndTogglePinDoesNotSave)
{
    add("A");
    rig.time.advance(1000);
    const int writes = rig.files.writes;
    int notifications = 0;
    QObject::connect(manager.get(), &ClipboardManager::itemsAboutToChange, [&] { ++notifications; });
    manager->togglePin(QUuid::createUuid());
    manager->moveToFront(QUuid::createUuid());
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes);
    EXPECT_EQ(notifications, 0);
    manager->removeItem(QUuid::createUuid()); // removes nothing, still saves
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes + 1);
    EXPECT_EQ(all(), QStringList({"A"}));
}

TEST_F(StoreTest, RemoveKeepsTheOrderOfTheOthers)
{
    add("C");
    add("B");
    add("A");
    manager->removeItem(manager->items().at(1).id);
    EXPECT_EQ(all(), QStringList({"A", "C"}));
}

TEST_F(StoreTest, ClearHistoryKeepsPinnedAndClearPinnedKeepsTheRest)
{
    add("U2");
    add("P2", true);
    add("U1");
    add("P1", true);
    manager->clearHistory();
    EXPECT_EQ(all(), QStringList({"P1", "P2"}));

    add("U3");
    manager->clearPinned();
    EXPECT_EQ(all(), QStringList({"U3"}));
}

TEST_F(StoreTest, MoveToFrontGivesAFreshTimestampAndKeepsEverythingElse)
{
    add("C");
    add("B", true);
    add("A");
    rig.time.advance(90000);
    const ClipboardItem b = manager->items().at(1);
    manager->moveToFront(b.id);
    EXPECT_EQ(all(), QStringList({"B", "A", "C"}));
    const ClipboardItem moved = manager->items().first();
    EXPECT_DOUBLE_EQ(moved.timestamp, rig.time.now());
    EXPECT_TRUE(moved.isPinned);
    EXPECT_EQ(moved.preview, b.preview);
    EXPECT_EQ(timeAgoText(moved, rig.time.now()), QStringLiteral("刚刚"));
    // The search key moved with the entry.
    manager->setSearchQuery("b");
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::pinned)), QStringList({"B"}));
}

TEST_F(StoreTest, ObserversAreToldBeforeEveryAssignment)
{
    add("A");
    QStringList seenBefore;
    int after = 0;
    QObject::connect(manager.get(), &ClipboardManager::itemsAboutToChange,
                     [&] { seenBefore.append(QString::number(manager->items().size())); });
    QObject::connect(manager.get(), &ClipboardManager::itemsChanged, [&] { ++after; });
    add("B");
    EXPECT_EQ(seenBefore.first(), "1"); // still the old list when told
    manager->enforceHistoryLimit();    // changes nothing, still announced
    EXPECT_EQ(after, seenBefore.size());
    EXPECT_GE(after, 3);

    int queryNotes = 0;
    QString queryWhenTold;
    QObject::connect(manager.get(), &ClipboardManager::searchQueryAboutToChange, [&] {
        ++queryNotes;
        queryWhenTold = manager->searchQuery();
    });
    manager->setSearchQuery("x");
    manager->setSearchQuery("x");
    EXPECT_EQ(queryNotes, 2);
    EXPECT_EQ(queryWhenTold, "x");
}

// ---- filtering and search -----------------------------------------------

TEST_F(StoreTest, SearchIsCaseInsensitiveOverTheEntryText)
{
    add("the quick brown fox");
    add("Lazy Dog");
    manager->addCapturedItem(entry(ClipboardContent::url("https://Example.org/Path")));
    manager->addCapturedItem(entry(ClipboardContent::richText("Styled QUICK words", "{\\rtf1 x}")));
    manager->setSearchQuery("QUICK");
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)),
              QStringList({"Styled QUICK words", "the quick brown fox"}));
    manager->setSearchQuery("example.org/p");
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 1);
    manager->setSearchQuery("");
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 4);
}

TEST_F(StoreTest, SearchUsesFullUnicodeLowerCasing)
{
    add(QString::fromUtf8("Stra\u00dfe \u00c4RGER \u0391\u0392\u0393"));
    manager->setSearchQuery(QString::fromUtf8("\u00e4rger"));
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 1);
    manager->setSearchQuery(QString::fromUtf8("\u03b1\u03b2\u03b3"));
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 1);
    manager->setSearchQuery(QString::fromUtf8("\u00c4rgers"));
    EXPECT_TRUE(manager->filteredItems(ClipboardTab::history).isEmpty());
}

TEST_F(StoreTest, GreekCapitalsFindAccentedWordsAndFinalSigma)
{
    add(QString::fromUtf8("\u03bf\u03b4\u03cc\u03c2 Caf\u00e9")); // "οδός Café"
    const struct {
        const char *query;
        bool found;
    } cases[] = {
        {"\u039f\u0394\u039f\u03a3", true},  // ΟΔΟΣ
        {"\u03bf\u03b4\u03bf\u03c3", true},  // οδοσ
        {"\u03bf\u03b4\u03cc\u03c2", true},  // οδός itself
        {"\u03bf\u03b4\u03bf\u03c3\u03b1", false},
        {"cafe", false}, // accents of other scripts still count
        {"CAF\u00c9", true},
    };
    for (const auto &c : cases) {
        manager->setSearchQuery(QString::fromUtf8(c.query));
        EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), c.found ? 1 : 0) << c.query;
    }
}

TEST_F(StoreTest, ImagesRawPreviewAndSourceNameAreNotSearched)
{
    manager->addCapturedItem(entry(ClipboardContent::image(pngBytes(10, 10))));
    manager->addCapturedItem(entry(ClipboardContent::raw({{{{"x-app/data", "abc"}}}})));
    ClipboardItem named = ClipboardItem::make(ClipboardContent::text("plain"), std::nullopt,
                                              QStringLiteral("Editor"), QImage(), 1);
    manager->addCapturedItem(named);
    for (const char *query : {"x", "abc", "应用", "edit", "图片", "个字符"}) {
        manager->setSearchQuery(QString::fromUtf8(query));
        EXPECT_TRUE(manager->filteredItems(ClipboardTab::history).isEmpty()) << query;
    }
    manager->setSearchQuery("");
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 3);
}

TEST_F(StoreTest, QueryIsNotTrimmedAndTabsStaySeparate)
{
    add("nospace");
    add("with space");
    add("pinned space", true);
    manager->setSearchQuery(" ");
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)), QStringList({"with space"}));
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::pinned)), QStringList({"pinned space"}));
    manager->setSearchQuery(" with");
    EXPECT_TRUE(manager->filteredItems(ClipboardTab::history).isEmpty());
}

TEST_F(StoreTest, SearchKeysFollowEveryListChange)
{
    // Keys are kept index for index with the entries; each operation that
    // reorders or drops entries must move the keys with them.
    add("delta");
    add("gamma", true);
    add("beta");
    add("alpha");
    manager->removeItem(manager->items().at(2).id); // gamma
    manager->moveToFront(manager->items().at(2).id); // delta
    manager->setSearchQuery("ta");
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)), QStringList({"delta", "beta"}));
    manager->clearHistory();
    add("zeta", true);
    manager->clearPinned();
    add("eta");
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)), QStringList({"eta"}));
}

// The block search must agree with a plain substring test wherever the
// needle sits relative to the sixteen-byte steps.
TEST(TextSearchTest, AgreesWithPlainSubstringSearch)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        const int n = random.bounded(0, 200);
        const int m = random.bounded(0, 6);
        QByteArray hay(n, 'a'), needle(m, 'a');
        for (char &c : hay)
            c = char('a' + random.bounded(3));
        for (char &c : needle)
            c = char('a' + random.bounded(3));
        ASSERT_EQ(containsBytes(hay, needle), hay.contains(needle)) << hay.constData() << " / " << needle.constData();
    }
}

TEST(TextSearchTest, FindsNeedlesAtTheVeryEndOfLongTexts)
{
    QByteArray hay(100000, 'x');
    EXPECT_FALSE(containsBytes(hay, "xyz"));
    hay[99999] = 'z';
    hay[99998] = 'y';
    EXPECT_TRUE(containsBytes(hay, "xyz"));
    EXPECT_TRUE(containsBytes(hay, "z"));
    EXPECT_FALSE(containsBytes("ab", "abc"));
    EXPECT_TRUE(containsBytes(searchKey(ClipboardContent::text("")), searchNeedle("")));
    EXPECT_TRUE(searchKey(ClipboardContent::image("x")).isNull());
}

} // namespace
