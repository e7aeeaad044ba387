#include "HistoryTestSupport.h"

#include "history/TextSearch.h"

#include <QRandomGenerator>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString S = PasteboardType::String;

class StoreTest : public ::testing::Test {
protected:
    HistoryRig rig;
    std::unique_ptr<ClipboardManager> manager = rig.make();

    void add(const QString &text, bool pinned = false) { manager->addCapturedItem(textEntry(text, pinned)); }
    QStringList all() const { return texts(manager->items()); }
    QStringList shown(ClipboardTab tab = ClipboardTab::history) const { return texts(manager->filteredItems(tab)); }
    void setLimit(int limit) { rig.preferences.values.insert(QStringLiteral("maxHistoryCount"), limit); }
    ClipboardItem stored(const ClipboardContent &content, std::optional<QByteArray> html = std::nullopt)
    {
        manager->addCapturedItem(ClipboardItem::make(content, html, std::nullopt, QImage(), rig.time.now()));
        return manager->items().first();
    }
    QStringList writeLog() const { return rig.pasteboard.writeLog; }
    QUuid idOf(const QString &text) const
    {
        for (const ClipboardItem &item : manager->items())
            if (item.content.string() == text)
                return item.id;
        ADD_FAILURE() << "no entry " << text.toStdString();
        return {};
    }
};

// ---- duplicate rule ------------------------------------------------------

TEST_F(StoreTest, OnlyAnEqualNewestEntryIsADuplicateAndADuplicateIsNotSaved)
{
    const QByteArray png = pngBytes(4, 4);
    const QList<PasteboardItemPayload> raw{{{{"x-app/one", "1"}, {"public.utf8-plain-text", "t"}}}};
    const QList<PasteboardItemPayload> reordered{{{{"public.utf8-plain-text", "t"}, {"x-app/one", "1"}}}};
    const struct {
        const char *what;
        ClipboardItem entry;
        bool added;
    } steps[] = {
        {"first, pinned", textEntry("A", true), true},
        {"equal to the pinned newest", textEntry("A"), false},
        {"styled copy of the newest text", entry(ClipboardContent::richText("A", "{\\rtf1 A}")), false},
        {"another", textEntry("B"), true},
        {"equal to an older one", textEntry("A"), true},
        {"precomposed", textEntry(QString::fromUtf8("caf\u00e9")), true},
        {"decomposed: canonically equal", textEntry(QStringLiteral("cafe") + QChar(0x0301)), false},
        {"other case", textEntry(QString::fromUtf8("CAF\u00c9")), true},
        {"styled", entry(ClipboardContent::richText("other", "{\\rtf1 other}")), true},
        {"plain text of the styled newest", textEntry("other"), false},
        {"url", entry(ClipboardContent::url("https://a.example")), true},
        {"text with the url's characters", textEntry("https://a.example"), true},
        {"url after that text", entry(ClipboardContent::url("https://a.example")), true},
        {"same url", entry(ClipboardContent::url("https://a.example")), false},
        {"image", entry(ClipboardContent::image(png)), true},
        {"copy of its bytes", entry(ClipboardContent::image(QByteArray(png))), false},
        {"other pixels", entry(ClipboardContent::image(pngBytes(4, 4, qRgb(0, 0, 255)))), true},
        {"raw", entry(ClipboardContent::raw(raw)), true},
        {"same raw", entry(ClipboardContent::raw(raw)), false},
        {"raw with the flavours reordered", entry(ClipboardContent::raw(reordered)), true},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        const auto size = manager->items().size();
        const int writes = rig.files.writes;
        manager->addCapturedItem(step.entry);
        rig.time.advance(1000);
        EXPECT_EQ(manager->items().size(), size + (step.added ? 1 : 0));
        EXPECT_EQ(rig.files.writes, writes + (step.added ? 1 : 0));
    }
    const ClipboardItem first = manager->items().last();
    EXPECT_TRUE(first.isPinned) << "a duplicate leaves the newest as it was";
    EXPECT_EQ(first.content.kind(), ClipboardContent::Kind::Text);
}

// ---- history limit -------------------------------------------------------

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

    // A change just before the release leaves nothing behind to run on the
    // released manager, and a released manager follows no preference.
    rig.preferences.setValue(QStringLiteral("maxHistoryCount"), 2);
    manager.reset();
    rig.preferences.setValue(QStringLiteral("maxHistoryCount"), 1);
    EXPECT_EQ(rig.time.pendingCount(), 0);
    rig.time.advance(2000);
    EXPECT_EQ(rig.readHistoryFile().size(), 4) << "the saved list was not shortened";
}

