#include "HistoryTestSupport.h"

#include "platform/qt/QtStyledTextConverter.h"

#include <QGuiApplication>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace kelvo;
using namespace kelvo::test;
using memory::MemoryContents;
using memory::MemoryItem;

namespace {

const QString kFigmaType = QStringLiteral("application/x-figma-data");
const QString kColor = PasteboardType::Color;

// A background queue that holds its tasks until the test lets them run, on
// a thread of their own.
class HeldQueue : public BackgroundQueue {
public:
    ~HeldQueue() override
    {
        if (thread_.joinable())
            thread_.join();
    }
    TaskHandle after(int, std::function<void()> task) override
    {
        auto job = std::make_shared<Job>();
        job->task = std::move(task);
        jobs_.push_back(job);
        return job;
    }
    void flush() override {}
    // Runs every held task on another thread; true once they have all run,
    // false when they did not within the deadline.
    bool runOnAnotherThread(std::chrono::seconds deadline)
    {
        std::vector<std::shared_ptr<Job>> jobs;
        jobs.swap(jobs_);
        thread_ = std::thread([this, jobs] {
            for (const auto &job : jobs)
                if (!job->cancelled)
                    job->task();
            finished_ = true;
        });
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!finished_ && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return finished_;
    }

private:
    struct Job : Cancellable {
        void cancel() override { cancelled = true; }
        std::function<void()> task;
        std::atomic<bool> cancelled = false;
    };
    std::vector<std::shared_ptr<Job>> jobs_;
    std::thread thread_;
    std::atomic<bool> finished_ = false;
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

class CaptureTest : public ::testing::Test {
protected:
    HistoryRig rig;
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
        rig.applications.frontmost = RunningApplication{name, icon, 42, 0};
    }

    void poll(std::shared_ptr<MemoryContents> contents) { rig.copyAndPoll(*manager, std::move(contents)); }
    // A snapshot offering a picture is read on the background queue; its
    // entry arrives in a later turn of the main loop.
    void pollPicture(std::shared_ptr<MemoryContents> contents)
    {
        poll(std::move(contents));
        rig.time.runPending();
    }

    std::optional<ClipboardItem> newest() const
    {
        if (manager->items().isEmpty())
            return std::nullopt;
        return manager->items().first();
    }

    ClipboardContent::Kind newestKind() const { return manager->items().first().content.kind(); }

    // A clipboard with an image flavour (decodable) and optional text.
    std::shared_ptr<CountingContents> imageContents(const QByteArray &png, std::optional<QString> text)
    {
        auto contents = std::make_shared<CountingContents>();
        QStringList types{PasteboardType::PNG};
        contents->data.insert(PasteboardType::PNG, png);
        if (text) {
            types.append(PasteboardType::String);
            contents->strings.insert(PasteboardType::String, *text);
        }
        contents->typeList = types;
        contents->image = png;
        return contents;
    }
};

// ---- poll tick -------------------------------------------------------------

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
}

TEST_F(CaptureTest, UnchangedCountReadsNothing)
{
    const int fetches = rig.pasteboard.fetchCount;
    rig.time.advance(5000);
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches);
}

TEST_F(CaptureTest, NoFrontmostApplicationGivesNoSource)
{
    rig.applications.frontmost.reset();
    poll(textContents("x"));
    ASSERT_TRUE(newest());
    EXPECT_FALSE(newest()->sourceAppName.has_value());
    EXPECT_TRUE(newest()->sourceAppIcon.isNull());
}

