// The CLIPBOARD selection against a private Xvfb, with xclip as the other
// program and small in-process owners for what xclip cannot offer.

#include "XcbTestClient.h"
#include "XvfbFixture.h"

#include "platform/Log.h"
#include "platform/x11/X11Pasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QTimer>

#include <algorithm>
#include <sys/resource.h>

using namespace kelvo;
using kelvo::x11::X11Pasteboard;
using namespace kelvo::testing;

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

class X11PasteboardTest : public XvfbTest {};

TEST_F(X11PasteboardTest, WhatXclipOffersIsReadAsItsType)
{
    const QString text = QStringLiteral("Grüße, 日本語 — ✓");
    QImage image(37, 21, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 128));
    const QByteArray png = encoded(image, "PNG");
    const struct {
        QByteArray target, bytes;
        QString type, string;
    } cases[] = {
        {"UTF8_STRING", text.toUtf8(), PasteboardType::String, text},
        {"STRING", QByteArray("caf\xe9", 4), PasteboardType::String, QStringLiteral("café")},
        {"image/png", png, PasteboardType::PNG, {}}, // kept as it is
    };
    X11Pasteboard pb;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        xclipCopy(c.bytes, QString::fromLatin1(c.target));
        const auto contents = fetch(pb);
        ASSERT_TRUE(contents);
        EXPECT_EQ(contents->types(), QStringList{c.type});
        const auto items = contents->items();
        ASSERT_TRUE(items);
        ASSERT_EQ(items->size(), 1);
        if (c.type == PasteboardType::PNG) {
            EXPECT_EQ(contents->imagePNG(), png);
            continue;
        }
        EXPECT_EQ(contents->stringForType(PasteboardType::String), c.string);
        EXPECT_EQ(contents->textObjects(), QStringList{c.string});
        EXPECT_EQ(items->first()->stringForType(PasteboardType::String), c.string);
    }
}

TEST_F(X11PasteboardTest, TypesAreMappedMetaTargetsDroppedOrderKeptAndThousandsOfTargetsHandled)
{
    X11Pasteboard pb;
    Targets targets{{"TIMESTAMP", "x"},  {"MULTIPLE", "x"},  {"text/html", "<b>hi</b>"},
                    {"SAVE_TARGETS", ""}, {"application/x-custom-data", "raw\x01"},
                    {"UTF8_STRING", "hi"}, {"STRING", "hi-latin"}, {"text/uri-list", "file:///tmp/a\r\n"},
                    {"DELETE", ""}};
    for (int i = 0; i < 5000; ++i)
        targets.append({"application/x-kind-" + QByteArray::number(i), QByteArray::number(i)});
    TestOwner owner(display(), {targets});
    const auto contents = fetch(pb, 10000);
    ASSERT_TRUE(contents);
    ASSERT_TRUE(contents->types() && contents->types()->size() > 5);
    EXPECT_EQ(contents->types()->mid(0, 5), (QStringList{PasteboardType::HTML, "application/x-custom-data",
                                                        PasteboardType::String, PasteboardType::FileURL,
                                                        "application/x-kind-0"}));
    EXPECT_EQ(contents->stringForType(PasteboardType::String), "hi") << "the first target present wins";
    EXPECT_EQ(contents->dataForType("application/x-custom-data"), QByteArray("raw\x01"));
    EXPECT_EQ(contents->dataForType(PasteboardType::HTML), QByteArray("<b>hi</b>"));
    EXPECT_EQ(contents->dataForType("application/x-kind-0"), QByteArray("0"));
    EXPECT_FALSE(contents->dataForType("TIMESTAMP"));
    const auto items = contents->items();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1);
    EXPECT_EQ(items->first()->types(), *contents->types());
}

TEST_F(X11PasteboardTest, OtherImagesAreEncodedToPngAndBadOrHugeOnesSkipped)
{
    X11Pasteboard pb;
    QImage image(8, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    {
        TestOwner owner(display(), {Targets{{"image/png", "not a png"}, {"image/bmp", encoded(image, "BMP")}}});
        const auto contents = fetch(pb);
        ASSERT_TRUE(contents);
        const auto png = contents->imagePNG();
        ASSERT_TRUE(png);
        const QImage decoded = QImage::fromData(*png, "PNG");
        EXPECT_EQ(decoded.size(), QSize(8, 5));
        EXPECT_EQ(decoded.pixelColor(3, 3), QColor(Qt::red));
    }
    // A PNG header claiming 20000 x 20000 pixels is refused without decoding.
    QByteArray huge = encoded(image, "PNG");
    for (const int at : {16, 20})
        huge.replace(at, 4, QByteArray("\x00\x00\x4e\x20", 4));
    TestOwner owner(display(), {Targets{{"image/png", huge}}});
    const auto contents = fetch(pb);
    ASSERT_TRUE(contents);
    EXPECT_FALSE(contents->imagePNG());
}

TEST_F(X11PasteboardTest, LargePayloadsTravelIncrementallyBothWays)
{
    X11Pasteboard pb;
    QByteArray big;
    for (int i = 0; big.size() < 6 * 1024 * 1024; ++i)
        big += QByteArray::number(i) + ' ';
    xclipCopy(big, "text/plain");
    const auto contents = fetch(pb, 8000);
    ASSERT_TRUE(contents);
    EXPECT_TRUE(contents->dataForType(PasteboardType::String) == big);

    std::reverse(big.begin(), big.end());
    ASSERT_TRUE(pb.write({{{"application/x-blob", big}}}));
    const auto r = xclipRead("application/x-blob");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), big.size());
    EXPECT_TRUE(r.out == big);
}

