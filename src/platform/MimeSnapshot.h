#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace kelvo {

// Limits of one read of the clipboard, on every window system.
inline constexpr int kMaxMimeTypes = 1024;           // offered types looked at
inline constexpr int kMaxFetchedTypes = 64;          // types whose data is read
inline constexpr qint64 kMaxTypeBytes = 64 << 20;    // one type's data
inline constexpr qint64 kMaxTotalBytes = 256 << 20;  // all of a read

// The clipboard's MIME types (X11 targets are named the same) and the type
// identifiers capture and paste-back use: one table for X11 and Wayland.
QStringList mimeTypesForType(const QString &type);
QString typeForMimeType(const QString &mime);
// Names that only describe a selection and are never types.
bool isMetaMimeType(const QString &mime);

// What one read of the clipboard delivered: one item carrying every type.
struct MimeSnapshot {
    QStringList typeList;
    QHash<QString, QString> mimeOf;        // type -> the MIME type it was read from
    QHash<QString, QByteArray> data;       // type -> bytes (absent when unreadable)
    QHash<QString, QByteArray> mimeData;   // MIME type -> bytes, for the image order

    // The types a list of offered MIME types is read as, each under the
    // table's first MIME type that the list holds; fills typeList and mimeOf.
    void chooseTypes(const QStringList &offered);

    std::optional<QString> stringForType(const QString &type) const;
    std::optional<QByteArray> dataForType(const QString &type) const;
    std::optional<QByteArray> imagePNG() const;
};

std::shared_ptr<const PasteboardContents> contentsOf(std::shared_ptr<const MimeSnapshot> snapshot);

// What a write of these representations offers, as a read would see it:
// each type (its first occurrence) under its first MIME type.
std::shared_ptr<const MimeSnapshot> snapshotOfWrite(const PasteboardWriteItem &representations);

} // namespace kelvo
