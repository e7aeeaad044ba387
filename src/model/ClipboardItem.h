#pragma once

#include "model/ByteField.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace kelvo {

// One flavour of one clipboard item: its type identifier as the clipboard
// reported it, and its bytes.
struct PasteboardRepresentation {
    QString type;
    QByteArray data;
    friend bool operator==(const PasteboardRepresentation &, const PasteboardRepresentation &) = default;
};

// One clipboard item of application-specific content.
struct PasteboardItemPayload {
    QList<PasteboardRepresentation> representations;
    friend bool operator==(const PasteboardItemPayload &, const PasteboardItemPayload &) = default;
};

// What was copied. Byte fields are shared: copying a content or an entry
// never copies image bytes.
class ClipboardContent {
public:
    enum class Kind { Text, RichText, Image, Url, Raw };

    static ClipboardContent text(QString string);
    static ClipboardContent richText(QString string, ByteField rtfData);
    static ClipboardContent image(ByteField pngData);
    static ClipboardContent url(QString string);
    static ClipboardContent raw(QList<PasteboardItemPayload> payloads);

    Kind kind() const { return kind_; }
    // text, richText (its plain text) and url.
    const QString &string() const { return string_; }
    // richText: the RTF document; image: the PNG bytes (decoded now when
    // they are not held in memory).
    QByteArray data() const { return data_.bytes(); }
    // The same, but nullopt when bytes kept in the history file can no longer
    // be read from it (another program changed the file in place).
    std::optional<QByteArray> readData() const { return data_.read(); }
    qint64 dataSize() const { return data_.size(); }
    const ByteField &dataField() const { return data_; }
    // Takes `field` for the bytes it holds now: the same bytes, kept
    // elsewhere (in the history file just written).
    void replaceDataField(ByteField field) { data_ = std::move(field); }
    const QList<PasteboardItemPayload> &payloads() const { return payloads_; }

private:
    Kind kind_ = Kind::Text;
    QString string_;
    ByteField data_;
    QList<PasteboardItemPayload> payloads_;
};

// Derived from an image content, never stored.
struct ImageMetadata {
    qint64 width = 0;
    qint64 height = 0;
    std::optional<QByteArray> thumbnail;
};

// One history entry.
struct ClipboardItem {
    QUuid id;
    ClipboardContent content;
    std::optional<QByteArray> richTextHTMLData;
    Timestamp timestamp = 0;
    bool isPinned = false;
    std::optional<QString> sourceAppName;
    QImage sourceAppIcon; // never stored; null when unknown
    QString preview;
    QString infoLabel;
    std::optional<QByteArray> previewImagePNGData;

    // A new entry for a capture: fresh random id, the given time, unpinned,
    // derived texts and thumbnail computed once.
    static ClipboardItem make(ClipboardContent content, std::optional<QByteArray> html,
                              std::optional<QString> sourceAppName, QImage sourceAppIcon, Timestamp now);
};

// The icon symbol name of a content kind: "doc.text", "doc.richtext",
// "photo", "link", "tray.full".
QString symbolName(ClipboardContent::Kind kind);

std::optional<ImageMetadata> imageMetadata(const ClipboardContent &content);
// Decodes image bytes; a null image when they do not decode.
// The largest image capture keeps, in pixels, and what one takes decoded
// (4 bytes a pixel).
constexpr qint64 kMaxImagePixels = qint64(16384) * 16384;
constexpr qint64 kMaxImageBytes = kMaxImagePixels * 4;
// Decodes stored image bytes; null for anything larger than the above.
QImage decodeImage(const QByteArray &bytes);
std::optional<ImageMetadata> imageMetadataForImage(const QImage &decoded);
std::optional<QByteArray> makeThumbnailPNG(const QImage &image);
QString makePreview(const ClipboardContent &content, const std::optional<ImageMetadata> &metadata);
QString makeInfoLabel(const ClipboardContent &content, const std::optional<ImageMetadata> &metadata);
QString timeAgoText(const ClipboardItem &item, Timestamp now);
QString timeAgoText(Timestamp timestamp, Timestamp now);

// Text helpers shared by the derived texts.
qsizetype graphemeCount(const QString &text);
QString firstGraphemes(const QString &text, qsizetype count);
// Decimal file-size text (1 KB = 1000 bytes).
QString fileSizeText(qint64 bytes);

} // namespace kelvo
