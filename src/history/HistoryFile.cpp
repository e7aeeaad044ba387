#include "history/HistoryFile.h"

#include "model/HistoryCodec.h"
#include "platform/Log.h"

namespace kelvo {

namespace {
const QString kSaveFailed = QStringLiteral("保存剪贴板历史失败: ");
const QString kLoadFailed = QStringLiteral("加载剪贴板历史失败: ");
} // namespace

QString makeStorageURL(FileSystem &files)
{
    const QString appSupport = files.applicationSupportDirectory();
    const QString dir = appSupport + QStringLiteral("/Kelvo");
    const QString legacy1 = appSupport + QStringLiteral("/Brisel");
    const QString legacy2 = appSupport + QStringLiteral("/Mopla");
    if (!files.exists(dir)) {
        // Failures are ignored: the location is the same either way, and
        // later reads and writes report their own errors.
        if (files.exists(legacy1))
            (void)files.move(legacy1, dir);
        else if (files.exists(legacy2))
            (void)files.move(legacy2, dir);
    }
    (void)files.createDirectories(dir, true);
    return dir + QStringLiteral("/clipboard_history.json");
}

HistoryFile::HistoryFile(FileSystem &files, QString path) : files_(files), path_(std::move(path)) {}

QList<ClipboardItem> HistoryFile::load(const QString &backupName)
{
    QList<ClipboardItem> items;
    if (!files_.exists(path_))
        return items;
    QString error;
    // Large byte fields stay in the file: it is held open, so they remain
    // readable when the path is replaced (by the next save) or removed.
    const std::shared_ptr<const ReadableFile> file = files_.open(path_, &error);
    bool decoded = false;
    const bool read = file && file->scan([&](QByteArrayView bytes) {
        decoded = decodeHistory(bytes, &items, &error, file);
        return decoded;
    });
    if (read)
        return items;
    if (file && !decoded && error.isEmpty())
        error = QStringLiteral("The file could not be read.");
    logLine(kLoadFailed + error);
    std::lock_guard lock(mutex_);
    backupPath_ = path_.left(path_.lastIndexOf(QLatin1Char('/')) + 1) + backupName;
    return {};
}

std::optional<QString> HistoryFile::pendingBackupPath() const
{
    std::lock_guard lock(mutex_);
    return backupPath_;
}

HistoryWrite HistoryFile::write(const QList<ClipboardItem> &items, quint64 generation)
{
    std::lock_guard lock(mutex_);
    if (generation <= writtenGeneration_)
        return {HistoryWrite::Result::Superseded, {}, {}, nullptr, {}};
    const auto failed = [](const QString &error) {
        logLine(kSaveFailed + error);
        return HistoryWrite{HistoryWrite::Result::Failed, error, {}, nullptr, {}};
    };
    if (backupPath_) {
        // The unreadable file may be all the user has of an older history:
        // it is set aside, never overwritten. Until that succeeds nothing
        // is written.
        if (files_.exists(path_)) {
            if (const FileError error = files_.move(path_, *backupPath_))
                return failed(*error);
        }
        backupPath_.reset();
    }
    EncodeReport report;
    const QByteArray bytes = encodeHistory(items, &report);
    for (const QUuid &id : std::as_const(report.unreadable))
        logLine(kSaveFailed + QStringLiteral("the bytes of entry %1 could no longer be read from the history file; "
                                             "it is left out")
                                  .arg(id.toString(QUuid::WithoutBraces)));
    if (const FileError error = files_.writeAtomically(path_, bytes, true))
        return failed(*error);
    writtenGeneration_ = generation;
    HistoryWrite written{HistoryWrite::Result::Written, {}, report.unreadable, nullptr, {}};
    if (!report.fields.isEmpty()) {
        // Opened again under the lock: no later write has replaced it yet.
        QString error;
        std::shared_ptr<const ReadableFile> file = files_.open(path_, &error);
        if (file && file->size() == bytes.size()) {
            written.file = std::move(file);
            written.fields = std::move(report.fields);
        }
    }
    return written;
}

} // namespace kelvo
