// The history store on the main thread, driven through the in-memory
// platform with real files:
//
//   SaveHistory   the main thread's share of saveHistory() with the large
//                 history loaded (absolute; the encoding runs on the
//                 background queue)
//   Filter        filteredItems() with a three-letter query over 500 text
//                 entries of 100 KB, against a byte search (memmem) over the
//                 same texts, already lower-cased
//   CaptureImage  the main thread's busy time for a 3840 x 2160 PNG offered
//                 as public.png, against one decode of that PNG
//   PasteImage    putting a 4.5 MB image entry of the loaded large history
//                 (its bytes left in the file) on the clipboard, against
//                 reading its Base64 text from the file and one Qt decode
#include "BenchData.h"
#include "BenchPair.h"

#include "history/ClipboardManager.h"
#include "history/HistoryFile.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/VirtualTime.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStyledTextConverter.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

using namespace kelvo;

namespace {

// Everything a ClipboardManager needs, with the history file prepared in a
// private directory before the store is made.
struct Harness {
    explicit Harness(const QList<ClipboardItem> &history, BackgroundQueue *queue = nullptr,
                     Pasteboard *clipboard = nullptr)
        : files(dir.path())
    {
        preferences.values.insert(QStringLiteral("maxHistoryCount"), 500);
        if (!history.isEmpty())
            HistoryFile(files, makeStorageURL(files)).write(history, 1);
        manager = std::make_unique<ClipboardManager>(HistoryServices{
            clipboard ? *clipboard : pasteboard, applications, types, styledText, files, time, time,
            queue ? *queue : background, preferences, saveDialog});
    }

