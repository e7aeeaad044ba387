#include "model/HistoryCodec.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

QByteArray pngOfSize(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QList<ClipboardItem> decodeOk(QByteArrayView json)
{
    QList<ClipboardItem> items;
    QString error;
    EXPECT_TRUE(decodeHistory(json, &items, &error)) << error.toStdString() << "\n" << json.toByteArray().left(300).toStdString();
    return items;
}

QString decodeError(QByteArrayView json)
{
    QList<ClipboardItem> items{ClipboardItem{}};
    QString error;
    EXPECT_FALSE(decodeHistory(json, &items, &error)) << json.toByteArray().left(300).toStdString();
    EXPECT_EQ(items.size(), 1) << "output touched on failure";
    EXPECT_FALSE(error.isEmpty());
    return error;
}

// A minimal valid entry around the given content object.
QByteArray entryWith(const char *content, const char *extra = "")
{
    return QByteArray("[{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\",\"content\":") + content
        + ",\"timestamp\":12.5" + extra + "}]";
}

void expectSameEntry(const ClipboardItem &a, const ClipboardItem &b)
{
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.content.kind(), b.content.kind());
    EXPECT_EQ(a.content.string(), b.content.string());
    EXPECT_EQ(a.content.data(), b.content.data());
    EXPECT_EQ(a.content.payloads(), b.content.payloads());
    EXPECT_EQ(a.richTextHTMLData, b.richTextHTMLData);
    EXPECT_EQ(a.timestamp, b.timestamp);
    EXPECT_EQ(a.isPinned, b.isPinned);
    EXPECT_EQ(a.sourceAppName, b.sourceAppName);
    EXPECT_EQ(a.preview, b.preview);
    EXPECT_EQ(a.infoLabel, b.infoLabel);
    EXPECT_EQ(a.previewImagePNGData, b.previewImagePNGData);
}

QList<ClipboardItem> everyKind()
{
    QList<ClipboardItem> items;
    QImage icon(8, 8, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    items << ClipboardItem::make(ClipboardContent::text(QStringLiteral("tab\there \"quoted\" \\ back\n\x01 中文 \U0001F600")),
                                 std::nullopt, QStringLiteral("终端"), icon, 1.0 / 3.0);
    items << ClipboardItem::make(ClipboardContent::richText(QStringLiteral("bold"), QByteArray("{\\rtf1 \\b bold}")),
                                 QByteArray("<b>bold</b>"), std::nullopt, QImage(), -123456.789);
    items << ClipboardItem::make(ClipboardContent::image(pngOfSize(600, 300)), std::nullopt,
                                 QStringLiteral("Viewer"), QImage(), 8e8);
    items << ClipboardItem::make(ClipboardContent::url(QStringLiteral("https://example.org/a?b=c&d=/e")),
                                 std::nullopt, std::nullopt, QImage(), 0);
    PasteboardItemPayload first{{{QStringLiteral("application/x-design"), QByteArray("\0\1\2\xff", 4)},
                                 {QStringLiteral("public.utf8-plain-text"), QByteArray("x")}}};
    PasteboardItemPayload empty{{{QStringLiteral("t"), QByteArray("")}}};
    items << ClipboardItem::make(ClipboardContent::raw({first, empty, PasteboardItemPayload{}}), std::nullopt,
                                 QStringLiteral("Design"), QImage(), 99);
    items[4].isPinned = true;
    return items;
}

} // namespace

TEST(HistoryRoundTrip, EveryKindReadsBackAsWritten)
{
    const QList<ClipboardItem> items = everyKind();
    const QByteArray json = encodeHistory(items);
    const QList<ClipboardItem> back = decodeOk(json);
    ASSERT_EQ(back.size(), items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        expectSameEntry(items[i], back[i]);
        EXPECT_TRUE(back[i].sourceAppIcon.isNull());
    }
    // Also valid JSON to a general parser.
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    ASSERT_EQ(parseError.error, QJsonParseError::NoError);
    EXPECT_EQ(doc.array().size(), items.size());
}

