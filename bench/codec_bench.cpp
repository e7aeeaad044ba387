// History file codec throughput: the streaming writer and schema-directed
// reader against QJsonDocument, on a history of 50 images of 4.5 MB.
#include "model/HistoryCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace kelvo;

namespace {

constexpr int kImages = 50;
constexpr qsizetype kImageBytes = 4'500'000;

const QList<ClipboardItem> &history()
{
    static const QList<ClipboardItem> items = [] {
        QList<ClipboardItem> list;
        QRandomGenerator rng(7);
        for (int i = 0; i < kImages; ++i) {
            QByteArray bytes(kImageBytes, Qt::Uninitialized);
            rng.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            ClipboardItem item;
            item.id = QUuid::createUuid();
            item.content = ClipboardContent::image(bytes);
            item.timestamp = 800000000.0 + i;
            item.preview = QStringLiteral("1920 x 1080 · 4.5 MB");
            item.infoLabel = QStringLiteral("1920 x 1080");
            item.previewImagePNGData = bytes.left(60000);
            item.sourceAppName = QStringLiteral("Viewer");
            list.append(item);
        }
        return list;
    }();
    return items;
}

const QByteArray &document()
{
    static const QByteArray json = encodeHistory(history());
    return json;
}

void setBytes(benchmark::State &state) { state.SetBytesProcessed(int64_t(state.iterations()) * document().size()); }

void BM_EncodeStreaming(benchmark::State &state)
{
    for (auto _ : state) {
        QByteArray json = encodeHistory(history());
        benchmark::DoNotOptimize(json.constData());
    }
    setBytes(state);
}

void BM_EncodeQJsonDocument(benchmark::State &state)
{
    for (auto _ : state) {
        QJsonArray array;
        for (const ClipboardItem &item : history()) {
            QJsonObject image{{QStringLiteral("_0"), QString::fromLatin1(item.content.data().toBase64())}};
            QJsonObject entry{
                {QStringLiteral("id"), item.id.toString(QUuid::WithoutBraces).toUpper()},
                {QStringLiteral("content"), QJsonObject{{QStringLiteral("image"), image}}},
                {QStringLiteral("timestamp"), item.timestamp},
                {QStringLiteral("sourceAppName"), *item.sourceAppName},
                {QStringLiteral("isPinned"), item.isPinned},
                {QStringLiteral("preview"), item.preview},
                {QStringLiteral("infoLabel"), item.infoLabel},
                {QStringLiteral("previewImagePNGData"), QString::fromLatin1(item.previewImagePNGData->toBase64())},
            };
            array.append(entry);
        }
        QByteArray json = QJsonDocument(array).toJson(QJsonDocument::Compact);
        benchmark::DoNotOptimize(json.constData());
    }
    setBytes(state);
}

void BM_DecodeStreaming(benchmark::State &state)
{
    for (auto _ : state) {
        QList<ClipboardItem> items;
        QString error;
        if (!decodeHistory(document(), &items, &error))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(items.constData());
    }
    setBytes(state);
}

// QJsonDocument parse plus the Base64 decoding of every byte field.
void BM_DecodeQJsonDocument(benchmark::State &state)
{
    for (auto _ : state) {
        const QJsonArray array = QJsonDocument::fromJson(document()).array();
        qsizetype total = 0;
        for (const QJsonValue &value : array) {
            const QJsonObject entry = value.toObject();
            const QString image = entry[QLatin1StringView("content")][QLatin1StringView("image")][QLatin1StringView("_0")].toString();
            total += QByteArray::fromBase64(image.toLatin1()).size();
            total += QByteArray::fromBase64(entry[QLatin1StringView("previewImagePNGData")].toString().toLatin1()).size();
            total += QUuid::fromString(entry[QLatin1StringView("id")].toString()).isNull();
        }
        benchmark::DoNotOptimize(total);
    }
    setBytes(state);
}

// The floor for any reader: reading the file's bytes once plus one Qt
// Base64 decode of every byte field.
void BM_ReadAndBase64Only(benchmark::State &state)
{
    static const QList<QByteArray> fields = [] {
        QList<QByteArray> list;
        for (const ClipboardItem &item : history()) {
            list.append(item.content.data().toBase64());
            list.append(item.previewImagePNGData->toBase64());
        }
        return list;
    }();
    for (auto _ : state) {
        qsizetype total = 0;
        QByteArray copy(document().constData(), document().size()); // the file read
        benchmark::DoNotOptimize(copy.constData());
        for (const QByteArray &text : fields)
            total += QByteArray::fromBase64(text).size();
        benchmark::DoNotOptimize(total);
    }
    setBytes(state);
}

} // namespace

BENCHMARK(BM_ReadAndBase64Only)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeStreaming)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeQJsonDocument)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeStreaming)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeQJsonDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