TEST_F(CaptureTest, ThisProgramsOwnWindowIsNeverTheSource)
{
    frontmost("Kelvo");
    rig.applications.frontmost->processIdentifier = QCoreApplication::applicationPid();
    poll(textContents("copied while the panel kept the focus"));
    ASSERT_TRUE(newest());
    EXPECT_FALSE(newest()->sourceAppName.has_value());
    EXPECT_TRUE(newest()->sourceAppIcon.isNull());
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

TEST_F(CaptureTest, DeferredAnswerIsRecordedWhenItArrives)
{
    rig.pasteboard.setDeferredFetch(&rig.time);
    poll(textContents("later"));
    EXPECT_TRUE(manager->items().isEmpty());
    // A second change while the first read is outstanding is read at once.
    poll(textContents("even later"));
    EXPECT_EQ(rig.pasteboard.fetchCount, 2);
    rig.time.runPending();
    EXPECT_EQ(texts(manager->items()), QStringList({"even later", "later"}));
}

TEST_F(CaptureTest, ReportedChangeIsReadAtOnceWithoutWaitingForTheTick)
{
    ASSERT_TRUE(rig.pasteboard.changeHandler) << "capture listens for change reports";
    for (const QString &text : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        rig.pasteboard.copy(textContents(text));
        rig.pasteboard.changeHandler();
    }
    EXPECT_EQ(texts(manager->items()), QStringList({"c", "b", "a"}));
    EXPECT_EQ(rig.time.now(), manager->items().first().timestamp) << "no tick was needed";
    const int fetches = rig.pasteboard.fetchCount;
    rig.time.advance(2000);
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches) << "the tick finds nothing left to do";
    manager.reset();
    EXPECT_FALSE(rig.pasteboard.changeHandler) << "released with the manager";
}

TEST_F(CaptureTest, AnswerAfterTheManagerIsGoneIsIgnored)
{
    rig.pasteboard.setDeferredFetch(&rig.time);
    poll(textContents("late"));
    const int writes = rig.files.writes;
    manager.reset();
    rig.time.runPending();
    rig.time.advance(1000);
    EXPECT_EQ(rig.pasteboard.fetchCount, 1);
    EXPECT_EQ(rig.files.writes, writes) << "the late answer is not recorded";
    EXPECT_TRUE(rig.make()->items().isEmpty());
}

TEST_F(CaptureTest, OwnWriteDuringAReadIsNotCaptured)
{
    rig.pasteboard.setDeferredFetch(&rig.time);
    manager->addCapturedItem(textEntry("old"));
    rig.pasteboard.copy(textContents("foreign"));
    manager->checkPasteboard();
    manager->writeToPasteboard(manager->items().first());
    rig.time.runPending();
    EXPECT_EQ(texts(manager->items()), QStringList({"old"}));
}

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

TEST(CaptureStallTest, OwnerThatNeverAnswersDoesNotStopCaptureAndOrderIsKept)
{
    HistoryRig rig;
    HeldPasteboard pasteboard;
    rig.pasteboardOverride = &pasteboard;
    auto manager = rig.make();
    pasteboard.copy(textContents("stuck"));
    manager->checkPasteboard();
    pasteboard.copy(textContents("next"));
    manager->checkPasteboard();
    ASSERT_EQ(pasteboard.held.size(), 2) << "the next copy does not wait for the silent owner";

    pasteboard.held.at(1)(textContents("next"));
    EXPECT_TRUE(manager->items().isEmpty()) << "recorded only after the older read";
    rig.time.advance(4500);
    EXPECT_TRUE(manager->items().isEmpty());
    rig.time.advance(1000); // the first read is given up
    EXPECT_EQ(texts(manager->items()), QStringList({"next"}));
    pasteboard.held.at(0)(textContents("stuck")); // a late answer is ignored
    EXPECT_EQ(texts(manager->items()), QStringList({"next"}));
}

TEST(CaptureStallTest, ReadsUnderWayAreBoundedAndAWaitingChangeIsReadWhenOneEnds)
{
    HistoryRig rig;
    HeldPasteboard pasteboard;
    rig.pasteboardOverride = &pasteboard;
    auto manager = rig.make();
    const int limit = int(ClipboardManager::kMaxCapturesInFlight);
    for (int i = 0; i <= limit; ++i) {
        pasteboard.copy(textContents(QString::number(i)));
        manager->checkPasteboard();
    }
    ASSERT_EQ(pasteboard.held.size(), limit);
    for (int i = 0; i < limit; ++i)
        pasteboard.held.at(i)(textContents(QString::number(i)));
    ASSERT_EQ(pasteboard.held.size(), limit + 1) << "the waiting change is read without a tick";
    pasteboard.held.last()(textContents(QString::number(limit)));
    QStringList newestFirst;
    for (int i = limit; i >= 0; --i)
        newestFirst.append(QString::number(i));
    EXPECT_EQ(texts(manager->items()), newestFirst);
}

