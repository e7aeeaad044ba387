#include "model/HistoryCodec.h"

#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <vector>

namespace kelvo {

// ---------------------------------------------------------------------------
// Writing

namespace {

class JsonWriter {
public:
    explicit JsonWriter(qsizetype reserve) { out_.reserve(reserve); }

    void raw(QLatin1StringView text) { out_.append(text.data(), text.size()); }
    void ch(char c) { out_.append(c); }

    void key(QLatin1StringView name)
    {
        ch('"');
        raw(name);
        raw(QLatin1StringView("\":"));
    }

    // UTF-16 to UTF-8 and JSON escaping in one pass, straight into the
    // output: the text is large (whole copied documents) and written on
    // every save. A lone surrogate becomes '?', as in QString::toUtf8.
    void string(const QString &text)
    {
        const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
        const char16_t *const end = p + text.size();
        const qsizetype start = out_.size();
        // At most six bytes per UTF-16 unit (a \u00XX escape) and the quotes.
        out_.resize(start + text.size() * 6 + 2);
        char *o = out_.data() + start;
        *o++ = '"';
        while (p != end) {
            const char16_t u = *p++;
            if (u < 0x80) {
                if (u >= 0x20 && u != '"' && u != '\\') {
                    *o++ = char(u);
                    continue;
                }
                *o++ = '\\';
                switch (u) {
                case '"': *o++ = '"'; break;
                case '\\': *o++ = '\\'; break;
                case '\n': *o++ = 'n'; break;
                case '\r': *o++ = 'r'; break;
                case '\t': *o++ = 't'; break;
                case '\b': *o++ = 'b'; break;
                case '\f': *o++ = 'f'; break;
                default: {
                    static const char hex[] = "0123456789abcdef";
                    *o++ = 'u';
                    *o++ = '0';
                    *o++ = '0';
                    *o++ = hex[u >> 4];
                    *o++ = hex[u & 0xF];
                }
                }
                continue;
            }
            char32_t cp = u;
            if (QChar::isSurrogate(u)) {
                if (!QChar::isHighSurrogate(u) || p == end || !QChar::isLowSurrogate(*p)) {
                    *o++ = '?';
                    continue;
                }
                cp = QChar::surrogateToUcs4(u, *p++);
            }
            if (cp < 0x800) {
                *o++ = char(0xC0 | (cp >> 6));
            } else if (cp < 0x10000) {
                *o++ = char(0xE0 | (cp >> 12));
                *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            } else {
                *o++ = char(0xF0 | (cp >> 18));
                *o++ = char(0x80 | ((cp >> 12) & 0x3F));
                *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            }
            *o++ = char(0x80 | (cp & 0x3F));
        }
        *o++ = '"';
        out_.resize(o - out_.constData());
    }

    void bytes(const QByteArray &data)
    {
        ch('"');
        out_.append(data.toBase64());
        ch('"');
    }

    // Text still in the file that was read is copied, not re-encoded.
    // `at` receives where the text starts.
    void bytes(const ByteField &field, qsizetype *at = nullptr)
    {
        ch('"');
        if (at)
            *at = out_.size();
        failed_ = !field.appendBase64(&out_) || failed_;
        ch('"');
    }

    bool failed() const { return failed_; }
    qsizetype size() const { return out_.size(); }
    // Drops everything written after `size`, a failure included.
    void rollBack(qsizetype size)
    {
        out_.resize(size);
        failed_ = false;
    }

    void number(double value)
    {
        // A date that is not a finite number has no JSON form; it is written
        // as the reference date rather than producing an unreadable file.
        if (!std::isfinite(value))
            value = 0;
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        out_.append(buffer, result.ptr - buffer);
    }

    void boolean(bool value) { raw(value ? QLatin1StringView("true") : QLatin1StringView("false")); }

    void uuid(const QUuid &id)
    {
        ch('"');
        out_.append(id.toByteArray(QUuid::WithoutBraces).toUpper());
        ch('"');
    }

