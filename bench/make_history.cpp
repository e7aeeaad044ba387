// Writes a benchmark history file through the program's own codec:
//   make_history <path> [small|large]
// small: 500 text entries of 2 KB; large: 50 images of 4.5 MB with
// thumbnails and 450 text entries.
#include "BenchData.h"

#include "model/HistoryCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_history <path> [small|large]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QByteArray which = argc == 3 ? QByteArray(argv[2]) : QByteArray("small");
    if (which != "small" && which != "large") {
        std::fprintf(stderr, "make_history: unknown set '%s'\n", which.constData());
        return 2;
    }
    const QList<kelvo::ClipboardItem> items = which == "large" ? kelvo::bench::largeHistory()
                                                               : kelvo::bench::smallHistory();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(kelvo::encodeHistory(items)) < 0 || !file.commit()) {
        std::fprintf(stderr, "make_history: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    std::printf("%lld entries written to %s\n", static_cast<long long>(items.size()), qPrintable(path));
    return 0;
}
