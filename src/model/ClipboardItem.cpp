#include "model/ClipboardItem.h"

#include "model/DisplayTexts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvo {

namespace {

constexpr qsizetype kPreviewLength = 200;
constexpr double kThumbnailSide = 240.0;

// Rounds halves away from zero, as std::round does, and clamps to [lo, hi].
qint64 roundClamped(double value, qint64 lo)
{
    if (!(value > double(lo)))   // also catches NaN
        return lo;
    const double r = std::round(value);
    if (r >= 9.0e18)
        return qint64(9.0e18);
    return std::max(lo, qint64(r));
}

} // namespace

ClipboardContent ClipboardContent::text(QString string)
{
    ClipboardContent c;
    c.kind_ = Kind::Text;
    c.string_ = std::move(string);
    return c;
}

ClipboardContent ClipboardContent::richText(QString string, ByteField rtfData)
{
    ClipboardContent c;
    c.kind_ = Kind::RichText;
    c.string_ = std::move(string);
    c.data_ = std::move(rtfData);
    return c;
}

ClipboardContent ClipboardContent::image(ByteField pngData)
{
    ClipboardContent c;
    c.kind_ = Kind::Image;
    c.data_ = std::move(pngData);
    return c;
}

ClipboardContent ClipboardContent::url(QString string)
{
    ClipboardContent c;
    c.kind_ = Kind::Url;
    c.string_ = std::move(string);
    return c;
}

ClipboardContent ClipboardContent::raw(QList<PasteboardItemPayload> payloads)
{
    ClipboardContent c;
    c.kind_ = Kind::Raw;
    c.payloads_ = std::move(payloads);
    return c;
}

ClipboardItem ClipboardItem::make(ClipboardContent content, std::optional<QByteArray> html,
                                  std::optional<QString> sourceAppName, QImage sourceAppIcon,
                                  Timestamp now)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    const std::optional<ImageMetadata> metadata = imageMetadata(content);
    item.preview = makePreview(content, metadata);
    item.infoLabel = makeInfoLabel(content, metadata);
    if (metadata)
        item.previewImagePNGData = metadata->thumbnail;
    item.content = std::move(content);
    item.richTextHTMLData = std::move(html);
    item.timestamp = now;
    item.isPinned = false;
    item.sourceAppName = std::move(sourceAppName);
    item.sourceAppIcon = std::move(sourceAppIcon);
    return item;
}

QString symbolName(ClipboardContent::Kind kind)
{
    switch (kind) {
    case ClipboardContent::Kind::Text: return QStringLiteral("doc.text");
    case ClipboardContent::Kind::RichText: return QStringLiteral("doc.richtext");
    case ClipboardContent::Kind::Image: return QStringLiteral("photo");
    case ClipboardContent::Kind::Url: return QStringLiteral("link");
    case ClipboardContent::Kind::Raw: return QStringLiteral("tray.full");
    }
    return QStringLiteral("doc.text");
}

QImage decodeImage(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    // Every image capture accepts decodes: Qt's default limit (128 MB)
    // would refuse an 8000 x 6000 picture with alpha. The size in the
    // header is checked first, so the limit never admits more than that.
    reader.setAllocationLimit(int(kMaxImageBytes >> 20));
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxImagePixels)
        return {};
    return reader.read();
}

std::optional<ImageMetadata> imageMetadataForImage(const QImage &decoded)
{
    if (decoded.isNull())
        return std::nullopt;
    const QSizeF size = decoded.deviceIndependentSize();
    ImageMetadata metadata;
    metadata.width = roundClamped(size.width(), 0);
    metadata.height = roundClamped(size.height(), 0);
    metadata.thumbnail = makeThumbnailPNG(decoded);
    return metadata;
}

std::optional<ImageMetadata> imageMetadata(const ClipboardContent &content)
{
    if (content.kind() != ClipboardContent::Kind::Image)
        return std::nullopt;
    return imageMetadataForImage(decodeImage(content.data()));
}