// ---- list operations -----------------------------------------------------

// Search keys are kept index for index with the entries, so each operation
// is also checked through a search.
TEST_F(StoreTest, ListOperationsKeepTheOrderOfTheOthersAndTheirSearchKeys)
{
    for (const char *text : {"delta", "gamma", "beta", "alpha"})
        add(text);
    manager->togglePin(idOf("beta"));
    EXPECT_EQ(all(), QStringList({"alpha", "beta", "gamma", "delta"})) << "pinning moves nothing";
    EXPECT_EQ(shown(), QStringList({"alpha", "gamma", "delta"}));
    EXPECT_EQ(shown(ClipboardTab::pinned), QStringList({"beta"}));
    manager->togglePin(idOf("gamma"));
    manager->togglePin(idOf("gamma"));
    EXPECT_EQ(shown(ClipboardTab::pinned), QStringList({"beta"})) << "a second toggle unpins";

    manager->removeItem(idOf("gamma"));
    EXPECT_EQ(all(), QStringList({"alpha", "beta", "delta"}));
    rig.time.advance(90000);
    const ClipboardItem beta = manager->items().at(1);
    manager->moveToFront(beta.id);
    EXPECT_EQ(all(), QStringList({"beta", "alpha", "delta"}));
    const ClipboardItem moved = manager->items().first();
    EXPECT_DOUBLE_EQ(moved.timestamp, rig.time.now());
    EXPECT_TRUE(moved.isPinned);
    EXPECT_EQ(moved.preview, beta.preview);
    manager->setSearchQuery("ta");
    EXPECT_EQ(shown(), QStringList({"delta"}));
    EXPECT_EQ(shown(ClipboardTab::pinned), QStringList({"beta"}));

    manager->clearHistory();
    EXPECT_EQ(all(), QStringList({"beta"})) << "clearing the history keeps the pinned";
    add("eta");
    add("zeta", true);
    manager->clearPinned();
    EXPECT_EQ(all(), QStringList({"eta"})) << "clearing the pinned keeps the rest";
    EXPECT_EQ(shown(), QStringList({"eta"}));
}

