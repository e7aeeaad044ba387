#pragma once

#include "model/ClipboardItem.h"
#include "model/HistoryCodec.h"
#include "platform/FileSystem.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace kelvo {

// Where the history lives: "<application support>/Kelvo", taking over the
// legacy directory "Brisel" (or else "Mopla") the first time, created
// private to the user. Returns the history file's path.
QString makeStorageURL(FileSystem &files);

// What became of one write of the history file.
struct HistoryWrite {
    enum class Result {
        Written,
        Superseded, // a list of a later generation is already in the file
        Failed,
    };
    Result result = Result::Failed;
    QString error; // Failed: the error's description
    // Entries left out because their bytes could no longer be read from the
    // file they were kept in (changed in place by another program).
    QList<QUuid> unreadable;
    // Written: the new file, held open, and where the large content texts
    // lie in it, so that the list can read them from there instead of
    // holding them (none when the file could not be opened again).
    std::shared_ptr<const ReadableFile> file;
    QList<EncodeReport::Field> fields;
};

// The history file's reader and its serialized writer. Writes may come
// from the background queue and, at exit, from the main thread; they are
// made one at a time and a write of an older list never replaces a newer
// one.
class HistoryFile {
public:
    HistoryFile(FileSystem &files, QString path);

    const QString &path() const { return path_; }

    // Reads the file once at start. No file: an empty list, silently. An
    // unreadable file: an empty list, the load line, and the file is kept
    // as `backupName` before the first write replaces it.
    QList<ClipboardItem> load(const QString &backupName);

    // Writes `items` unless a list with a later generation is already in
    // the file. An entry whose bytes can no longer be read is left out, so
    // that one damaged entry cannot keep every later change from the file.
    // Logs the save line on failure. Thread-safe.
    HistoryWrite write(const QList<ClipboardItem> &items, quint64 generation);

    // The backup path that the next write will move the unreadable file to.
    std::optional<QString> pendingBackupPath() const;

private:
    FileSystem &files_;
    const QString path_;
    mutable std::mutex mutex_;
    quint64 writtenGeneration_ = 0;
    std::optional<QString> backupPath_;
};

} // namespace kelvo
