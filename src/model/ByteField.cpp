#include "model/ByteField.h"

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kelvo {

namespace {

// Decodes text that isBase64Text accepted. Paste waits for this, so it runs
// four characters at a time through a table rather than Qt's general coder.
QByteArray decodeCheckedBase64(QByteArrayView text, qint64 size)
{
    static const auto table = [] {
        std::array<quint8, 256> t{};
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            t[uchar(alphabet[i])] = quint8(i);
        return t;
    }();
    QByteArray out(size, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const uchar *>(text.data());
    auto *o = reinterpret_cast<uchar *>(out.data());
    const qint64 whole = size / 3;
    for (qint64 i = 0; i < whole; ++i, in += 4, o += 3) {
        const quint32 v = quint32(table[in[0]]) << 18 | quint32(table[in[1]]) << 12 | quint32(table[in[2]]) << 6
            | table[in[3]];
        o[0] = uchar(v >> 16);
        o[1] = uchar(v >> 8);
        o[2] = uchar(v);
    }
    if (const qint64 rest = size % 3) { // "xx==" or "xxx="
        const quint32 v = quint32(table[in[0]]) << 18 | quint32(table[in[1]]) << 12 | quint32(table[in[2]]) << 6;
        o[0] = uchar(v >> 16);
        if (rest == 2)
            o[1] = uchar(v >> 8);
    }
    return out;
}

} // namespace

QByteArray ByteField::bytes() const
{
    return read().value_or(QByteArray(""));
}

std::optional<QByteArray> ByteField::read() const
{
    if (!file_)
        return held_;
    QByteArray text(textSize_, Qt::Uninitialized);
    if (!file_->read(offset_, textSize_, text.data()) || !isBase64Text(text) || base64DecodedSize(text) != size_)
        return std::nullopt;
    return decodeCheckedBase64(text, size_);
}

bool ByteField::appendBase64(QByteArray *out) const
{
    if (!file_) {
        out->append(held_.toBase64());
        return true;
    }
    const qsizetype start = out->size();
    out->resize(start + textSize_);
    char *const text = out->data() + start;
    // Checked again as it is copied: a file changed in place must not turn
    // into a broken history file.
    if (file_->read(offset_, textSize_, text) && isBase64Text(QByteArrayView(text, textSize_)))
        return true;
    out->resize(start);
    return false;
}

bool operator==(const ByteField &a, const ByteField &b)
{
    if (a.size() != b.size())
        return false;
    if (a.file_ && a.file_ == b.file_ && a.offset_ == b.offset_)
        return true;
    return a.bytes() == b.bytes();
}

namespace {

inline bool inAlphabet(unsigned char c)
{
    return unsigned(c - 'A') < 26u || unsigned(c - 'a') < 26u || unsigned(c - '/') < 11u || c == '+';
}

// The length of the run of alphabet characters at the start of [p, p + n).
// The text of a large image is scanned at every start, sixteen characters
// at a time where possible.
qsizetype alphabetRun(const unsigned char *p, qsizetype n)
{
    qsizetype i = 0;
#ifdef __SSE2__
    // Every character of the alphabet is below 0x80, so the signed
    // comparisons put the bytes above it out of every range.
    const auto inRange = [](__m128i v, char lo, char hi) {
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(lo - 1))),
                             _mm_cmplt_epi8(v, _mm_set1_epi8(char(hi + 1))));
    };
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i ok = _mm_or_si128(_mm_or_si128(inRange(v, 'A', 'Z'), inRange(v, 'a', 'z')),
                                        _mm_or_si128(inRange(v, '/', '9'), _mm_cmpeq_epi8(v, _mm_set1_epi8('+'))));
        if (_mm_movemask_epi8(ok) != 0xFFFF)
            break;
    }
#endif
    while (i < n && inAlphabet(p[i]))
        ++i;
    return i;
}

} // namespace

bool isBase64Text(QByteArrayView text)
{
    const qsizetype n = text.size();
    if (n % 4 != 0)
        return false;
    qsizetype body = n;
    if (body > 0 && text[body - 1] == '=')
        --body;
    if (body > 0 && text[body - 1] == '=')
        --body;
    return alphabetRun(reinterpret_cast<const unsigned char *>(text.data()), body) == body;
}

qsizetype base64TextBefore(QByteArrayView text, char terminator)
{
    qsizetype n = alphabetRun(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    for (int pad = 0; pad < 2 && n < text.size() && text[n] == '=' && n % 4 != 0; ++pad)
        ++n;
    if (n == text.size() || text[n] != terminator || n % 4 != 0)
        return -1;
    return n;
}

qint64 base64DecodedSize(QByteArrayView text)
{
    qint64 size = text.size() / 4 * 3;
    if (text.endsWith('='))
        --size;
    if (text.size() >= 2 && text[text.size() - 2] == '=')
        --size;
    return size;
}

} // namespace kelvo
