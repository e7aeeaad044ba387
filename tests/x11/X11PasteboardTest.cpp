// The CLIPBOARD selection against a private Xvfb, with xclip as the other
// program and small in-process owners for what xclip cannot offer.

#include "XvfbFixture.h"

#include "platform/Log.h"
#include "platform/x11/X11Pasteboard.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

using kelvo::PasteboardContents;
using kelvo::PasteboardWriteItem;
using kelvo::x11::X11Pasteboard;
namespace PasteboardType = kelvo::PasteboardType;
using kelvo::testing::XvfbServer;

namespace {

// An owner of CLIPBOARD on its own connection and thread, offering fixed
// targets (or never answering at all when silent).
class TestOwner {
public:
    TestOwner(const QString &display, QList<std::pair<QByteArray, QByteArray>> targets, bool silent)
        : targets_(std::move(targets)), silent_(silent)
    {
        c_ = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        clipboard_ = atom("CLIPBOARD");
        targetsAtom_ = atom("TARGETS");
        for (const auto &t : targets_)
            atoms_.push_back(atom(t.first));
        xcb_set_selection_owner(c_, window_, clipboard_, XCB_CURRENT_TIME);
        std::free(xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard_), nullptr));
        if (!silent_)
            thread_ = std::thread([this] { serve(); });
    }
    ~TestOwner()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        xcb_disconnect(c_);
    }

private:
    xcb_atom_t atom(const QByteArray &name)
    {
        auto *r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, name.size(), name.constData()), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }
    void serve()
    {
        while (!stop_) {
            xcb_generic_event_t *e = xcb_poll_for_event(c_);
            if (!e) {
                pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
                poll(&p, 1, 20);
                continue;
            }
            if ((e->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
                auto *r = reinterpret_cast<xcb_selection_request_event_t *>(e);
                xcb_selection_notify_event_t n{};
                n.response_type = XCB_SELECTION_NOTIFY;
                n.requestor = r->requestor;
                n.selection = r->selection;
                n.target = r->target;
                n.time = r->time;
                if (r->target == targetsAtom_) {
                    std::vector<xcb_atom_t> list = atoms_;
                    list.insert(list.begin(), targetsAtom_);
                    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, r->requestor, r->property, XCB_ATOM_ATOM, 32,
                                        quint32(list.size()), list.data());
                    n.property = r->property;
                } else {
                    for (size_t i = 0; i < atoms_.size(); ++i) {
                        if (atoms_[i] == r->target) {
                            const QByteArray &d = targets_[int(i)].second;
                            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, r->requestor, r->property, r->target,
                                                8, quint32(d.size()), d.constData());
                            n.property = r->property;
                            break;
                        }
                    }
                }
                xcb_send_event(c_, 0, r->requestor, 0, reinterpret_cast<const char *>(&n));
                xcb_flush(c_);
            }
            std::free(e);
        }
    }

    QList<std::pair<QByteArray, QByteArray>> targets_;
    bool silent_;
    xcb_connection_t *c_ = nullptr;
    xcb_window_t root_ = 0, window_ = 0;
    xcb_atom_t clipboard_ = 0, targetsAtom_ = 0;
    std::vector<xcb_atom_t> atoms_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class X11PasteboardTest : public kelvo::testing::XvfbTest {
protected:
    struct Fetched {
        bool called = false;
        std::shared_ptr<const PasteboardContents> contents;
        qint64 elapsedMs = 0;
    };
    // Starts a fetch; the result is filled in when its callback runs.
    static std::shared_ptr<Fetched> startFetch(X11Pasteboard &pb)
    {
        auto f = std::make_shared<Fetched>();
        QElapsedTimer timer;
        timer.start();
        pb.fetchContents([f, timer](std::shared_ptr<const PasteboardContents> c) {
            f->called = true;
            f->contents = std::move(c);
            f->elapsedMs = timer.elapsed();
        });
        return f;
    }
    Fetched fetch(X11Pasteboard &pb, int timeoutMs = 5000)
    {
        const auto f = startFetch(pb);
        XvfbServer::waitUntil([f] { return f->called; }, timeoutMs);
        return *f;
    }

    // Puts bytes on the clipboard through xclip (which stays as the owner).
    void xclipPut(const QByteArray &target, const QByteArray &data)
    {
        auto file = std::make_unique<QTemporaryFile>();
        ASSERT_TRUE(file->open());
        file->write(data);
        file->flush();
        const auto r = server().run(QStringLiteral("xclip"),
                                    {"-selection", "clipboard", "-t", QString::fromUtf8(target), "-i",
                                     file->fileName()});
        ASSERT_EQ(r.exitCode, 0);
        files_.push_back(std::move(file));
        // xclip returns before its background copy owns the selection: wait
        // until the clipboard serves these bytes (or, for big data, the target).
        const QString t = QString::fromUtf8(target);
        const bool small = data.size() <= 64 * 1024;
        ASSERT_TRUE(XvfbServer::waitUntil([&] {
            const auto read = server().run(QStringLiteral("xclip"),
                                           {"-o", "-selection", "clipboard", "-t", small ? t : QStringLiteral("TARGETS")});
            return read.exitCode == 0 && (small ? read.out == data : read.out.split('\n').contains(target));
        }, 5000)) << "xclip did not take the clipboard";
    }
    using Result = XvfbServer::Result;

    // Reads with xclip while the event loop serves the request.
    Result xclipGetServed(const QString &target)
    {
        QProcess process;
        process.setProcessEnvironment(server().environment());
        process.start(QStringLiteral("xclip"), {"-o", "-selection", "clipboard", "-t", target});
        Result result;
        if (!process.waitForStarted(5000))
            return result;
        QByteArray out;
        XvfbServer::waitUntil(
            [&] {
                out += process.readAllStandardOutput();
                return process.state() == QProcess::NotRunning;
            },
            20000);
        out += process.readAllStandardOutput();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = out;
        return result;
    }

    std::vector<std::unique_ptr<QTemporaryFile>> files_;
};