// The panel and the D-Bus service refresh on these signals alone, and read
// the list when told; an id that is not in the list changes nothing.
TEST_F(StoreTest, ChangesAreAnnouncedAndSavedAndUnknownIdsChangeNothing)
{
    add("A");
    rig.time.advance(1000);
    QStringList seen;
    int aboutToChange = 0;
    QObject::connect(manager.get(), &ClipboardManager::itemsAboutToChange, [&] { ++aboutToChange; });
    QObject::connect(manager.get(), &ClipboardManager::itemsChanged, [&] { seen << all().join(' '); });
    QObject::connect(manager.get(), &ClipboardManager::searchQueryChanged, [&] { seen << manager->searchQuery(); });
    const struct {
        const char *what;
        std::function<void()> change;
        const char *announced; // null: nothing is announced
        bool saved;
    } steps[] = {
        {"add", [&] { add("B"); }, "B A", true},
        {"pin", [&] { manager->togglePin(idOf("A")); }, "B A", true},
        {"remove", [&] { manager->removeItem(idOf("B")); }, "A", true},
        {"limit", [&] { manager->enforceHistoryLimit(); }, "A", false}, // changes nothing, still announced
        {"pin unknown", [&] { manager->togglePin(QUuid::createUuid()); }, nullptr, false},
        {"move unknown", [&] { manager->moveToFront(QUuid::createUuid()); }, nullptr, false},
        {"remove unknown", [&] { manager->removeItem(QUuid::createUuid()); }, "A", true}, // still saves
        {"query", [&] { manager->setSearchQuery("x"); }, "x", false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        const auto before = seen.size();
        const int writes = rig.files.writes, notices = aboutToChange;
        step.change();
        rig.time.advance(1000);
        EXPECT_EQ(rig.files.writes, writes + (step.saved ? 1 : 0));
        if (step.announced) {
            ASSERT_GT(seen.size(), before);
            EXPECT_EQ(seen.last(), step.announced);
        } else {
            EXPECT_EQ(seen.size(), before);
            EXPECT_EQ(aboutToChange, notices);
        }
    }
    EXPECT_EQ(all(), QStringList({"A"}));
}

// ---- writing back ----------------------------------------------------------

// What each kind puts on the clipboard, in one write (one change), with
// all its formats or as plain text.
TEST_F(StoreTest, EachKindWritesItsFormatsAtOnce)
{
    const QString H = PasteboardType::HTML, R = PasteboardType::RTF, P = PasteboardType::PNG;
    const QByteArray png = pngBytes(6, 3);
    const struct {
        ClipboardContent content;
        std::optional<QByteArray> html;
        QStringList all, plain;
    } cases[] = {
        {ClipboardContent::text("plain"), std::nullopt, {S}, {S}},
        {ClipboardContent::url("https://e.org"), std::nullopt, {S}, {S}},
        {ClipboardContent::richText("bold", QByteArray("{\\rtf1 bold}")), QByteArray("<b>bold</b>"), {H, R, S}, {S}},
        {ClipboardContent::richText("it", QByteArray("{\\rtf1 it}")), std::nullopt, {R, S}, {S}},
        {ClipboardContent::richText("em", QByteArray("{\\rtf1 em}")), QByteArray(""), {R, S}, {S}}, // empty markup
        {ClipboardContent::image(png), std::nullopt, {P}, {P}},
    };
    for (const auto &c : cases) {
        const ClipboardItem item = stored(c.content, c.html);
        for (bool plain : {false, true}) {
            rig.pasteboard.writeLog.clear();
            const qint64 before = rig.pasteboard.changeCount();
            plain ? manager->writePlainTextToPasteboard(item) : manager->writeToPasteboard(item);
            EXPECT_EQ(writeLog(), QStringList({"write " + (plain ? c.plain : c.all).join(',')}));
            EXPECT_EQ(rig.pasteboard.changeCount(), before + 1) << "one write, one change";
            for (const QString &type : plain ? c.plain : c.all)
                EXPECT_EQ(rig.pasteboard.current->dataForType(type),
                          type == S ? c.content.string().toUtf8() : type == H ? *c.html : c.content.data());
        }
    }
}

// Empty payloads are left out; with none left the clipboard is only
// cleared, and the entry still moves first. An entry no longer in the list
// still reaches the clipboard.
TEST_F(StoreTest, RawPayloadsBecomeOneItemEachInOrder)
{
    const ClipboardItem item = stored(ClipboardContent::raw({{{{"x-app/a", "1"}, {S, "one"}}}, {}, {{{"x-app/b", "2"}}}}));
    manager->removeItem(item.id); // the list may change between showing an entry and choosing it
    manager->writeToPasteboard(item);
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(writeLog(), QStringList({"write x-app/a," + S + " | x-app/b"}));
    const auto written = rig.pasteboard.current->items();
    ASSERT_TRUE(written && written->size() == 2);
    EXPECT_EQ(written->at(0)->dataForType(S), QByteArray("one"));
    EXPECT_EQ(written->at(1)->types(), QStringList({"x-app/b"}));

    const ClipboardItem empty = stored(ClipboardContent::raw({{}, {}}));
    add("something newer");
    rig.pasteboard.writeLog.clear();
    manager->writeToPasteboard(empty);
    EXPECT_EQ(writeLog(), QStringList({"write"}));
    EXPECT_EQ(manager->items().first().id, empty.id);
}

// ---- picture export ----------------------------------------------------------

TEST_F(StoreTest, ExportProposesANameInWholeUnixSecondsAndWritesTheStoredBytes)
{
    LogCapture captured;
    manager->saveImageAsPNG(stored(ClipboardContent::text("text")));
    manager->saveImageAsPNG(stored(ClipboardContent::raw({{{{"x-app/a", "1"}}}})));
    EXPECT_TRUE(rig.saveDialog.proposedNames.isEmpty()) << "no dialog for other kinds";
    const QByteArray png = pngBytes(300, 100);
    const ClipboardItem item = stored(ClipboardContent::image(png));
    rig.time.advance(1000);
    const int writes = rig.files.writes;
    rig.time.setWallClock(1700000000.9 - kUnixToReferenceOffset);
    rig.saveDialog.answer.reset();
    manager->saveImageAsPNG(item);
    EXPECT_EQ(rig.saveDialog.proposedNames, QStringList({"kelvo-1700000000.png"}));
    EXPECT_EQ(rig.files.writes, writes) << "cancelled: nothing written";

    const QString target = rig.dir.path() + "/export.png";
    rig.saveDialog.answer = target;
    manager->saveImageAsPNG(item);
    EXPECT_EQ(rig.files.read(target, nullptr), png);
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes + 1) << "the export alone, no history save";
    EXPECT_TRUE(captured.lines.isEmpty());

    rig.saveDialog.answer = rig.dir.path() + "/missing-dir/export.png";
    manager->saveImageAsPNG(item);
    ASSERT_EQ(captured.lines.size(), 1);
    EXPECT_TRUE(captured.lines.first().startsWith(QStringLiteral("保存图片失败: ")));
    EXPECT_GT(captured.lines.first().size(), QStringLiteral("保存图片失败: ").size());
}

