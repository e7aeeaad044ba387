// The history store on the main thread, driven through the in-memory
// platform with real files:
//
//   SaveHistory   the main thread's share of saveHistory() with the large
//                 history loaded (absolute; the encoding runs on the
//                 background queue)
//   Filter        filteredItems() with a three-letter query over 500 text
//                 entries of 100 KB, against a byte search (memmem) over the
//                 same texts, already lower-cased
//   CaptureImage  the poll tick to the stored entry for a 3840 x 2160 PNG
//                 offered as public.png, against one decode of that PNG
#include "BenchData.h"
#include "BenchPair.h"

#include "history/ClipboardManager.h"
#include "history/HistoryFile.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/VirtualTime.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStyledTextConverter.h"

#include <QBuffer>
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
    explicit Harness(const QList<ClipboardItem> &history)
        : files(dir.path())
    {
        preferences.values.insert(QStringLiteral("maxHistoryCount"), 500);
        if (!history.isEmpty())
            HistoryFile(files, makeStorageURL(files)).write(history, 1);
        manager = std::make_unique<ClipboardManager>(HistoryServices{
            pasteboard, applications, types, styledText, files, time, time, background, preferences, saveDialog});
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

void BM_CaptureImage(benchmark::State &state)
{
    static const QByteArray pngs[2] = {makeLargePNG(1), makeLargePNG(2)};
    Harness harness({});
    int offered = -1;
    bool sameBytes = true;
    const auto check = [&] {
        if (offered < 0)
            return;
        const QList<ClipboardItem> &items = harness.manager->items();
        // The entry holds the offered bytes themselves: no re-encoding,
        // not even a copy.
        sameBytes = sameBytes && !items.isEmpty() && items.first().content.data() == pngs[offered]
            && items.first().content.data().constData() == pngs[offered].constData();
    };
    bench::runPair(
        state,
        [&] {
            // The poll tick: the change is seen, the snapshot fetched,
            // classified, the entry made and stored.
            harness.manager->checkPasteboard();
            harness.time.runPending();
        },
        [&] {
            const QImage decoded = QImage::fromData(pngs[offered]);
            benchmark::DoNotOptimize(decoded.constBits());
        },
        [&] {
            check();
            // A foreign copy of the other picture.
            offered = offered == 0 ? 1 : 0;
            auto contents = memory::MemoryContents::withData({{PasteboardType::PNG, pngs[offered]}});
            contents->image = pngs[offered];
            harness.pasteboard.copy(contents);
        });
    check();
    if (!sameBytes)
        state.SkipWithError("the stored bytes are not the offered PNG");
    state.SetLabel("3840 x 2160 PNG (" + std::to_string(pngs[0].size() / 1000) + " KB) as public.png; ref = one QImage decode");
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
BENCHMARK(BM_CaptureImage)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);
