#include "history/PasteboardReader.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <array>

namespace kelvo {
namespace {

const std::array<QString, 5> &plainTextTypes()
{
    static const std::array<QString, 5> list{
        PasteboardType::String,
        QStringLiteral("public.utf16-external-plain-text"),
        QStringLiteral("public.utf16-plain-text"),
        QStringLiteral("public.text"),
        QStringLiteral("NSStringPboardType"),
    };
    return list;
}

// Styled-text formats: their bytes are markup, never the text itself. Their
// plain text comes from reading them as styled text.
bool isMarkupType(const QString &type)
{
    static const std::array<QString, 8> markup{
        PasteboardType::RTF, PasteboardType::RTFD, PasteboardType::HTML,
        QStringLiteral("text/html"), QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
        QStringLiteral("text/richtext"), QStringLiteral("application/xhtml+xml"),
    };
    return std::find(markup.begin(), markup.end(), type) != markup.end();
}

bool isStandardType(const QString &type)
{
    static const std::array<QString, 17> standard{
        PasteboardType::String, PasteboardType::RTF, PasteboardType::RTFD, PasteboardType::HTML,
        PasteboardType::TabularText, PasteboardType::PNG, PasteboardType::TIFF, PasteboardType::FileURL,
        PasteboardType::URL, PasteboardType::PDF, PasteboardType::Color, PasteboardType::Font,
        PasteboardType::Sound,
        QStringLiteral("public.utf16-external-plain-text"),
        QStringLiteral("public.utf16-plain-text"),
        QStringLiteral("public.text"),
        QStringLiteral("NSStringPboardType"),
    };
    for (const QString &s : standard)
        if (s == type)
            return true;
    return false;
}

std::optional<QString> nonEmpty(std::optional<QString> s)
{
    if (s && !s->isEmpty())
        return s;
    return std::nullopt;
}

// A UTF-16 code unit sequence is well formed when its length is even and
// every surrogate is paired.
bool isWellFormedUtf16(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size() / 2;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = bigEndian ? char16_t(p[2 * i] << 8 | p[2 * i + 1])
                                     : char16_t(p[2 * i + 1] << 8 | p[2 * i]);
        if (QChar::isHighSurrogate(u)) {
            if (i + 1 >= n)
                return false;
            const char16_t v = bigEndian ? char16_t(p[2 * i + 2] << 8 | p[2 * i + 3])
                                         : char16_t(p[2 * i + 3] << 8 | p[2 * i + 2]);
            if (!QChar::isLowSurrogate(v))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(u)) {
            return false;
        }
    }
    return true;
}

std::optional<QString> decodeUtf16(QByteArrayView bytes, QStringConverter::Encoding encoding, bool bigEndian)
{
    if (bytes.isEmpty() || !isWellFormedUtf16(bytes, bigEndian))
        return std::nullopt;
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.isEmpty())
        return std::nullopt;
    return text;
}

bool isWebAddress(const QString &text)
{
    // The scheme is compared as written: an upper-case scheme is no match.
    const bool httpScheme = text.startsWith(QLatin1String("http:")) || text.startsWith(QLatin1String("https:"));
    if (!httpScheme)
        return false;
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// The clipboard's image, decoded (and encoded to PNG) at most once per
// classification however many rules ask for it.
class LazyImage {
public:
    explicit LazyImage(const PasteboardContents &pasteboard) : pasteboard_(pasteboard) {}
    // nullptr when no image can be read.
    const QByteArray *get()
    {
        if (!read_) {
            read_ = true;
            if (auto png = pasteboard_.imagePNG(); png && !png->isEmpty()) {
                png_ = std::move(*png);
                present_ = true;
            }
        }
        return present_ ? &png_ : nullptr;
    }

private:
    const PasteboardContents &pasteboard_;
    bool read_ = false;
    bool present_ = false;
    QByteArray png_;
};

const QString kPasswordHintType = QStringLiteral("x-kde-passwordManagerHint");

bool isConcealedType(const QString &type)
{
    return type == QLatin1String("application/x-nspasteboard-concealed-type")
        || type == QLatin1String("org.nspasteboard.ConcealedType")
        || type == QLatin1String("org.nspasteboard.TransientType");
}

bool isSecretHint(const std::optional<QByteArray> &data)
{
    return data && data->trimmed() == "secret";
}

} // namespace

