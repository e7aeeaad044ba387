#pragma once

#include "model/ClipboardItem.h"
#include "platform/Pasteboard.h"
#include "platform/StyledText.h"
#include "platform/TypeRegistry.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelvo {

// What one look at the clipboard yields: the content of a new entry and the
// HTML flavour kept beside rich text.
struct CapturedContent {
    ClipboardContent content;
    std::optional<QByteArray> html;
};

// Decides what a clipboard snapshot holds. Stateless apart from the two
// services it consults; every call examines one snapshot.
class PasteboardReader {
public:
    PasteboardReader(const TypeRegistry &types, const StyledTextConverter &styledText);

    // The classification, first applicable rule wins: design-tool raw
    // content, image (unless a non-empty text comes with it), web address,
    // rich or plain text, image, raw content; nullopt when nothing fits.
    std::optional<CapturedContent> readPasteboard(const PasteboardContents &pasteboard,
                                                  const std::optional<QString> &sourceAppName) const;

    // The first non-empty text the clipboard offers.
    std::optional<QString> readPlainText(const PasteboardContents &pasteboard) const;

    bool isCustomPasteboardType(const QString &type) const;
    bool shouldPreserveRawContent(const PasteboardContents &pasteboard,
                                  const std::optional<QString> &sourceAppName) const;
    std::optional<QList<PasteboardItemPayload>> readRawPayloads(const PasteboardContents &pasteboard) const;

    // UTF-8, UTF-16 by byte-order mark (host order without one), UTF-16LE,
    // UTF-16BE, Latin-1: the first that yields a non-empty text.
    static std::optional<QString> decodeTextData(const QByteArray &data);

    // True when a password manager marked the content as secret or
    // transient; such content is never recorded.
    static bool isConcealed(const PasteboardContents &pasteboard);

private:
    std::optional<CapturedContent> readText(const PasteboardContents &pasteboard, const QString &text) const;

    const TypeRegistry &types_;
    const StyledTextConverter &styledText_;
};

} // namespace kelvo
