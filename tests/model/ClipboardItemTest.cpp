#include "model/ClipboardItem.h"
#include "model/TestImages.h"

#include <zlib.h>

#include <gtest/gtest.h>

using namespace kelvo;
using kelvo::test::pngBytes;

namespace {

QSize thumbnailSize(const std::optional<QByteArray> &png)
{
    QImage image;
    return png && image.loadFromData(*png, "PNG") ? image.size() : QSize();
}

const QString kFamily = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"); // man ZWJ woman ZWJ girl
const QString kEAcute = QString::fromUtf8("e\xCC\x81"); // e + combining acute

} // namespace

TEST(DerivedTexts, PreviewAndInfoLabelOfEachKind)
{
    const QString exact(200, QLatin1Char('a'));
    QString emoji;
    for (int i = 0; i < 201; ++i)
        emoji += kFamily;
    const QString spaced = QStringLiteral("  第一行\r\n第二行  "); // CR LF is one character
    QString accents;
    for (int i = 0; i < 201; ++i)
        accents += kEAcute;
    PasteboardItemPayload payload{{{QStringLiteral("a"), "1"}, {QStringLiteral("b"), "2"}}};
    const struct {
        ClipboardContent content;
        QString preview, info;
    } cases[] = {
        {ClipboardContent::text(exact + QStringLiteral("b")), exact, QStringLiteral("201 个字符")},
        {ClipboardContent::url(emoji), emoji.left(200 * kFamily.size()), QStringLiteral("201 个字符")},
        {ClipboardContent::richText(spaced, QByteArray("{\\rtf1}")), spaced, QStringLiteral("11 个字符")},
        {ClipboardContent::text(accents), accents.left(400), QStringLiteral("201 个字符")},
        {ClipboardContent::text(QString()), QString(), QStringLiteral("0 个字符")},
        {ClipboardContent::raw({payload, payload, payload}), QStringLiteral("应用专用剪贴板内容"),
         QStringLiteral("6 种数据格式")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.info.toStdString());
        EXPECT_EQ(makePreview(c.content, std::nullopt), c.preview);
        EXPECT_EQ(makeInfoLabel(c.content, std::nullopt), c.info);
    }
    const ImageMetadata zeroWidth{0, 37, std::nullopt};
    EXPECT_EQ(makeInfoLabel(ClipboardContent::image(QByteArray("x")), zeroWidth), QStringLiteral("0 x 37"));
}

TEST(ImageEntry, UndecodableBytesGetFixedTextsAndNoThumbnail)
{
    const ClipboardItem broken = ClipboardItem::make(ClipboardContent::image(QByteArray("not an image")),
                                                     std::nullopt, std::nullopt, QImage(), 10);
    EXPECT_EQ(broken.preview, QStringLiteral("图片"));
    EXPECT_EQ(broken.infoLabel, QStringLiteral("图片"));
    EXPECT_FALSE(broken.previewImagePNGData.has_value());

    // A header claiming more pixels than capture accepts is not decoded.
    QByteArray forged = pngBytes(1, 1);
    for (int at : {16, 20}) // width and height, big-endian
        for (int i = 0; i < 4; ++i)
            forged[at + i] = char(quint32(16385 * 2) >> (24 - 8 * i));
    // A fresh checksum, so the header is read and only its size refuses it.
    const quint32 crc = crc32(0, reinterpret_cast<const Bytef *>(forged.constData() + 12), 17);
    for (int i = 0; i < 4; ++i)
        forged[29 + i] = char(crc >> (24 - 8 * i));
    const QByteArray notDecodable[] = {forged, QByteArray(), QByteArray("\x89PNG\r\n\x1a\n", 8)};
    for (const QByteArray &bytes : notDecodable)
        EXPECT_FALSE(imageMetadata(ClipboardContent::image(bytes)).has_value());
    EXPECT_FALSE(imageMetadata(ClipboardContent::text(QStringLiteral("x"))).has_value());
    EXPECT_FALSE(makeThumbnailPNG(QImage()).has_value());
}

TEST(Thumbnail, ShrinksLongerSideTo240AndNeverEnlarges)
{
    const struct {
        int w, h;
        QSize expected;
    } cases[] = {
        {1000, 500, {240, 120}}, {500, 1000, {120, 240}}, {100, 50, {100, 50}}, {240, 240, {240, 240}},
        {1, 1000, {1, 240}},
        {481, 3, {240, 1}}, // 3 * 240/481 = 1.497 rounds to 1
        {480, 3, {240, 2}}, // 1.5 rounds away from zero
        {8000, 6000, {240, 180}}, // with alpha it decodes to 192 MB, above Qt's default limit
    };
    for (const auto &c : cases) {
        const std::optional<ImageMetadata> metadata = imageMetadata(ClipboardContent::image(pngBytes(c.w, c.h)));
        ASSERT_TRUE(metadata.has_value()) << c.w << "x" << c.h;
        EXPECT_EQ(QSize(int(metadata->width), int(metadata->height)), QSize(c.w, c.h));
        EXPECT_EQ(thumbnailSize(metadata->thumbnail), c.expected) << c.w << "x" << c.h;
    }
}

TEST(FixedTexts, FileSizesAndAges)
{
    const std::pair<qint64, const char *> sizes[] = {
        {0, "Zero KB"}, {1, "1 byte"}, {999, "999 bytes"}, {1024, "1 KB"}, {45600, "46 KB"},
        {999499, "999 KB"}, {4500000, "4.5 MB"}, {2000000, "2 MB"}, {1230000000, "1.23 GB"},
    };
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(fileSizeText(bytes), QString::fromUtf8(text));

    const Timestamp t = 1000000;
    const std::pair<double, const char *> ages[] = {
        {-5, "刚刚"}, {59.9, "刚刚"}, {60, "1 分钟前"}, {3599, "59 分钟前"}, {3600, "1 小时前"},
        {86399, "23 小时前"}, {86400, "1 天前"}, {10 * 86400, "10 天前"},
    };
    for (const auto &[after, text] : ages)
        EXPECT_EQ(timeAgoText(t, t + after), QString::fromUtf8(text)) << after;
}
