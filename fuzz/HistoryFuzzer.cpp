// Feeds arbitrary bytes to the history file reader; a decoded history is
// written again and must read back to the same number of entries.
#include "model/HistoryCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<kelvo::ClipboardItem> items;
    QString error;
    if (!kelvo::decodeHistory(bytes, &items, &error))
        return 0;
    const QByteArray again = kelvo::encodeHistory(items);
    QList<kelvo::ClipboardItem> reread;
    if (!kelvo::decodeHistory(again, &reread, nullptr) || reread.size() != items.size())
        std::abort();
    return 0;
}