TEST_F(X11PasteboardTest, WritesAreServedUnderEveryAlias)
{
    X11Pasteboard pb;
    const QString text = QStringLiteral("alias ü");
    ASSERT_TRUE(pb.write({{{PasteboardType::String, text.toUtf8()}, {PasteboardType::HTML, "<i>a</i>"}},
                          {{PasteboardType::String, "second item loses"}, {"application/x-figma-data", "fig"}}}));
    const auto targets = xclipRead("TARGETS");
    ASSERT_EQ(targets.exitCode, 0);
    const QStringList offered = QString::fromUtf8(targets.out).split(u'\n', Qt::SkipEmptyParts);
    for (const char *t : {"TARGETS", "STRING", "text/html", "application/x-figma-data"})
        EXPECT_TRUE(offered.contains(QString::fromLatin1(t))) << t;
    for (const char *t : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "TEXT"}) {
        EXPECT_TRUE(offered.contains(QString::fromLatin1(t))) << t;
        EXPECT_EQ(QString::fromUtf8(xclipRead(t).out), text) << t;
    }
    EXPECT_EQ(QString::fromLatin1(xclipRead("STRING").out), text);
    EXPECT_EQ(xclipRead("text/html").out, QByteArray("<i>a</i>"));
    EXPECT_EQ(xclipRead("application/x-figma-data").out, QByteArray("fig"));
    EXPECT_NE(xclipRead("image/png").exitCode, 0);

    // Reading back through the clipboard sees the same single item.
    const auto contents = fetch(pb);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->types(), (QStringList{PasteboardType::String, PasteboardType::HTML, "application/x-figma-data"}));
}

TEST_F(X11PasteboardTest, SilentOwnerGivesNullAtTheLimitAndTheMainThreadKeepsTurning)
{
    X11Pasteboard pb;
    pb.setFetchTimeLimit(1000);
    TestOwner owner(display(), {Targets{{"UTF8_STRING", "never"}}}, true);
    const auto f = startFetch(pb);
    // A fetch that held the main thread for the whole limit would let a
    // 50 ms timer fire at most once (late timer events are merged).
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(50);
    ASSERT_TRUE(XvfbServer::waitUntil([f] { return f->called; }, 8000)) << "the fetch never gave up";
    EXPECT_FALSE(f->contents);
    EXPECT_GE(f->elapsedMs, 900);
    EXPECT_GE(turns, 3);
}

// Another program copies while a copy is being read (after its types were
// asked for, before they were answered): the server would hand the rest of
// the read to the new owner, which may be an ignored program. Nothing of it
// is taken; the newer copy is looked at on its own.
TEST_F(X11PasteboardTest, AReadThatAnotherOwnerOvertookTakesNothingOfItsOffer)
{
    X11Pasteboard pb;
    std::unique_ptr<TestOwner> secret;
    TestOwner first(display(), {Targets{{"UTF8_STRING", "first"}}}, false, [&] {
        if (!secret)
            secret = std::make_unique<TestOwner>(display(), std::vector<Targets>{{{"UTF8_STRING", "secret"}}});
    });
    const auto contents = fetch(pb);
    ASSERT_TRUE(contents);
    EXPECT_NE(contents->dataForType(PasteboardType::String).value_or(QByteArray()), "secret");
    EXPECT_EQ(contents->types().value_or(QStringList()), QStringList());
}

TEST_F(X11PasteboardTest, ABrokenConnectionIsLoggedOnceAndReopenedWithoutSpinning)
{
    QStringList lines;
    setLogSink([&](const QString &line) { lines.append(line); });
    X11Pasteboard pb;
    ASSERT_TRUE(pb.write({{{PasteboardType::String, "mine"}}}));
    // The selection owner is the pasteboard's window: the server drops the
    // client that created it.
    {
        x11::X11Connection c(display());
        auto *owner = xcb_get_selection_owner_reply(c.get(), xcb_get_selection_owner(c.get(), c.atom("CLIPBOARD")),
                                                    nullptr);
        ASSERT_TRUE(owner && owner->owner != XCB_WINDOW_NONE);
        xcb_kill_client(c.get(), owner->owner);
        std::free(owner);
        c.sync();
    }

    EXPECT_TRUE(XvfbServer::waitUntil([&] { return !lines.isEmpty(); }, 5000)) << "the break is reported";
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    XvfbServer::spin(1000); // the CPU used over this second is the subject
    getrusage(RUSAGE_SELF, &after);
    const auto cpuMs = [](const rusage &u) {
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
    };
    EXPECT_LT(cpuMs(after) - cpuMs(before), 500) << "the event loop does not spin on the dead connection";
    EXPECT_EQ(lines.size(), 1);

    const qint64 count = pb.changeCount();
    xclipCopy("after the break");
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return pb.changeCount() > count; }, 5000)) << "changes are seen again";
    const auto contents = fetch(pb);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->stringForType(PasteboardType::String), "after the break");
    setLogSink(nullptr);
}

} // namespace
