#include "platform/qt/QtStyledTextConverter.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFragment>

#include <array>
#include <vector>

namespace kelvo {

namespace {

// Groups deeper than this share the state of the deepest tracked group, so
// a hostile run of braces costs a counter, not memory.
constexpr int kMaxTrackedDepth = 256;

// Windows-1252 for 0x80..0x9F, used when the text codec has no such table.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QByteArray codePageName(int codePage)
{
    switch (codePage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 10000: return "macintosh";
    case 65001: return "UTF-8";
    default: return "windows-" + QByteArray::number(codePage);
    }
}

struct GroupState {
    bool skip = false;   // inside a destination whose text is not shown
    int unicodeSkip = 1; // \ucN: fallback characters after each \uN
};

bool isSkippedDestination(QByteArrayView word)
{
    static const QList<QByteArrayView> names = {
        "fonttbl", "colortbl", "stylesheet", "info", "pict", "object", "header", "headerl",
        "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "footnote", "fldinst",
        "listtable", "listoverridetable", "rsidtbl", "generator", "xmlnstbl", "themedata",
        "colorschememapping", "datastore", "latentstyles", "pgdsctbl", "revtbl", "filetbl",
        "nonshppict", "bkmkstart", "bkmkend", "private", "operator", "author", "title",
        "subject", "keywords", "comment", "doccomm", "company", "buptim", "creatim",
        "printim", "revtim", "xe", "tc", "txe", "annotation", "atnid", "atnauthor", "mmathPr"};
    return names.contains(word);
}

QString symbolForWord(QByteArrayView word)
{
    if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row")
        return QStringLiteral("\n");
    if (word == "tab" || word == "cell")
        return QStringLiteral("\t");
    if (word == "emdash") return QString(QChar(0x2014));
    if (word == "endash") return QString(QChar(0x2013));
    if (word == "bullet") return QString(QChar(0x2022));
    if (word == "lquote") return QString(QChar(0x2018));
    if (word == "rquote") return QString(QChar(0x2019));
    if (word == "ldblquote") return QString(QChar(0x201C));
    if (word == "rdblquote") return QString(QChar(0x201D));
    if (word == "emspace") return QString(QChar(0x2003));
    if (word == "enspace") return QString(QChar(0x2002));
    if (word == "qmspace") return QString(QChar(0x2005));
    return {};
}

class RtfTextReader {
public:
    explicit RtfTextReader(QByteArrayView data) : data_(data) {}

    QString run()
    {
        states_.reserve(64);
        states_.push_back(GroupState{});
        pos_ = 0;
        while (pos_ < data_.size()) {
            const char c = data_[pos_];
            if (c == '{') {
                ++pos_;
                openGroup();
            } else if (c == '}') {
                ++pos_;
                if (!closeGroup())
                    break; // the document's outer group ended
            } else if (c == '\\') {
                ++pos_;
                controlSequence();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                destinationPending_ = false;
                if (consumeFallback())
                    continue;
                if (!skipping() && !isDroppedControl(uchar(c)))
                    pending_.append(c);
            }
        }
        flush();
        return out_;
    }

private:
    GroupState &state() { return states_.back(); }
    bool skipping() const { return states_.back().skip || untrackedSkipFrom_ >= 0; }

    void markSkipped()
    {
        if (untracked_ == 0)
            states_.back().skip = true;
        else if (!skipping())
            untrackedSkipFrom_ = untracked_; // ends when this untracked group closes
    }

    void openGroup()
    {
        flush();
        skipCount_ = 0;
        if (int(states_.size()) < kMaxTrackedDepth)
            states_.push_back(states_.back());
        else
            ++untracked_;
        destinationPending_ = true;
    }

    // False when the outermost group closed.
    bool closeGroup()
    {
        flush();
        skipCount_ = 0;
        destinationPending_ = false;
        if (untracked_ > 0) {
            if (untrackedSkipFrom_ == untracked_)
                untrackedSkipFrom_ = -1;
            --untracked_;
            return true;
        }
        if (states_.size() <= 1)
            return false;
        states_.pop_back();
        return states_.size() > 1;
    }

    // An \ucN fallback character after \uN is dropped.
    bool consumeFallback()
    {
        if (skipCount_ <= 0)
            return false;
        --skipCount_;
        return true;
    }

    void appendText(const QString &text)
    {
        if (skipping() || text.isEmpty())
            return;
        flush();
        out_ += text;
    }

