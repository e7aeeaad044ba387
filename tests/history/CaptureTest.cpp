#include "HistoryTestSupport.h"

#include "platform/qt/QtStyledTextConverter.h"

#include <QGuiApplication>

#include <vector>

using namespace kelvo;
using namespace kelvo::test;
using memory::MemoryContents;
using memory::MemoryItem;
using Kind = ClipboardContent::Kind;

namespace {

const QString kFigmaType = QStringLiteral("application/x-figma-data");
const QString S = PasteboardType::String;

// A background queue that holds its tasks until the test runs them.
class HeldQueue : public BackgroundQueue {
public:
    struct Job : Cancellable {
        void cancel() override { task = nullptr; }
        std::function<void()> task;
    };
    TaskHandle after(int, std::function<void()> task) override
    {
        held.push_back(std::make_shared<Job>());
        held.back()->task = std::move(task);
        return held.back();
    }
    void flush() override {}
    std::vector<std::shared_ptr<Job>> held;
};

// A clipboard whose owner answers only when the test says so.
class HeldPasteboard : public memory::MemoryPasteboard {
public:
    void fetchContents(ContentsCallback callback) override
    {
        ++fetchCount;
        held.append(std::move(callback));
    }
    QList<ContentsCallback> held;
};

// Clipboard content that counts how often its image is asked for.
struct CountingContents : MemoryContents {
    std::optional<QByteArray> imagePNG() const override
    {
        ++imageReads;
        return MemoryContents::imagePNG();
    }
    mutable int imageReads = 0;
};

// A clipboard with a PNG flavour and, optionally, text.
std::shared_ptr<CountingContents> imageContents(const QByteArray &png, std::optional<QString> text)
{
    auto contents = std::make_shared<CountingContents>();
    contents->data.insert(PasteboardType::PNG, png);
    contents->typeList = QStringList{PasteboardType::PNG};
    if (text) {
        contents->typeList->append(S);
        contents->strings.insert(S, *text);
    }
    contents->image = png;
    return contents;
}

class CaptureTest : public ::testing::Test {
protected:
    HistoryRig rig;
    HeldPasteboard stalling;
    std::unique_ptr<ClipboardManager> manager;

    void SetUp() override
    {
        rig.pasteboard.copy(textContents("on the clipboard at start"));
        manager = rig.make();
    }

    void frontmost(const QString &name)
    {
        QImage icon(8, 8, QImage::Format_ARGB32);
        icon.fill(Qt::blue);
        rig.applications.frontmost = RunningApplication{name, icon, 42, 0, {}};
    }

    void poll(std::shared_ptr<MemoryContents> contents) { rig.copyAndPoll(*manager, std::move(contents)); }

    // From here on the clipboard's owner answers only when the test says so.
    void stall()
    {
        rig.pasteboardOverride = &stalling;
        manager = rig.make();
    }
    void copyStalled(const QString &text)
    {
        stalling.copy(textContents(text));
        manager->checkPasteboard();
    }

    // One copy, read and built (a picture is built on the background queue,
    // in a later turn of the main loop); the new entry, if one was recorded.
    std::optional<ClipboardItem> capture(std::shared_ptr<MemoryContents> contents)
    {
        const auto before = manager->items().size();
        poll(std::move(contents));
        rig.time.runPending();
        if (manager->items().size() == before)
            return std::nullopt;
        return manager->items().first();
    }
};

// ---- reading the clipboard -------------------------------------------------

TEST_F(CaptureTest, StartUpContentIsNotCapturedButTheFirstCopyIs)
{
    manager->checkPasteboard();
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());

    frontmost("Editor");
    rig.pasteboard.copy(textContents("first copy"));
    rig.time.advance(499);
    EXPECT_TRUE(manager->items().isEmpty());
    rig.time.advance(1);
    ASSERT_EQ(manager->items().size(), 1);
    const ClipboardItem item = manager->items().first();
    EXPECT_EQ(item.content.string(), "first copy");
    EXPECT_EQ(item.sourceAppName, QStringLiteral("Editor"));
    EXPECT_FALSE(item.sourceAppIcon.isNull());
    EXPECT_FALSE(item.isPinned);
    EXPECT_DOUBLE_EQ(item.timestamp, rig.time.now());