PasteboardReader::PasteboardReader(const TypeRegistry &types, const StyledTextConverter &styledText)
    : types_(types), styledText_(styledText)
{
}

std::optional<QString> PasteboardReader::decodeTextData(const QByteArray &data)
{
    if (data.isEmpty())
        return std::nullopt;
    if (QByteArrayView(data).isValidUtf8()) {
        QString text = QString::fromUtf8(data);
        if (!text.isEmpty())
            return text;
    }
    // UTF-16 honouring a byte-order mark; without one, the host order.
    {
        const auto *p = reinterpret_cast<const uchar *>(data.constData());
        bool bigEndian = QSysInfo::ByteOrder == QSysInfo::BigEndian;
        if (data.size() >= 2 && p[0] == 0xFE && p[1] == 0xFF)
            bigEndian = true;
        else if (data.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE)
            bigEndian = false;
        if (auto text = decodeUtf16(data, QStringConverter::Utf16, bigEndian))
            return text;
    }
    if (auto text = decodeUtf16(data, QStringConverter::Utf16LE, false))
        return text;
    if (auto text = decodeUtf16(data, QStringConverter::Utf16BE, true))
        return text;
    return QString::fromLatin1(data);
}

bool PasteboardReader::isConcealed(const PasteboardContents &pasteboard)
{
    if (const auto types = pasteboard.types()) {
        for (const QString &type : *types) {
            if (isConcealedType(type))
                return true;
            if (type == kPasswordHintType && isSecretHint(pasteboard.dataForType(type)))
                return true;
        }
    }
    if (const auto items = pasteboard.items()) {
        for (const auto &item : *items) {
            if (!item)
                continue;
            for (const QString &type : item->types()) {
                if (isConcealedType(type))
                    return true;
                if (type == kPasswordHintType && isSecretHint(item->dataForType(type)))
                    return true;
            }
        }
    }
    return false;
}

bool PasteboardReader::isCustomPasteboardType(const QString &type) const
{
    if (isStandardType(type))
        return false;
    const auto conformance = types_.lookup(type);
    if (!conformance)
        return true;
    return !(conformance->text || conformance->image || conformance->url);
}

bool PasteboardReader::shouldPreserveRawContent(const PasteboardContents &pasteboard,
                                                const std::optional<QString> &sourceAppName) const
{
    const bool isDesignTool = sourceAppName && sourceAppName->toLower().contains(QLatin1String("figma"));
    // The answer is the design-tool test at the first custom type, and false
    // without one; so another application never needs the walk.
    if (!isDesignTool)
        return false;
    const auto items = pasteboard.items();
    if (!items)
        return false;
    for (const auto &item : *items) {
        if (!item)
            continue;
        for (const QString &type : item->types())
            if (isCustomPasteboardType(type))
                return true;
    }
    return false;
}

std::optional<QList<PasteboardItemPayload>> PasteboardReader::readRawPayloads(const PasteboardContents &pasteboard) const
{
    const auto items = pasteboard.items();
    if (!items || items->isEmpty())
        return std::nullopt;
    QList<PasteboardItemPayload> payloads;
    bool anyCustom = false;
    for (const auto &item : *items) {
        if (!item)
            continue;
        PasteboardItemPayload payload;
        for (const QString &type : item->types()) {
            auto data = item->dataForType(type);
            if (!data || data->isEmpty())
                continue;
            if (!anyCustom && isCustomPasteboardType(type))
                anyCustom = true;
            payload.representations.append(PasteboardRepresentation{type, std::move(*data)});
        }
        if (!payload.representations.isEmpty())
            payloads.append(std::move(payload));
    }
    if (!anyCustom)
        return std::nullopt;
    return payloads;
}

