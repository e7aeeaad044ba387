#pragma once

#include "model/ClipboardItem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUuid>

namespace kelvo {

// The history file: a UTF-8 JSON array of entry objects, newest first.
// Byte fields held in memory are Base64-encoded straight into one buffer;
// those still in the file that was read are copied from it. Only that copy
// can fail (the file no longer holds the text): the result is then null.
//
// With `report`, an entry whose bytes can no longer be read from that file
// is left out (and named) instead, and where each large content text was
// written is noted, so that the bytes can be read back from the new file.
struct EncodeReport {
    struct Field {
        QUuid id;         // the entry
        qint64 offset;    // where its content's Base64 text starts
        qint64 textSize;  // the text's length
        qint64 size;      // what it decodes to
    };
    QList<QUuid> unreadable;
    QList<Field> fields; // texts of at least kMinimumTextLeftInFile characters
};
QByteArray encodeHistory(const QList<ClipboardItem> &items, EncodeReport *report = nullptr);

// A content's Base64 text at least this long stays in the file it was read
// from (or written to) rather than in memory.
constexpr qsizetype kMinimumTextLeftInFile = 4096;

// Reads a whole history file. On any fault (not JSON, truncated, a value
// of the wrong type, an invalid UUID or Base64 text, a content object
// without exactly one case key) nothing is returned: *out is left
// untouched, *error (when given) describes the fault, and the result is
// false. Safe on arbitrary input: nesting is bounded, nothing is assumed.
// With `file` (whose contents `bytes` are), a content's large Base64 text
// is checked and left in the file, to be decoded when it is needed.
bool decodeHistory(QByteArrayView bytes, QList<ClipboardItem> *out, QString *error,
                   std::shared_ptr<const ReadableFile> file = nullptr);

} // namespace kelvo
