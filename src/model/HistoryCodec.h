#pragma once

#include "model/ClipboardItem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace kelvo {

// The history file: a UTF-8 JSON array of entry objects, newest first.
// Byte fields held in memory are Base64-encoded straight into one buffer;
// those still in the file that was read are copied from it. Only that copy
// can fail (the file no longer holds the text): the result is then null.
QByteArray encodeHistory(const QList<ClipboardItem> &items);

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
