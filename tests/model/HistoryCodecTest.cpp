#include "model/HistoryCodec.h"
#include "model/TestImages.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <cstring>

#include <gtest/gtest.h>

using namespace kelvo;
using kelvo::test::pngBytes;

namespace {

// A history file in memory; a test may change its bytes in place.
class BytesFile : public ReadableFile {
public:
    explicit BytesFile(QByteArray bytes) : bytes(std::move(bytes)) {}
    qint64 size() const override { return bytes.size(); }
    bool read(qint64 offset, qint64 size, char *out) const override
    {
        if (offset < 0 || size < 0 || offset + size > bytes.size())
            return false;
        std::memcpy(out, bytes.constData() + offset, size_t(size));
        return true;
    }
    bool scan(const std::function<bool(QByteArrayView)> &pass) const override { return pass(bytes); }
    QByteArray bytes;
};

// Decodes `json` as the file's contents when `file` is given.
QList<ClipboardItem> decodeOk(QByteArrayView json, std::shared_ptr<BytesFile> file = nullptr)
{
    QList<ClipboardItem> items;
    QString error;
    EXPECT_TRUE(decodeHistory(json, &items, &error, file)) << error.toStdString() << "\n"
                                                          << json.toByteArray().left(300).toStdString();
    return items;
}

QString decodeError(QByteArrayView json, bool inFile = false)
{
    QList<ClipboardItem> items{ClipboardItem{}};
    QString error;
    EXPECT_FALSE(decodeHistory(json, &items, &error, inFile ? std::make_shared<BytesFile>(json.toByteArray()) : nullptr))
        << json.toByteArray().left(300).toStdString();
    EXPECT_EQ(items.size(), 1) << "output touched on failure";
    EXPECT_FALSE(error.isEmpty());
    return error;
}

// A minimal valid entry around the given content object.
QByteArray entryWith(const QByteArray &content, const QByteArray &extra = "")
{
    return "[{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\",\"content\":" + content + ",\"timestamp\":12.5" + extra
        + "}]";
}

QByteArray randomBytes(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator rng{quint32(n)};
    for (char &c : bytes)
        c = char(rng.generate());
    return bytes;
}

// One entry of each kind with every optional field somewhere, fixed ids.
QList<ClipboardItem> known()
{
    auto item = [](const char *id, ClipboardContent content, Timestamp t, const char *preview) {
        ClipboardItem i;
        i.id = QUuid::fromString(QLatin1StringView(id));
        i.content = std::move(content);
        i.timestamp = t;
        i.preview = QString::fromUtf8(preview);
        i.infoLabel = QStringLiteral("1");
        return i;
    };
    QList<ClipboardItem> items{
        item("e621e1f8-c36c-495a-93fc-0c247a3e6e5f", ClipboardContent::text("a\"\\"), 0.5, "a"),
        item("00000000-0000-0000-0000-00000000000a", ClipboardContent::richText("b", QByteArray("{\\rtf1 b}")), -1.25, "b"),
        item("00000000-0000-0000-0000-00000000000b", ClipboardContent::image(QByteArray("ABC")), 1e9, "i"),
        item("00000000-0000-0000-0000-00000000000c", ClipboardContent::url("https://e.org/?a=1"), 7, "u"),
        item("00000000-0000-0000-0000-00000000000d",
             ClipboardContent::raw({{{{"x/y", QByteArray("\0\1\2\xff", 4)}, {"t", ""}}}, {}}), 8, "r"),
    };
    items[0].sourceAppName = QStringLiteral("终端");
    items[1].richTextHTMLData = QByteArray("<b>b</b>");
    items[1].isPinned = true;
    items[2].previewImagePNGData = QByteArray("t");
    return items;
}

// The known entries and three whose byte fields are large enough to stay in
// a file, of each Base64 padding.
QList<ClipboardItem> everyKind()
{
    QList<ClipboardItem> items = known();
    items << ClipboardItem::make(ClipboardContent::image(randomBytes(6000)), std::nullopt, std::nullopt, QImage(), 7);
    items << ClipboardItem::make(ClipboardContent::image(randomBytes(6001)), std::nullopt, std::nullopt, QImage(), 6);
    items << ClipboardItem::make(ClipboardContent::richText(QStringLiteral("r"), randomBytes(6002)),
                                 QByteArray("<i>r</i>"), std::nullopt, QImage(), 5);
    return items;
}

} // namespace