    const int fetches = rig.pasteboard.fetchCount;
    rig.time.advance(5000);
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches) << "an unchanged count reads nothing";
}

TEST_F(CaptureTest, NoSourceWhenNoneIsInFrontOrItIsThisProgram)
{
    for (const bool self : {false, true}) {
        SCOPED_TRACE(self ? "this program" : "none");
        rig.applications.frontmost.reset();
        if (self) {
            frontmost("Kelvo");
            rig.applications.frontmost->processIdentifier = QCoreApplication::applicationPid();
        }
        const auto item = capture(textContents(self ? "copied while the panel kept the focus" : "x"));
        ASSERT_TRUE(item);
        EXPECT_FALSE(item->sourceAppName.has_value());
        EXPECT_TRUE(item->sourceAppIcon.isNull());
    }
}

TEST_F(CaptureTest, NullAnswerRecordsNothingAndIsNotRetried)
{
    rig.pasteboard.setFetchFails(true);
    poll(textContents("timed out"));
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    rig.pasteboard.setFetchFails(false);
    const int fetches = rig.pasteboard.fetchCount;
    manager->checkPasteboard();
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches);
}

TEST_F(CaptureTest, AnswerIsDroppedAfterAnOwnWriteAPauseOrTheManagerIsGone)
{
    const std::pair<const char *, std::function<void()>> meanwhile[] = {
        {"own write", [&] { manager->writeToPasteboard(manager->items().first()); }},
        {"pause", [&] { rig.preferences.setValue(QStringLiteral("capturePaused"), true); }},
        {"manager gone", [&] { manager.reset(); }},
    };
    for (const auto &[what, action] : meanwhile) {
        SCOPED_TRACE(what);
        rig.preferences.setValue(QStringLiteral("capturePaused"), false);
        manager = rig.make();
        manager->addCapturedItem(textEntry("old"));
        rig.time.advance(1000);
        rig.pasteboard.setDeferredFetch(&rig.time);
        poll(textContents(QStringLiteral("foreign, before the ") + what));
        const int fetches = rig.pasteboard.fetchCount;
        action();
        rig.time.runPending();
        rig.time.advance(1000);
        EXPECT_EQ(rig.pasteboard.fetchCount, fetches) << "nothing is read again";
        EXPECT_EQ(texts(manager ? manager->items() : rig.make()->items()), QStringList({"old"})) << "nor recorded, nor saved";
        rig.pasteboard.setDeferredFetch(nullptr);
    }
}

TEST_F(CaptureTest, OwnerThatNeverAnswersDoesNotStopCaptureAndOrderIsKept)
{
    stall();
    copyStalled("stuck");
    copyStalled("next");
    ASSERT_EQ(stalling.held.size(), 2) << "the next copy does not wait for the silent owner";

    stalling.held.at(1)(textContents("next"));
    EXPECT_TRUE(manager->items().isEmpty()) << "recorded only after the older read";
    rig.time.advance(4500);
    EXPECT_TRUE(manager->items().isEmpty());
    rig.time.advance(1000); // the first read is given up
    EXPECT_EQ(texts(manager->items()), QStringList({"next"}));
    stalling.held.at(0)(textContents("stuck")); // a late answer is ignored
    EXPECT_EQ(texts(manager->items()), QStringList({"next"}));
}

TEST_F(CaptureTest, ReadsUnderWayAreBoundedAndAWaitingChangeIsReadWhenOneEnds)
{
    stall();
    const int limit = int(ClipboardManager::kMaxCapturesInFlight);
    QStringList newestFirst;
    for (int i = 0; i <= limit; ++i) {
        copyStalled(QString::number(i));
        newestFirst.prepend(QString::number(i));
    }
    ASSERT_EQ(stalling.held.size(), limit);
    for (int i = 0; i < limit; ++i)
        stalling.held.at(i)(textContents(QString::number(i)));
    ASSERT_EQ(stalling.held.size(), limit + 1) << "the waiting change is read without a tick";
    stalling.held.last()(textContents(QString::number(limit)));
    EXPECT_EQ(texts(manager->items()), newestFirst);
}

// ---- what a copy becomes -----------------------------------------------------

