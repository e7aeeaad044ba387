// The Wayland clipboard against a private headless sway, with wl-copy and
// wl-paste as the other programs and a small in-process source for what
// they cannot do (a source that never answers). Twelve quick copies in order
// are checked with the whole program (tests/e2e/wayland_panel.sh).

#include "model/TestImages.h"
#include "wayland/SwayFixture.h"

#include "platform/wayland/DataControlProtocols.h"
#include "platform/wayland/WaylandPasteboard.h"

#include "wlr-data-control-unstable-v1-client.h"

#include <QTimer>

#include <cstring>

using kelvo::PasteboardContents;
using kelvo::PasteboardWriteItem;
using kelvo::wayland::WaylandPasteboard;
namespace PasteboardType = kelvo::PasteboardType;
using kelvo::testing::SwayServer;

namespace {

// A data-control source on its own connection that offers text/plain and
// never answers: its connection is not read until requests() is asked, so
// the compositor's send requests (and the pipes in them) wait in its socket.
class SilentSource {
public:
    explicit SilentSource(const QString &socket) : display_(wl_display_connect(QFile::encodeName(socket).constData()))
    {
        if (!display_)
            return;
        wl_registry *registry = wl_display_get_registry(display_);
        wl_registry_add_listener(registry, &registryListener, this);
        wl_display_roundtrip(display_);
        wl_registry_destroy(registry);
        if (!manager_ || !seat_)
            return;
        device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
        zwlr_data_control_device_v1_add_listener(device_, &deviceListener, this);
        source_ = zwlr_data_control_manager_v1_create_data_source(manager_);
        zwlr_data_control_source_v1_offer(source_, "text/plain");
        zwlr_data_control_source_v1_add_listener(source_, &sourceListener, this);
        zwlr_data_control_device_v1_set_selection(device_, source_);
        wl_display_flush(display_);
    }
    ~SilentSource()
    {
        for (zwlr_data_control_offer_v1 *offer : offers_)
            zwlr_data_control_offer_v1_destroy(offer);
        for (int fd : held_)
            close(fd);
        if (source_)
            zwlr_data_control_source_v1_destroy(source_);
        if (device_)
            zwlr_data_control_device_v1_destroy(device_);
        if (manager_)
            zwlr_data_control_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
        if (display_)
            wl_display_disconnect(display_);
    }
    bool isValid() const { return source_ != nullptr; }
    // The send requests received (their pipes are held until the end).
    int requests()
    {
        wl_display_roundtrip(display_);
        return int(held_.size());
    }

private:
    static void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
    {
        auto *self = static_cast<SilentSource *>(data);
        if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
            self->manager_ = static_cast<zwlr_data_control_manager_v1 *>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
        else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_)
            self->seat_ = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
    static constexpr wl_registry_listener registryListener = {onGlobal, [](void *, wl_registry *, uint32_t) {}};
    // Other programs' offers are of no interest here; they go at the end.
    static void onDataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        static_cast<SilentSource *>(data)->offers_.push_back(offer);
    }
    static constexpr zwlr_data_control_device_v1_listener deviceListener = {
        onDataOffer,
        [](void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *) {},
        [](void *, zwlr_data_control_device_v1 *) {},
        [](void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *) {}};
    static void onSend(void *data, zwlr_data_control_source_v1 *, const char *, int32_t fd)
    {
        static_cast<SilentSource *>(data)->held_.push_back(fd);
    }
    static constexpr zwlr_data_control_source_v1_listener sourceListener = {
        onSend, [](void *, zwlr_data_control_source_v1 *) {}};

    wl_display *display_;
    wl_seat *seat_ = nullptr;
    zwlr_data_control_manager_v1 *manager_ = nullptr;
    zwlr_data_control_device_v1 *device_ = nullptr;
    zwlr_data_control_source_v1 *source_ = nullptr;
    std::vector<int> held_;
    std::vector<zwlr_data_control_offer_v1 *> offers_;
};

class WaylandPasteboardTest : public kelvo::testing::SwayTest {
protected:
    void SetUp() override
    {
        SwayTest::SetUp();
        pasteboard_ = std::make_unique<WaylandPasteboard>(nullptr, server().display());
        ASSERT_TRUE(pasteboard_->isValid());
        pasteboard_->setChangeCallback([this](qint64 count, std::shared_ptr<const PasteboardContents> contents) {
            changes_.append({count, std::move(contents)});
        });
    }
    // wl-copy [-t type] with `data` on its standard input.
    void wlCopy(const QByteArray &data, const QString &type = {})
    {
        QStringList args;
        if (!type.isEmpty())
            args << QStringLiteral("-t") << type;
        const auto r = server().run(QStringLiteral("wl-copy"), args, data);
        ASSERT_EQ(r.exitCode, 0) << "wl-copy " << type.toStdString();
    }

