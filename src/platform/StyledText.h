#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelvo {

enum class StyledDocumentType { RTF, RTFD, HTML };

// A styled text read from a document: its plain characters, and its RTF
// form (nullopt when that cannot be produced).
struct StyledText {
    QString string;
    std::optional<QByteArray> rtf;
};

// Reader of styled documents and writer of their RTF form.
class StyledTextConverter {
public:
    virtual ~StyledTextConverter() = default;
    // nullopt when the bytes are not a readable document of that type.
    virtual std::optional<StyledText> read(const QByteArray &data, StyledDocumentType type) const = 0;
};

} // namespace kelvo