// The shipped type registry and styled-text converter: markup gives the
// text it shows, never its own source as plain text.
TEST(ShippedMarkupTest, MarkupIsNeverItsOwnPlainText)
{
    static int argc = 1;
    static char name[] = "capture-test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    MimeTypeRegistry types;
    QtStyledTextConverter styledText;
    const PasteboardReader reader{types, styledText};
    const struct {
        const char *type;
        QByteArray bytes;
        QString plain;
    } cases[] = {
        {"public.html", "<p><b>Bold</b> words</p>", "Bold words"},
        {"public.rtf", "{\\rtf1\\ansi {\\b Bold} words}", "Bold words"},
        {"text/x-csrc", "int bold;", "int bold;"}, // other text types still count
    };
    for (const auto &c : cases) {
        const auto captured = reader.readPasteboard(*MemoryContents::withData({{c.type, c.bytes}}), std::nullopt);
        ASSERT_TRUE(captured) << c.type;
        EXPECT_EQ(captured->content.string(), c.plain) << c.type;
    }
}

std::shared_ptr<MemoryContents> flavours(const QList<std::pair<QString, QByteArray>> &list,
                                         const QStringList &textTypes = {S})
{
    return MemoryContents::withData(list, textTypes);
}

std::shared_ptr<MemoryContents> itemMarkedSecret()
{
    auto contents = textContents("pin 1234");
    auto item = std::make_shared<MemoryItem>();
    item->typeList = {QStringLiteral("org.nspasteboard.ConcealedType")};
    contents->itemList->append(item);
    return contents;
}

std::shared_ptr<MemoryContents> cleared()
{
    auto contents = std::make_shared<MemoryContents>();
    contents->typeList.reset();
    contents->itemList.reset();
    return contents;
}