// ---- markup with the shipped registry and converter -------------------------

// (type, bytes) of a single-flavour clipboard -> the plain text recorded.
struct MarkupCase {
    const char *type;
    QByteArray bytes;
    const char *plain;
};

class ShippedMarkupTest : public ::testing::TestWithParam<MarkupCase> {
protected:
    static void SetUpTestSuite()
    {
        if (!QGuiApplication::instance()) {
            static int argc = 1;
            static char name[] = "capture-test";
            static char *argv[] = {name, nullptr};
            static QGuiApplication app(argc, argv);
        }
    }
    MimeTypeRegistry types;
    QtStyledTextConverter styledText;
    PasteboardReader reader{types, styledText};
};

TEST_P(ShippedMarkupTest, MarkupIsNeverItsOwnPlainText)
{
    const MarkupCase c = GetParam();
    const auto captured = reader.readPasteboard(*MemoryContents::withData({{QString::fromLatin1(c.type), c.bytes}}),
                                                std::nullopt);
    ASSERT_TRUE(captured);
    EXPECT_EQ(captured->content.string().toStdString(), c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShippedMarkupTest,
    ::testing::Values(MarkupCase{"public.html", "<p><b>Bold</b> words</p>", "Bold words"},
                      MarkupCase{"public.rtf", "{\\rtf1\\ansi {\\b Bold} words}", "Bold words"},
                      MarkupCase{"text/x-csrc", "int bold;", "int bold;"})); // other text types still count

// ---- secrets ---------------------------------------------------------------

TEST_F(CaptureTest, ContentMarkedSecretIsNeverRecorded)
{
    frontmost("Figma"); // would otherwise keep the whole clipboard as raw
    const QList<std::pair<QString, QByteArray>> markers{
        {QStringLiteral("x-kde-passwordManagerHint"), "secret"},
        {QStringLiteral("application/x-nspasteboard-concealed-type"), "1"},
        {QStringLiteral("org.nspasteboard.ConcealedType"), ""},
        {QStringLiteral("org.nspasteboard.TransientType"), "x"},
    };
    for (const auto &[type, value] : markers) {
        auto contents = MemoryContents::withData(
            {{PasteboardType::String, "hunter2"}, {kFigmaType, "blob"}, {type, value}}, {PasteboardType::String});
        poll(contents);
        EXPECT_TRUE(manager->items().isEmpty()) << type.toStdString();
        EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    }
    // A marker on an item only (not in the clipboard's own type list).
    auto contents = textContents("pin 1234");
    auto item = std::make_shared<MemoryItem>();
    item->typeList = {QStringLiteral("org.nspasteboard.ConcealedType")};
    contents->itemList->append(item);
    poll(contents);
    EXPECT_TRUE(manager->items().isEmpty());
    rig.time.advance(1000);
    EXPECT_EQ(rig.files.writes, 0);
}

TEST_F(CaptureTest, PasswordHintOtherThanSecretIsRecorded)
{
    poll(MemoryContents::withData({{PasteboardType::String, "visible"},
                                   {QStringLiteral("x-kde-passwordManagerHint"), "public"}},
                                  {PasteboardType::String}));
    EXPECT_EQ(texts(manager->items()), QStringList({"visible"}));
}

// ---- classification order ------------------------------------------------

TEST_F(CaptureTest, ImageWithNonEmptyTextRecordsTheText)
{
    auto contents = imageContents(pngBytes(30, 20), QStringLiteral("photo.png"));
    pollPicture(contents);
    ASSERT_TRUE(newest());
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Text);
    EXPECT_EQ(newest()->content.string(), "photo.png");
    EXPECT_EQ(contents->imageReads, 0); // text decided before any decoding
}

