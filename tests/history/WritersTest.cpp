#include "HistoryTestSupport.h"

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString S = PasteboardType::String;

class WritersTest : public ::testing::Test {
protected:
    HistoryRig rig;
    std::unique_ptr<ClipboardManager> manager = rig.make();

    ClipboardItem stored(const ClipboardContent &content, std::optional<QByteArray> html = std::nullopt)
    {
        manager->addCapturedItem(ClipboardItem::make(content, html, std::nullopt, QImage(), rig.time.now()));
        return manager->items().first();
    }
    void older() { manager->addCapturedItem(textEntry("something newer")); }
    QStringList log() const { return rig.pasteboard.writeLog; }
};

// What each kind puts on the clipboard, in one write (one change), with
// all its formats or as plain text.
TEST_F(WritersTest, EachKindWritesItsFormatsAtOnce)
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
            EXPECT_EQ(log(), QStringList({"write " + (plain ? c.plain : c.all).join(',')}));
            EXPECT_EQ(rig.pasteboard.changeCount(), before + 1) << "one write, one change";
            for (const QString &type : plain ? c.plain : c.all)
                EXPECT_EQ(rig.pasteboard.current->dataForType(type),
                          type == S ? c.content.string().toUtf8() : type == H ? *c.html : c.content.data());
        }
    }
}

// Empty payloads are left out; with none left the clipboard is only
// cleared, and the entry still moves first.
TEST_F(WritersTest, RawPayloadsBecomeOneItemEachInOrder)
{
    const ClipboardItem item = stored(ClipboardContent::raw({{{{"x-app/a", "1"}, {S, "one"}}}, {}, {{{"x-app/b", "2"}}}}));
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write x-app/a," + S + " | x-app/b"}));
    const auto written = rig.pasteboard.current->items();
    ASSERT_TRUE(written && written->size() == 2);
    EXPECT_EQ(written->at(0)->dataForType(S), QByteArray("one"));
    EXPECT_EQ(written->at(1)->types(), QStringList({"x-app/b"}));

    const ClipboardItem empty = stored(ClipboardContent::raw({{}, {}}));
    older();
    rig.pasteboard.writeLog.clear();
    manager->writeToPasteboard(empty);
    EXPECT_EQ(log(), QStringList({"write"}));
    EXPECT_EQ(manager->items().first().id, empty.id);
}

// The list may change between showing an entry and choosing it.
TEST_F(WritersTest, AnEntryNoLongerInTheListStillReachesTheClipboard)
{
    const ClipboardItem item = stored(ClipboardContent::text("removed meanwhile"));
    manager->removeItem(item.id);
    rig.pasteboard.writeLog.clear();
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write " + S}));
    EXPECT_TRUE(manager->items().isEmpty());
}

// ---- image export ----------------------------------------------------------

TEST_F(WritersTest, ExportProposesANameInWholeUnixSecondsAndWritesTheStoredBytes)
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

} // namespace
