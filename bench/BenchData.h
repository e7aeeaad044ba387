#pragma once

// Data sets shared by the benchmarks and the history generator. Every set is
// built from a fixed seed, so repeated runs measure the same bytes.

#include "model/ClipboardItem.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QUuid>

namespace kelvo::bench {

// Text of about `bytes` UTF-8 bytes: words in mixed case, some of them
// non-ASCII.
inline QString makeText(QRandomGenerator &rng, qsizetype bytes)
{
    static const char *const words[] = {"Clipboard", "history", "ENTRY", "Straße", "café", "Über", "naïve",
                                        "window",    "Panel",   "text",  "Ωmega",  "data", "Kelvo", "résumé",
                                        "Lorem",     "ipsum",   "DOLOR", "sit",    "amet", "Ελλάδα"};
    QString text;
    text.reserve(bytes);
    qsizetype size = 0;
    while (size < bytes) {
        const QString word = QString::fromUtf8(words[rng.bounded(int(std::size(words)))]);
        text += word;
        text += QLatin1Char(rng.bounded(8) == 0 ? '\n' : ' ');
        size += word.toUtf8().size() + 1;
    }
    return text;
}

inline QByteArray randomBytes(QRandomGenerator &rng, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    // A PNG signature in front; the codec stores the bytes as they are.
    bytes.replace(0, 8, QByteArray("\x89PNG\r\n\x1a\n", 8));
    return bytes;
}

inline ClipboardItem textItem(QRandomGenerator &rng, int i, qsizetype bytes)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.content = ClipboardContent::text(makeText(rng, bytes));
    item.timestamp = 800000000.0 - i;
    item.preview = firstGraphemes(item.content.string(), 100);
    item.infoLabel = QStringLiteral("%1 characters").arg(item.content.string().size());
    item.sourceAppName = QStringLiteral("Editor");
    return item;
}

// 500 text entries of 2 KB.
inline QList<ClipboardItem> smallHistory()
{
    QRandomGenerator rng(11);
    QList<ClipboardItem> list;
    for (int i = 0; i < 500; ++i)
        list.append(textItem(rng, i, 2000));
    return list;
}

// 50 images of 4.5 MB with 60 KB thumbnails, every tenth entry, and 450
// text entries of 2 KB. The image bytes are random behind a PNG signature:
// incompressible, like real photographs, and the codec never decodes them.
inline QList<ClipboardItem> largeHistory()
{
    QRandomGenerator rng(7);
    QList<ClipboardItem> list;
    for (int i = 0; i < 500; ++i) {
        if (i % 10 != 0) {
            list.append(textItem(rng, i, 2000));
            continue;
        }
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.content = ClipboardContent::image(randomBytes(rng, 4'500'000));
        item.timestamp = 800000000.0 - i;
        item.preview = QStringLiteral("3840 × 2160 · 4.5 MB");
        item.infoLabel = QStringLiteral("3840 × 2160");
        item.previewImagePNGData = randomBytes(rng, 60'000);
        item.sourceAppName = QStringLiteral("Viewer");
        list.append(item);
    }
    return list;
}

} // namespace kelvo::bench