TEST_F(CaptureTest, ImageWithEmptyTextRecordsTheImageBytesUnchanged)
{
    const QByteArray png = pngBytes(30, 20);
    auto contents = imageContents(png, QString(""));
    pollPicture(contents);
    ASSERT_TRUE(newest());
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::Image);
    EXPECT_EQ(newest()->content.data(), png);
    EXPECT_EQ(newest()->content.data().constData(), png.constData()); // shared, not re-encoded
    EXPECT_EQ(contents->imageReads, 1);
    EXPECT_EQ(newest()->infoLabel, QStringLiteral("30 x 20"));
    EXPECT_TRUE(newest()->previewImagePNGData.has_value());
}

TEST_F(CaptureTest, ImageWithoutStringTypeRecordsTheImage)
{
    auto contents = imageContents(pngBytes(5, 5), std::nullopt);
    pollPicture(contents);
    ASSERT_TRUE(newest());
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Image);
    EXPECT_EQ(contents->imageReads, 1);
}

TEST_F(CaptureTest, UndecodableImageFallsBackToTextThenImageIsReadOnce)
{
    // Types announce an image that does not decode; no text anywhere: the
    // image is asked for once for both image rules, and raw decides.
    auto contents = std::make_shared<CountingContents>();
    contents->typeList = QStringList{PasteboardType::TIFF};
    pollPicture(contents);
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(contents->imageReads, 1);
}

TEST_F(CaptureTest, ImageWithoutImageTypesIsTheFallBackAfterText)
{
    auto contents = std::make_shared<MemoryContents>();
    contents->typeList = QStringList{QStringLiteral("image/bmp")};
    contents->image = pngBytes(3, 3);
    pollPicture(contents);
    ASSERT_TRUE(newest());
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Image);
}

TEST_F(CaptureTest, WebAddressRules)
{
    struct Case {
        const char *text;
        ClipboardContent::Kind kind;
    };
    const Case cases[] = {
        {"https://example.com/a?b=1", ClipboardContent::Kind::Url},
        {"http://example.com", ClipboardContent::Kind::Url},
        {" https://example.com", ClipboardContent::Kind::Text},
        {"HTTPS://example.com", ClipboardContent::Kind::Text},
        {"Https://example.com", ClipboardContent::Kind::Text},
        {"mailto:someone@example.com", ClipboardContent::Kind::Text},
        {"someone@example.com", ClipboardContent::Kind::Text},
        {"ftp://example.com", ClipboardContent::Kind::Text},
        {"https://exa mple.com", ClipboardContent::Kind::Text},
    };
    for (const Case &c : cases) {
        poll(textContents(QString::fromUtf8(c.text)));
        ASSERT_TRUE(newest());
        EXPECT_EQ(newest()->content.string(), QString::fromUtf8(c.text));
        EXPECT_EQ(newestKind(), c.kind) << c.text;
    }
}

TEST_F(CaptureTest, UrlWithStyledFlavoursIsStillAUrl)
{
    poll(MemoryContents::withData({{PasteboardType::String, "https://example.com"},
                                   {PasteboardType::HTML, "<a>https://example.com</a>"}},
                                  {PasteboardType::String}));
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Url);
    EXPECT_FALSE(newest()->richTextHTMLData.has_value());
}

TEST_F(CaptureTest, HtmlOnlyGivesRichTextWithGeneratedRtfAndKeptHtml)
{
    const QByteArray html = "<b>Hello</b> web";
    poll(MemoryContents::withData({{PasteboardType::HTML, html}}));
    ASSERT_TRUE(newest());
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::RichText);
    EXPECT_EQ(newest()->content.string(), "Hello web"); // text from the HTML reader (step 6)
    EXPECT_EQ(newest()->content.data(), QByteArray("{\\rtf1 Hello web}"));
    EXPECT_EQ(newest()->richTextHTMLData, html);
}

TEST_F(CaptureTest, RtfOnClipboardIsKeptAsIsWithHtmlBeside)
{
    const QByteArray rtf = "{\\rtf1 styled}";
    poll(MemoryContents::withData({{PasteboardType::String, "styled"},
                                   {PasteboardType::RTF, rtf},
                                   {PasteboardType::HTML, "<i>styled</i>"}},
                                  {PasteboardType::String}));
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::RichText);
    EXPECT_EQ(newest()->content.data(), rtf);
    EXPECT_EQ(newest()->richTextHTMLData, QByteArray("<i>styled</i>"));
}

