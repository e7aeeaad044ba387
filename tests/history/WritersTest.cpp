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

TEST_F(WritersTest, TextAndUrlWriteOnlyTheString)
{
    for (const ClipboardContent &content : {ClipboardContent::text("plain"), ClipboardContent::url("https://e.org")}) {
        const ClipboardItem item = stored(content);
        for (bool plain : {false, true}) {
            rig.pasteboard.writeLog.clear();
            plain ? manager->writePlainTextToPasteboard(item) : manager->writeToPasteboard(item);
            EXPECT_EQ(log(), QStringList({"write " + S}));
        }
    }
}

TEST_F(WritersTest, RichTextWithHtmlWritesHtmlRtfAndStringAtOnce)
{
    const ClipboardItem item = stored(ClipboardContent::richText("bold", "{\\rtf1 bold}"), QByteArray("<b>bold</b>"));
    const qint64 before = rig.pasteboard.changeCount();
    manager->writeToPasteboard(item);
    const QString types = QStringList({PasteboardType::HTML, PasteboardType::RTF, S}).join(',');
    EXPECT_EQ(log(), QStringList({"write " + types}));
    EXPECT_EQ(rig.pasteboard.changeCount(), before + 1) << "one write, one change";
    const auto &current = *rig.pasteboard.current;
    EXPECT_EQ(current.dataForType(PasteboardType::HTML), QByteArray("<b>bold</b>"));
    EXPECT_EQ(current.dataForType(PasteboardType::RTF), QByteArray("{\\rtf1 bold}"));
    EXPECT_EQ(current.stringForType(S), QStringLiteral("bold"));
}

TEST_F(WritersTest, RichTextWithoutHtmlWritesRtfAndString)
{
    const ClipboardItem item = stored(ClipboardContent::richText("it", "{\\rtf1 it}"));
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write " + PasteboardType::RTF + "," + S}));
}

TEST_F(WritersTest, EmptyHtmlIsNotOffered)
{
    const ClipboardItem item = stored(ClipboardContent::richText("it", "{\\rtf1 it}"), QByteArray(""));
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write " + PasteboardType::RTF + "," + S}));
}

TEST_F(WritersTest, RichTextAsPlainTextWritesOnlyTheString)
{
    const ClipboardItem item = stored(ClipboardContent::richText("bold", "{\\rtf1 bold}"), QByteArray("<b>bold</b>"));
    manager->writePlainTextToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write " + S}));
}

TEST_F(WritersTest, ImageWritesTheStoredPngOnly)
{
    const QByteArray png = pngBytes(6, 3);
    const ClipboardItem item = stored(ClipboardContent::image(png));
    for (bool plain : {false, true}) {
        rig.pasteboard.writeLog.clear();
        plain ? manager->writePlainTextToPasteboard(item) : manager->writeToPasteboard(item);
        EXPECT_EQ(log(), QStringList({"write " + PasteboardType::PNG}));
    }
}

TEST_F(WritersTest, RawPayloadsBecomeOneItemEachInOrder)
{
    const QList<PasteboardItemPayload> payloads{
        {{{"x-app/a", "1"}, {S, "one"}}},
        {},
        {{{"x-app/b", "2"}}},
    };
    const ClipboardItem item = stored(ClipboardContent::raw(payloads));
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write x-app/a," + S + " | x-app/b"}));
    const auto written = rig.pasteboard.current->items();
    ASSERT_TRUE(written);
    ASSERT_EQ(written->size(), 2);
    EXPECT_EQ(written->at(0)->types(), QStringList({"x-app/a", S}));
    EXPECT_EQ(written->at(0)->dataForType(S), QByteArray("one"));
    EXPECT_EQ(written->at(1)->types(), QStringList({"x-app/b"}));
}