// Every UTF-16 unit the writer can meet: all control characters, quote and
// backslash, each UTF-8 length, surrogate pairs, and lone surrogates (which
// become '?', the way QString::toUtf8 writes them).
TEST(HistoryRoundTrip, TextOfEveryCharacterClassReadsBackAsUtf8WouldGiveIt)
{
    QString text;
    for (char16_t u = 0; u < 0x80; ++u)
        text += QChar(u);
    text += QStringLiteral("é߿ࠀ日本語\uFFFF");
    text += QString::fromUcs4(U"\U0001F600\U00010000\U0010FFFF");
    text += QChar(0xD800);              // high surrogate before a letter
    text += u'x';
    text += QChar(0xDC00);              // lone low surrogate
    text += QChar(0xDBFF);              // high surrogate at the very end
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
    EXPECT_TRUE(json.contains("\\u0000\\u0001"));
    EXPECT_TRUE(json.contains("\\b\\t\\n\\u000b\\f\\r"));
    EXPECT_TRUE(json.contains("\\u001f !\\\"#"));
    EXPECT_TRUE(json.contains("[\\\\]"));
    EXPECT_TRUE(json.contains(QStringLiteral("日本語").toUtf8()));
}

TEST(HistoryRoundTrip, EmptyHistoryIsEmptyArray)
{
    EXPECT_EQ(encodeHistory({}), QByteArray("[]"));
    EXPECT_TRUE(decodeOk(" [ ] \n").isEmpty());
}

TEST(HistoryWriter, KeysShapesAndOrder)
{
    const QList<ClipboardItem> items = everyKind();
    const QJsonArray array = QJsonDocument::fromJson(encodeHistory(items)).array();

    const QByteArray first = encodeHistory({items[0]});
    const QByteArray keyOrder[] = {"\"id\"", "\"content\"", "\"timestamp\"", "\"sourceAppName\"",
                                   "\"isPinned\"", "\"preview\"", "\"infoLabel\""};
    qsizetype last = -1;
    for (const QByteArray &key : keyOrder) {
        const qsizetype at = first.indexOf(key);
        EXPECT_GT(at, last) << key.constData();
        last = at;
    }

    const QJsonObject text = array[0].toObject();
    EXPECT_EQ(text["id"].toString(), items[0].id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_FALSE(text.contains("richTextHTMLData"));
    EXPECT_FALSE(text.contains("previewImagePNGData"));
    EXPECT_EQ(text["isPinned"], QJsonValue(false));
    EXPECT_EQ(text["content"].toObject().keys(), QStringList{"text"});

    const QJsonObject rich = array[1].toObject();
    EXPECT_FALSE(rich.contains("sourceAppName"));
    EXPECT_EQ(rich["richTextHTMLData"].toString(), QStringLiteral("PGI+Ym9sZDwvYj4="));
    const QJsonObject richCase = rich["content"].toObject()["richText"].toObject();
    EXPECT_EQ(richCase["_0"].toString(), QStringLiteral("bold"));
    EXPECT_EQ(QByteArray::fromBase64(richCase["_1"].toString().toLatin1()), QByteArray("{\\rtf1 \\b bold}"));
    EXPECT_DOUBLE_EQ(rich["timestamp"].toDouble(), -123456.789);

    const QJsonObject image = array[2].toObject();
    EXPECT_TRUE(image.contains("previewImagePNGData"));
    EXPECT_EQ(QByteArray::fromBase64(image["content"].toObject()["image"].toObject()["_0"].toString().toLatin1()),
              items[2].content.data());

    const QJsonObject raw = array[4].toObject();
    EXPECT_EQ(raw["isPinned"], QJsonValue(true));
    const QJsonArray payloads = raw["content"].toObject()["raw"].toObject()["_0"].toArray();
    ASSERT_EQ(payloads.size(), 3);
    const QJsonArray reps = payloads[0].toObject()["representations"].toArray();
    ASSERT_EQ(reps.size(), 2);
    EXPECT_EQ(reps[0].toObject()["type"].toString(), QStringLiteral("application/x-design"));
    EXPECT_EQ(reps[0].toObject()["data"].toString(), QStringLiteral("AAEC/w=="));
    EXPECT_EQ(payloads[1].toObject()["representations"].toArray()[0].toObject()["data"].toString(), QString());
    EXPECT_TRUE(payloads[2].toObject()["representations"].toArray().isEmpty());
}

TEST(HistoryWriter, DoesNotCopyOrDetachSharedBytes)
{
    const QList<ClipboardItem> items = everyKind();
    const QList<ClipboardItem> snapshot = items; // the copy a background save receives
    const char *before = items[2].content.data().constData();
    (void)encodeHistory(snapshot);
    EXPECT_EQ(snapshot[2].content.data().constData(), before);
    EXPECT_EQ(items[2].content.data().constData(), before);
}

TEST(HistoryReader, OlderFileDerivesDisplayFields)
{
    const QByteArray png = pngOfSize(1000, 500);
    const QByteArray json = "[{\"id\":\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\",\"timestamp\":0,"
                            "\"content\":{\"image\":{\"_0\":\"" + png.toBase64() + "\"}}},"
                            "{\"id\":\"00000000-0000-0000-0000-000000000001\",\"timestamp\":-5,"
                            "\"content\":{\"text\":{\"_0\":\"hello\"}}}]";
    const QList<ClipboardItem> items = decodeOk(json);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].id, QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")));
    EXPECT_FALSE(items[0].isPinned);
    EXPECT_EQ(items[0].timestamp, 0.0);
    EXPECT_EQ(items[0].infoLabel, QStringLiteral("1000 x 500"));
    EXPECT_TRUE(items[0].preview.startsWith(QStringLiteral("1000 x 500 \u00B7 ")));
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
    auto items = decodeOk(entryWith("{\"text\":{\"_0\":\"abc\"}}",
                                    ",\"preview\":\"stale\",\"infoLabel\":\"99\",\"isPinned\":true"));
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
    EXPECT_FALSE(items[0].sourceAppName.has_value());
    EXPECT_FALSE(items[0].richTextHTMLData.has_value());
    EXPECT_FALSE(items[0].previewImagePNGData.has_value());
}