    QTemporaryDir dir;
    LocalFileSystem files;
    memory::MemoryPasteboard pasteboard;
    memory::MemoryApplications applications;
    MimeTypeRegistry types;
    QtStyledTextConverter styledText;
    memory::VirtualTime time;
    memory::VirtualBackgroundQueue background{time};
    memory::MemoryPreferences preferences;
    memory::MemorySaveDialog saveDialog;
    std::unique_ptr<ClipboardManager> manager;
};

void BM_SaveHistory(benchmark::State &state)
{
    Harness harness(bench::largeHistory());
    if (harness.manager->items().size() != 500) {
        state.SkipWithError("the history did not load");
        return;
    }
    for (auto _ : state)
        harness.manager->saveHistory();
    state.SetLabel("500 entries, 50 of them 4.5 MB images; absolute");
}

// 500 texts of 100 KB; every 25th carries "QuX" near its end, which the
// query "qux" finds, so most entries are scanned to the end.
QList<ClipboardItem> searchHistory()
{
    QRandomGenerator rng(3);
    QList<ClipboardItem> list;
    for (int i = 0; i < 500; ++i) {
        ClipboardItem item = bench::textItem(rng, i, 100'000);
        if (i % 25 == 0) {
            QString text = item.content.string();
            text.insert(text.size() - 10, QStringLiteral("QuX"));
            item.content = ClipboardContent::text(text);
        }
        list.append(item);
    }
    return list;
}

void BM_Filter(benchmark::State &state)
{
    const QList<ClipboardItem> history = searchHistory();
    Harness harness(history);
    harness.manager->setSearchQuery(QStringLiteral("qux"));
    QList<QByteArray> lowered;
    for (const ClipboardItem &item : history)
        lowered.append(item.content.string().toLower().toUtf8());
    const QByteArray needle("qux");

    qsizetype found = 0;
    qsizetype referenceFound = 0;
    bench::runPair(
        state,
        [&] {
            const QList<ClipboardItem> result = harness.manager->filteredItems(ClipboardTab::history);
            found = result.size();
            benchmark::DoNotOptimize(result.constData());
        },
        [&] {
            referenceFound = 0;
            for (const QByteArray &text : lowered)
                referenceFound += memmem(text.constData(), size_t(text.size()), needle.constData(), 3) != nullptr;
            benchmark::DoNotOptimize(referenceFound);
        });
    if (found != 20 || referenceFound != 20)
        state.SkipWithError("unexpected number of matches");
    state.SetLabel("500 texts of 100 KB, query \"qux\"; ref = memmem over lower-cased texts");
}

// A 3840 x 2160 picture with gradients, shapes and noise: compresses like a
// screenshot with a photograph in it.
QByteArray makeLargePNG(int seed)
{
    QImage image(3840, 2160, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(rng.bounded(24));
            line[x] = qRgb((x / 15 + noise) & 255, (y / 9 + noise) & 255, ((x + y) / 23 + seed * 40) & 255);
        }
    }
    QPainter painter(&image);
    for (int i = 0; i < 200; ++i) {
        painter.fillRect(int(rng.bounded(3800)), int(rng.bounded(2100)), 40 + int(rng.bounded(400)),
                         20 + int(rng.bounded(200)), QColor::fromRgb(rng.generate()));
    }
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// The main thread's busy time for one copied picture: the tick that sees
// the change (classification and the entry's building are handed to a real
// worker thread) plus the main-thread turn that stores the finished entry.
// The worker's time (the capture and the save that follows it) is waited for
// outside the measurement and reported as worker_ms; the reference is one QImage decode of the same PNG.
void BM_CaptureImage(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    static const QByteArray pngs[2] = {makeLargePNG(1), makeLargePNG(2)};
    SerialBackgroundQueue worker;
    Harness harness({}, &worker);
    // Two entries: the saves that the worker also runs stay the same size.
    harness.preferences.values.insert(QStringLiteral("maxHistoryCount"), 2);
    int offered = -1;
    bool sameBytes = true;
    double busySeconds = 0;
    double referenceSeconds = 0;
    double workerSeconds = 0;
    for (auto _ : state) {
        // A foreign copy of the other picture.
        offered = offered == 0 ? 1 : 0;
        auto contents = memory::MemoryContents::withData({{PasteboardType::PNG, pngs[offered]}});
        contents->image = pngs[offered];
        harness.pasteboard.copy(contents);

        const auto t0 = Clock::now();
        const QImage decoded = QImage::fromData(pngs[offered]);
        benchmark::DoNotOptimize(decoded.constBits());
        const auto t1 = Clock::now();
        // The change is seen and the snapshot fetched (the in-memory
        // clipboard answers at once).
        harness.manager->checkPasteboard();
        harness.time.runPending();
        const auto t2 = Clock::now();
        // Off the main thread: whatever is left of the capture.
        worker.flush();
        const auto t3 = Clock::now();
        // Back on the main thread: the finished entry is stored.
        harness.time.runPending();
        const auto t4 = Clock::now();

        const double busy = std::chrono::duration<double>((t2 - t1) + (t4 - t3)).count();
        busySeconds += busy;
        referenceSeconds += std::chrono::duration<double>(t1 - t0).count();
        workerSeconds += std::chrono::duration<double>(t3 - t2).count();
        state.SetIterationTime(busy);

        // The entry holds the offered bytes themselves: no re-encoding,
        // not even a copy.
        const QList<ClipboardItem> &items = harness.manager->items();
        sameBytes = sameBytes && !items.isEmpty() && items.first().content.data() == pngs[offered]
            && items.first().content.data().constData() == pngs[offered].constData()
            && items.first().previewImagePNGData.has_value();
    }
    worker.flush();
    const double n = double(state.iterations());
    state.counters["ref_ms"] = referenceSeconds / n * 1e3;
    state.counters["ratio"] = referenceSeconds > 0 ? busySeconds / referenceSeconds : 0;
    state.counters["worker_ms"] = workerSeconds / n * 1e3;
    if (!sameBytes)
        state.SkipWithError("the stored entry is not the offered PNG with its thumbnail");
    state.SetLabel("3840 x 2160 PNG (" + std::to_string(pngs[0].size() / 1000)
                   + " KB) as public.png; main-thread busy time; ref = one QImage decode");
}

// Takes what is written and holds it, as the real clipboards do until
// another program asks (the in-memory one also converts every format to
// text, which is its own cost).
struct HoldingPasteboard : memory::MemoryPasteboard {
    bool write(const QList<PasteboardWriteItem> &items) override
    {
        held = items;
        return true;
    }
    QList<PasteboardWriteItem> held;
};

void BM_PasteImage(benchmark::State &state)
{
    HoldingPasteboard clipboard;
    Harness harness(bench::largeHistory(), nullptr, &clipboard);
    const QList<ClipboardItem> loaded = harness.manager->items();
    if (loaded.size() != 500 || loaded.first().content.kind() != ClipboardContent::Kind::Image
        || loaded.first().content.dataField().isHeld()) {
        state.SkipWithError("the history did not load with its image bytes left in the file");
        return;
    }
    const ClipboardItem fromFile = loaded.first();
    const QByteArray png = fromFile.content.data();
    const QByteArray base64 = png.toBase64();
    QFile file(harness.manager->storageURL());
    const qint64 offset = file.open(QIODevice::ReadOnly) ? QByteArray(file.readAll()).indexOf(base64) : -1;
    bench::runPair(
        state, [&] { harness.manager->writeToPasteboard(fromFile); },
        [&] {
            file.seek(offset);
            const QByteArray decoded = QByteArray::fromBase64(file.read(base64.size()));
            benchmark::DoNotOptimize(decoded.constData());
        });
    harness.manager->writeToPasteboard(fromFile);
    const bool whole = clipboard.held.size() == 1 && clipboard.held[0].size() == 1
        && clipboard.held[0][0].type == PasteboardType::PNG && clipboard.held[0][0].data == png;
    if (!whole || png.size() != 4'500'000 || offset < 0)
        state.SkipWithError("the clipboard did not get the whole PNG");
    state.SetLabel("4.5 MB image of the large history; ref = read of its Base64 text + Qt decode");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

BENCHMARK(BM_SaveHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PasteImage)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CaptureImage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);
