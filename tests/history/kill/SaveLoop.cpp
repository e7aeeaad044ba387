// Drives the history file's writer the way the store does, as fast as it
// can, so that a kill from outside lands at every possible moment of a
// save: `save-loop write <dir>` loads the history left by the last run (its
// picture's bytes stay in that file and are copied through by every save)
// and writes a changing history until killed; `save-loop check <dir>` exits
// 0 when the file parses as a complete history whose entries agree with
// each other and whose picture is intact.
#include "history/HistoryFile.h"
#include "model/HistoryCodec.h"
#include "platform/qt/QtPlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace kelvo;

namespace {

const QByteArray &picture()
{
    static const QByteArray bytes = [] {
        QByteArray b(60000, Qt::Uninitialized);
        for (int i = 0; i < b.size(); ++i)
            b[i] = char(i * 7 + i / 251);
        return b;
    }();
    return bytes;
}

// Entry i of generation g: texts of a few sizes, and the picture last.
// Every text names the generation, so a mixed file is detected.
QList<ClipboardItem> historyOfGeneration(quint64 generation, const ClipboardItem &pictureEntry)
{
    QList<ClipboardItem> items;
    const int count = 5 + int(generation % 40);
    for (int i = 0; i < count; ++i) {
        const QString text = QStringLiteral("gen %1 entry %2 ").arg(generation).arg(i).repeated(1 + (i * 37) % 300);
        items.append(ClipboardItem::make(ClipboardContent::text(text), std::nullopt, QStringLiteral("Editor"),
                                         QImage(), 700000000.0 + double(generation)));
    }
    items.append(pictureEntry);
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
    if (items.size() < 2 || items.takeLast().content.data() != picture())
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
    const QList<ClipboardItem> loaded = file.load(QStringLiteral("unreadable"));
    const ClipboardItem pictureEntry = !loaded.isEmpty() ? loaded.last()
        : ClipboardItem::make(ClipboardContent::image(picture()), std::nullopt, std::nullopt, QImage(), 1);
    for (quint64 generation = 1;; ++generation) {
        file.write(historyOfGeneration(generation, pictureEntry), generation);
        if (generation == 1) {
            std::puts("writing");
            std::fflush(stdout);
        }
    }
}