std::optional<QString> PasteboardReader::readPlainText(const PasteboardContents &pasteboard) const
{
    if (auto s = nonEmpty(pasteboard.stringForType(PasteboardType::String)))
        return s;
    for (const QString &type : plainTextTypes()) {
        if (auto s = nonEmpty(pasteboard.stringForType(type)))
            return s;
        if (auto data = pasteboard.dataForType(type))
            if (auto s = decodeTextData(*data))
                return s;
    }
    if (const auto texts = pasteboard.textObjects(); texts && !texts->isEmpty() && !texts->first().isEmpty())
        return texts->first();
    if (const auto items = pasteboard.items()) {
        for (const auto &item : *items) {
            if (!item)
                continue;
            for (const QString &type : item->types()) {
                if (isMarkupType(type))
                    continue;
                const auto conformance = types_.lookup(type);
                if (!conformance || !conformance->text)
                    continue;
                if (auto s = nonEmpty(item->stringForType(type)))
                    return s;
                if (auto data = item->dataForType(type))
                    if (auto s = decodeTextData(*data))
                        return s;
            }
        }
    }
    if (auto rtf = pasteboard.dataForType(PasteboardType::RTF))
        if (auto styled = styledText_.read(*rtf, StyledDocumentType::RTF); styled && !styled->string.isEmpty())
            return styled->string;
    if (auto html = pasteboard.dataForType(PasteboardType::HTML))
        if (auto styled = styledText_.read(*html, StyledDocumentType::HTML); styled && !styled->string.isEmpty())
            return styled->string;
    return std::nullopt;
}

std::optional<CapturedContent> PasteboardReader::readText(const PasteboardContents &pasteboard, const QString &text) const
{
    if (isWebAddress(text))
        return CapturedContent{ClipboardContent::url(text), std::nullopt};

    std::optional<QByteArray> html = pasteboard.dataForType(PasteboardType::HTML);
    if (html && html->isEmpty())
        html.reset();

    if (auto rtf = pasteboard.dataForType(PasteboardType::RTF); rtf && !rtf->isEmpty())
        return CapturedContent{ClipboardContent::richText(text, *rtf), html};

    if (auto rtfd = pasteboard.dataForType(PasteboardType::RTFD); rtfd && !rtfd->isEmpty()) {
        if (auto styled = styledText_.read(*rtfd, StyledDocumentType::RTFD); styled && styled->rtf) {
            const QString plain = styled->string.isEmpty() ? text : styled->string;
            return CapturedContent{ClipboardContent::richText(plain, *styled->rtf), html};
        }
    }

    if (html) {
        if (auto styled = styledText_.read(*html, StyledDocumentType::HTML); styled && styled->rtf)
            return CapturedContent{ClipboardContent::richText(text, *styled->rtf), html};
    }
    return CapturedContent{ClipboardContent::text(text), std::nullopt};
}

std::optional<CapturedContent> PasteboardReader::readPasteboard(const PasteboardContents &pasteboard,
                                                               const std::optional<QString> &sourceAppName) const
{
    // 1. Design-tool content stays in the tool's own formats.
    if (shouldPreserveRawContent(pasteboard, sourceAppName))
        if (auto payloads = readRawPayloads(pasteboard))
            return CapturedContent{ClipboardContent::raw(std::move(*payloads)), std::nullopt};

    LazyImage image(pasteboard);

    // 2. An image, unless a non-empty text (a file name, a caption) comes
    // with it. The text is looked at before the image is decoded.
    const auto types = pasteboard.types();
    if (types && (types->contains(PasteboardType::TIFF) || types->contains(PasteboardType::PNG))) {
        bool textWins = false;
        if (types->contains(PasteboardType::String)) {
            const auto s = pasteboard.stringForType(PasteboardType::String);
            textWins = !s || !s->isEmpty();
        }
        if (const QByteArray *png = textWins ? nullptr : image.get())
            return CapturedContent{ClipboardContent::image(*png), std::nullopt};
    }

    // 3. Text: a web address, rich text or plain text.
    if (const auto text = readPlainText(pasteboard))
        return readText(pasteboard, *text);

    // 4. Any image the clipboard can produce.
    if (const QByteArray *png = image.get())
        return CapturedContent{ClipboardContent::image(*png), std::nullopt};

    // 5. Application-specific content nothing else could read.
    if (auto payloads = readRawPayloads(pasteboard))
        return CapturedContent{ClipboardContent::raw(std::move(*payloads)), std::nullopt};

    return std::nullopt;
}

} // namespace kelvo