TEST(HistoryRoundTrip, EveryKindReadsBackAsWrittenFromBytesOrFromAFile)
{
    EXPECT_EQ(encodeHistory({}), QByteArray("[]"));
    EXPECT_TRUE(decodeOk(" [ ] \n").isEmpty());
    const QList<ClipboardItem> items = everyKind();
    const QByteArray json = encodeHistory(items);
    for (bool inFile : {false, true}) {
        SCOPED_TRACE(inFile);
        const auto file = inFile ? std::make_shared<BytesFile>(json) : nullptr;
        const QList<ClipboardItem> back = decodeOk(json, file);
        ASSERT_EQ(back.size(), items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(back[i].content.data(), items[i].content.data());
            EXPECT_EQ(back[i].content.dataSize(), items[i].content.dataSize());
            EXPECT_EQ(back[i].content.dataField().isHeld(), !inFile || i < 5) << "only large fields stay in the file";
        }
        // Every field read back: the same list gives the same bytes, whether
        // its byte fields are copied from the file or encoded.
        EXPECT_EQ(encodeHistory(back), json);
    }
    QJsonParseError parseError;
    EXPECT_EQ(QJsonDocument::fromJson(json, &parseError).array().size(), items.size());
    EXPECT_EQ(parseError.error, QJsonParseError::NoError);
}

TEST(HistoryRoundTrip, AFileChangedInPlaceYieldsNoBytesAndNoHistoryToWrite)
{
    const QList<ClipboardItem> items = everyKind();
    const auto file = std::make_shared<BytesFile>(encodeHistory(items));
    const QList<ClipboardItem> back = decodeOk(file->bytes, file);
    ASSERT_EQ(back.size(), items.size());
    // Another program overwrites the middle of the last image's text.
    const qsizetype at = file->bytes.indexOf(items[6].content.data().toBase64().mid(3000, 16));
    ASSERT_GT(at, 0);
    for (const char replacement : {'"', '\\', '!'}) {
        file->bytes[at] = replacement;
        EXPECT_EQ(back[6].content.data(), QByteArray(""));
        EXPECT_EQ(back[5].content.data(), items[5].content.data());
        EXPECT_TRUE(encodeHistory(back).isNull());
    }
}

// Every UTF-16 unit the writer can meet: all control characters, quote and
// backslash, each UTF-8 length, surrogate pairs, and lone surrogates (which
// become '?', the way QString::toUtf8 writes them).
TEST(HistoryRoundTrip, TextOfEveryCharacterClassReadsBackAsUtf8WouldGiveIt)
{
    QString text;
    for (char16_t u = 0; u < 0x80; ++u)
        text += QChar(u);
    text += QStringLiteral("é߿ࠀ日本語\uFFFF") + QString::fromUcs4(U"\U0001F600\U00010000\U0010FFFF");
    text += QChar(0xD800) + QStringLiteral("x") + QChar(0xDC00) + QChar(0xDBFF);
    const QString expected = QString::fromUtf8(text.toUtf8());
    ASSERT_NE(expected, text) << "the lone surrogates must differ after UTF-8";

    ClipboardItem item = everyKind().first();
    item.content = ClipboardContent::text(text);
    item.preview = text;
    const QByteArray json = encodeHistory({item});
    const QList<ClipboardItem> back = decodeOk(json);
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].content.string(), expected);
    EXPECT_EQ(back[0].preview, expected);
    // Only the characters JSON requires are escaped; the rest is raw UTF-8.
    for (const char *escaped : {"\\u0000\\u0001", "\\b\\t\\n\\u000b\\f\\r", "\\u001f !\\\"#", "[\\\\]", "日本語"})
        EXPECT_TRUE(json.contains(escaped)) << escaped;
}