// ---- search --------------------------------------------------------------

TEST_F(StoreTest, SearchFoldsCaseAndGreekButNotAccentsAndSeesOnlyTheText)
{
    manager->addCapturedItem(entry(ClipboardContent::image(pngBytes(10, 10))));
    manager->addCapturedItem(entry(ClipboardContent::raw({{{{"x-app/data", "abc"}}}})));
    manager->addCapturedItem(
        ClipboardItem::make(ClipboardContent::text("plain"), std::nullopt, QStringLiteral("Editor"), QImage(), 1));
    add("the quick brown fox");
    manager->addCapturedItem(entry(ClipboardContent::url("https://Example.org/Path")));
    manager->addCapturedItem(entry(ClipboardContent::richText("Styled QUICK words", "{\\rtf1 x}")));
    add(QString::fromUtf8("Stra\u00dfe \u00c4RGER \u0391\u0392\u0393"));
    add(QString::fromUtf8("\u03bf\u03b4\u03cc\u03c2 Caf\u00e9")); // "οδός Café"
    add("pinned space", true);
    const QString street = QString::fromUtf8("Stra\u00dfe \u00c4RGER \u0391\u0392\u0393");
    const QString road = QString::fromUtf8("\u03bf\u03b4\u03cc\u03c2 Caf\u00e9");
    const struct {
        const char *query;
        QStringList found;
    } cases[] = {
        {"QUICK", {"Styled QUICK words", "the quick brown fox"}},
        {"example.org/p", {"https://Example.org/Path"}},
        {"\u00e4rger", {street}},
        {"\u03b1\u03b2\u03b3", {street}},
        {"\u00c4rgers", {}},
        {"\u039f\u0394\u039f\u03a3", {road}}, // ΟΔΟΣ finds the accented word and its final sigma
        {"\u03bf\u03b4\u03bf\u03c3", {road}},
        {"\u03bf\u03b4\u03cc\u03c2", {road}},
        {"\u03bf\u03b4\u03bf\u03c3\u03b1", {}},
        {"cafe", {}}, // accents of other scripts still count
        {"CAF\u00c9", {road}},
        {" quick", {"Styled QUICK words", "the quick brown fox"}}, // not trimmed
        {" brown ", {"the quick brown fox"}},
        // nothing but the text: not the raw data, the picture's bytes (its
        // header chunk), the source, or the labels
        {"x-app", {}}, {"abc", {}}, {"ihdr", {}}, {"edit", {}}, {"\u56fe\u7247", {}}, {"\u4e2a\u5b57\u7b26", {}},
    };
    for (const auto &c : cases) {
        manager->setSearchQuery(QString::fromUtf8(c.query));
        EXPECT_EQ(shown(), c.found) << c.query;
    }
    manager->setSearchQuery(" space");
    EXPECT_EQ(shown(), QStringList()) << "the tabs stay apart";
    EXPECT_EQ(shown(ClipboardTab::pinned), QStringList({"pinned space"}));
    manager->setSearchQuery("");
    EXPECT_EQ(shown().size(), 8);
}

// The block search must agree with a plain substring test wherever the
// needle sits relative to the sixteen-byte steps and the text's end.
TEST(TextSearchTest, AgreesWithPlainSubstringSearch)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        QByteArray hay(random.bounded(0, 200), 'a'), needle(random.bounded(0, 6), 'a');
        for (QByteArray *bytes : {&hay, &needle})
            for (char &c : *bytes)
                c = char('a' + random.bounded(3));
        ASSERT_EQ(containsBytes(hay, needle), hay.contains(needle)) << hay.constData() << " / " << needle.constData();
    }
}

} // namespace