    QByteArray take() { return std::move(out_); }

private:
    QByteArray out_;
    bool failed_ = false;
};

qsizetype base64Size(qsizetype n) { return (n + 2) / 3 * 4 + 2; }

qsizetype estimateSize(const QList<ClipboardItem> &items)
{
    qsizetype total = 2;
    for (const ClipboardItem &item : items) {
        total += 256;
        const ClipboardContent &c = item.content;
        total += c.string().size() + c.string().size() / 8 + base64Size(c.dataSize());
        for (const PasteboardItemPayload &payload : c.payloads()) {
            total += 24;
            for (const PasteboardRepresentation &r : payload.representations)
                total += 24 + r.type.size() + base64Size(r.data.size());
        }
        if (item.richTextHTMLData)
            total += base64Size(item.richTextHTMLData->size());
        if (item.previewImagePNGData)
            total += base64Size(item.previewImagePNGData->size());
        total += (item.preview.size() + item.infoLabel.size()) * 3;
        if (item.sourceAppName)
            total += item.sourceAppName->size() * 3;
    }
    return total;
}

// The Base64 text of a content's bytes starts at `*at` (-1: it has none).
void writeContent(JsonWriter &w, const ClipboardContent &content, qsizetype *at)
{
    *at = -1;
    w.ch('{');
    switch (content.kind()) {
    case ClipboardContent::Kind::Text:
        w.key(QLatin1StringView("text"));
        w.ch('{');
        w.key(QLatin1StringView("_0"));
        w.string(content.string());
        w.ch('}');
        break;
    case ClipboardContent::Kind::RichText:
        w.key(QLatin1StringView("richText"));
        w.ch('{');
        w.key(QLatin1StringView("_0"));
        w.string(content.string());
        w.ch(',');
        w.key(QLatin1StringView("_1"));
        w.bytes(content.dataField(), at);
        w.ch('}');
        break;
    case ClipboardContent::Kind::Image:
        w.key(QLatin1StringView("image"));
        w.ch('{');
        w.key(QLatin1StringView("_0"));
        w.bytes(content.dataField(), at);
        w.ch('}');
        break;
    case ClipboardContent::Kind::Url:
        w.key(QLatin1StringView("url"));
        w.ch('{');
        w.key(QLatin1StringView("_0"));
        w.string(content.string());
        w.ch('}');
        break;
    case ClipboardContent::Kind::Raw: {
        w.key(QLatin1StringView("raw"));
        w.ch('{');
        w.key(QLatin1StringView("_0"));
        w.ch('[');
        bool firstItem = true;
        for (const PasteboardItemPayload &payload : content.payloads()) {
            if (!firstItem)
                w.ch(',');
            firstItem = false;
            w.ch('{');
            w.key(QLatin1StringView("representations"));
            w.ch('[');
            bool firstRep = true;
            for (const PasteboardRepresentation &r : payload.representations) {
                if (!firstRep)
                    w.ch(',');
                firstRep = false;
                w.ch('{');
                w.key(QLatin1StringView("type"));
                w.string(r.type);
                w.ch(',');
                w.key(QLatin1StringView("data"));
                w.bytes(r.data);
                w.ch('}');
            }
            w.ch(']');
            w.ch('}');
        }
        w.ch(']');
        w.ch('}');
        break;
    }
    }
    w.ch('}');
}

} // namespace

QByteArray encodeHistory(const QList<ClipboardItem> &items, EncodeReport *report)
{
    JsonWriter w(estimateSize(items));
    w.ch('[');
    bool first = true;
    for (const ClipboardItem &item : items) {
        const qsizetype entryStart = w.size();
        if (!first)
            w.ch(',');
        w.ch('{');
        w.key(QLatin1StringView("id"));
        w.uuid(item.id);
        w.ch(',');
        w.key(QLatin1StringView("content"));
        qsizetype textAt = -1;
        writeContent(w, item.content, &textAt);
        if (report && w.failed()) {
            // Its bytes are gone from the file they were kept in: the entry
            // is left out, the others are written.
            w.rollBack(entryStart);
            report->unreadable.append(item.id);
            continue;
        }
        first = false;
        const qint64 size = item.content.dataSize();
        if (report && textAt >= 0 && base64Size(size) - 2 >= kMinimumTextLeftInFile)
            report->fields.append({item.id, textAt, base64Size(size) - 2, size});
        if (item.richTextHTMLData) {
            w.ch(',');
            w.key(QLatin1StringView("richTextHTMLData"));
            w.bytes(*item.richTextHTMLData);
        }
        w.ch(',');
        w.key(QLatin1StringView("timestamp"));
        w.number(item.timestamp);
        if (item.sourceAppName) {
            w.ch(',');
            w.key(QLatin1StringView("sourceAppName"));
            w.string(*item.sourceAppName);
        }
        w.ch(',');
        w.key(QLatin1StringView("isPinned"));
        w.boolean(item.isPinned);
        w.ch(',');
        w.key(QLatin1StringView("preview"));
        w.string(item.preview);
        w.ch(',');
        w.key(QLatin1StringView("infoLabel"));
        w.string(item.infoLabel);
        if (item.previewImagePNGData) {
            w.ch(',');
            w.key(QLatin1StringView("previewImagePNGData"));
            w.bytes(*item.previewImagePNGData);
        }
        w.ch('}');
    }
    w.ch(']');
    if (w.failed())
        return QByteArray();
    return w.take();
}

// ---------------------------------------------------------------------------
// Reading
//
// A schema-directed parser over the raw bytes: values are read straight
// into the entry's fields (Base64 is decoded from the input slice without
// an intermediate string), unknown keys are skipped by an iterative
// scanner, and the schema itself nests only a few levels, so no input can
// drive the recursion deep.

namespace {

constexpr int kMaxSkipDepth = 512;


class JsonReader {
public:
    JsonReader(QByteArrayView bytes, std::shared_ptr<const ReadableFile> file)
        : begin_(bytes.data()), p_(bytes.data()), end_(bytes.data() + bytes.size()), file_(std::move(file))
    {
    }