TEST(HistoryWriter, WritesTheFileFormatByteForByte)
{
    EXPECT_EQ(encodeHistory(known()),
              QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","content":{"text":{"_0":"a\"\\"}},"timestamp":0.5,)"
                         R"("sourceAppName":"终端","isPinned":false,"preview":"a","infoLabel":"1"},)"
                         R"({"id":"00000000-0000-0000-0000-00000000000A","content":{"richText":{"_0":"b","_1":"e1xydGYxIGJ9"}},)"
                         R"("richTextHTMLData":"PGI+YjwvYj4=","timestamp":-1.25,"isPinned":true,"preview":"b","infoLabel":"1"},)"
                         R"({"id":"00000000-0000-0000-0000-00000000000B","content":{"image":{"_0":"QUJD"}},"timestamp":1e+09,)"
                         R"("isPinned":false,"preview":"i","infoLabel":"1","previewImagePNGData":"dA=="},)"
                         R"({"id":"00000000-0000-0000-0000-00000000000C","content":{"url":{"_0":"https://e.org/?a=1"}},)"
                         R"("timestamp":7,"isPinned":false,"preview":"u","infoLabel":"1"},)"
                         R"({"id":"00000000-0000-0000-0000-00000000000D","content":{"raw":{"_0":[{"representations":)"
                         R"([{"type":"x/y","data":"AAEC/w=="},{"type":"t","data":""}]},{"representations":[]}]}},)"
                         R"("timestamp":8,"isPinned":false,"preview":"r","infoLabel":"1"}])"));
}

TEST(HistoryReader, OlderFileDerivesDisplayFields)
{
    const QByteArray png = pngBytes(1000, 500);
    const QByteArray json = "[{\"id\":\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\",\"timestamp\":0,"
                            "\"content\":{\"image\":{\"_0\":\"" + png.toBase64() + "\"}}},"
                            "{\"id\":\"00000000-0000-0000-0000-000000000001\",\"timestamp\":-5,"
                            "\"content\":{\"text\":{\"_0\":\"hello\"}}}]";
    const QList<ClipboardItem> items = decodeOk(json, std::make_shared<BytesFile>(json));
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].id, QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")));
    EXPECT_FALSE(items[0].isPinned);
    EXPECT_EQ(items[0].infoLabel, QStringLiteral("1000 x 500"));
    EXPECT_EQ(items[0].preview, QStringLiteral("1000 x 500 \u00B7 ") + fileSizeText(png.size()));
    ASSERT_TRUE(items[0].previewImagePNGData.has_value());
    EXPECT_EQ(QImage::fromData(*items[0].previewImagePNGData).size(), QSize(240, 120));
    EXPECT_EQ(items[1].timestamp, -5.0);
    EXPECT_EQ(items[1].preview, QStringLiteral("hello"));
    EXPECT_EQ(items[1].infoLabel, QStringLiteral("5 个字符"));
    EXPECT_FALSE(items[1].previewImagePNGData.has_value());
    // The regenerated thumbnail is written on the next save.
    EXPECT_TRUE(encodeHistory(items).contains("\"previewImagePNGData\""));
}

TEST(HistoryReader, StoredDisplayFieldsWinAndNullMeansMissing)
{
    auto items = decodeOk(entryWith("{\"text\":{\"_0\":\"abc\"}}", ",\"preview\":\"stale\",\"infoLabel\":\"99\",\"isPinned\":true"));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].preview, QStringLiteral("stale"));
    EXPECT_EQ(items[0].infoLabel, QStringLiteral("99"));
    EXPECT_TRUE(items[0].isPinned);

    items = decodeOk(entryWith("{\"text\":{\"_0\":\"abc\"}}",
                               ",\"isPinned\":null,\"preview\":null,\"infoLabel\":null,\"sourceAppName\":null,"
                               "\"richTextHTMLData\":null,\"previewImagePNGData\":null"));
    ASSERT_EQ(items.size(), 1);
    EXPECT_FALSE(items[0].isPinned);
    EXPECT_EQ(items[0].preview, QStringLiteral("abc"));
    EXPECT_EQ(items[0].infoLabel, QStringLiteral("3 个字符"));
    EXPECT_FALSE(items[0].sourceAppName || items[0].richTextHTMLData || items[0].previewImagePNGData);
}

