// The history store working through the X11 clipboard on a private Xvfb:
// copies that follow each other while the last one is still being read,
// and what other programs see of a write.

#include "XcbTestClient.h"
#include "XvfbFixture.h"
#include "model/TestImages.h"

#include "platform/x11/X11Pasteboard.h"
#include "support/HistoryRig.h"


using namespace kelvo;
using kelvo::testing::XvfbServer;

namespace {

// Every service of a history store, with the real X11 clipboard.
struct X11HistoryRig : kelvo::testing::HistoryRig {
    explicit X11HistoryRig(const QString &display) : pasteboard(nullptr, display) {}
    x11::X11Pasteboard pasteboard;
    memory::MemoryApplications applications;

    std::unique_ptr<ClipboardManager> make() { return HistoryRig::make(pasteboard, applications); }
};

std::string texts(const QList<ClipboardItem> &items)
{
    QStringList list;
    for (const ClipboardItem &item : items)
        list.append(item.content.string());
    return list.join(QStringLiteral(", ")).toStdString();
}

class X11ClipboardFlowTest : public kelvo::testing::XvfbTest {};

} // namespace

TEST_F(X11ClipboardFlowTest, CopiesMadeWhileTheLastIsReadAreRecordedOnceEachInOrder)
{
    X11HistoryRig rig(display());
    auto manager = rig.make();
    // Each copy replaces the last as soon as its text was read: the change
    // arrives while that read is still on its way to the store.
    std::vector<kelvo::testing::Targets> copies;
    QStringList copied;
    for (int i = 1; i <= 12; ++i) {
        copied.prepend(QStringLiteral("quick copy %1").arg(i));
        copies.push_back({{"UTF8_STRING", copied.first().toUtf8()}});
    }
    kelvo::testing::TestOwner owner(display(), copies);
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return manager->items().size() >= 12; }, 15000));
    EXPECT_EQ(texts(manager->items()), copied.join(QStringLiteral(", ")).toStdString());
}

TEST_F(X11ClipboardFlowTest, AWriteIsOneOwnerChangeWithItsWholeContentAndIsNotRecorded)
{
    X11HistoryRig rig(display());
    auto manager = rig.make();
    x11::X11Pasteboard other(nullptr, display()); // another program's view of the clipboard
    const qint64 start = other.changeCount(), ownStart = rig.pasteboard.changeCount();
    const ClipboardItem rich = ClipboardItem::make(ClipboardContent::richText("Bold words", "{\\rtf1 Bold words}"),
                                                   QByteArray("<p><b>Bold</b> words</p>"), std::nullopt, QImage(),
                                                   rig.clock.now());
    const ClipboardItem png = ClipboardItem::make(ClipboardContent::image(kelvo::test::pngBytes(3, 2)), std::nullopt,
                                                  std::nullopt, QImage(), rig.clock.now());
    const QStringList richTypes{PasteboardType::HTML, PasteboardType::RTF, PasteboardType::String};
    const std::pair<ClipboardItem, QStringList> writes[] = {{rich, richTypes}, {rich, richTypes}, {png, {PasteboardType::PNG}}};
    for (const auto &[item, types] : writes) {
        const qint64 seen = other.changeCount();
        manager->writeToPasteboard(item);
        EXPECT_EQ(rig.pasteboard.changeCount(), ownStart + (seen - start) + 1) << "an own write is counted at once";
        ASSERT_TRUE(XvfbServer::waitUntil([&] { return other.changeCount() > seen; }, 5000));
        const auto contents = kelvo::testing::fetch(other);
        ASSERT_TRUE(contents && contents->types());
        EXPECT_EQ(*contents->types(), types);
    }
    // Owner changes arrive in order: once xclip's copy is seen, a second
    // owner change of any write would have been seen before it.
    xclipCopy("after the writes");
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return other.changeCount() >= start + 4 && !manager->items().isEmpty(); },
                                      5000));
    EXPECT_EQ(other.changeCount(), start + 4);
    EXPECT_EQ(rig.pasteboard.changeCount(), ownStart + 4) << "the echo of an own write was counted";
    EXPECT_EQ(texts(manager->items()), "after the writes") << "own writes are not captured";
}