QByteArray pngBytes(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST_F(X11PasteboardTest, CountsExternalWritesAndOwnWritesOnce)
{
    X11Pasteboard pb;
    ASSERT_TRUE(pb.isValid());
    const qint64 start = pb.changeCount();
    xclipPut("UTF8_STRING", "one");
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return pb.changeCount() == start + 1; }, 5000));
    xclipPut("UTF8_STRING", "two");
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return pb.changeCount() == start + 2; }, 5000));

    ASSERT_TRUE(pb.write({{{PasteboardType::String, "mine"}}}));
    EXPECT_EQ(pb.changeCount(), start + 3) << "an own write is counted at once";
    XvfbServer::spin(300);
    EXPECT_EQ(pb.changeCount(), start + 3) << "its echo is not counted again";

    xclipPut("UTF8_STRING", "three");
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return pb.changeCount() == start + 4; }, 5000));
}

TEST_F(X11PasteboardTest, TextRoundTripsBothWays)
{
    X11Pasteboard pb;
    const QString text = QStringLiteral("Grüße, 日本語 — ✓");
    xclipPut("UTF8_STRING", text.toUtf8());
    auto f = fetch(pb);
    ASSERT_TRUE(f.called);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->types(), QStringList{PasteboardType::String});
    EXPECT_EQ(f.contents->stringForType(PasteboardType::String), text);
    EXPECT_EQ(f.contents->textObjects(), QStringList{text});
    auto items = f.contents->items();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1);
    EXPECT_EQ(items->first()->stringForType(PasteboardType::String), text);

    const QString back = QStringLiteral("zurück: ½ — ☃");
    ASSERT_TRUE(pb.write({{{PasteboardType::String, back.toUtf8()}}}));
    const auto r = xclipGetServed(QStringLiteral("UTF8_STRING"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(r.out), back);
}

TEST_F(X11PasteboardTest, Latin1StringIsDecoded)
{
    X11Pasteboard pb;
    xclipPut("STRING", QByteArray("caf\xe9", 4));
    auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->stringForType(PasteboardType::String), QStringLiteral("café"));
}

TEST_F(X11PasteboardTest, TypesAreMappedMetaTargetsDroppedOrderKept)
{
    X11Pasteboard pb;
    TestOwner owner(display(),
                    {{"TIMESTAMP", "x"}, {"MULTIPLE", "x"}, {"text/html", "<b>hi</b>"},
                     {"SAVE_TARGETS", ""}, {"application/x-custom-data", "raw\x01"}, {"UTF8_STRING", "hi"},
                     {"STRING", "hi-latin"}, {"text/uri-list", "file:///tmp/a\r\n"}, {"DELETE", ""}},
                    false);
    auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->types(), (QStringList{PasteboardType::HTML, QStringLiteral("application/x-custom-data"),
                                                PasteboardType::String, PasteboardType::FileURL}));
    EXPECT_EQ(f.contents->stringForType(PasteboardType::String), QStringLiteral("hi"))
        << "the first target present wins";
    EXPECT_EQ(f.contents->dataForType(QStringLiteral("application/x-custom-data")), QByteArray("raw\x01"));
    EXPECT_EQ(f.contents->dataForType(PasteboardType::HTML), QByteArray("<b>hi</b>"));
    EXPECT_FALSE(f.contents->dataForType(QStringLiteral("TIMESTAMP")));
    auto items = f.contents->items();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1);
    EXPECT_EQ(items->first()->types(), *f.contents->types());
}

