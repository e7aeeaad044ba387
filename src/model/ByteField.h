#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <optional>

namespace kelvo {

// A byte field of an entry: its bytes held in memory, or its Base64 text
// where it lies in the history file that was read, decoded only when the
// bytes are asked for and copied through unchanged when the history is
// written again. Copies share what they hold.
class ByteField {
public:
    ByteField() = default;
    ByteField(QByteArray bytes) : held_(std::move(bytes)) {}
    ByteField(const char *bytes) : held_(bytes) {}
    // `textSize` bytes of Base64 text (checked with isBase64Text) at
    // `offset` in `file`, decoding to `size` bytes.
    ByteField(std::shared_ptr<const ReadableFile> file, qint64 offset, qint64 textSize, qint64 size)
        : file_(std::move(file)), offset_(offset), textSize_(textSize), size_(size)
    {
    }

    bool isHeld() const { return !file_; }
    // The number of bytes, known without decoding.
    qint64 size() const { return file_ ? size_ : held_.size(); }
    // The bytes: those held, or read and decoded now; empty when the file
    // no longer holds valid Base64 text there.
    QByteArray bytes() const;
    // The same, but nullopt when the file no longer holds valid Base64 text
    // of the expected size there.
    std::optional<QByteArray> read() const;
    // Appends the Base64 text; false (and `out` unchanged) when the file
    // no longer holds valid Base64 text there.
    bool appendBase64(QByteArray *out) const;

    friend bool operator==(const ByteField &a, const ByteField &b);

private:
    QByteArray held_;
    std::shared_ptr<const ReadableFile> file_;
    qint64 offset_ = 0;
    qint64 textSize_ = 0;
    qint64 size_ = 0;
};

// Padded standard Base64: a multiple of four characters of the alphabet,
// with at most two '=' at the end.
bool isBase64Text(QByteArrayView text);
// The length of the Base64 text (as isBase64Text accepts it) that starts
// `text` and is followed by `terminator`; -1 when there is none.
qsizetype base64TextBefore(QByteArrayView text, char terminator);
// The size of what valid Base64 text decodes to.
qint64 base64DecodedSize(QByteArrayView text);

} // namespace kelvo