TEST_F(CaptureTest, EachClipboardBecomesTheRightEntryOrNone)
{
    const QString H = PasteboardType::HTML, R = PasteboardType::RTF, D = PasteboardType::RTFD;
    const QString hint = QStringLiteral("x-kde-passwordManagerHint");
    const QByteArray badUnicode("\xff\xdc\xdc\xff\xc3", 5); // invalid in every Unicode form
    QList<std::pair<QString, QByteArray>> many; // five thousand custom types
    for (int i = 0; i < 5000; ++i)
        many.append({QStringLiteral("x-app/type-%1").arg(i), QByteArray::number(i)});
    const auto secret = [](const QString &type, const QByteArray &value) {
        return flavours({{S, "hunter2"}, {kFigmaType, "blob"}, {type, value}});
    };
    struct Case {
        std::shared_ptr<MemoryContents> contents;
        std::optional<Kind> kind; // none: nothing is recorded
        QString text = {};
        std::optional<QByteArray> rtf = {};
        std::optional<QByteArray> html = {};
        QString info = {};
        const char *app = "Editor";
    };
    const Case cases[] = {
        // web addresses: exactly http(s):// in lower case, no spaces
        {textContents("https://example.com/a?b=1"), Kind::Url, "https://example.com/a?b=1"},
        {textContents("http://example.com"), Kind::Url, "http://example.com"},
        {textContents(" https://example.com"), Kind::Text, " https://example.com"},
        {textContents("HTTPS://example.com"), Kind::Text, "HTTPS://example.com"},
        {textContents("ftp://example.com"), Kind::Text, "ftp://example.com"},
        {textContents("https://exa mple.com"), Kind::Text, "https://exa mple.com"},
        {flavours({{S, "https://a.example"}, {H, "<a>https://a.example</a>"}}), Kind::Url, "https://a.example", {},
         std::nullopt},
        // styled text: RTF kept as it is, else made from RTFD or HTML; HTML kept beside
        {flavours({{H, "<b>Hello</b> web"}}, {}), Kind::RichText, "Hello web", "{\\rtf1 Hello web}",
         "<b>Hello</b> web"},
        {flavours({{S, "styled"}, {R, "{\\rtf1 styled}"}, {H, "<i>styled</i>"}}), Kind::RichText, "styled",
         "{\\rtf1 styled}", "<i>styled</i>"},
        {flavours({{S, "plain"}, {D, "rtfd:fancy"}}), Kind::RichText, "fancy", "{\\rtf1 fancy}", std::nullopt},
        {flavours({{S, "other"}, {D, "rtfd:"}}), Kind::RichText, "other", "{\\rtf1 }"}, // empty styled string
        {flavours({{S, "words"}, {H, "<p>nortf</p>"}}), Kind::Text, "words", {}, std::nullopt},
        // empty styled bytes count as absent
        {flavours({{S, "t1"}, {R, ""}}), Kind::Text, "t1", {}, std::nullopt},
        {flavours({{S, "t2"}, {H, ""}}), Kind::Text, "t2", {}, std::nullopt},
        {flavours({{S, "t3"}, {D, ""}}), Kind::Text, "t3", {}, std::nullopt},
        {flavours({{S, "t4"}, {R, ""}, {H, "<b>t4</b>"}}), Kind::RichText, "t4", "{\\rtf1 t4}", "<b>t4</b>"},
        {flavours({{S, "t5"}, {R, "{\\rtf1 t5}"}, {H, ""}}), Kind::RichText, "t5", "{\\rtf1 t5}", std::nullopt},
        // raw: only custom types, empty flavours left out
        {flavours({{"chromium/x-web-custom-data", "abc"}, {"x-empty", ""}}, {}), Kind::Raw, {}, {}, {},
         "1 种数据格式"},
        {flavours(many, {}), Kind::Raw, {}, {}, {}, "5000 种数据格式"},
        {flavours(QList<std::pair<QString, QByteArray>>{{S, "label"}} + many), Kind::Text, "label"},
        {flavours({{PasteboardType::Color, "colour bytes"}}, {}), std::nullopt},
        {flavours({{"image/png", "not decodable"}}, {}), std::nullopt}, // an image type is not custom
        {cleared(), std::nullopt},
        {flavours({{"public.utf16-plain-text", badUnicode}}, {}), Kind::Text, QString::fromLatin1(badUnicode)},
        // secrets, even where the whole clipboard would be kept raw
        {secret(hint, "secret"), std::nullopt, {}, {}, {}, {}, "Figma"},
        {secret("application/x-nspasteboard-concealed-type", "1"), std::nullopt, {}, {}, {}, {}, "Figma"},
        {secret("org.nspasteboard.ConcealedType", ""), std::nullopt, {}, {}, {}, {}, "Figma"},
        {secret("org.nspasteboard.TransientType", "x"), std::nullopt, {}, {}, {}, {}, "Figma"},
        {itemMarkedSecret(), std::nullopt},
        {flavours({{S, "visible"}, {hint, "public"}}), Kind::Text, "visible"},
    };
    for (const Case &c : cases) {
        frontmost(QString::fromLatin1(c.app));
        const QString types = c.contents->types().value_or(QStringList()).join(' ');
        SCOPED_TRACE(c.text.isEmpty() ? types.toStdString() : c.text.toStdString());
        const auto item = capture(c.contents);
        ASSERT_EQ(item.has_value(), c.kind.has_value());
        EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
        if (!item)
            continue;
        EXPECT_EQ(item->content.kind(), *c.kind);
        if (!c.text.isEmpty()) {
            EXPECT_EQ(item->content.string(), c.text);
        }
        if (c.kind == Kind::RichText) {
            EXPECT_EQ(item->content.data(), c.rtf);
        }
        if (c.kind != Kind::Raw) {
            EXPECT_EQ(item->richTextHTMLData, c.html);
        }
        if (!c.info.isEmpty()) {
            EXPECT_EQ(item->infoLabel, c.info);
        }
    }
}