TEST(HistoryReader, AcceptsUnknownKeysEscapesAndAnyOrder)
{
    const QByteArray json =
        "\xEF\xBB\xBF[ {\"future\":{\"a\":[1,2,{\"b\":[[],{}]}],\"c\":-1.5e300,\"d\":1e999},"
        "\"timestamp\":3,\"content\":{\"extra\":null,\"richText\":{\"_1\":\"e1xydGYxfQ\\u003d\\u003d\",\"_9\":true,"
        "\"_0\":\"\\u4e2d\\ud83d\\ude00\\n\\/\"}},"
        "\"sourceAppName\":\"App\",\"richTextHTMLData\":\"PGk\\/Pg==\",\"id\":\"00000000-0000-0000-0000-00000000000A\"} ]";
    const QList<ClipboardItem> items = decodeOk(json);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].content.kind(), ClipboardContent::Kind::RichText);
    EXPECT_EQ(items[0].content.string(), QString::fromUtf8("中\xF0\x9F\x98\x80\n/"));
    EXPECT_EQ(items[0].content.data(), QByteArray("{\\rtf1}"));
    EXPECT_EQ(items[0].richTextHTMLData, QByteArray("<i?>"));
    EXPECT_EQ(items[0].sourceAppName, QStringLiteral("App"));
}

TEST(HistoryReader, ContentWithOneCaseAndAnExtraKeyIsAccepted)
{
    const auto items = decodeOk(entryWith("{\"text\":{\"_0\":\"t\"},\"link\":{}}"));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].content.kind(), ClipboardContent::Kind::Text);

    const auto raw = decodeOk(entryWith("{\"raw\":{\"_0\":[{\"representations\":[]},"
                                        "{\"representations\":[{\"type\":\"a\",\"data\":\"\"}]}]}}"));
    ASSERT_EQ(raw.size(), 1);
    ASSERT_EQ(raw[0].content.payloads().size(), 2);
    EXPECT_TRUE(raw[0].content.payloads()[0].representations.isEmpty());
    EXPECT_TRUE(raw[0].content.payloads()[1].representations[0].data.isEmpty());
    EXPECT_EQ(raw[0].infoLabel, QStringLiteral("1 种数据格式"));
}

