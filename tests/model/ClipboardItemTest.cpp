#include "model/ClipboardItem.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

QByteArray pngOfSize(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 40, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QSize thumbnailSize(const std::optional<QByteArray> &png)
{
    if (!png)
        return {};
    QImage image;
    if (!image.loadFromData(*png, "PNG"))
        return {-1, -1};
    return image.size();
}

const QString kFamily = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"); // man ZWJ woman ZWJ girl
const QString kEAcute = QString::fromUtf8("e\xCC\x81"); // e + combining acute

} // namespace

TEST(GraphemeText, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(graphemeCount(QString()), 0);
    EXPECT_EQ(graphemeCount(QStringLiteral("abc")), 3);
    EXPECT_EQ(graphemeCount(kFamily), 1);
    EXPECT_EQ(graphemeCount(kEAcute + kEAcute), 2);
    EXPECT_EQ(graphemeCount(QStringLiteral("中文\r\n")), 3); // CR LF is one cluster
}

TEST(GraphemeText, FirstGraphemesNeverSplitsACluster)
{
    const QString text = kFamily + QStringLiteral("x") + kEAcute;
    EXPECT_EQ(firstGraphemes(text, 1), kFamily);
    EXPECT_EQ(firstGraphemes(text, 2), kFamily + QStringLiteral("x"));
    EXPECT_EQ(firstGraphemes(text, 3), text);
    EXPECT_EQ(firstGraphemes(text, 10), text);
    EXPECT_EQ(firstGraphemes(text, 0), QString());
}

TEST(PreviewText, CutsAt200Characters)
{
    const QString exact(200, QLatin1Char('a'));
    EXPECT_EQ(makePreview(ClipboardContent::text(exact), std::nullopt), exact);
    EXPECT_EQ(makePreview(ClipboardContent::text(exact + QStringLiteral("b")), std::nullopt), exact);

    // 201 emoji clusters: 200 are kept whole, however many code units they take.
    QString emoji;
    for (int i = 0; i < 201; ++i)
        emoji += kFamily;
    const QString preview = makePreview(ClipboardContent::url(emoji), std::nullopt);
    EXPECT_EQ(graphemeCount(preview), 200);
    EXPECT_EQ(preview.size(), 200 * kFamily.size());

    // Verbatim: no trimming, line breaks kept.
    const QString spaced = QStringLiteral("  第一行\n第二行  ");
    EXPECT_EQ(makePreview(ClipboardContent::richText(spaced, "{\\rtf1}"), std::nullopt), spaced);
}

TEST(PreviewText, FixedTextsForRawAndUndecodableImages)
{
    const ClipboardContent raw = ClipboardContent::raw({});
    EXPECT_EQ(makePreview(raw, std::nullopt), QStringLiteral("应用专用剪贴板内容"));

    const ClipboardItem broken = ClipboardItem::make(ClipboardContent::image("not an image"), std::nullopt,
                                                     std::nullopt, QImage(), 10);
    EXPECT_EQ(broken.preview, QStringLiteral("图片"));
    EXPECT_EQ(broken.infoLabel, QStringLiteral("图片"));
    EXPECT_FALSE(broken.previewImagePNGData.has_value());
}

TEST(InfoLabel, CountsCharactersAndFormats)
{
    EXPECT_EQ(makeInfoLabel(ClipboardContent::text(kFamily), std::nullopt), QStringLiteral("1 个字符"));
    EXPECT_EQ(makeInfoLabel(ClipboardContent::text(QString(12345, QLatin1Char('z'))), std::nullopt),
              QStringLiteral("12345 个字符"));
    EXPECT_EQ(makeInfoLabel(ClipboardContent::url(QString()), std::nullopt), QStringLiteral("0 个字符"));

    PasteboardItemPayload item{{{QStringLiteral("a"), "1"}, {QStringLiteral("b"), "2"}}};
    const ClipboardContent raw = ClipboardContent::raw({item, item, item});
    EXPECT_EQ(makeInfoLabel(raw, std::nullopt), QStringLiteral("6 种数据格式"));

    ImageMetadata zeroWidth{0, 37, std::nullopt};
    EXPECT_EQ(makeInfoLabel(ClipboardContent::image("x"), zeroWidth), QStringLiteral("0 x 37"));
}

