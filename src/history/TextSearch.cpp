#include "history/TextSearch.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvo {

QByteArray searchKey(const ClipboardContent &content)
{
    switch (content.kind()) {
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::RichText:
    case ClipboardContent::Kind::Url: {
        QByteArray key = content.string().toLower().toUtf8();
        if (key.isNull())
            key = QByteArray("", 0); // searchable, even when empty
        return key;
    }
    case ClipboardContent::Kind::Image:
    case ClipboardContent::Kind::Raw:
        break;
    }
    return QByteArray();
}

QByteArray searchNeedle(const QString &query)
{
    return query.toLower().toUtf8();
}

// Short queries over long texts are the common case of the search field.
// glibc's memmem and Qt's search step through such texts a few bytes at a
// time; comparing the needle's first and last byte at sixteen positions per
// step and verifying only where both agree is several times faster.
bool containsBytes(QByteArrayView haystack, QByteArrayView needle)
{
    const qsizetype n = haystack.size();
    const qsizetype m = needle.size();
    if (m == 0)
        return true;
    if (m > n)
        return false;
    const char *h = haystack.data();
    const char *k = needle.data();
    if (m == 1)
        return std::memchr(h, k[0], size_t(n)) != nullptr;

    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(k[0]);
    const __m128i last = _mm_set1_epi8(k[m - 1]);
    for (; i + m - 1 + 16 <= n; i += 16) {
        const __m128i blockFirst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i));
        const __m128i blockLast = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i + m - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(blockFirst, first), _mm_cmpeq_epi8(blockLast, last))));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            if (std::memcmp(h + i + bit + 1, k + 1, size_t(m - 2)) == 0)
                return true;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + m <= n; ++i)
        if (h[i] == k[0] && h[i + m - 1] == k[m - 1] && std::memcmp(h + i + 1, k + 1, size_t(m - 2)) == 0)
            return true;
    return false;
}

} // namespace kelvo
