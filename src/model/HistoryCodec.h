#pragma once

#include "model/ClipboardItem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace kelvo {

// The history file: a UTF-8 JSON array of entry objects, newest first.
// Writing never fails; image and other byte fields are Base64-encoded
// straight from the entries' shared byte arrays into one buffer.
QByteArray encodeHistory(const QList<ClipboardItem> &items);

// Reads a whole history file. On any fault (not JSON, truncated, a value
// of the wrong type, an invalid UUID or Base64 text, a content object
// without exactly one case key) nothing is returned: *out is left
// untouched, *error (when given) describes the fault, and the result is
// false. Safe on arbitrary input: nesting is bounded, nothing is assumed.
bool decodeHistory(QByteArrayView bytes, QList<ClipboardItem> *out, QString *error);

} // namespace kelvo
