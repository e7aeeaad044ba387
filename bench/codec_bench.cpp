// The history file: loading it and the background save, each beside its
// reference measured in the same iteration on the same data.
//
//   Load/small   HistoryFile::load of 500 text entries of 2 KB
//                against reading the file's bytes
//   Load/large   the same for 50 images of 4.5 MB (with thumbnails) and
//                450 text entries
//   Save/*       HistoryFile::write of the loaded history after one change
//                (a new text entry first), against copying the file once:
//                reading its bytes and one atomic write of them
#include "BenchData.h"
#include "BenchPair.h"

#include "history/HistoryFile.h"
#include "model/HistoryCodec.h"
#include "platform/qt/QtPlatform.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace kelvo;

namespace {

struct DataSet {
    QList<ClipboardItem> items;
    qsizetype fileSize = 0;
};

const DataSet &dataSet(bool large)
{
    static const DataSet sets[2] = {
        [] {
            DataSet s{bench::smallHistory(), 0};
            s.fileSize = encodeHistory(s.items).size();
            return s;
        }(),
        [] {
            DataSet s{bench::largeHistory(), 0};
            s.fileSize = encodeHistory(s.items).size();
            return s;
        }(),
    };
    return sets[large ? 1 : 0];
}

QTemporaryDir &directory()
{
    static QTemporaryDir dir;
    return dir;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void BM_Load(benchmark::State &state)
{
    const bool large = state.range(0) != 0;
    const DataSet &set = dataSet(large);
    LocalFileSystem files(directory().path());
    const QString path = directory().path() + (large ? "/large.json" : "/small.json");
    HistoryFile(files, path).write(set.items, 1);

    qsizetype loaded = 0;
    bench::runPair(
        state,
        [&] {
            HistoryFile file(files, path);
            const QList<ClipboardItem> items = file.load(QStringLiteral("unused"));
            loaded = items.size();
            benchmark::DoNotOptimize(items.constData());
        },
        [&] {
            const QByteArray bytes = readAll(path);
            benchmark::DoNotOptimize(bytes.constData());
        });
    if (loaded != set.items.size())
        state.SkipWithError("the history did not load");
    state.SetBytesProcessed(int64_t(state.iterations()) * set.fileSize);
    state.SetLabel(large ? "50 images + 450 texts; ref = read" : "500 texts of 2 KB; ref = read");
}

void BM_Save(benchmark::State &state)
{
    const bool large = state.range(0) != 0;
    const DataSet &set = dataSet(large);
    LocalFileSystem files(directory().path());
    const QString path = directory().path() + (large ? "/save-large.json" : "/save-small.json");
    const QString referencePath = directory().path() + "/reference.bin";
    HistoryFile(files, path).write(set.items, 1);
    HistoryFile file(files, path);
    QList<ClipboardItem> items = file.load(QStringLiteral("unused"));
    QRandomGenerator rng(11);
    items.prepend(bench::textItem(rng, 0, 2000));
    const qsizetype expectedSize = encodeHistory(items).size();
    quint64 generation = 1;
    file.write(items, ++generation); // what the reference copies

    bench::runPair(
        state, [&] { file.write(items, ++generation); },
        [&] {
            const QByteArray bytes = readAll(path);
            (void)files.writeAtomically(referencePath, bytes, true);
        });
    if (QFile(path).size() != expectedSize || QFile(referencePath).size() != expectedSize)
        state.SkipWithError("the written file has an unexpected size");
    state.SetBytesProcessed(int64_t(state.iterations()) * set.fileSize);
    state.SetLabel(large ? "50 images + 450 texts; ref = copy of the file" : "500 texts of 2 KB; ref = copy of the file");
}

} // namespace

BENCHMARK(BM_Load)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Save)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