    const QString &error() const { return error_; }

    bool fail(const QString &message)
    {
        if (error_.isEmpty())
            error_ = message;
        return false;
    }

    bool failHere(const char *what)
    {
        if (p_ >= end_)
            return fail(QStringLiteral("Unexpected end of data at offset %1 (%2).").arg(p_ - begin_).arg(QLatin1StringView(what)));
        return fail(QStringLiteral("Malformed JSON at offset %1: %2.").arg(p_ - begin_).arg(QLatin1StringView(what)));
    }

    bool typeMismatch(const char *expected, QByteArrayView key)
    {
        return fail(QStringLiteral("Expected %1 for key \"%2\" at offset %3.")
                        .arg(QLatin1StringView(expected), QString::fromUtf8(key))
                        .arg(p_ - begin_));
    }

    bool missingKey(const char *key, const char *where)
    {
        return fail(QStringLiteral("No value associated with key \"%1\" in %2 ending at offset %3.")
                        .arg(QLatin1StringView(key), QLatin1StringView(where))
                        .arg(p_ - begin_));
    }

    void skipBom()
    {
        if (end_ - p_ >= 3 && uchar(p_[0]) == 0xEF && uchar(p_[1]) == 0xBB && uchar(p_[2]) == 0xBF)
            p_ += 3;
    }

    void ws()
    {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            ++p_;
    }

    bool atEnd()
    {
        ws();
        return p_ == end_;
    }

    char peek()
    {
        ws();
        return p_ < end_ ? *p_ : '\0';
    }

    bool consume(char c)
    {
        ws();
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }

    bool literal(QByteArrayView word)
    {
        if (end_ - p_ < word.size() || QByteArrayView(p_, word.size()) != word)
            return false;
        p_ += word.size();
        return true;
    }

    // A null in place of an optional value; consumes it.
    bool takeNull()
    {
        ws();
        return p_ < end_ && *p_ == 'n' && literal("null");
    }

