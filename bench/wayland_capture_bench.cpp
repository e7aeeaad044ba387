// Capture latency on Wayland: a private headless sway (as the wayland
// tests start it), Kelvo's Wayland clipboard, and 20 copies by wl-copy.
// For each copy: the time from wl-copy's exit until the clipboard has read
// the new contents (its change callback), and, as the reference in the same
// round, the time a `wl-paste -n` run takes to read the same contents.
// Prints the medians and their ratio.
//   QT_QPA_PLATFORM=offscreen build/bench/wayland_capture_bench

#include "wayland/SwayFixture.h"

#include "platform/wayland/WaylandPasteboard.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using kelvo::testing::SwayServer;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SwayServer server;
    if (!server.start()) {
        std::fprintf(stderr, "sway: %s\n", qPrintable(server.error()));
        return 1;
    }
    kelvo::wayland::WaylandPasteboard pasteboard(nullptr, server.display());
    if (!pasteboard.isValid()) {
        std::fprintf(stderr, "no data-control\n");
        return 1;
    }
    qint64 seen = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 seenAt = 0;
    pasteboard.setChangeCallback([&](qint64 count, std::shared_ptr<const kelvo::PasteboardContents> contents) {
        if (contents) {
            seen = count;
            seenAt = clock.nsecsElapsed();
        }
    });
    constexpr int kRounds = 20;
    std::vector<double> capture, reference;
    for (int i = 0; i < kRounds; ++i) {
        const QByteArray text = "bench " + QByteArray::number(i);
        const qint64 before = pasteboard.changeCount();
        if (server.run(QStringLiteral("wl-copy"), {QString::fromLatin1(text)}).exitCode != 0)
            return 1;
        const qint64 copied = clock.nsecsElapsed();
        if (!SwayServer::waitUntil([&] { return seen > before; }, 10000))
            return 1;
        // waitUntil sleeps 10 ms between polls of the event loop; the
        // callback's own time stamp is what counts.
        capture.push_back(std::max<qint64>(0, seenAt - copied) / 1e6);
        const qint64 pasteStart = clock.nsecsElapsed();
        const auto pasted = server.run(QStringLiteral("wl-paste"), {QStringLiteral("-n")});
        if (pasted.exitCode != 0 || pasted.out != text)
            return 1;
        reference.push_back((clock.nsecsElapsed() - pasteStart) / 1e6);
    }
    const double c = median(capture), r = median(reference);
    std::printf("capture after wl-copy: median %.2f ms over %d copies\n", c, kRounds);
    std::printf("reference (wl-paste -n run): median %.2f ms\n", r);
    std::printf("ratio capture / reference: %.3f\n", c / r);
    return 0;
}