TEST_F(CaptureTest, PictureIsKeptAsCopiedUnlessThereIsTextToRecord)
{
    const QByteArray png = pngBytes(30, 20);
    auto bmpOnly = std::make_shared<CountingContents>(); // no image type, but an image
    bmpOnly->typeList = QStringList{QStringLiteral("image/bmp")};
    bmpOnly->image = pngBytes(3, 3);
    auto undecodable = std::make_shared<CountingContents>();
    undecodable->typeList = QStringList{PasteboardType::TIFF};
    const struct {
        std::shared_ptr<CountingContents> contents;
        std::optional<Kind> kind;
        int imageReads;
    } cases[] = {
        {imageContents(png, QStringLiteral("photo.png")), Kind::Text, 0}, // decided before any decoding
        {imageContents(pngBytes(5, 5), std::nullopt), Kind::Image, 1},
        {bmpOnly, Kind::Image, 1},
        {imageContents(png, QString("")), Kind::Image, 1},
        {undecodable, std::nullopt, 1}, // both image rules share one read
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.contents->types()->join(' ').toStdString());
        const auto item = capture(c.contents);
        EXPECT_EQ(c.contents->imageReads, c.imageReads);
        ASSERT_EQ(item.has_value(), c.kind.has_value());
        if (item) {
            EXPECT_EQ(item->content.kind(), *c.kind);
        }
    }
    const ClipboardItem picture = manager->items().first();
    EXPECT_EQ(picture.content.data(), png) << "the copied bytes, not a re-encoding";
    EXPECT_EQ(picture.infoLabel, QStringLiteral("30 x 20"));
    EXPECT_TRUE(picture.previewImagePNGData.has_value());
}

TEST_F(CaptureTest, DesignToolKeepsRawEvenWithText)
{
    const auto clip = [] { return flavours({{S, "Frame 1"}, {kFigmaType, "figma-binary"}}); };
    frontmost("Figma Desktop");
    auto item = capture(clip());
    ASSERT_TRUE(item);
    ASSERT_EQ(item->content.kind(), Kind::Raw);
    const QList<PasteboardItemPayload> payloads{{{{S, "Frame 1"}, {kFigmaType, "figma-binary"}}}};
    EXPECT_EQ(item->content.payloads(), payloads);
    EXPECT_EQ(item->infoLabel, QStringLiteral("2 种数据格式"));

    frontmost("FIGMA");
    EXPECT_FALSE(capture(clip())) << "same payloads: a duplicate";

    frontmost("Editor");
    item = capture(clip());
    ASSERT_TRUE(item);
    EXPECT_EQ(item->content.kind(), Kind::Text);
    EXPECT_EQ(item->content.string(), "Frame 1");
}

// ---- plain text reading ----------------------------------------------------

TEST_F(CaptureTest, PlainTextStepsInOrder)
{
    const PasteboardReader &reader = manager->reader();
    MemoryContents c;
    c.texts = QStringList{QStringLiteral("object text")};
    c.data.insert(PasteboardType::RTF, "{\\rtf1 from rtf}");
    EXPECT_EQ(reader.readPlainText(c), QStringLiteral("object text"));

    // Not UTF-8, so decoded as UTF-16.
    c.data.insert(QStringLiteral("public.utf16-plain-text"), QByteArray("\xe9\0t\0f\0", 6));
    const QString utf = QString::fromUtf8("\u00e9tf");
    EXPECT_EQ(reader.readPlainText(c), utf);

    c.strings.insert(QStringLiteral("public.text"), QStringLiteral("by string")); // later type loses
    EXPECT_EQ(reader.readPlainText(c), utf);

    c.strings.insert(S, QString(""));
    EXPECT_EQ(reader.readPlainText(c), utf); // empty never counts

    MemoryContents itemsOnly;
    auto item = std::make_shared<MemoryItem>();
    item->typeList = {QStringLiteral("x-binary"), QStringLiteral("text/plain")};
    item->data.insert(QStringLiteral("x-binary"), "ignored");
    item->data.insert(QStringLiteral("text/plain"), "item text");
    itemsOnly.itemList = QList<std::shared_ptr<const PasteboardItemReader>>{item};
    EXPECT_EQ(reader.readPlainText(itemsOnly), QStringLiteral("item text"));

    MemoryContents rtfOnly;
    rtfOnly.data.insert(PasteboardType::RTF, "{\\rtf1 from rtf}");
    rtfOnly.data.insert(PasteboardType::HTML, "<b>from html</b>");
    EXPECT_EQ(reader.readPlainText(rtfOnly), QStringLiteral("from rtf"));
    rtfOnly.data.insert(PasteboardType::RTF, "unreadable");
    EXPECT_EQ(reader.readPlainText(rtfOnly), QStringLiteral("from html"));
    rtfOnly.data.remove(PasteboardType::HTML);
    EXPECT_FALSE(reader.readPlainText(rtfOnly).has_value());
}