std::optional<QByteArray> makeThumbnailPNG(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    const QSizeF size = image.deviceIndependentSize();
    const double w = size.width();
    const double h = size.height();
    if (!(w > 0) || !(h > 0))
        return std::nullopt;
    const double scale = std::min(kThumbnailSide / std::max(w, h), 1.0);
    const qint64 newWidth = roundClamped(w * scale, 1);
    const qint64 newHeight = roundClamped(h * scale, 1);

    QImage source = image;
    source.setDevicePixelRatio(1.0);
    const QImage scaled = (newWidth == source.width() && newHeight == source.height())
        ? source
        : source.scaled(int(newWidth), int(newHeight), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull())
        return std::nullopt;

    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !scaled.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

qsizetype graphemeCount(const QString &text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString firstGraphemes(const QString &text, qsizetype count)
{
    if (count <= 0)
        return {};
    // Every grapheme cluster holds at least one UTF-16 unit.
    if (text.size() <= count)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            return text;
        end = next;
    }
    return text.left(end);
}

QString fileSizeText(qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes > -1000 && bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    // Decimal units; KB without decimals, MB with one, larger with two.
    double value = double(bytes);
    int unit = -1;
    do {
        value /= 1000.0;
        ++unit;
    } while (std::abs(value) >= 999.5 && unit < 5);
    const int decimals = unit == 0 ? 0 : unit == 1 ? 1 : 2;
    QString number = QString::number(value, 'f', decimals);
    if (decimals > 0) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString makePreview(const ClipboardContent &content, const std::optional<ImageMetadata> &metadata)
{
    switch (content.kind()) {
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::RichText:
    case ClipboardContent::Kind::Url:
        return firstGraphemes(content.string(), kPreviewLength);
    case ClipboardContent::Kind::Image:
        if (!metadata)
            return QString::fromUtf8(derived::kImage);
        return QStringLiteral("%1 x %2 \u00B7 %3")
            .arg(metadata->width)
            .arg(metadata->height)
            .arg(fileSizeText(content.dataSize()));
    case ClipboardContent::Kind::Raw:
        return QString::fromUtf8(derived::kRawContent);
    }
    return {};
}

QString makeInfoLabel(const ClipboardContent &content, const std::optional<ImageMetadata> &metadata)
{
    switch (content.kind()) {
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::RichText:
    case ClipboardContent::Kind::Url:
        return derivedCountText(derived::kCharacters, graphemeCount(content.string()));
    case ClipboardContent::Kind::Image:
        if (!metadata)
            return QString::fromUtf8(derived::kImage);
        return QStringLiteral("%1 x %2").arg(metadata->width).arg(metadata->height);
    case ClipboardContent::Kind::Raw: {
        qint64 total = 0;
        for (const PasteboardItemPayload &payload : content.payloads())
            total += payload.representations.size();
        return derivedCountText(derived::kFormats, total);
    }
    }
    return {};
}

QString timeAgoText(Timestamp timestamp, Timestamp now)
{
    const double d = now - timestamp;
    if (!(d >= 60.0))   // negative ages and NaN read as "just now"
        return QCoreApplication::translate("ClipboardItem", "刚刚");
    // The count of a plural form is an int; only a timestamp far in the
    // past exceeds it, and takes the form of the largest int with its own
    // count in place.
    const auto ago = [](const char *text, qint64 count) {
        constexpr int kMax = std::numeric_limits<int>::max();
        if (count <= kMax)
            return QCoreApplication::translate("ClipboardItem", text, nullptr, int(count));
        return QCoreApplication::translate("ClipboardItem", text, nullptr, kMax)
            .replace(QString::number(kMax), QString::number(count));
    };
    if (d < 3600.0)
        return ago(QT_TRANSLATE_N_NOOP("ClipboardItem", "%n 分钟前"), qint64(d / 60.0));
    if (d < 86400.0)
        return ago(QT_TRANSLATE_N_NOOP("ClipboardItem", "%n 小时前"), qint64(d / 3600.0));
    const double days = std::min(d / 86400.0, 9.0e15);
    return ago(QT_TRANSLATE_N_NOOP("ClipboardItem", "%n 天前"), qint64(days));
}

QString timeAgoText(const ClipboardItem &item, Timestamp now)
{
    return timeAgoText(item.timestamp, now);
}

} // namespace kelvo