TEST_F(CaptureTest, RtfdIsConvertedToRtf)
{
    poll(MemoryContents::withData({{PasteboardType::String, "plain"}, {PasteboardType::RTFD, "rtfd:fancy"}},
                                  {PasteboardType::String}));
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::RichText);
    EXPECT_EQ(newest()->content.string(), "fancy");
    EXPECT_EQ(newest()->content.data(), QByteArray("{\\rtf1 fancy}"));

    poll(MemoryContents::withData({{PasteboardType::String, "other"}, {PasteboardType::RTFD, "rtfd:"}},
                                  {PasteboardType::String}));
    EXPECT_EQ(newest()->content.string(), "other"); // empty styled string: the plain text
}

TEST_F(CaptureTest, EmptyStyledBytesCountAsAbsent)
{
    const QString S = PasteboardType::String;
    const struct {
        QList<std::pair<QString, QByteArray>> flavours;
        ClipboardContent::Kind kind;
        QByteArray rtf;
        std::optional<QByteArray> html;
    } cases[] = {
        {{{S, "t1"}, {PasteboardType::RTF, ""}}, ClipboardContent::Kind::Text, {}, std::nullopt},
        {{{S, "t2"}, {PasteboardType::HTML, ""}}, ClipboardContent::Kind::Text, {}, std::nullopt},
        {{{S, "t3"}, {PasteboardType::RTFD, ""}}, ClipboardContent::Kind::Text, {}, std::nullopt},
        {{{S, "t4"}, {PasteboardType::RTF, ""}, {PasteboardType::HTML, "<b>t4</b>"}},
         ClipboardContent::Kind::RichText, "{\\rtf1 t4}", QByteArray("<b>t4</b>")},
        {{{S, "t5"}, {PasteboardType::RTF, "{\\rtf1 t5}"}, {PasteboardType::HTML, ""}},
         ClipboardContent::Kind::RichText, "{\\rtf1 t5}", std::nullopt},
    };
    for (const auto &c : cases) {
        poll(MemoryContents::withData(c.flavours, {S}));
        ASSERT_TRUE(newest());
        const QString text = c.flavours.first().second;
        EXPECT_EQ(newest()->content.string(), text);
        EXPECT_EQ(newestKind(), c.kind) << text.toStdString();
        if (c.kind == ClipboardContent::Kind::RichText) {
            EXPECT_EQ(newest()->content.data(), c.rtf) << text.toStdString();
        }
        EXPECT_EQ(newest()->richTextHTMLData, c.html) << text.toStdString();
    }
}

TEST_F(CaptureTest, HtmlThatGivesNoRtfIsDroppedAndTextRecorded)
{
    poll(MemoryContents::withData({{PasteboardType::String, "words"}, {PasteboardType::HTML, "<p>nortf</p>"}},
                                  {PasteboardType::String}));
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::Text);
    EXPECT_FALSE(newest()->richTextHTMLData.has_value());
}

TEST_F(CaptureTest, DesignToolKeepsRawEvenWithText)
{
    const auto clip = [] {
        return MemoryContents::withData({{PasteboardType::String, "Frame 1"}, {kFigmaType, "figma-binary"}},
                                        {PasteboardType::String});
    };
    frontmost("Figma Desktop");
    poll(clip());
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::Raw);
    const auto &reps = newest()->content.payloads().first().representations;
    ASSERT_EQ(reps.size(), 2);
    EXPECT_EQ(reps.at(0).type, PasteboardType::String);
    EXPECT_EQ(reps.at(1).type, kFigmaType);
    EXPECT_EQ(reps.at(1).data, QByteArray("figma-binary"));
    EXPECT_EQ(newest()->infoLabel, QStringLiteral("2 种数据格式"));

    frontmost("FIGMA");
    poll(clip());
    EXPECT_EQ(manager->items().size(), 1); // same payloads: a duplicate

    frontmost("Editor");
    poll(clip());
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Text);
    EXPECT_EQ(newest()->content.string(), "Frame 1");
}

