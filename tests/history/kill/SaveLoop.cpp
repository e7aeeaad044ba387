// Drives the history file's writer the way the store does, as fast as it
// can, so that a kill from outside lands at every possible moment of a
// save: `save-loop write <dir>` writes a changing history until killed;
// `save-loop check <dir>` exits 0 when the file parses as a complete
// history whose entries agree with each other.
#include "history/HistoryFile.h"
#include "model/HistoryCodec.h"
#include "platform/qt/QtPlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace kelvo;

namespace {

// Entry i of generation g: texts of a few sizes, one image now and then.
// Every entry names the generation, so a mixed file is detected.
QList<ClipboardItem> historyOfGeneration(quint64 generation)
{
    QList<ClipboardItem> items;
    const int count = 5 + int(generation % 40);
    for (int i = 0; i < count; ++i) {
        const QString text = QStringLiteral("gen %1 entry %2 ").arg(generation).arg(i).repeated(1 + (i * 37) % 300);
        items.append(ClipboardItem::make(ClipboardContent::text(text), std::nullopt, QStringLiteral("Editor"),
                                         QImage(), 700000000.0 + double(generation)));
    }
    return items;
}

int check(const QString &path)
{
    QString error;
    LocalFileSystem files(QString{});
    const auto bytes = files.read(path, &error);
    if (!bytes) // never written yet: acceptable only when nothing was saved
        return QFile::exists(path) ? 2 : 0;
    QList<ClipboardItem> items;
    if (!decodeHistory(*bytes, &items, &error)) {
        QTextStream(stderr) << "unreadable: " << error << Qt::endl;
        return 1;
    }
    if (items.isEmpty())
        return 1;
    const QString generation = items.first().content.string().section(u' ', 1, 1);
    const int expected = 5 + int(generation.toULongLong() % 40);
    if (items.size() != expected)
        return 1;
    for (const ClipboardItem &item : items)
        if (item.content.string().section(u' ', 1, 1) != generation)
            return 1;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 64;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    const QString path = dir + QStringLiteral("/clipboard_history.json");
    if (mode == QStringLiteral("check"))
        return check(path);

    LocalFileSystem files(dir);
    HistoryFile file(files, path);
    for (quint64 generation = 1;; ++generation) {
        file.write(historyOfGeneration(generation), generation);
        if (generation == 1) {
            std::puts("writing");
            std::fflush(stdout);
        }
    }
}
