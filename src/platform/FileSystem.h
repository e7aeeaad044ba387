#pragma once

#include <QByteArray>
#include <QString>

#include <QByteArrayView>

#include <functional>
#include <memory>
#include <optional>

namespace kelvo {

// Result of a file operation: empty on success, else the error's description.
using FileError = std::optional<QString>;

// A file opened for reading. Its bytes stay readable as they were when it
// was opened, also after the path is replaced or removed (it is not a
// copy: a change made to the file in place shows). Thread-safe.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    virtual qint64 size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when that fails.
    virtual bool read(qint64 offset, qint64 size, char *out) const = 0;
    // Hands the whole contents to `pass` for one pass (mapped, not copied,
    // where possible) and returns what it returns; false when the file
    // cannot be read.
    virtual bool scan(const std::function<bool(QByteArrayView)> &pass) const = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The user's application-support directory (absolute path).
    virtual QString applicationSupportDirectory() const = 0;
    virtual bool exists(const QString &path) const = 0;
    virtual FileError move(const QString &from, const QString &to) = 0;
    // Creates the directory and its missing parents; the last one private
    // (0700) when `privateMode` is set.
    virtual FileError createDirectories(const QString &path, bool privateMode) = 0;
    // Whole-file read; on failure nullopt and the error in `error`.
    virtual std::optional<QByteArray> read(const QString &path, QString *error) const = 0;
    // Opens a file for reading; on failure null and the error in `error`.
    virtual std::shared_ptr<const ReadableFile> open(const QString &path, QString *error) const = 0;
    // Whole-file atomic replace: a reader sees the old or the new contents,
    // never a mix. With `privateMode` the file is 0600.
    virtual FileError writeAtomically(const QString &path, const QByteArray &data, bool privateMode) = 0;
};

} // namespace kelvo