TEST_F(X11PasteboardTest, OfferedPngIsKeptAsItIs)
{
    X11Pasteboard pb;
    const QByteArray png = pngBytes(37, 21);
    xclipPut("image/png", png);
    auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->types(), QStringList{PasteboardType::PNG});
    EXPECT_EQ(f.contents->imagePNG(), png);
}

TEST_F(X11PasteboardTest, OtherImagesAreEncodedToPngAndBadOnesSkipped)
{
    X11Pasteboard pb;
    QImage image(8, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    TestOwner owner(display(), {{"image/png", "not a png"}, {"image/bmp", bmp}}, false);
    auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    auto png = f.contents->imagePNG();
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->startsWith("\x89PNG"));
    QImage decoded = QImage::fromData(*png, "PNG");
    EXPECT_EQ(decoded.size(), QSize(8, 5));
    EXPECT_EQ(decoded.pixelColor(3, 3), QColor(Qt::red));
}

TEST_F(X11PasteboardTest, HugeImageDimensionsAreRefusedWithoutDecoding)
{
    X11Pasteboard pb;
    // A PNG header claiming 20000 x 20000 pixels.
    QByteArray png = pngBytes(1, 1);
    auto put32 = [&](int at, quint32 v) {
        png[at] = char(v >> 24);
        png[at + 1] = char(v >> 16);
        png[at + 2] = char(v >> 8);
        png[at + 3] = char(v);
    };
    put32(16, 20000);
    put32(20, 20000);
    TestOwner owner(display(), {{"image/png", png}}, false);
    auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    EXPECT_FALSE(f.contents->imagePNG());
}

TEST_F(X11PasteboardTest, LargePayloadsTravelIncrementallyBothWays)
{
    X11Pasteboard pb;
    QByteArray big;
    for (int i = 0; big.size() < 6 * 1024 * 1024; ++i)
        big += QByteArray::number(i) + ' ';
    xclipPut("text/plain", big);
    auto f = fetch(pb, 8000);
    ASSERT_TRUE(f.called);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->dataForType(PasteboardType::String), big);

    QByteArray bigBack = big;
    std::reverse(bigBack.begin(), bigBack.end());
    ASSERT_TRUE(pb.write({{{QStringLiteral("application/x-blob"), bigBack}}}));
    const auto r = xclipGetServed(QStringLiteral("application/x-blob"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), bigBack.size());
    EXPECT_TRUE(r.out == bigBack);
}

TEST_F(X11PasteboardTest, WritesAreServedUnderEveryAlias)
{
    X11Pasteboard pb;
    const QString text = QStringLiteral("alias ü");
    ASSERT_TRUE(pb.write({{{PasteboardType::String, text.toUtf8()}, {PasteboardType::HTML, "<i>a</i>"}},
                                 {{PasteboardType::String, "second item loses"},
                                  {QStringLiteral("application/x-figma-data"), "fig"}}}));
    const auto targets = xclipGetServed(QStringLiteral("TARGETS"));
    ASSERT_EQ(targets.exitCode, 0);
    const QStringList offered = QString::fromUtf8(targets.out).split(u'\n', Qt::SkipEmptyParts);
    for (const char *t : {"TARGETS", "UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING", "TEXT",
                          "text/html", "application/x-figma-data"})
        EXPECT_TRUE(offered.contains(QString::fromLatin1(t))) << t;
    for (const char *t : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "TEXT"})
        EXPECT_EQ(QString::fromUtf8(xclipGetServed(QString::fromLatin1(t)).out), text) << t;
    EXPECT_EQ(QString::fromLatin1(xclipGetServed(QStringLiteral("STRING")).out), text);
    EXPECT_EQ(xclipGetServed(QStringLiteral("text/html")).out, QByteArray("<i>a</i>"));
    EXPECT_EQ(xclipGetServed(QStringLiteral("application/x-figma-data")).out, QByteArray("fig"));
    EXPECT_NE(xclipGetServed(QStringLiteral("image/png")).exitCode, 0);

    // Reading back through the clipboard sees the same single item.
    auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->types(), (QStringList{PasteboardType::String, PasteboardType::HTML,
                                                QStringLiteral("application/x-figma-data")}));

    // Losing the ownership forgets the data.
    xclipPut("UTF8_STRING", "other");
    XvfbServer::spin(300);
    auto g = fetch(pb);
    ASSERT_TRUE(g.contents);
    EXPECT_EQ(g.contents->stringForType(PasteboardType::String), QStringLiteral("other"));
}