TEST(HistoryReader, ContentCaseCountMustBeOne)
{
    EXPECT_EQ(decodeError(entryWith("{\"text\":{\"_0\":\"a\"},\"url\":{\"_0\":\"b\"}}")),
              QStringLiteral("Invalid number of keys found, expected one."));
    EXPECT_EQ(decodeError(entryWith("{}")), QStringLiteral("Invalid number of keys found, expected one."));
    EXPECT_EQ(decodeError(entryWith("{\"Text\":{\"_0\":\"a\"}}")),
              QStringLiteral("Invalid number of keys found, expected one."));
}

TEST(HistoryReader, OneBadEntryRejectsTheWholeDocument)
{
    const QByteArray good = encodeHistory(everyKind());
    const QByteArray bad = good.left(good.size() - 1) + ",{\"id\":\"x\",\"content\":{\"text\":{\"_0\":\"\"}},\"timestamp\":1}]";
    decodeError(bad);
}

TEST(HistoryReader, RejectsMalformedDocuments)
{
    const QByteArray good = encodeHistory(everyKind());
    // Every truncation of a valid document fails cleanly.
    for (qsizetype n = 0; n < good.size(); n += std::max<qsizetype>(1, good.size() / 997))
        decodeError(QByteArrayView(good.constData(), n));

    const char *const cases[] = {
        "", "   ", "null", "{}", "\"[]\"", "[", "[]]", "[] x", "[,]", "[{},]", "[1]", "[[]]", "[null]",
        "[{\"id\" \"x\"}]",
    };
    for (const char *json : cases)
        decodeError(QByteArrayView(json));
}

TEST(HistoryReader, RejectsMissingRequiredKeys)
{
    decodeError("[{\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":1}]");
    decodeError("[{\"id\":\"00000000-0000-0000-0000-000000000000\",\"timestamp\":1}]");
    decodeError("[{\"id\":\"00000000-0000-0000-0000-000000000000\",\"content\":{\"text\":{\"_0\":\"a\"}}}]");
    decodeError(entryWith("{\"text\":{}}"));
    decodeError(entryWith("{\"richText\":{\"_0\":\"a\"}}"));
    decodeError(entryWith("{\"raw\":{\"_0\":[{}]}}"));
    decodeError(entryWith("{\"raw\":{\"_0\":[{\"representations\":[{\"type\":\"a\"}]}]}}"));
    decodeError(entryWith("{\"raw\":{\"_0\":[{\"representations\":[{\"data\":\"\"}]}]}}"));
}

TEST(HistoryReader, RejectsWrongTypes)
{
    const char *const contents[] = {
        "{\"text\":{\"_0\":5}}",          "{\"text\":{\"_0\":null}}",      "{\"text\":\"a\"}",
        "{\"url\":{\"_0\":[\"a\"]}}",     "{\"image\":{\"_0\":true}}",     "{\"raw\":{\"_0\":{}}}",
        "{\"raw\":{\"_0\":[[]]}}",        "{\"richText\":{\"_0\":\"a\",\"_1\":1}}", "[]",
        "{\"raw\":{\"_0\":[{\"representations\":[{\"type\":1,\"data\":\"\"}]}]}}",
    };
    for (const char *content : contents)
        decodeError(entryWith(content));

    const char *const extras[] = {
        ",\"isPinned\":1", ",\"isPinned\":\"true\"", ",\"preview\":7", ",\"infoLabel\":[]",
        ",\"sourceAppName\":false", ",\"richTextHTMLData\":{}", ",\"previewImagePNGData\":3",
    };
    for (const char *extra : extras)
        decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", extra));

    decodeError("[{\"id\":\"00000000-0000-0000-0000-000000000000\",\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":\"1\"}]");
    decodeError("[{\"id\":\"00000000-0000-0000-0000-000000000000\",\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":null}]");
    decodeError("[{\"id\":\"00000000-0000-0000-0000-000000000000\",\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":1e999}]");
    decodeError("[{\"id\":\"00000000-0000-0000-0000-000000000000\",\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":01}]");
    decodeError("[{\"id\":7,\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":1}]");
}

