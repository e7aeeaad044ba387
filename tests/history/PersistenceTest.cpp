#include "HistoryTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString kLoadPrefix = QStringLiteral("加载剪贴板历史失败: ");
const QString kSavePrefix = QStringLiteral("保存剪贴板历史失败: ");

int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

// True while the thread `tid` of this process sleeps (blocked on a lock or
// in a wait), as the kernel reports it.
bool threadSleeps(pid_t tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype nameEnd = line.lastIndexOf(')');
    return nameEnd >= 0 && line.size() > nameEnd + 2 && line.at(nameEnd + 2) == 'S';
}

class PersistenceTest : public ::testing::Test {
protected:
    HistoryRig rig;
    LogCapture log;
};

// ---- location and migration -----------------------------------------------

// The directory and the file are private even where an older version or
// the user made them readable to others.
TEST_F(PersistenceTest, StartNarrowsWideModesOfTheDataDirectoryAndFile)
{
    rig.make();
    EXPECT_TRUE(log.lines.isEmpty()) << "a first start without a file is no failure";
    rig.writeHistoryFile({textEntry("kept")});
    ASSERT_EQ(::chmod(QFile::encodeName(rig.dataDir()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(rig.historyPath()).constData(), 0644), 0);
    auto manager = rig.make();
    EXPECT_EQ(modeOf(rig.dataDir()), 0700);
    manager->addCapturedItem(textEntry("new"));
    rig.time.advance(200);
    EXPECT_EQ(modeOf(rig.historyPath()), 0600);
    EXPECT_EQ(texts(rig.readHistoryFile()), QStringList({"new", "kept"}));
}

// Which of the data directory and the two legacy ones exist, which history
// is loaded, and which directories are left.
TEST_F(PersistenceTest, LegacyDirectoryIsTakenOverOnlyWhenThereIsNoDataDirectory)
{
    const struct {
        QStringList present;
        const char *loaded;
        QStringList left;
    } cases[] = {
        {{"Brisel"}, "Brisel", {}},
        {{"Mopla"}, "Mopla", {}},
        {{"Brisel", "Mopla"}, "Brisel", {"Mopla"}},
        {{"Kelvo", "Brisel"}, "Kelvo", {"Brisel"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.present.join(',').toStdString());
        HistoryRig fresh;
        for (const QString &name : c.present)
            fresh.writeHistoryFile({textEntry(name)}, fresh.dir.path() + "/" + name);
        auto manager = fresh.make();
        EXPECT_EQ(texts(manager->items()), QStringList({c.loaded}));
        for (const char *legacy : {"Brisel", "Mopla"})
            EXPECT_EQ(QFileInfo::exists(fresh.dir.path() + "/" + legacy + "/clipboard_history.json"),
                      c.left.contains(legacy)) << legacy;
    }
}

// ---- loading ---------------------------------------------------------------

TEST_F(PersistenceTest, StartCutsAHistoryWrittenUnderALargerLimitWithoutSaving)
{
    QList<ClipboardItem> many;
    for (int i = 0; i < 8; ++i)
        many.append(textEntry(QStringLiteral("T%1").arg(i), i == 7));
    rig.writeHistoryFile(many);
    rig.preferences.values.insert("maxHistoryCount", 3);
    auto manager = rig.make();
    EXPECT_EQ(texts(manager->items()), QStringList({"T0", "T1", "T2", "T7"}));
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, 0);
    EXPECT_EQ(manager->filteredItems(ClipboardTab::pinned).size(), 1);
    manager->setSearchQuery("t1"); // loaded entries are searchable
    EXPECT_EQ(texts(manager->filteredItems(ClipboardTab::history)), QStringList({"T1"}));
}

// Image bytes stay in the file that was read: held open, they paste
// byte-identical and are saved again after the path was replaced or removed.
// Bytes changed in place are never saved: the next save writes the other
// entries, the history drops the damaged one and the user is told (a paste
// of it: FaultNoticeTest).
TEST_F(PersistenceTest, LoadedImagesSurviveTheFileBeingReplacedOrRemoved)
{
    const QByteArray png = pngBytes(700, 700, qRgb(1, 2, 3)) + QByteArray(20000, 'x'); // large enough to stay
    for (const char *change : {"replaced", "removed", "changed in place"}) {
        SCOPED_TRACE(change);
        HistoryRig fresh;
        LogCapture lines;
        fresh.writeHistoryFile({entry(ClipboardContent::image(png)), textEntry("older")});
        auto manager = fresh.make();
        ASSERT_EQ(manager->items().size(), 2);
        ASSERT_FALSE(manager->items().first().content.dataField().isHeld());
        const QByteArray before = fresh.files.read(fresh.historyPath(), nullptr).value_or(QByteArray());
        if (change[0] == 'r' && change[2] == 'p')
            fresh.writeHistoryFile({textEntry("someone else's")});
        else if (change[0] == 'r')
            ASSERT_TRUE(QFile::remove(fresh.historyPath()));
        else {
            QFile file(fresh.historyPath());
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.seek(before.indexOf(png.toBase64().mid(9000, 8)));
            file.write("!!!!");
        }
        const bool inPlace = change[0] == 'c';
        if (!inPlace) {
            EXPECT_TRUE(manager->writeToPasteboard(manager->items().first()));
            EXPECT_EQ(fresh.pasteboard.current->dataForType(PasteboardType::PNG), png);
        }
        manager->addCapturedItem(textEntry("new"));
        fresh.time.advance(200);
        if (inPlace) {
            EXPECT_TRUE(fresh.pasteboard.writeLog.isEmpty());
            EXPECT_EQ(texts(fresh.readHistoryFile()), QStringList({"new", "older"}));
            EXPECT_EQ(texts(manager->items()), QStringList({"new", "older"}));
            EXPECT_EQ(fresh.notifications.shown.size(), 1);
            EXPECT_TRUE(lines.lines.filter(kSavePrefix).size() == 1);
            continue;
        }
        const QList<ClipboardItem> saved = fresh.readHistoryFile();
        ASSERT_EQ(saved.size(), 3);
        EXPECT_EQ(saved[1].content.data(), png);
        EXPECT_TRUE(lines.lines.isEmpty());
    }
}

// Once saved, a captured picture is read from the file like a loaded one:
// each save moves every such entry to the file it wrote, the earlier files
// are closed, and the bytes paste unchanged.
TEST_F(PersistenceTest, CapturedImagesAreReadFromTheNewestSavedFile)
{
    const auto openFiles = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    const QByteArray png = pngBytes(300, 300, qRgb(4, 5, 6)) + QByteArray(20000, 'y');
    auto manager = rig.make();
    manager->addCapturedItem(entry(ClipboardContent::image(png)));
    ASSERT_TRUE(manager->items().first().content.dataField().isHeld());
    rig.time.advance(200);
    EXPECT_FALSE(manager->items().first().content.dataField().isHeld());
    const qsizetype files = openFiles();
    for (int i = 0; i < 5; ++i) {
        manager->addCapturedItem(textEntry(QString::number(i)));
        rig.time.advance(200);
    }
    EXPECT_EQ(openFiles(), files) << "each save leaves one file open, the newest";
    const ClipboardItem image = manager->items().last();
    ASSERT_TRUE(manager->writeToPasteboard(image));
    EXPECT_EQ(rig.pasteboard.current->dataForType(PasteboardType::PNG), png);
    rig.time.advance(200);
    EXPECT_EQ(rig.readHistoryFile().first().content.data(), png) << "copied on from the file it was read from";
}

// An unreadable file is reported once, left alone until the first save,
// never overwritten while it cannot be set aside, and then kept as a backup
// named after the whole second it was found in.
TEST_F(PersistenceTest, CorruptFileIsReportedOnceAndKeptAsBackupBeforeAnySave)
{
    const QByteArray garbage = "[{\"id\": \"not a uuid\"";
    rig.writeRawHistoryFile(garbage);
    rig.time.setWallClock(1800000000.9 - kUnixToReferenceOffset);
    auto manager = rig.make();
    EXPECT_TRUE(manager->items().isEmpty());
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(log.lines.first().startsWith(kLoadPrefix));
    ASSERT_EQ(rig.notifications.shown.size(), 1);
    EXPECT_TRUE(rig.notifications.shown.first().contains("clipboard_history.json.corrupt-1800000000"));
    EXPECT_GT(log.lines.first().size(), kLoadPrefix.size());
    rig.time.advance(2000);
    EXPECT_EQ(rig.files.read(rig.historyPath(), nullptr), garbage) << "untouched until the first save";

    rig.files.failMoves = true;
    manager->addCapturedItem(textEntry("A"));
    rig.time.advance(200);
    EXPECT_EQ(rig.files.read(rig.historyPath(), nullptr), garbage) << "not set aside, so not overwritten";
    rig.files.failMoves = false;
    rig.files.failWrites = true;
    manager->addCapturedItem(textEntry("B"));
    rig.time.advance(200);
    EXPECT_EQ(log.lines.mid(1), QStringList({kSavePrefix + "move refused", kSavePrefix + "disk full"}));
    rig.files.failWrites = false;
    manager->addCapturedItem(textEntry("C"));
    rig.time.advance(200);
    EXPECT_EQ(texts(rig.readHistoryFile()), QStringList({"C", "B", "A"})) << "each save tries again";
    const QString backup = rig.dataDir() + "/clipboard_history.json.corrupt-1800000000";
    EXPECT_EQ(rig.files.read(backup, nullptr), garbage);

    manager->clearHistory();
    rig.time.advance(200);
    EXPECT_EQ(rig.files.read(backup, nullptr), garbage) << "later saves leave the backup alone";
    EXPECT_EQ(log.lines.size(), 3) << "the load failure is not reported again";
}

// ---- saving ----------------------------------------------------------------

TEST_F(PersistenceTest, BurstOfChangesGivesOneWriteWithAllOfThem)
{
    auto manager = rig.make();
    for (const char *t : {"C", "B", "A"})
        manager->addCapturedItem(textEntry(t));
    rig.time.advance(1000);
    const int writes = rig.files.writes;

    for (int i = 0; i < 3; ++i) {
        manager->togglePin(manager->items().at(i).id);
        rig.time.advance(40); // three pins within 0.1 s
    }
    rig.time.advance(79); // 119 ms after the last pin
    EXPECT_EQ(rig.files.writes, writes);
    rig.time.advance(1);
    EXPECT_EQ(rig.files.writes, writes + 1);
    const QList<ClipboardItem> stored = rig.readHistoryFile();
    ASSERT_EQ(stored.size(), 3);
    for (const ClipboardItem &item : stored)
        EXPECT_TRUE(item.isPinned);
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, writes + 1);
}