TEST(ImageEntry, PreviewShowsSizeAndStoredByteCount)
{
    const QByteArray png = pngOfSize(1000, 500);
    const ClipboardItem item = ClipboardItem::make(ClipboardContent::image(png), std::nullopt,
                                                   QStringLiteral("Viewer"), QImage(), 5);
    EXPECT_EQ(item.infoLabel, QStringLiteral("1000 x 500"));
    EXPECT_EQ(item.preview, QStringLiteral("1000 x 500 \u00B7 ") + fileSizeText(png.size()));
    ASSERT_TRUE(item.previewImagePNGData.has_value());
    EXPECT_NE(*item.previewImagePNGData, png);
}

TEST(ImageEntry, ImagesUpToTheCaptureLimitKeepTheirSizeAndThumbnail)
{
    // 8000 x 6000 with alpha decodes to 192 MB, above Qt's default limit.
    const QByteArray big = pngOfSize(8000, 6000);
    const ClipboardItem item = ClipboardItem::make(ClipboardContent::image(big), std::nullopt, std::nullopt, QImage(), 5);
    EXPECT_EQ(item.infoLabel, QStringLiteral("8000 x 6000"));
    EXPECT_EQ(thumbnailSize(item.previewImagePNGData), QSize(240, 180));

    // A header claiming more pixels than capture accepts is not decoded.
    QByteArray forged = pngOfSize(1, 1);
    for (int at : {16, 20}) { // width and height, big-endian
        const quint32 side = 16385 * 2;
        for (int i = 0; i < 4; ++i)
            forged[at + i] = char(side >> (24 - 8 * i));
    }
    EXPECT_FALSE(imageMetadata(ClipboardContent::image(forged)).has_value());
}

TEST(Thumbnail, ShrinksLongerSideTo240AndNeverEnlarges)
{
    struct Case {
        int w, h;
        QSize expected;
    } cases[] = {
        {1000, 500, {240, 120}},
        {500, 1000, {120, 240}},
        {100, 50, {100, 50}},
        {240, 240, {240, 240}},
        {1000, 1, {240, 1}},
        {1, 1000, {1, 240}},
        {481, 3, {240, 1}}, // 3 * 240/481 = 1.497 rounds to 1
        {480, 3, {240, 2}}, // 1.5 rounds away from zero
    };
    for (const Case &c : cases) {
        const std::optional<ImageMetadata> metadata = imageMetadata(ClipboardContent::image(pngOfSize(c.w, c.h)));
        ASSERT_TRUE(metadata.has_value()) << c.w << "x" << c.h;
        EXPECT_EQ(metadata->width, c.w);
        EXPECT_EQ(metadata->height, c.h);
        EXPECT_EQ(thumbnailSize(metadata->thumbnail), c.expected) << c.w << "x" << c.h;
    }
}

TEST(Thumbnail, AbsentForNullImagesAndOtherKinds)
{
    EXPECT_FALSE(makeThumbnailPNG(QImage()).has_value());
    EXPECT_FALSE(imageMetadata(ClipboardContent::text(QStringLiteral("x"))).has_value());
    EXPECT_FALSE(imageMetadata(ClipboardContent::image(QByteArray())).has_value());
    EXPECT_FALSE(imageMetadata(ClipboardContent::image(QByteArray("\x89PNG\r\n\x1a\n", 8))).has_value());
}

TEST(FileSizeText, UsesDecimalUnits)
{
    EXPECT_EQ(fileSizeText(0), QStringLiteral("Zero KB"));
    EXPECT_EQ(fileSizeText(1), QStringLiteral("1 byte"));
    EXPECT_EQ(fileSizeText(999), QStringLiteral("999 bytes"));
    EXPECT_EQ(fileSizeText(1000), QStringLiteral("1 KB"));
    EXPECT_EQ(fileSizeText(1024), QStringLiteral("1 KB"));
    EXPECT_EQ(fileSizeText(45600), QStringLiteral("46 KB"));
    EXPECT_EQ(fileSizeText(999499), QStringLiteral("999 KB"));
    EXPECT_EQ(fileSizeText(4500000), QStringLiteral("4.5 MB"));
    EXPECT_EQ(fileSizeText(2000000), QStringLiteral("2 MB"));
    EXPECT_EQ(fileSizeText(1230000000), QStringLiteral("1.23 GB"));
}