    // Scans a string token. On success *body/*size cover the bytes between
    // the quotes and *escaped tells whether any backslash occurs in them.
    bool stringToken(const char **body, qsizetype *size, bool *escaped)
    {
        ws();
        if (p_ >= end_ || *p_ != '"')
            return failHere("expected a string");
        const char *start = ++p_;
        bool anyEscape = false;
        while (p_ < end_) {
            const uchar c = uchar(*p_);
            if (c == '"') {
                *body = start;
                *size = p_ - start;
                *escaped = anyEscape;
                ++p_;
                return true;
            }
            if (c < 0x20)
                return failHere("control character in string");
            if (c == '\\') {
                anyEscape = true;
                if (++p_ >= end_)
                    break;
            }
            ++p_;
        }
        return failHere("unterminated string");
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    static bool hex4(const char *p, const char *end, uint *value)
    {
        if (end - p < 4)
            return false;
        uint v = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = hexValue(p[i]);
            if (h < 0)
                return false;
            v = v << 4 | uint(h);
        }
        *value = v;
        return true;
    }

    static void appendUtf8(QByteArray *out, uint cp)
    {
        if (cp < 0x80) {
            out->append(char(cp));
        } else if (cp < 0x800) {
            out->append(char(0xC0 | cp >> 6));
            out->append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->append(char(0xE0 | cp >> 12));
            out->append(char(0x80 | (cp >> 6 & 0x3F)));
            out->append(char(0x80 | (cp & 0x3F)));
        } else {
            out->append(char(0xF0 | cp >> 18));
            out->append(char(0x80 | (cp >> 12 & 0x3F)));
            out->append(char(0x80 | (cp >> 6 & 0x3F)));
            out->append(char(0x80 | (cp & 0x3F)));
        }
    }