TEST(DecodeTextDataTest, EncodingsInOrder)
{
    const struct {
        QByteArray bytes;
        std::optional<QString> text;
    } cases[] = {
        {"h\xc3\xa9llo", QString::fromUtf8("h\u00e9llo")},
        {QByteArray(), std::nullopt},
        {QByteArray("\xfe\xff\x00\x41\x00\xe9", 6), QString::fromUtf8("A\u00e9")}, // UTF-16 with a mark
        {QByteArray("\xff\xfe\x41\x00\xe9\x00", 6), QString::fromUtf8("A\u00e9")},
        {QByteArray("\xe9\x00\x41\x00", 4), QString::fromUtf8("\u00e9A")}, // no mark: host (little-endian) order
        // an unpaired surrogate in little-endian order, valid big-endian
        {QByteArray("\x00\xd8\x00\xe9", 4), QString(QChar(0x00d8)) + QChar(0x00e9)},
        {QByteArray("\xe9t\xe9", 3), QString::fromUtf8("\u00e9t\u00e9")}, // odd length, not UTF-8: Latin-1
        {QByteArray("\xff\xdc\xdc\xff", 4), QString::fromLatin1("\xff\xdc\xdc\xff", 4)}, // invalid in every form
    };
    for (const auto &c : cases)
        EXPECT_EQ(PasteboardReader::decodeTextData(c.bytes), c.text) << c.bytes.toHex().constData();
}

// ---- hostile input -------------------------------------------------------

TEST_F(CaptureTest, HugeTextIsRecordedWhole)
{
    QString text(200 * 1000 * 1000 / 2, QChar(u'a')); // 100 M characters, 200 MB in memory
    text[text.size() - 1] = u'Z';
    auto contents = std::make_shared<MemoryContents>();
    contents->typeList = QStringList{S};
    contents->strings.insert(S, text);
    const auto item = capture(contents);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->content.string().size(), text.size());
    EXPECT_EQ(item->preview.size(), 200);
    manager->setSearchQuery("az");
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 1);
}

// ---- pause -----------------------------------------------------------------

TEST_F(CaptureTest, PausedCopiesAreSkippedAndResumingDoesNotRecordThem)
{
    rig.preferences.setValue(QStringLiteral("capturePaused"), true);
    EXPECT_TRUE(manager->isCapturePaused()); // at once, not after the debounce
    const int fetches = rig.pasteboard.fetchCount;
    poll(textContents("secret one"));
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches); // the owner is not even asked
    rig.time.advance(2000);
    // Copied during the pause but not yet polled when recording resumes.
    rig.pasteboard.copy(textContents("secret two"));

    rig.preferences.setValue(QStringLiteral("capturePaused"), false);
    manager->checkPasteboard();
    rig.time.advance(2000);
    EXPECT_TRUE(manager->items().isEmpty());
}

// ---- ignored applications ----------------------------------------------------

// Which stored name keeps which source's copies from being read: the owner
// is not even asked, the change is taken as seen, and the next copy from
// anyone else is recorded.
TEST_F(CaptureTest, CopiesFromAnIgnoredApplicationAreNeverRead)
{
    const ApplicationIdentity keepass{"org.keepassxc.KeePassXC", {"keepassxc", "KeePassXC"}, "keepassxc"};
    const struct {
        QStringList ignored;
        std::optional<ApplicationIdentity> source;
        bool read;
    } cases[] = {
        {{"org.keepassxc.KeePassXC"}, keepass, false},
        {{"other", "KEEPASSXC"}, keepass, false},          // a class name, case ignored
        {{"keepassxc.desktop"}, keepass, false},           // the file name of an entry
        {{"secret-keeper"}, ApplicationIdentity{{}, {}, "secret-keeper"}, false}, // the program alone
        {{"keepass"}, keepass, true},                      // no partial names
        {{"org.keepassxc"}, keepass, true},
        {{"keepassxc"}, std::nullopt, true},               // nothing known of the source
        {{" "}, ApplicationIdentity{{}, {}, " "}, true},   // a blank name names nothing
        {{}, keepass, true},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ignored.join(',').toStdString());
        rig.preferences.setValue(QStringLiteral("ignoredApplications"), c.ignored);
        if (c.source)
            rig.applications.frontmost = RunningApplication{QStringLiteral("Source"), {}, 42, 0, *c.source};
        else
            rig.applications.frontmost.reset();
        const int fetches = rig.pasteboard.fetchCount;
        const QString text = QStringLiteral("copy %1").arg(++n);
        poll(textContents(text));
        EXPECT_EQ(rig.pasteboard.fetchCount - fetches, c.read ? 1 : 0);
        EXPECT_EQ(texts(manager->items()).value(0) == text, c.read);
        EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    }
}