    void controlSequence()
    {
        if (pos_ >= data_.size())
            return;
        const char c = data_[pos_];
        const bool firstInGroup = destinationPending_;
        destinationPending_ = false;
        if (!isAsciiLetter(c)) {
            ++pos_;
            controlSymbol(c, firstInGroup);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < data_.size() && isAsciiLetter(data_[pos_]) && pos_ - start < 32)
            ++pos_;
        const QByteArrayView word = data_.sliced(start, pos_ - start);
        while (pos_ < data_.size() && isAsciiLetter(data_[pos_]))
            ++pos_; // an overlong word is cut, its tail ignored
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ < data_.size() && data_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        int digits = 0;
        while (pos_ < data_.size() && data_[pos_] >= '0' && data_[pos_] <= '9') {
            if (digits < 10)
                param = param * 10 + (data_[pos_] - '0');
            ++digits;
            ++pos_;
            hasParam = true;
        }
        if (negative)
            param = -param;
        if (pos_ < data_.size() && data_[pos_] == ' ')
            ++pos_;
        controlWord(word, hasParam, param, firstInGroup);
    }

    void controlSymbol(char c, bool firstInGroup)
    {
        if (c == '*') {
            if (firstInGroup)
                markSkipped();
            return;
        }
        if (c == '\'') {
            int value = 0;
            int n = 0;
            while (n < 2 && pos_ < data_.size() && hexValue(data_[pos_]) >= 0) {
                value = value * 16 + hexValue(data_[pos_]);
                ++pos_;
                ++n;
            }
            if (n == 0 || consumeFallback())
                return;
            if (!skipping() && !isDroppedControl(value))
                pending_.append(char(value));
            return;
        }
        if (consumeFallback())
            return;
        switch (c) {
        case '\\': case '{': case '}':
            appendText(QString(QLatin1Char(c)));
            break;
        case '~': appendText(QString(QChar(0x00A0))); break;
        case '_': appendText(QString(QChar(0x2011))); break;
        case '\n': case '\r': appendText(QStringLiteral("\n")); break;
        case '\t': appendText(QStringLiteral("\t")); break;
        default: break; // \- optional hyphen, \| and the like show nothing
        }
    }

    void controlWord(QByteArrayView word, bool hasParam, long long param, bool firstInGroup)
    {
        if (word == "bin") {
            // Raw bytes follow; they are data, never text.
            const long long count = hasParam && param > 0 ? param : 0;
            pos_ = count >= data_.size() - pos_ ? data_.size() : pos_ + qsizetype(count);
            consumeFallback();
            return;
        }
        if (word == "u") {
            if (consumeFallback())
                return;
            long long unit = hasParam ? param : 0;
            if (unit < 0)
                unit += 65536;
            if (unit >= 0 && unit <= 0xFFFF && !skipping() && !isDroppedControl(unit)) {
                flush();
                out_ += QChar(char16_t(unit));
            }
            skipCount_ = state().unicodeSkip;
            return;
        }
        if (consumeFallback())
            return;
        if (word == "uc") {
            state().unicodeSkip = hasParam && param >= 0 && param <= 16 ? int(param) : 1;
            return;
        }
        if (word == "ansicpg" && hasParam) {
            setCodePage(int(param));
            return;
        }
        if (word == "mac") { setCodePage(10000); return; }
        if (word == "pc") { setCodePage(437); return; }
        if (word == "pca") { setCodePage(850); return; }
        if (firstInGroup && isSkippedDestination(word)) {
            markSkipped();
            return;
        }
        appendText(symbolForWord(word));
    }

    void setCodePage(int codePage)
    {
        flush();
        codePage_ = codePage;
        decoder_ = QStringDecoder(codePageName(codePage).constData(), QStringConverter::Flag::Stateless);
    }

    // Bytes from \'hh and raw high characters are decoded together, so
    // multi-byte code pages read right.
    void flush()
    {
        if (pending_.isEmpty())
            return;
        if (codePage_ != 1252 && decoder_.isValid()) {
            out_ += decoder_.decode(pending_);
        } else {
            for (char ch : std::as_const(pending_)) {
                const auto b = uchar(ch);
                out_ += b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b);
            }
        }
        pending_.clear();
    }

    // Tab and line feed are the only control characters kept in text.
    static bool isDroppedControl(long long unit) { return (unit < 0x20 && unit != '\t' && unit != '\n') || unit == 0x7F; }
    static bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    QByteArrayView data_;
    qsizetype pos_ = 0;
    std::vector<GroupState> states_;
    int untracked_ = 0;
    int untrackedSkipFrom_ = -1;
    int skipCount_ = 0;
    bool destinationPending_ = false;
    int codePage_ = 1252;
    QStringDecoder decoder_;
    QByteArray pending_;
    QString out_;
};

void appendEscaped(QByteArray &rtf, QStringView text)
{
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            rtf += '\\';
            rtf += char(u);
        } else if (u == '\t') {
            rtf += "\\tab ";
        } else if (u == '\n' || u == QChar::LineSeparator) {
            rtf += "\\line ";
        } else if (u == QChar::ParagraphSeparator) {
            rtf += "\\par ";
        } else if (u == QChar::Nbsp) {
            rtf += "\\~";
        } else if (u == QChar::ObjectReplacementCharacter || u < 0x20 || u == 0x7F) {
            continue;
        } else if (u < 0x80) {
            rtf += char(u);
        } else {
            rtf += "\\u" + QByteArray::number(int(int16_t(u))) + '?';
        }
    }
}