TEST_F(WritersTest, RawWithOnlyEmptyPayloadsLeavesTheClipboardClearedButStillMovesFirst)
{
    const ClipboardItem item = stored(ClipboardContent::raw({{}, {}}));
    older();
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write"}));
    EXPECT_EQ(manager->items().first().id, item.id);
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
}

TEST_F(WritersTest, WriteRecordsTheChangeCountMovesFirstAndIsNotCapturedAgain)
{
    const ClipboardItem item = stored(ClipboardContent::text("reuse me"));
    older();
    rig.time.advance(7000);
    manager->writeToPasteboard(item);
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    EXPECT_EQ(manager->items().first().id, item.id);
    EXPECT_DOUBLE_EQ(manager->items().first().timestamp, rig.time.now());

    const int fetches = rig.pasteboard.fetchCount;
    rig.time.advance(2000); // several polls
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches);
    EXPECT_EQ(manager->items().size(), 2);
    rig.time.advance(200);
    EXPECT_EQ(rig.readHistoryFile().first().id, item.id); // the move was saved
}

TEST_F(WritersTest, WritingAnEntryNoLongerInTheListStillWritesTheClipboard)
{
    const ClipboardItem item = stored(ClipboardContent::text("gone"));
    manager->removeItem(item.id);
    manager->writeToPasteboard(item);
    EXPECT_EQ(log(), QStringList({"write " + S}));
    EXPECT_TRUE(manager->items().isEmpty());
}

// ---- image export ----------------------------------------------------------

class ExportTest : public WritersTest {
protected:
    LogCapture captured;
};

TEST_F(ExportTest, ProposedNameUsesWholeUnixSeconds)
{
    rig.time.setWallClock(1700000000.9 - kUnixToReferenceOffset);
    rig.saveDialog.answer.reset();
    manager->saveImageAsPNG(stored(ClipboardContent::image(pngBytes(2, 2))));
    EXPECT_EQ(rig.saveDialog.proposedNames, QStringList({"kelvo-1700000000.png"}));
}

TEST_F(ExportTest, NonImageEntriesShowNoDialog)
{
    manager->saveImageAsPNG(stored(ClipboardContent::text("text")));
    manager->saveImageAsPNG(stored(ClipboardContent::raw({{{{"x-app/a", "1"}}}})));
    EXPECT_TRUE(rig.saveDialog.proposedNames.isEmpty());
}

TEST_F(ExportTest, CancelWritesAndLogsNothing)
{
    rig.saveDialog.answer.reset();
    manager->saveImageAsPNG(stored(ClipboardContent::image(pngBytes(2, 2))));
    EXPECT_EQ(rig.saveDialog.proposedNames.size(), 1);
    EXPECT_EQ(rig.files.writes, 0);
    EXPECT_TRUE(captured.lines.isEmpty());
}

TEST_F(ExportTest, SavedFileIsTheStoredBytesAndTheHistoryIsUnchanged)
{
    const QByteArray png = pngBytes(300, 100);
    const ClipboardItem item = stored(ClipboardContent::image(png));
    rig.time.advance(1000);
    const int writes = rig.files.writes;
    const QString target = rig.dir.path() + "/export.png";
    rig.saveDialog.answer = target;
    manager->saveImageAsPNG(item);
    QString error;
    EXPECT_EQ(rig.files.local.read(target, &error), png);
    EXPECT_EQ(rig.files.writes, writes + 1);
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes + 1); // no history save
    EXPECT_TRUE(captured.lines.isEmpty());
}

TEST_F(ExportTest, FailedWriteLogsOneLine)
{
    rig.saveDialog.answer = rig.dir.path() + "/missing-dir/export.png";
    manager->saveImageAsPNG(stored(ClipboardContent::image(pngBytes(2, 2))));
    ASSERT_EQ(captured.lines.size(), 1);
    EXPECT_TRUE(captured.lines.first().startsWith(QStringLiteral("保存图片失败: ")));
    EXPECT_GT(captured.lines.first().size(), QStringLiteral("保存图片失败: ").size());
}

} // namespace