TEST_F(PersistenceTest, FlushWritesThePendingSaveAtOnce)
{
    auto manager = rig.make();
    manager->flushPendingSave(); // nothing pending: nothing written
    EXPECT_EQ(rig.files.writes, 0);

    manager->addCapturedItem(textEntry("last change"));
    manager->flushPendingSave();
    EXPECT_EQ(rig.files.writes, 1);
    EXPECT_EQ(texts(rig.readHistoryFile()), QStringList({"last change"}));
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, 1); // the scheduled write was replaced, not repeated

    manager->addCapturedItem(textEntry("unsaved"));
    manager.reset(); // release drops a pending save
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, 1);
}

TEST_F(PersistenceTest, OlderWriteFinishingLateNeverReplacesANewerOne)
{
    HistoryFile file(rig.files, rig.historyPath());
    (void)rig.files.createDirectories(rig.dataDir(), true);
    file.write({textEntry("B"), textEntry("A")}, 2);
    file.write({textEntry("A")}, 1); // the older list's write, late
    EXPECT_EQ(texts(rig.readHistoryFile()), QStringList({"B", "A"}));
    EXPECT_EQ(rig.files.writes, 1);
}

TEST_F(PersistenceTest, FlushWaitsForARunningWriteAndLandsLast)
{
    SerialBackgroundQueue queue;
    rig.backgroundOverride = &queue;
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first = true;
    rig.files.duringWrite = [&](const QByteArray &) {
        if (first.exchange(false)) {
            entered.set_value();
            released.wait();
        }
    };
    auto manager = rig.make();
    manager->addCapturedItem(textEntry("older"));
    // The background write of the older list is under way.
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);

    manager->addCapturedItem(textEntry("newer"));
    // The older write is let go once the flush waits for it; a flush that
    // does not wait returns instead, and the file's order shows it.
    const pid_t flushing = gettid();
    std::atomic<bool> returned = false;
    std::thread releaser([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!returned && !threadSleeps(flushing) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        release.set_value();
    });
    manager->flushPendingSave();
    returned = true;
    releaser.join();
    queue.flush();
    EXPECT_EQ(texts(rig.readHistoryFile()), QStringList({"newer", "older"}));
    EXPECT_EQ(rig.files.writes, 2);
}

} // namespace