    std::shared_ptr<const PasteboardContents> fetch()
    {
        bool done = false;
        std::shared_ptr<const PasteboardContents> result;
        pasteboard_->fetchContents([&](std::shared_ptr<const PasteboardContents> c) {
            result = std::move(c);
            done = true;
        });
        EXPECT_TRUE(SwayServer::waitUntil([&] { return done; }, 10000)) << "no answer to a fetch";
        return result;
    }

    std::unique_ptr<WaylandPasteboard> pasteboard_;
    QList<std::pair<qint64, std::shared_ptr<const PasteboardContents>>> changes_;
};

struct CaptureCase {
    const char *name;
    const char *mime;   // as wl-copy offers it
    QByteArray bytes;
    QString type;       // as capture sees it
};

void PrintTo(const CaptureCase &c, std::ostream *os)
{
    *os << c.name;
}

class CaptureTest : public WaylandPasteboardTest, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(CaptureTest, ForeignCopyIsCountedAndReadUnderItsType)
{
    const CaptureCase &c = GetParam();
    const qint64 before = pasteboard_->changeCount();
    wlCopy(c.bytes, QString::fromLatin1(c.mime));
    ASSERT_TRUE(SwayServer::waitUntil([&] { return !changes_.isEmpty(); }, 10000));
    EXPECT_EQ(pasteboard_->changeCount(), before + 1);
    ASSERT_EQ(changes_.size(), 1);
    ASSERT_TRUE(changes_[0].second);
    const auto contents = fetch();
    ASSERT_TRUE(contents);
    ASSERT_TRUE(contents->types());
    EXPECT_TRUE(contents->types()->contains(c.type)) << contents->types()->join(u',').toStdString();
    EXPECT_EQ(contents->dataForType(c.type), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Types, CaptureTest,
    ::testing::Values(CaptureCase{"Text", "text/plain;charset=utf-8", QByteArray("Grüße, 剪贴板\n"), PasteboardType::String},
                      CaptureCase{"Html", "text/html", QByteArray("<b>bold</b> text"), PasteboardType::HTML},
                      CaptureCase{"Png", "image/png", kelvo::test::pngBytes(3, 2, qRgb(255, 0, 0)), PasteboardType::PNG},
                      CaptureCase{"Custom", "application/x-kelvo-test", QByteArray("\x00\x01raw\xff", 6),
                                  QStringLiteral("application/x-kelvo-test")},
                      CaptureCase{"Large", "application/octet-stream", QByteArray(5 << 20, 'x'),
                                  QStringLiteral("application/octet-stream")}),
    [](const ::testing::TestParamInfo<CaptureCase> &info) { return std::string(info.param.name); });

TEST_F(WaylandPasteboardTest, OwnWriteIsServedWholeCountedOnceAndNeverReadBack)
{
    const QByteArray big(3 << 20, 'k'); // beyond any pipe's buffer
    const QByteArray png = kelvo::test::pngBytes(40, 30, qRgb(0, 0, 255));
    const QList<PasteboardWriteItem> items = {
        {{PasteboardType::String, QByteArray("Grüße")}, {PasteboardType::HTML, QByteArray("<i>Grüße</i>")}},
        {{PasteboardType::PNG, png}, {QStringLiteral("application/x-kelvo-big"), big},
         {PasteboardType::String, QByteArray("not this one")}}};
    const qint64 before = pasteboard_->changeCount();
    ASSERT_TRUE(pasteboard_->write(items));
    EXPECT_EQ(pasteboard_->changeCount(), before + 1);

    const std::pair<const char *, QByteArray> expected[] = {
        {"text/plain;charset=utf-8", QByteArray("Grüße")}, {"UTF8_STRING", QByteArray("Grüße")},
        {"text/plain", QByteArray("Grüße")}, {"TEXT", QByteArray("Grüße")},
        {"STRING", QString::fromUtf8("Grüße").toLatin1()}, {"text/html", QByteArray("<i>Grüße</i>")},
        {"image/png", png}, {"application/x-kelvo-big", big}};
    QStringList mimes;
    for (const auto &[mime, bytes] : expected) {
        mimes << QLatin1String(mime);
        const auto r = server().run(QStringLiteral("wl-paste"), {QStringLiteral("-n"), QStringLiteral("-t"),
                                                                  QString::fromLatin1(mime)});
        EXPECT_EQ(r.exitCode, 0) << mime;
        EXPECT_TRUE(r.out == bytes) << mime << ": " << r.out.size() << " bytes, expected " << bytes.size();
    }
    QStringList listed = QString::fromUtf8(server().run(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")}).out)
                             .split(u'\n', Qt::SkipEmptyParts);
    listed.sort();
    mimes.sort();
    EXPECT_EQ(listed, mimes);
    // The echo of the write is not a change, and what Kelvo fetches is what
    // it wrote.
    const auto contents = fetch();
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->stringForType(PasteboardType::String), QStringLiteral("Grüße"));
    EXPECT_EQ(pasteboard_->changeCount(), before + 1);
    EXPECT_TRUE(changes_.isEmpty());

    // Another program's copy is a change again.
    wlCopy("after");
    ASSERT_TRUE(SwayServer::waitUntil([&] { return !changes_.isEmpty(); }, 10000));
    EXPECT_EQ(pasteboard_->changeCount(), before + 2);
    EXPECT_EQ(changes_.last().second->stringForType(PasteboardType::String), QStringLiteral("after"));
}

TEST_F(WaylandPasteboardTest, SilentSourceNeitherFreezesNorBlocksLaterCopies)
{
    pasteboard_->setFetchTimeLimit(800);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    SilentSource silent(server().display());
    ASSERT_TRUE(silent.isValid());
    ASSERT_TRUE(SwayServer::waitUntil([&] { return !changes_.isEmpty(); }, 10000));
    EXPECT_GE(silent.requests(), 1);
    EXPECT_EQ(changes_[0].second, nullptr) << "an unanswered read records nothing";
    // The main thread kept turning while the source was waited for.
    EXPECT_GE(ticks, 20);
    wlCopy("later");
    ASSERT_TRUE(SwayServer::waitUntil([&] { return changes_.size() == 2; }, 10000));
    ASSERT_TRUE(changes_[1].second);
    EXPECT_EQ(changes_[1].second->stringForType(PasteboardType::String), QStringLiteral("later"));
}

// With a gate, each copy waits for its word: one refused is counted but its
// owner is never asked for anything; the copy after it is read as usual.
TEST_F(WaylandPasteboardTest, ACopyTheGateRefusesIsCountedButItsOwnerNeverAsked)
{
    pasteboard_->setFetchTimeLimit(800);
    QList<qint64> asked;
    pasteboard_->setReadGate([&](qint64 count) {
        asked << count;
        return asked.size() > 1;
    });
    const qint64 before = pasteboard_->changeCount();
    SilentSource refused(server().display());
    ASSERT_TRUE(refused.isValid());
    ASSERT_TRUE(SwayServer::waitUntil([&] { return !changes_.isEmpty(); }, 10000));
    EXPECT_EQ(asked, QList<qint64>({before + 1}));
    EXPECT_EQ(changes_[0].second, nullptr);
    EXPECT_EQ(refused.requests(), 0);
    wlCopy("let through");
    ASSERT_TRUE(SwayServer::waitUntil([&] { return changes_.size() == 2; }, 10000));
    ASSERT_TRUE(changes_[1].second);
    EXPECT_EQ(changes_[1].second->stringForType(PasteboardType::String), QStringLiteral("let through"));
    EXPECT_EQ(refused.requests(), 0) << "not asked later either";
}

} // namespace

// The clipboard drives ext_data_control_v1 with the wlroots protocol's code:
// the two must match message for message.
TEST(DataControlProtocols, ShareOneShape)
{
    using kelvo::wayland::DataControlProtocol;
    const auto protocols = kelvo::wayland::dataControlProtocols();
    for (auto part : {&DataControlProtocol::manager, &DataControlProtocol::device, &DataControlProtocol::source,
                      &DataControlProtocol::offer})
        EXPECT_TRUE(kelvo::wayland::sameShape(*(protocols[0].*part), *(protocols[1].*part)))
            << (protocols[0].*part)->name;
    EXPECT_FALSE(kelvo::wayland::sameShape(*protocols[0].offer, *protocols[1].source));
}