    // Resolves the escapes of a string body (already scanned) into UTF-8.
    bool unescape(const char *body, qsizetype size, QByteArray *out)
    {
        out->clear();
        out->reserve(size);
        const char *p = body;
        const char *const end = body + size;
        while (p < end) {
            const char *run = p;
            while (p < end && *p != '\\')
                ++p;
            out->append(run, p - run);
            if (p >= end)
                break;
            ++p; // backslash; the scanner guaranteed a following byte
            const char e = *p++;
            switch (e) {
            case '"': out->append('"'); break;
            case '\\': out->append('\\'); break;
            case '/': out->append('/'); break;
            case 'b': out->append('\b'); break;
            case 'f': out->append('\f'); break;
            case 'n': out->append('\n'); break;
            case 'r': out->append('\r'); break;
            case 't': out->append('\t'); break;
            case 'u': {
                uint cp = 0;
                if (!hex4(p, end, &cp))
                    return fail(QStringLiteral("Malformed JSON at offset %1: invalid \\u escape.").arg(p - begin_));
                p += 4;
                if (cp >= 0xDC00 && cp <= 0xDFFF)
                    return fail(QStringLiteral("Malformed JSON at offset %1: unpaired surrogate escape.").arg(p - begin_));
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    uint low = 0;
                    if (end - p < 6 || p[0] != '\\' || p[1] != 'u' || !hex4(p + 2, end, &low)
                        || low < 0xDC00 || low > 0xDFFF)
                        return fail(QStringLiteral("Malformed JSON at offset %1: unpaired surrogate escape.").arg(p - begin_));
                    p += 6;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                return fail(QStringLiteral("Malformed JSON at offset %1: invalid escape.").arg(p - 1 - begin_));
            }
        }
        return true;
    }

    // A key, as UTF-8 bytes; *storage holds them when escapes had to be resolved.
    bool key(QByteArrayView *out, QByteArray *storage)
    {
        const char *body = nullptr;
        qsizetype size = 0;
        bool escaped = false;
        if (!stringToken(&body, &size, &escaped))
            return false;
        if (escaped) {
            if (!unescape(body, size, storage))
                return false;
            *out = *storage;
        } else {
            *out = QByteArrayView(body, size);
        }
        if (!out->isValidUtf8())
            return fail(QStringLiteral("Invalid UTF-8 in key at offset %1.").arg(body - begin_));
        if (!consume(':'))
            return failHere("expected ':'");
        return true;
    }

    bool string(QString *out, QByteArrayView forKey)
    {
        ws();
        if (p_ >= end_ || *p_ != '"')
            return typeMismatch("a string", forKey);
        const char *body = nullptr;
        qsizetype size = 0;
        bool escaped = false;
        if (!stringToken(&body, &size, &escaped))
            return false;
        QByteArrayView utf8(body, size);
        QByteArray storage;
        if (escaped) {
            if (!unescape(body, size, &storage))
                return false;
            utf8 = storage;
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        *out = decoder.decode(utf8);
        if (decoder.hasError())
            return fail(QStringLiteral("Invalid UTF-8 in string at offset %1.").arg(body - begin_));
        return true;
    }

    bool bytes(QByteArray *out, QByteArrayView forKey)
    {
        ws();
        if (p_ >= end_ || *p_ != '"')
            return typeMismatch("a Base64 string", forKey);
        const char *body = nullptr;
        qsizetype size = 0;
        bool escaped = false;
        if (!stringToken(&body, &size, &escaped))
            return false;
        QByteArray storage;
        const QByteArray *text = &storage;
        QByteArray view;
        if (escaped) {
            if (!unescape(body, size, &storage))
                return false;
        } else {
            view = QByteArray::fromRawData(body, size);
            text = &view;
        }
        if (text->size() % 4 != 0)
            return fail(QStringLiteral("Invalid Base64 for key \"%1\" at offset %2.").arg(QString::fromUtf8(forKey)).arg(body - begin_));
        QByteArray::FromBase64Result result =
            QByteArray::fromBase64Encoding(*text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return fail(QStringLiteral("Invalid Base64 for key \"%1\" at offset %2.").arg(QString::fromUtf8(forKey)).arg(body - begin_));
        *out = std::move(result.decoded);
        if (out->isNull())
            *out = QByteArray("");
        return true;
    }

    // A content's bytes: large unescaped Base64 text in a file is checked
    // and left there; anything else is decoded now.
    bool field(ByteField *out, QByteArrayView forKey)
    {
        ws();
        // Base64 text followed by a quote is a whole string token without
        // escapes: found and checked in one pass.
        qsizetype size = -1;
        if (file_ && p_ < end_ && *p_ == '"')
            size = base64TextBefore(QByteArrayView(p_ + 1, end_), '"');
        if (size < kMinimumTextLeftInFile) {
            QByteArray bytes;
            if (!this->bytes(&bytes, forKey))
                return false;
            *out = ByteField(std::move(bytes));
            return true;
        }
        const QByteArrayView text(p_ + 1, size);
        *out = ByteField(file_, text.data() - begin_, size, base64DecodedSize(text));
        p_ += size + 2;
        return true;
    }

    bool number(double *out, QByteArrayView forKey)
    {
        ws();
        const char *start = p_;
        const char *p = p_;
        if (p < end_ && *p == '-')
            ++p;
        if (p >= end_ || !(*p >= '0' && *p <= '9'))
            return typeMismatch("a number", forKey);
        if (*p == '0') {
            ++p;
        } else {
            while (p < end_ && *p >= '0' && *p <= '9')
                ++p;
        }
        if (p < end_ && *p == '.') {
            ++p;
            if (p >= end_ || !(*p >= '0' && *p <= '9')) {
                p_ = p;
                return failHere("invalid number");
            }
            while (p < end_ && *p >= '0' && *p <= '9')
                ++p;
        }
        if (p < end_ && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p < end_ && (*p == '+' || *p == '-'))
                ++p;
            if (p >= end_ || !(*p >= '0' && *p <= '9')) {
                p_ = p;
                return failHere("invalid number");
            }
            while (p < end_ && *p >= '0' && *p <= '9')
                ++p;
        }
        double value = 0;
        const auto result = std::from_chars(start, p, value);
        if (result.ec != std::errc() || result.ptr != p || !std::isfinite(value))
            return fail(QStringLiteral("Number out of range for key \"%1\" at offset %2.").arg(QString::fromUtf8(forKey)).arg(start - begin_));
        p_ = p;
        *out = value;
        return true;
    }

    bool boolean(bool *out, QByteArrayView forKey)
    {
        ws();
        if (literal("true")) {
            *out = true;
            return true;
        }
        if (literal("false")) {
            *out = false;
            return true;
        }
        return typeMismatch("a boolean", forKey);
    }

    bool uuid(QUuid *out, QByteArrayView forKey)
    {
        QString text;
        if (!string(&text, forKey))
            return false;
        bool ok = text.size() == 36;
        for (qsizetype i = 0; ok && i < 36; ++i) {
            const QChar c = text.at(i);
            if (i == 8 || i == 13 || i == 18 || i == 23)
                ok = c == QLatin1Char('-');
            else
                ok = c.unicode() < 128 && hexValue(char(c.unicode())) >= 0;
        }
        if (!ok)
            return fail(QStringLiteral("Invalid UUID string for key \"%1\": %2").arg(QString::fromUtf8(forKey), text.left(64)));
        *out = QUuid::fromString(text);
        return true;
    }

    // Iterates the members of an object; onMember(key) must consume the value.
    template <typename F>
    bool object(QByteArrayView forKey, F &&onMember)
    {
        ws();
        if (p_ >= end_ || *p_ != '{')
            return typeMismatch("an object", forKey);
        ++p_;
        if (consume('}'))
            return true;
        QByteArray storage;
        for (;;) {
            QByteArrayView name;
            if (!key(&name, &storage))
                return false;
            if (!onMember(name))
                return false;
            if (consume(','))
                continue;
            if (consume('}'))
                return true;
            return failHere("expected ',' or '}'");
        }
    }

    template <typename F>
    bool array(QByteArrayView forKey, F &&onElement)
    {
        ws();
        if (p_ >= end_ || *p_ != '[')
            return typeMismatch("an array", forKey);
        ++p_;
        if (consume(']'))
            return true;
        for (;;) {
            if (!onElement())
                return false;
            if (consume(','))
                continue;
            if (consume(']'))
                return true;
            return failHere("expected ',' or ']'");
        }
    }

    bool scalar()
    {
        ws();
        if (p_ >= end_)
            return failHere("expected a value");
        switch (*p_) {
        case '"': {
            const char *body = nullptr;
            qsizetype size = 0;
            bool escaped = false;
            if (!stringToken(&body, &size, &escaped))
                return false;
            QByteArray storage;
            QByteArrayView text(body, size);
            if (escaped) {
                if (!unescape(body, size, &storage))
                    return false;
                text = storage;
            }
            if (!text.isValidUtf8())
                return fail(QStringLiteral("Invalid UTF-8 in string at offset %1.").arg(body - begin_));
            return true;
        }
        case 't': return literal("true") || failHere("invalid literal");
        case 'f': return literal("false") || failHere("invalid literal");
        case 'n': return literal("null") || failHere("invalid literal");
        default: {
            double ignored;
            if (*p_ == '-' || (*p_ >= '0' && *p_ <= '9')) {
                // Large numbers in unknown keys are valid JSON; only the grammar matters.
                const char *save = p_;
                if (number(&ignored, "") )
                    return true;
                if (error_.startsWith(QLatin1StringView("Number out of range"))) {
                    error_.clear();
                    p_ = save;
                    skipNumberToken();
                    return true;
                }
                return false;
            }
            return failHere("expected a value");
        }
        }
    }

    void skipNumberToken()
    {
        while (p_ < end_ && (std::isdigit(uchar(*p_)) || *p_ == '-' || *p_ == '+' || *p_ == '.' || *p_ == 'e' || *p_ == 'E'))
            ++p_;
    }

    // Skips any JSON value without recursion; nesting is capped.
    bool skipValue()
    {
        std::vector<char> stack;
        QByteArray storage;
        for (;;) {
            // Read one value (or open a container).
            ws();
            if (p_ >= end_)
                return failHere("expected a value");
            const char c = *p_;
            bool opened = false;
            if (c == '{' || c == '[') {
                ++p_;
                if (consume(c == '{' ? '}' : ']')) {
                    // empty container: a complete value
                } else {
                    if (int(stack.size()) >= kMaxSkipDepth)
                        return fail(QStringLiteral("Nesting too deep at offset %1.").arg(p_ - begin_));
                    stack.push_back(c);
                    if (c == '{') {
                        QByteArrayView name;
                        if (!key(&name, &storage))
                            return false;
                    }
                    opened = true;
                }
            } else if (!scalar()) {
                return false;
            }
            if (opened)
                continue;
            // After a complete value: close containers or move to the next member.
            for (;;) {
                if (stack.empty())
                    return true;
                const char top = stack.back();
                if (consume(',')) {
                    if (top == '{') {
                        QByteArrayView name;
                        if (!key(&name, &storage))
                            return false;
                    }
                    break;
                }
                if (consume(top == '{' ? '}' : ']')) {
                    stack.pop_back();
                    continue;
                }
                return failHere(top == '{' ? "expected ',' or '}'" : "expected ',' or ']'");
            }
        }
    }

private:
    const char *begin_;
    const char *p_;
    const char *end_;
    const std::shared_ptr<const ReadableFile> file_;
    QString error_;
};

bool readRepresentation(JsonReader &r, PasteboardRepresentation *rep)
{
    bool hasType = false;
    bool hasData = false;
    if (!r.object("representations", [&](QByteArrayView k) {
            if (k == "type") {
                hasType = true;
                return r.string(&rep->type, k);
            }
            if (k == "data") {
                hasData = true;
                return r.bytes(&rep->data, k);
            }
            return r.skipValue();
        }))
        return false;
    if (!hasType)
        return r.missingKey("type", "a representation");
    if (!hasData)
        return r.missingKey("data", "a representation");
    return true;
}

bool readPayload(JsonReader &r, PasteboardItemPayload *payload)
{
    bool hasRepresentations = false;
    if (!r.object("_0", [&](QByteArrayView k) {
            if (k == "representations") {
                hasRepresentations = true;
                payload->representations.clear();
                return r.array(k, [&] {
                    PasteboardRepresentation rep;
                    if (!readRepresentation(r, &rep))
                        return false;
                    payload->representations.append(std::move(rep));
                    return true;
                });
            }
            return r.skipValue();
        }))
        return false;
    if (!hasRepresentations)
        return r.missingKey("representations", "a pasteboard item");
    return true;
}

enum CaseBit { TextCase = 1, RichTextCase = 2, ImageCase = 4, UrlCase = 8, RawCase = 16 };

bool readCase(JsonReader &r, QByteArrayView caseName, CaseBit which, ClipboardContent *out)
{
    bool has0 = false;
    bool has1 = false;
    QString string;
    ByteField data;
    QList<PasteboardItemPayload> payloads;
    if (!r.object(caseName, [&](QByteArrayView k) {
            if (k == "_0") {
                has0 = true;
                switch (which) {
                case TextCase:
                case RichTextCase:
                case UrlCase: return r.string(&string, k);
                case ImageCase: return r.field(&data, k);
                case RawCase:
                    payloads.clear();
                    return r.array(k, [&] {
                        PasteboardItemPayload payload;
                        if (!readPayload(r, &payload))
                            return false;
                        payloads.append(std::move(payload));
                        return true;
                    });
                }
            }
            if (k == "_1" && which == RichTextCase) {
                has1 = true;
                return r.field(&data, k);
            }
            return r.skipValue();
        }))
        return false;
    if (!has0)
        return r.missingKey("_0", "a content case");
    if (which == RichTextCase && !has1)
        return r.missingKey("_1", "a content case");
    switch (which) {
    case TextCase: *out = ClipboardContent::text(std::move(string)); break;
    case RichTextCase: *out = ClipboardContent::richText(std::move(string), std::move(data)); break;
    case ImageCase: *out = ClipboardContent::image(std::move(data)); break;
    case UrlCase: *out = ClipboardContent::url(std::move(string)); break;
    case RawCase: *out = ClipboardContent::raw(std::move(payloads)); break;
    }
    return true;
}

bool readContent(JsonReader &r, ClipboardContent *out)
{
    int cases = 0;
    if (!r.object("content", [&](QByteArrayView k) {
            CaseBit which;
            if (k == "text")
                which = TextCase;
            else if (k == "richText")
                which = RichTextCase;
            else if (k == "image")
                which = ImageCase;
            else if (k == "url")
                which = UrlCase;
            else if (k == "raw")
                which = RawCase;
            else
                return r.skipValue();
            cases |= which;
            return readCase(r, k, which, out);
        }))
        return false;
    if (cases == 0 || (cases & (cases - 1)) != 0)
        return r.fail(QStringLiteral("Invalid number of keys found, expected one."));
    return true;
}

bool readEntry(JsonReader &r, ClipboardItem *item)
{
    bool hasId = false;
    bool hasContent = false;
    bool hasTimestamp = false;
    std::optional<QString> preview;
    std::optional<QString> infoLabel;
    if (!r.object("entry", [&](QByteArrayView k) {
            if (k == "id") {
                hasId = true;
                return r.uuid(&item->id, k);
            }
            if (k == "content") {
                hasContent = true;
                return readContent(r, &item->content);
            }
            if (k == "timestamp") {
                hasTimestamp = true;
                return r.number(&item->timestamp, k);
            }
            // Optional keys: null reads like a missing key.
            if (k == "richTextHTMLData") {
                item->richTextHTMLData.reset();
                if (r.takeNull())
                    return true;
                QByteArray html;
                if (!r.bytes(&html, k))
                    return false;
                item->richTextHTMLData = std::move(html);
                return true;
            }
            if (k == "sourceAppName") {
                item->sourceAppName.reset();
                if (r.takeNull())
                    return true;
                QString name;
                if (!r.string(&name, k))
                    return false;
                item->sourceAppName = std::move(name);
                return true;
            }
            if (k == "isPinned") {
                item->isPinned = false;
                return r.takeNull() || r.boolean(&item->isPinned, k);
            }
            if (k == "preview" || k == "infoLabel") {
                std::optional<QString> &target = k == "preview" ? preview : infoLabel;
                target.reset();
                if (r.takeNull())
                    return true;
                QString text;
                if (!r.string(&text, k))
                    return false;
                target = std::move(text);
                return true;
            }
            if (k == "previewImagePNGData") {
                item->previewImagePNGData.reset();
                if (r.takeNull())
                    return true;
                QByteArray png;
                if (!r.bytes(&png, k))
                    return false;
                item->previewImagePNGData = std::move(png);
                return true;
            }
            return r.skipValue();
        }))
        return false;
    if (!hasId)
        return r.missingKey("id", "an entry");
    if (!hasContent)
        return r.missingKey("content", "an entry");
    if (!hasTimestamp)
        return r.missingKey("timestamp", "an entry");

    // Older files lack the display fields; derive them as at capture,
    // decoding the image at most once.
    const bool isImage = item->content.kind() == ClipboardContent::Kind::Image;
    const bool needMetadata = !preview || !infoLabel || (isImage && !item->previewImagePNGData);
    std::optional<ImageMetadata> metadata;
    if (needMetadata)
        metadata = imageMetadata(item->content);
    item->preview = preview ? std::move(*preview) : makePreview(item->content, metadata);
    item->infoLabel = infoLabel ? std::move(*infoLabel) : makeInfoLabel(item->content, metadata);
    if (isImage && !item->previewImagePNGData && metadata)
        item->previewImagePNGData = metadata->thumbnail;
    if (!isImage && !item->previewImagePNGData)
        item->previewImagePNGData.reset();
    item->sourceAppIcon = QImage();
    return true;
}

} // namespace

bool decodeHistory(QByteArrayView bytes, QList<ClipboardItem> *out, QString *error,
                   std::shared_ptr<const ReadableFile> file)
{
    JsonReader r(bytes, std::move(file));
    QList<ClipboardItem> items;
    r.skipBom();
    bool ok = r.peek() == '[' || r.failHere("expected an array of entries");
    ok = ok && r.array("", [&] {
        ClipboardItem item;
        if (!readEntry(r, &item))
            return false;
        items.append(std::move(item));
        return true;
    });
    ok = ok && (r.atEnd() || r.failHere("unexpected data after the array"));
    if (!ok) {
        if (error)
            *error = r.error().isEmpty() ? QStringLiteral("The data is not a valid history file.") : r.error();
        return false;
    }
    if (out)
        *out = std::move(items);
    return true;
}

} // namespace kelvo