TEST_F(CaptureTest, OnlyACustomTypeGivesRawForAnyApplication)
{
    frontmost("Editor");
    poll(MemoryContents::withData({{QStringLiteral("chromium/x-web-custom-data"), "abc"},
                                   {QStringLiteral("x-empty"), ""}}));
    ASSERT_TRUE(newest());
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::Raw);
    EXPECT_EQ(newest()->content.payloads().first().representations.size(), 1); // empty flavour skipped
}

TEST_F(CaptureTest, StandardTypesWithoutTextOrImageGiveNothing)
{
    poll(MemoryContents::withData({{kColor, "colour bytes"}}));
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    // Known to the registry as an image type: not custom either.
    poll(MemoryContents::withData({{QStringLiteral("image/png"), "not decodable"}}));
    EXPECT_TRUE(manager->items().isEmpty());
}

TEST_F(CaptureTest, EmptyClipboardRecordsNothing)
{
    auto cleared = std::make_shared<MemoryContents>();
    cleared->typeList.reset();
    cleared->itemList.reset();
    poll(cleared);
    EXPECT_TRUE(manager->items().isEmpty());
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

    c.strings.insert(PasteboardType::String, QString(""));
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
    EXPECT_EQ(PasteboardReader::decodeTextData("h\xc3\xa9llo"), QString::fromUtf8("h\u00e9llo"));
    EXPECT_FALSE(PasteboardReader::decodeTextData(QByteArray()).has_value());
    // UTF-16 with a byte-order mark, both orders.
    EXPECT_EQ(PasteboardReader::decodeTextData(QByteArray("\xfe\xff\x00\x41\x00\xe9", 6)),
              QString::fromUtf8("A\u00e9"));
    EXPECT_EQ(PasteboardReader::decodeTextData(QByteArray("\xff\xfe\x41\x00\xe9\x00", 6)),
              QString::fromUtf8("A\u00e9"));
    // No mark and not UTF-8: UTF-16 in host (little-endian) order.
    EXPECT_EQ(PasteboardReader::decodeTextData(QByteArray("\xe9\x00\x41\x00", 4)), QString::fromUtf8("\u00e9A"));
    // An unpaired surrogate in little-endian order but valid big-endian.
    EXPECT_EQ(PasteboardReader::decodeTextData(QByteArray("\x00\xd8\x00\xe9", 4)),
              QString(QChar(0x00d8)) + QChar(0x00e9));
    // Odd length, not UTF-8: Latin-1.
    EXPECT_EQ(PasteboardReader::decodeTextData(QByteArray("\xe9t\xe9", 3)), QString::fromUtf8("\u00e9t\u00e9"));
}

TEST(DecodeTextDataTest, InvalidInEveryUnicodeFormStillGivesLatin1)
{
    // Invalid UTF-8, and an unpaired surrogate in both byte orders.
    const QByteArray bytes("\xff\xdc\xdc\xff", 4);
    const auto text = PasteboardReader::decodeTextData(bytes);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QString::fromLatin1(bytes));
}

// ---- hostile input -------------------------------------------------------

TEST_F(CaptureTest, HugeTextIsRecordedWhole)
{
    QString text(200 * 1000 * 1000 / 2, QChar(u'a')); // 100 M characters, 200 MB in memory
    text[text.size() - 1] = u'Z';
    auto contents = std::make_shared<MemoryContents>();
    contents->typeList = QStringList{PasteboardType::String};
    contents->strings.insert(PasteboardType::String, text);
    poll(contents);
    ASSERT_TRUE(newest());
    EXPECT_EQ(newest()->content.string().size(), text.size());
    EXPECT_EQ(newest()->preview.size(), 200);
    manager->setSearchQuery("az");
    EXPECT_EQ(manager->filteredItems(ClipboardTab::history).size(), 1);
}

