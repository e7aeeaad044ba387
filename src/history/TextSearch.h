#pragma once

#include "model/ClipboardItem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kelvo {

// The text of an entry that search looks at, lower-cased (full Unicode
// mapping, no locale) and held as UTF-8: a null array for image and raw
// entries, which never match a non-empty query.
QByteArray searchKey(const ClipboardContent &content);

// The form a query takes before it is matched against search keys.
QByteArray searchNeedle(const QString &query);

// Substring test over UTF-8; a valid UTF-8 needle can only match at
// character boundaries, so this equals the test on the decoded texts.
bool containsBytes(QByteArrayView haystack, QByteArrayView needle);

} // namespace kelvo