TEST(RelativeAge, Thresholds)
{
    const Timestamp t = 1000000;
    EXPECT_EQ(timeAgoText(t, t - 5), QStringLiteral("刚刚")); // in the future
    EXPECT_EQ(timeAgoText(t, t + 59.9), QStringLiteral("刚刚"));
    EXPECT_EQ(timeAgoText(t, t + 60), QStringLiteral("1 分钟前"));
    EXPECT_EQ(timeAgoText(t, t + 3599), QStringLiteral("59 分钟前"));
    EXPECT_EQ(timeAgoText(t, t + 3600), QStringLiteral("1 小时前"));
    EXPECT_EQ(timeAgoText(t, t + 86399), QStringLiteral("23 小时前"));
    EXPECT_EQ(timeAgoText(t, t + 86400), QStringLiteral("1 天前"));
    EXPECT_EQ(timeAgoText(t, t + 10 * 86400), QStringLiteral("10 天前"));

    ClipboardItem item;
    item.timestamp = t;
    EXPECT_EQ(timeAgoText(item, t + 7200.5), QStringLiteral("2 小时前"));
}

TEST(MakeEntry, FreshUnpinnedEntryWithSource)
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    const ClipboardItem a = ClipboardItem::make(ClipboardContent::text(QStringLiteral("hi")), std::nullopt,
                                                QStringLiteral("Editor"), icon, 42.5);
    const ClipboardItem b = ClipboardItem::make(ClipboardContent::text(QStringLiteral("hi")), std::nullopt,
                                                std::nullopt, QImage(), 42.5);
    EXPECT_FALSE(a.id.isNull());
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a.timestamp, 42.5);
    EXPECT_FALSE(a.isPinned);
    EXPECT_EQ(a.sourceAppName, QStringLiteral("Editor"));
    EXPECT_FALSE(a.sourceAppIcon.isNull());
    EXPECT_EQ(a.preview, QStringLiteral("hi"));
    EXPECT_EQ(a.infoLabel, QStringLiteral("2 个字符"));
    EXPECT_FALSE(a.previewImagePNGData.has_value());
}

TEST(MakeEntry, CopiesShareByteFields)
{
    const QByteArray png = pngOfSize(300, 300);
    const ClipboardItem item = ClipboardItem::make(ClipboardContent::image(png), QByteArray("<b>x</b>"),
                                                   std::nullopt, QImage(), 1);
    EXPECT_EQ(item.content.data().constData(), png.constData());
    const ClipboardItem copy = item;
    QList<ClipboardItem> list{item, copy};
    EXPECT_EQ(list[1].content.data().constData(), png.constData());
    EXPECT_EQ(list[1].previewImagePNGData->constData(), item.previewImagePNGData->constData());
}

TEST(PayloadEquality, MemberWise)
{
    const PasteboardRepresentation a{QStringLiteral("public.png"), "123"};
    EXPECT_EQ(a, (PasteboardRepresentation{QStringLiteral("public.png"), "123"}));
    EXPECT_NE(a, (PasteboardRepresentation{QStringLiteral("public.png"), "124"}));
    EXPECT_NE(a, (PasteboardRepresentation{QStringLiteral("public.tiff"), "123"}));
    EXPECT_EQ(PasteboardItemPayload{{a}}, PasteboardItemPayload{{a}});
    EXPECT_NE(PasteboardItemPayload{{a}}, (PasteboardItemPayload{{a, a}}));
}

TEST(SymbolName, OnePerKind)
{
    EXPECT_EQ(symbolName(ClipboardContent::Kind::Text), QStringLiteral("doc.text"));
    EXPECT_EQ(symbolName(ClipboardContent::Kind::RichText), QStringLiteral("doc.richtext"));
    EXPECT_EQ(symbolName(ClipboardContent::Kind::Image), QStringLiteral("photo"));
    EXPECT_EQ(symbolName(ClipboardContent::Kind::Url), QStringLiteral("link"));
    EXPECT_EQ(symbolName(ClipboardContent::Kind::Raw), QStringLiteral("tray.full"));
}