// Where copies are read as soon as they are reported, the clipboard asks
// first, and only while there are applications to ignore; a copy it was
// told not to read is not asked for later either.
TEST_F(CaptureTest, AnEarlyReadWaitsForTheWordOnlyWhileApplicationsAreIgnored)
{
    EXPECT_FALSE(rig.pasteboard.readGate);
    rig.preferences.setValue(QStringLiteral("ignoredApplications"), QStringList{"secret-keeper"});
    ASSERT_TRUE(rig.pasteboard.readGate);
    rig.applications.frontmost = RunningApplication{{}, {}, 7, 0, {{}, {}, "secret-keeper"}};
    rig.pasteboard.copy(textContents("secret"));
    EXPECT_FALSE(rig.pasteboard.readGate(rig.pasteboard.changeCount()));
    rig.applications.frontmost.reset(); // the focus moves on before the change is looked at
    const int fetches = rig.pasteboard.fetchCount;
    manager->checkPasteboard();
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches);
    rig.pasteboard.copy(textContents("public"));
    EXPECT_TRUE(rig.pasteboard.readGate(rig.pasteboard.changeCount()));
    rig.preferences.setValue(QStringLiteral("ignoredApplications"), QStringList());
    EXPECT_FALSE(rig.pasteboard.readGate);
}

// An ignored application copies while the copy before it is being read:
// what that read brings may be the ignored program's (X11 lets the newest
// owner serve it), so it is not recorded.
TEST_F(CaptureTest, AReadOvertakenByAnIgnoredApplicationsCopyIsNotRecorded)
{
    stall();
    rig.preferences.setValue(QStringLiteral("ignoredApplications"), QStringList{"secret-keeper"});
    rig.applications.frontmost = RunningApplication{{}, {}, 7, 0, {{}, {}, "editor"}};
    copyStalled("from the editor");
    rig.applications.frontmost = RunningApplication{{}, {}, 8, 0, {{}, {}, "secret-keeper"}};
    stalling.copy(textContents("secret"));
    stalling.held.at(0)(textContents("secret"));
    manager->checkPasteboard();
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(stalling.held.size(), 1) << "the ignored copy was read";

    rig.applications.frontmost = RunningApplication{{}, {}, 7, 0, {{}, {}, "editor"}};
    copyStalled("later");
    stalling.held.at(1)(textContents("later"));
    EXPECT_EQ(texts(manager->items()), QStringList({"later"}));
}

TEST_F(CaptureTest, PicturesAreBuiltOffTheMainThreadInCopyOrder)
{
    HeldQueue worker;
    rig.backgroundOverride = &worker;
    manager = rig.make();
    const QByteArray png = pngBytes(1200, 800);
    // The same picture twice, then a text, all read before the pictures'
    // entries are built.
    poll(imageContents(png, std::nullopt));
    poll(imageContents(png, std::nullopt));
    poll(textContents("copied after the picture"));
    rig.time.runPending();
    EXPECT_TRUE(manager->items().isEmpty()) << "the main thread built no picture; the text waits for it";

    const auto jobs = worker.held; // a task may hold more
    for (const auto &job : jobs)
        if (job->task)
            job->task();
    rig.time.runPending();
    const QList<ClipboardItem> items = manager->items();
    ASSERT_EQ(items.size(), 2) << "the repeated picture is a duplicate";
    EXPECT_EQ(items.at(0).content.string(), "copied after the picture");
    EXPECT_EQ(items.at(1).content.data(), png);
    EXPECT_TRUE(items.at(1).previewImagePNGData.has_value());
}

} // namespace
