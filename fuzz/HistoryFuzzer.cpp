// Feeds arbitrary bytes to the history file reader, once from memory and
// once as a file whose large byte fields stay in the file. A decoded history
// is written again and must read back to the same number of entries, and
// every byte field must give as many bytes as it says it holds.
#include "model/HistoryCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class BytesFile : public kelvo::ReadableFile {
public:
    explicit BytesFile(QByteArrayView bytes) : bytes(bytes) {}
    qint64 size() const override { return bytes.size(); }
    bool read(qint64 offset, qint64 size, char *out) const override
    {
        if (offset < 0 || size < 0 || offset + size > bytes.size())
            return false;
        std::memcpy(out, bytes.data() + offset, size_t(size));
        return true;
    }
    bool scan(const std::function<bool(QByteArrayView)> &pass) const override { return pass(bytes); }
    QByteArrayView bytes;
};

void check(QByteArrayView bytes, std::shared_ptr<const kelvo::ReadableFile> file)
{
    QList<kelvo::ClipboardItem> items;
    QString error;
    if (!kelvo::decodeHistory(bytes, &items, &error, file)) {
        if (error.isEmpty())
            std::abort();
        return;
    }
    for (const kelvo::ClipboardItem &item : items) {
        if (item.content.data().size() != item.content.dataSize())
            std::abort();
    }
    const QByteArray again = kelvo::encodeHistory(items);
    QList<kelvo::ClipboardItem> reread;
    if (!kelvo::decodeHistory(again, &reread, nullptr) || reread.size() != items.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(bytes, nullptr);
    check(bytes, std::make_shared<BytesFile>(bytes));
    return 0;
}