TEST(HistoryReader, AcceptsUnknownKeysEscapesAndAnyOrder)
{
    // Escaped Base64 (as other JSON writers put "\/") is decoded, also in a file.
    const QByteArray large = QByteArray(6000, 'A') + "\\/\\/\\/\\/";
    const QByteArray json =
        "\xEF\xBB\xBF[ {\"future\":{\"a\":[1,2,{\"b\":[[],{}]}],\"c\":-1.5e300,\"d\":1e999},"
        "\"timestamp\":3,\"content\":{\"extra\":null,\"richText\":{\"_1\":\"" + large + "\",\"_9\":true,"
        "\"_0\":\"\\u4e2d\\ud83d\\ude00\\n\\/\"}},\"link\":{},"
        "\"sourceAppName\":\"App\",\"richTextHTMLData\":\"PGk\\/Pg==\",\"id\":\"00000000-0000-0000-0000-00000000000A\"} ]";
    const QList<ClipboardItem> items = decodeOk(json, std::make_shared<BytesFile>(json));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].content.kind(), ClipboardContent::Kind::RichText);
    EXPECT_EQ(items[0].content.string(), QString::fromUtf8("中\xF0\x9F\x98\x80\n/"));
    EXPECT_EQ(items[0].content.data(), QByteArray::fromBase64(QByteArray(6000, 'A') + "////"));
    EXPECT_EQ(items[0].richTextHTMLData, QByteArray("<i?>"));
    EXPECT_EQ(items[0].sourceAppName, QStringLiteral("App"));

    const auto raw = decodeOk(entryWith("{\"raw\":{\"_0\":[{\"representations\":[]},"
                                        "{\"representations\":[{\"type\":\"a\",\"data\":\"\"}]}]},\"link\":{}}"));
    ASSERT_EQ(raw.size(), 1);
    ASSERT_EQ(raw[0].content.payloads().size(), 2);
    EXPECT_TRUE(raw[0].content.payloads()[1].representations[0].data.isEmpty());
    EXPECT_EQ(raw[0].infoLabel, QStringLiteral("1 种数据格式"));
}

TEST(HistoryReader, RejectsMalformedDocuments)
{
    const QByteArray good = encodeHistory(everyKind());
    // Every truncation of a valid document fails cleanly, also where a
    // large field would stay in the file.
    for (qsizetype n = 0; n < good.size(); n += std::max<qsizetype>(1, good.size() / 997))
        decodeError(QByteArrayView(good.constData(), n), n % 2 == 1);
    decodeError(good.left(good.size() - 1) + ",{\"id\":\"x\",\"content\":{\"text\":{\"_0\":\"\"}},\"timestamp\":1}]");
    for (const char *json : {"", "   ", "null", "{}", "\"[]\"", "[", "[]]", "[] x", "[,]", "[{},]", "[1]", "[[]]",
                             "[null]", "[{\"id\" \"x\"}]"})
        decodeError(QByteArrayView(json));
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", ",\"x\":" + deep));
    EXPECT_EQ(decodeOk(entryWith("{\"text\":{\"_0\":\"a\"}}", ",\"x\":" + QByteArray(100, '[') + QByteArray(100, ']'))).size(), 1);
}

