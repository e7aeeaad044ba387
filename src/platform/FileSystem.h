#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelvo {

// Result of a file operation: empty on success, else the error's description.
using FileError = std::optional<QString>;

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
    // Whole-file atomic replace: a reader sees the old or the new contents,
    // never a mix. With `privateMode` the file is 0600.
    virtual FileError writeAtomically(const QString &path, const QByteArray &data, bool privateMode) = 0;
};

} // namespace kelvo
