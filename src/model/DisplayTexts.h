#pragma once

#include "model/ClipboardItem.h"

#include <QString>
#include <QtGlobal>

namespace kelvo {

// The texts that capture derives from an entry and the history file keeps
// (its "preview" and "infoLabel"), in the program's source language. They
// are marked for translation, so that they can be shown in the user's
// language while the file keeps them as they are.
namespace derived {
inline constexpr char kImage[] = QT_TRANSLATE_NOOP("ClipboardItem", "图片");
inline constexpr char kRawContent[] = QT_TRANSLATE_NOOP("ClipboardItem", "应用专用剪贴板内容");
inline constexpr char kCharacters[] = QT_TRANSLATE_N_NOOP("ClipboardItem", "%n 个字符");
inline constexpr char kFormats[] = QT_TRANSLATE_N_NOOP("ClipboardItem", "%n 种数据格式");
} // namespace derived

// A count text as stored: `pattern` with its "%n" replaced by the count.
QString derivedCountText(const char *pattern, qint64 count);

// An entry's stored info label and preview as the user reads them: the
// texts that capture derives, in the user's language ("128 个字符" reads
// "128 characters" in English); any other text, which a stored entry may
// hold, as it is. The kind decides which derived texts apply, so that a
// copied text that reads like one (the word "图片") stays itself.
QString localizedInfoLabel(ClipboardContent::Kind kind, const QString &stored);
QString localizedPreview(ClipboardContent::Kind kind, const QString &stored);

} // namespace kelvo