TEST(HistoryReader, RejectsMissingKeysWrongTypesAndBadValues)
{
    const QByteArray id = "\"id\":\"00000000-0000-0000-0000-000000000000\"";
    const QByteArray text = "\"content\":{\"text\":{\"_0\":\"a\"}}";
    const QByteArray documents[] = {
        "[{" + text + ",\"timestamp\":1}]", "[{" + id + ",\"timestamp\":1}]", "[{" + id + "," + text + "}]",
        "[{" + id + "," + text + ",\"timestamp\":\"1\"}]", "[{" + id + "," + text + ",\"timestamp\":null}]",
        "[{" + id + "," + text + ",\"timestamp\":1e999}]", "[{" + id + "," + text + ",\"timestamp\":01}]",
        "[{\"id\":7," + text + ",\"timestamp\":1}]",
    };
    for (const QByteArray &json : documents)
        decodeError(json);
    const char *const contents[] = {
        "{\"text\":{}}", "{\"richText\":{\"_0\":\"a\"}}", "{\"raw\":{\"_0\":[{}]}}", "{\"text\":{\"_0\":5}}",
        "{\"raw\":{\"_0\":[{\"representations\":[{\"type\":\"a\"}]}]}}", "{\"text\":{\"_0\":null}}", "{\"text\":\"a\"}",
        "{\"raw\":{\"_0\":[{\"representations\":[{\"data\":\"\"}]}]}}", "{\"url\":{\"_0\":[\"a\"]}}", "[]",
        "{\"image\":{\"_0\":true}}", "{\"raw\":{\"_0\":{}}}", "{\"raw\":{\"_0\":[[]]}}", "{\"richText\":{\"_0\":\"a\",\"_1\":1}}",
        "{\"raw\":{\"_0\":[{\"representations\":[{\"type\":1,\"data\":\"\"}]}]}}", "{\"text\":{\"_0\":\"a\nb\"}}",
        "{\"text\":{\"_0\":\"\\x\"}}", "{\"text\":{\"_0\":\"\\u12\"}}", "{\"text\":{\"_0\":\"\\ud800\"}}",
        "{\"text\":{\"_0\":\"\\udc00x\"}}", "{\"text\":{\"_0\":\"\xC3\x28\"}}",
    };
    for (const char *content : contents)
        decodeError(entryWith(content));
    for (const char *content : {"{\"text\":{\"_0\":\"a\"},\"url\":{\"_0\":\"b\"}}", "{}", "{\"Text\":{\"_0\":\"a\"}}"})
        EXPECT_EQ(decodeError(entryWith(content)), QStringLiteral("Invalid number of keys found, expected one."));
    for (const char *extra : {",\"isPinned\":1", ",\"isPinned\":\"true\"", ",\"preview\":7", ",\"infoLabel\":[]",
                              ",\"sourceAppName\":false", ",\"richTextHTMLData\":{}", ",\"previewImagePNGData\":3",
                              ",\"\xFF\":1"})
        decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", extra));
    for (const char *uuid : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
                             "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF",
                             "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC_0C247A3E6E5F"})
        decodeError("[{\"id\":\"" + QByteArray(uuid) + "\"," + text + ",\"timestamp\":1}]");
}

TEST(HistoryReader, RejectsInvalidBase64OfAnySize)
{
    const QByteArray large(8000, 'A');
    for (const char *value : {"QQ", "QQ=", "Q===", "QQ=A", "QUJD*A==", "QU JD", "QUJD\\n", "\\u00e9AAA", "QUJD\xC3\xA9"}) {
        SCOPED_TRACE(value);
        for (const QByteArray &prefix : {QByteArray(), large}) {
            decodeError(entryWith("{\"image\":{\"_0\":\"" + prefix + value + "\"}}"), !prefix.isEmpty());
            decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", ",\"richTextHTMLData\":\"" + prefix + value + "\""));
        }
    }
    const QByteArray valid = entryWith("{\"image\":{\"_0\":\"" + large + "QUI=\"}}");
    const QList<ClipboardItem> items = decodeOk(valid, std::make_shared<BytesFile>(valid));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].content.data(), QByteArray(6000, '\0') + "AB");
    EXPECT_EQ(items[0].content.dataSize(), 6002);
}