TEST(HistoryReader, RejectsInvalidUuids)
{
    const char *const ids[] = {
        "", "E621E1F8C36C495A93FC0C247A3E6E5F", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF",
        "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC_0C247A3E6E5F",
    };
    for (const char *id : ids)
        decodeError(QByteArray("[{\"id\":\"") + id + "\",\"content\":{\"text\":{\"_0\":\"a\"}},\"timestamp\":1}]");
}

TEST(HistoryReader, RejectsInvalidBase64)
{
    const char *const values[] = {"QQ", "QQ=", "Q===", "QQ=A", "QUJD*A==", "QU JD", "QUJD\\n", "\\u00e9AAA"};
    for (const char *value : values) {
        SCOPED_TRACE(value);
        decodeError(entryWith((QByteArray("{\"image\":{\"_0\":\"") + value + "\"}}").constData()));
        decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", (QByteArray(",\"richTextHTMLData\":\"") + value + "\"").constData()));
    }
    EXPECT_EQ(decodeOk(entryWith("{\"image\":{\"_0\":\"QUJD\"}}"))[0].content.data(), QByteArray("ABC"));
}

TEST(HistoryReader, RejectsBadStrings)
{
    decodeError(entryWith("{\"text\":{\"_0\":\"a\nb\"}}"));          // raw control character
    decodeError(entryWith("{\"text\":{\"_0\":\"\\x\"}}"));           // unknown escape
    decodeError(entryWith("{\"text\":{\"_0\":\"\\u12\"}}"));         // short \u
    decodeError(entryWith("{\"text\":{\"_0\":\"\\ud800\"}}"));       // lone high surrogate
    decodeError(entryWith("{\"text\":{\"_0\":\"\\udc00x\"}}"));      // lone low surrogate
    decodeError(entryWith("{\"text\":{\"_0\":\"\xC3\x28\"}}"));      // invalid UTF-8
    decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", ",\"\xFF\":1")); // invalid UTF-8 in an unknown key
}

TEST(HistoryReader, DeepNestingInUnknownKeysFailsWithoutCrashing)
{
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    decodeError(entryWith("{\"text\":{\"_0\":\"a\"}}", (",\"x\":" + deep).constData()));
    const QByteArray moderate = QByteArray(100, '[') + QByteArray(100, ']');
    EXPECT_EQ(decodeOk(entryWith("{\"text\":{\"_0\":\"a\"}}", (",\"x\":" + moderate).constData())).size(), 1);
}

TEST(HistoryReader, FuzzedBytesNeverCrash)
{
    // Deterministic mutations of a valid document: flipped, dropped and
    // duplicated bytes. Each must either decode or fail with an error.
    const QByteArray good = encodeHistory(everyKind());
    quint32 state = 12345;
    auto next = [&] { state = state * 1103515245u + 12345u; return state >> 8; };
    for (int round = 0; round < 3000; ++round) {
        QByteArray doc = good;
        const int edits = 1 + next() % 4;
        for (int e = 0; e < edits; ++e) {
            const qsizetype at = next() % doc.size();
            switch (next() % 3) {
            case 0: doc[at] = char(next()); break;
            case 1: doc.remove(at, 1 + next() % 8); break;
            case 2: doc.insert(at, doc.mid(next() % doc.size(), 1 + next() % 16)); break;
            }
            if (doc.isEmpty())
                doc = "[";
        }
        QList<ClipboardItem> out;
        QString error;
        if (!decodeHistory(doc, &out, &error)) {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}