TEST_F(CaptureTest, ImageClaimingHugeDimensionsDoesNotDecode)
{
    // A PNG whose header claims 20000 x 20000 pixels.
    QByteArray png = pngBytes(2, 2);
    const int ihdr = png.indexOf("IHDR");
    ASSERT_GT(ihdr, 0);
    for (int at : {ihdr + 4, ihdr + 8}) {
        png[at] = 0;
        png[at + 1] = 0;
        png[at + 2] = char(0x4e);
        png[at + 3] = char(0x20);
    }
    const quint32 crc = [&] {
        quint32 c = 0xffffffffu;
        for (int i = ihdr; i < ihdr + 17; ++i) {
            c ^= uchar(png[i]);
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
        }
        return ~c;
    }();
    for (int k = 0; k < 4; ++k)
        png[ihdr + 17 + k] = char(crc >> (24 - 8 * k));
    pollPicture(imageContents(png, std::nullopt));
    ASSERT_TRUE(newest());
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Image);
    EXPECT_FALSE(newest()->previewImagePNGData.has_value());
}

TEST_F(CaptureTest, FiveThousandTypes)
{
    QList<std::pair<QString, QByteArray>> flavours;
    for (int i = 0; i < 5000; ++i)
        flavours.append({QStringLiteral("x-app/type-%1").arg(i), QByteArray::number(i)});
    poll(MemoryContents::withData(flavours));
    ASSERT_TRUE(newest());
    ASSERT_EQ(newestKind(), ClipboardContent::Kind::Raw);
    EXPECT_EQ(newest()->content.payloads().first().representations.size(), 5000);

    flavours.prepend({PasteboardType::String, "label"});
    poll(MemoryContents::withData(flavours, {PasteboardType::String}));
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Text);
}

TEST_F(CaptureTest, InvalidUnicodeTextBytesAreDecodedWithoutCrashing)
{
    poll(MemoryContents::withData({{QStringLiteral("public.utf16-plain-text"), QByteArray("\xff\xdc\xdc\xff\xc3", 5)}}));
    ASSERT_TRUE(newest());
    EXPECT_EQ(newestKind(), ClipboardContent::Kind::Text);
    EXPECT_FALSE(newest()->content.string().isEmpty());
}

} // namespace

// ---- pause -----------------------------------------------------------------

TEST_F(CaptureTest, PausedCopiesAreSkippedAndResumingDoesNotRecordThem)
{
    poll(textContents("before"));
    rig.preferences.setValue(QStringLiteral("capturePaused"), true);
    EXPECT_TRUE(manager->isCapturePaused()); // at once, not after the debounce
    const int fetches = rig.pasteboard.fetchCount;
    poll(textContents("secret one"));
    poll(textContents("secret two"));
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
    EXPECT_EQ(rig.pasteboard.fetchCount, fetches); // the owner is not even asked
    rig.time.advance(2000);
    // Copied during the pause but not yet polled when recording resumes.
    rig.pasteboard.copy(textContents("secret three"));

    rig.preferences.setValue(QStringLiteral("capturePaused"), false);
    manager->checkPasteboard();
    rig.time.advance(2000);
    EXPECT_EQ(texts(manager->items()), QStringList({"before"}));
    poll(textContents("after"));
    EXPECT_EQ(texts(manager->items()), QStringList({"after", "before"}));
}

TEST_F(CaptureTest, PauseDuringAReadDropsTheAnswer)
{
    rig.pasteboard.setDeferredFetch(&rig.time);
    poll(textContents("in flight"));
    rig.preferences.setValue(QStringLiteral("capturePaused"), true);
    rig.time.runPending();
    EXPECT_TRUE(manager->items().isEmpty());
}

TEST_F(CaptureTest, PauseStoredAtStartHoldsFromTheFirstPoll)
{
    rig.preferences.setValue(QStringLiteral("capturePaused"), QStringLiteral("true")); // as an INI file gives it
    manager = rig.make();
    poll(textContents("copied while paused"));
    EXPECT_TRUE(manager->items().isEmpty());
    EXPECT_EQ(manager->lastChangeCount(), rig.pasteboard.changeCount());
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

    ASSERT_TRUE(worker.runOnAnotherThread(std::chrono::seconds(30)));
    rig.time.runPending();
    const QList<ClipboardItem> items = manager->items();
    ASSERT_EQ(items.size(), 2) << "the repeated picture is a duplicate";
    EXPECT_EQ(items.at(0).content.string(), "copied after the picture");
    EXPECT_EQ(items.at(1).content.data(), png);
    EXPECT_TRUE(items.at(1).previewImagePNGData.has_value());
}
