#pragma once

#include "platform/StyledText.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QTextDocument;

namespace kelvo {

// Styled documents on the desktop: RTF is read by a small tokenizer of its
// own (Qt has no RTF reader), HTML is read by QTextDocument and written out
// as RTF. Flat RTFD never comes from a Linux application, so it is never
// readable here and the caller falls back to the next flavour.
class QtStyledTextConverter final : public StyledTextConverter {
public:
    std::optional<StyledText> read(const QByteArray &data, StyledDocumentType type) const override;

    // The plain characters of an RTF document; nullopt when the bytes do
    // not start like one. Unbalanced or truncated groups are tolerated,
    // nesting costs no stack and at most a bounded amount of memory.
    static std::optional<QString> plainTextOfRtf(const QByteArray &rtf);

    // The plain text and RTF form of an HTML document; nullopt when empty.
    static std::optional<StyledText> readHtml(const QByteArray &html);

    // An RTF document with the text, fonts, sizes, weight, slant,
    // underline, strike-out and text colours of the document.
    static QByteArray rtfFromDocument(const QTextDocument &document);

    // The characters rtfFromDocument() writes: blocks joined by line feeds,
    // line separators as line feeds, object placeholders left out.
    static QString plainTextOfDocument(const QTextDocument &document);
};

} // namespace kelvo