TEST_F(X11PasteboardTest, SilentOwnerGivesNullWithinTheLimit)
{
    X11Pasteboard pb;
    pb.setFetchTimeLimit(1500);
    TestOwner owner(display(), {{"UTF8_STRING", "never"}}, true);
    QElapsedTimer timer;
    timer.start();
    const auto f = startFetch(pb);
    // The main thread keeps turning while the fetch waits: a 50 ms timer
    // fires within 50 ms of its schedule every time.
    int turns = 0;
    qint64 last = timer.elapsed();
    qint64 worstLateMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = timer.elapsed();
        worstLateMs = std::max(worstLateMs, now - last - 50);
        last = now;
        ++turns;
    });
    ticker.start(50);
    ASSERT_TRUE(XvfbServer::waitUntil([f] { return f->called; }, 6000));
    EXPECT_FALSE(f->contents);
    EXPECT_GE(f->elapsedMs, 1400);
    EXPECT_LT(f->elapsedMs, 4000);
    EXPECT_GE(turns, 10);
    EXPECT_LE(worstLateMs, 50);
    std::printf("silent owner: main-thread timer at worst %lld ms late over %d turns\n",
                static_cast<long long>(worstLateMs), turns);
    RecordProperty("worst_late_ms", int(worstLateMs));
}

TEST_F(X11PasteboardTest, FiveThousandTargetsAreHandled)
{
    X11Pasteboard pb;
    QList<std::pair<QByteArray, QByteArray>> targets;
    for (int i = 0; i < 5000; ++i)
        targets.append({"application/x-kind-" + QByteArray::number(i), QByteArray::number(i)});
    TestOwner owner(display(), targets, false);
    auto f = fetch(pb, 10000);
    ASSERT_TRUE(f.called);
    ASSERT_TRUE(f.contents);
    const auto types = f.contents->types();
    ASSERT_TRUE(types);
    ASSERT_GT(types->size(), 0);
    EXPECT_LE(types->size(), 5000);
    EXPECT_EQ(types->first(), QStringLiteral("application/x-kind-0"));
    EXPECT_EQ(f.contents->dataForType(QStringLiteral("application/x-kind-0")), QByteArray("0"));
}

TEST_F(X11PasteboardTest, ABrokenConnectionIsLoggedOnceAndReopenedWithoutSpinning)
{
    QStringList lines;
    kelvo::setLogSink([&](const QString &line) { lines.append(line); });
    X11Pasteboard pb;
    ASSERT_TRUE(pb.write({{{PasteboardType::String, "mine"}}}));
    // The selection owner is the pasteboard's window: the server drops the
    // client that created it.
    xcb_connection_t *c = xcb_connect(display().toLocal8Bit().constData(), nullptr);
    const xcb_atom_t clipboard = [&] {
        auto *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 9, "CLIPBOARD"), nullptr);
        const xcb_atom_t a = r->atom;
        std::free(r);
        return a;
    }();
    auto *owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    ASSERT_TRUE(owner && owner->owner != XCB_WINDOW_NONE);
    xcb_kill_client(c, owner->owner);
    std::free(owner);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);

    EXPECT_TRUE(XvfbServer::waitUntil([&] { return !lines.isEmpty(); }, 5000)) << "the break is reported";
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    XvfbServer::spin(1000);
    getrusage(RUSAGE_SELF, &after);
    const auto cpuMs = [](const rusage &u) {
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
    };
    EXPECT_LT(cpuMs(after) - cpuMs(before), 500) << "the event loop does not spin on the dead connection";
    EXPECT_EQ(lines.size(), 1);

    const qint64 count = pb.changeCount();
    xclipPut("UTF8_STRING", "after the break");
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return pb.changeCount() > count; }, 5000)) << "changes are seen again";
    const auto f = fetch(pb);
    ASSERT_TRUE(f.contents);
    EXPECT_EQ(f.contents->stringForType(PasteboardType::String), QStringLiteral("after the break"));
    kelvo::setLogSink(nullptr);
}

} // namespace
