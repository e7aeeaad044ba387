// Faults said aloud: each kind of fault, injected into the store, tells the
// user once, stays quiet while it lasts, and speaks again after the same
// operation has succeeded; a write that cannot be made changes nothing.
#include "HistoryTestSupport.h"

#include <QFile>

using namespace kelvo;
using namespace kelvo::test;

namespace {

struct FaultRig {
    HistoryRig rig;
    LogCapture log;
    std::unique_ptr<ClipboardManager> manager;
    ClipboardItem damaged; // an image whose bytes in the file were changed in place
    ClipboardItem text;
    QString exportPath = rig.dir.filePath(QStringLiteral("out.png"));

    FaultRig()
    {
        const QByteArray png = pngBytes(60, 60, qRgb(9, 8, 7)) + QByteArray(9000, 'x'); // stays in the file
        rig.writeHistoryFile({entry(ClipboardContent::image(png)), textEntry("text")});
        manager = rig.make();
        damaged = manager->items().at(0);
        text = manager->items().at(1);
        QFile file(rig.historyPath());
        const QByteArray bytes = file.open(QIODevice::ReadWrite) ? file.readAll() : QByteArray();
        file.seek(bytes.indexOf(png.toBase64().mid(6000, 8)));
        file.write("!!!!");
        file.close();
    }
    // A write that fails: it returns false and leaves the clipboard as it
    // was; the history is the same but for the entries whose text is `gone`.
    void failingWrite(const std::function<bool()> &write, const std::optional<QString> &gone = std::nullopt)
    {
        const auto clipboard = rig.pasteboard.current;
        const qsizetype writes = rig.pasteboard.writeLog.size();
        QStringList kept = texts(manager->items());
        if (gone)
            kept.removeAll(*gone); // the image's text is "", the text entry's "text"
        EXPECT_FALSE(write());
        EXPECT_EQ(rig.pasteboard.current, clipboard);
        EXPECT_EQ(rig.pasteboard.writeLog.size(), writes);
        EXPECT_EQ(texts(manager->items()), kept);
    }
};

struct FaultCase {
    const char *name;
    Fault fault;
    std::function<void(FaultRig &)> inject;
    std::function<void(FaultRig &)> recover;
};

void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

class FaultNoticeTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultNoticeTest, IsToldOnceUntilItRecoversThenAgain)
{
    const FaultCase &c = GetParam();
    FaultRig f;
    const QString summary = FaultNotices::summary(c.fault);
    c.inject(f);
    c.inject(f);
    ASSERT_EQ(f.rig.notifications.shown.size(), 1) << f.rig.notifications.shown.join('\n').toStdString();
    EXPECT_TRUE(f.rig.notifications.shown.first().startsWith(summary + " | "));
    c.recover(f);
    EXPECT_EQ(f.rig.notifications.shown.size(), 1);
    c.inject(f);
    EXPECT_EQ(f.rig.notifications.shown.size(), 2);
}

const FaultCase kCases[] = {
    {"PasteOfBytesChangedInPlace", Fault::EntryUnreadable,
     [](FaultRig &f) {
         // An entry whose bytes are gone leaves the history at once.
         f.failingWrite([&] { return f.manager->writeToPasteboard(f.damaged); }, "");
         f.failingWrite([&] { return f.manager->writePlainTextToPasteboard(f.damaged); }, "");
     },
     [](FaultRig &f) { EXPECT_TRUE(f.manager->writeToPasteboard(f.text)); }},
    {"RefusedWrite", Fault::ClipboardRefused,
     [](FaultRig &f) {
         f.rig.pasteboard.refuseWrites = true;
         f.failingWrite([&] { return f.manager->writeToPasteboard(f.text); });
     },
     [](FaultRig &f) {
         f.rig.pasteboard.refuseWrites = false;
         EXPECT_TRUE(f.manager->writeToPasteboard(f.text));
     }},
    {"FailedSave", Fault::SaveFailed,
     [](FaultRig &f) {
         f.manager->removeItem(f.damaged.id); // its own fault is another case
         f.rig.files.failWrites = true;
         f.manager->togglePin(f.text.id);
         f.rig.time.advance(200);
     },
     [](FaultRig &f) {
         f.rig.files.failWrites = false;
         f.manager->togglePin(f.text.id);
         f.rig.time.advance(200);
     }},
    {"CopyNotReadInTime", Fault::CopyNotRead,
     [](FaultRig &f) {
         f.rig.pasteboard.setFetchFails(true);
         f.rig.copyAndPoll(*f.manager, textContents("lost"));
     },
     [](FaultRig &f) {
         f.rig.pasteboard.setFetchFails(false);
         f.rig.copyAndPoll(*f.manager, textContents("read"));
     }},
    {"LostConnection", Fault::ClipboardLost, [](FaultRig &f) { f.rig.pasteboard.connectionHandler(false); },
     [](FaultRig &f) { f.rig.pasteboard.connectionHandler(true); }},
    {"ExportOfBytesChangedInPlace", Fault::ExportFailed,
     [](FaultRig &f) {
         f.rig.saveDialog.answer = f.exportPath;
         f.manager->saveImageAsPNG(f.damaged);
         EXPECT_FALSE(QFile::exists(f.exportPath)) << "no empty file either";
     },
     [](FaultRig &f) {
         f.manager->addCapturedItem(entry(ClipboardContent::image(pngBytes(5, 5, qRgb(1, 1, 1)))));
         f.manager->saveImageAsPNG(f.manager->items().first());
         EXPECT_TRUE(QFile::remove(f.exportPath));
     }},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultNoticeTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