QByteArray fontName(const QString &family)
{
    QByteArray name;
    appendEscaped(name, QString(family).remove(QLatin1Char(';')));
    return name;
}

} // namespace

std::optional<QString> QtStyledTextConverter::plainTextOfRtf(const QByteArray &rtf)
{
    QByteArrayView view(rtf);
    qsizetype start = 0;
    while (start < view.size() && (view[start] == ' ' || view[start] == '\t' || view[start] == '\r' || view[start] == '\n'))
        ++start;
    if (!view.sliced(start).startsWith("{\\rtf"))
        return std::nullopt;
    return RtfTextReader(view.sliced(start)).run();
}

QString QtStyledTextConverter::plainTextOfDocument(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            text += QLatin1Char('\n');
        for (const QChar ch : block.text()) {
            if (ch == QChar::LineSeparator)
                text += QLatin1Char('\n');
            else if (ch != QChar::ObjectReplacementCharacter && ch.unicode() >= 0x20 && ch.unicode() != 0x7F)
                text += ch;
            else if (ch == QLatin1Char('\t') || ch == QLatin1Char('\n'))
                text += ch;
        }
    }
    return text;
}

QByteArray QtStyledTextConverter::rtfFromDocument(const QTextDocument &document)
{
    QStringList fonts;
    QList<QColor> colors;
    auto fontIndex = [&fonts](const QString &family) {
        qsizetype i = fonts.indexOf(family);
        if (i < 0) {
            fonts.append(family);
            i = fonts.size() - 1;
        }
        return i;
    };
    auto colorIndex = [&colors](const QColor &color) {
        qsizetype i = colors.indexOf(color);
        if (i < 0) {
            colors.append(color);
            i = colors.size() - 1;
        }
        return i + 1; // entry 0 is the automatic colour
    };

    fontIndex(QStringLiteral("Helvetica"));
    QByteArray body;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            body += "\\par\n";
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            body += '{';
            const qsizetype groupStart = body.size();
            const QStringList families = format.fontFamilies().toStringList();
            if (!families.isEmpty() && !families.first().isEmpty())
                body += "\\f" + QByteArray::number(fontIndex(families.first()));
            const qreal points = format.fontPointSize();
            if (points > 0 && points < 1600)
                body += "\\fs" + QByteArray::number(qRound(points * 2));
            if (format.fontWeight() >= QFont::DemiBold)
                body += "\\b";
            if (format.fontItalic())
                body += "\\i";
            if (format.fontUnderline())
                body += "\\ul";
            if (format.fontStrikeOut())
                body += "\\strike";
            if (format.foreground().style() != Qt::NoBrush) {
                const QColor color = format.foreground().color();
                if (color.isValid())
                    body += "\\cf" + QByteArray::number(colorIndex(color.toRgb()));
            }
            if (body.size() > groupStart)
                body += ' ';
            QString text = fragment.text();
            appendEscaped(body, text);
            body += '}';
        }
    }

    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (qsizetype i = 0; i < fonts.size(); ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\fnil " + fontName(fonts.at(i)) + ";}";
    rtf += "}\n{\\colortbl;";
    for (const QColor &color : std::as_const(colors))
        rtf += "\\red" + QByteArray::number(color.red()) + "\\green" + QByteArray::number(color.green())
            + "\\blue" + QByteArray::number(color.blue()) + ';';
    rtf += "}\n\\pard\\plain\\f0 ";
    rtf += body;
    rtf += "}";
    return rtf;
}

std::optional<StyledText> QtStyledTextConverter::readHtml(const QByteArray &html)
{
    if (html.trimmed().isEmpty())
        return std::nullopt;
    QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
    QString source;
    if (decoder.isValid())
        source = decoder.decode(html);
    else
        source = QString::fromUtf8(html);
    QTextDocument document;
    document.setHtml(source);
    return StyledText{plainTextOfDocument(document), rtfFromDocument(document)};
}

std::optional<StyledText> QtStyledTextConverter::read(const QByteArray &data, StyledDocumentType type) const
{
    switch (type) {
    case StyledDocumentType::RTF:
        if (auto text = plainTextOfRtf(data))
            return StyledText{*text, data};
        return std::nullopt;
    case StyledDocumentType::HTML:
        return readHtml(data);
    case StyledDocumentType::RTFD:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace kelvo
