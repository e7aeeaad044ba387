// kelvo_soak: drives the real kelvo on the display and session bus it is
// given (bench/soak.sh makes both private) and measures it.
//
//   kelvo_soak screenshots KELVO [COUNT]
//       copies COUNT (default 30) different 3840 x 2160 screenshots one
//       after another and prints the resident set after each, once it is
//       recorded and saved.
//   kelvo_soak day KELVO MINUTES [SEED [IDLE_SECONDS]]
//       a working day compressed into MINUTES (see Day.h), then
//       IDLE_SECONDS (default 0) of nothing happening.
//   kelvo_soak idle KELVO SECONDS [KELVO...]
//       starts each build in turn, lets it settle, and counts its wake-ups
//       (voluntary context switches, all threads) and its CPU time over
//       SECONDS of nothing happening.
#include "Day.h"
#include "Screenshots.h"
#include "Subject.h"

#include "platform/Pasteboard.h"
#include "platform/x11/X11Pasteboard.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdio>

using namespace kelvo;
using namespace kelvo::soak;

namespace {

QTextStream out(stdout);

int fail(const QString &message)
{
    out << "FAIL: " << message << Qt::endl;
    return 1;
}

QString historyPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kelvo/clipboard_history.json");
}

// Until the file holds the list as it is now: the program says so, or (an
// older build without that answer) the file has not changed for 1.5 s.
bool waitUntilSaved(Subject &kelvo, int limitMs)
{
    QDateTime last;
    QDateTime stableSince = QDateTime::currentDateTimeUtc();
    return waitUntil(
        [&] {
            const std::optional<QVariantMap> status = kelvo.status();
            if (status && status->contains(QStringLiteral("historySaved")))
                return status->value(QStringLiteral("historySaved")).toBool();
            const QDateTime modified = QFileInfo(historyPath()).lastModified();
            if (modified != last) {
                last = modified;
                stableSince = QDateTime::currentDateTimeUtc();
            }
            return last.isValid() && stableSince.msecsTo(QDateTime::currentDateTimeUtc()) > 1500;
        },
        limitMs);
}

QString firstId(Subject &kelvo)
{
    const auto list = kelvo.list(false);
    return list && !list->isEmpty() ? list->first().value(QStringLiteral("id")).toString() : QString();
}

int screenshots(const QString &program, int count)
{
    Subject kelvo(program, QStringLiteral("kelvo.log"));
    if (!kelvo.start(30000))
        return fail(QStringLiteral("kelvo did not start"));
    x11::X11Pasteboard owner;
    out << "screenshot\tpng_kb\tresident_mb\topen_files" << Qt::endl;
    out << "0\t0\t" << kelvo.residentKb() / 1024 << '\t' << kelvo.openFiles() << Qt::endl;
    for (int i = 1; i <= count; ++i) {
        const QByteArray png = screenshotPNG(quint32(i));
        const QString before = firstId(kelvo);
        owner.write({{{PasteboardType::PNG, png}}});
        if (!waitUntil([&] { return firstId(kelvo) != before; }, 60000))
            return fail(QStringLiteral("screenshot %1 was not recorded").arg(i));
        if (!waitUntilSaved(kelvo, 60000))
            return fail(QStringLiteral("screenshot %1 was not saved").arg(i));
        out << i << '\t' << png.size() / 1024 << '\t' << kelvo.residentKb() / 1024 << '\t' << kelvo.openFiles()
            << Qt::endl;
    }
    // SIGKILL leaves a heap profile with what was alive at the end.
    if (qEnvironmentVariableIsSet("KELVO_SOAK_KILL_AT_END"))
        kelvo.kill();
    else
        kelvo.quit(10000);
    return 0;
}

// Keeps the event loop running for `ms`.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int idle(const QStringList &programs, int seconds)
{
    out << "build\tplatform\twakeups_per_s\tcpu_ms\tcpu_ticks\tseconds\tthreads_ended" << Qt::endl;
    for (const QString &program : programs) {
        Subject kelvo(program, QStringLiteral("kelvo.log"));
        if (!kelvo.start(30000))
            return fail(QStringLiteral("%1 did not start").arg(program));
        // Settled: start-up work (first layout, icon cache) is over when a
        // whole second passes without CPU time.
        qint64 last = -1;
        const bool settled = waitUntil(
            [&] {
                const qint64 now = kelvo.cpuTicks();
                const bool quiet = now == last;
                last = now;
                return quiet;
            },
            30000);
        if (!settled)
            return fail(QStringLiteral("%1 did not settle").arg(program));
        const auto threads = kelvo.threadTimes();
        const qint64 ticks = kelvo.cpuTicks();
        pause(seconds * 1000);
        const Quiet quiet = quietBetween(threads, kelvo.threadTimes());
        const QString platform = kelvo.status().value_or(QVariantMap()).value(QStringLiteral("platform")).toString();
        out << program << '\t' << platform << '\t' << QString::number(double(quiet.wakeups) / seconds, 'f', 2) << '\t'
            << QString::number(quiet.cpuNanoseconds / 1e6, 'f', 1) << '\t' << kelvo.cpuTicks() - ticks << '\t'
            << seconds << '\t' << quiet.endedThreads << Qt::endl;
        kelvo.quit(10000);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Nothing of this program is shown; its clipboard is X11's own.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args.at(0) == QLatin1String("screenshots"))
        return screenshots(args.at(1), args.value(2, QStringLiteral("30")).toInt());
    if (args.size() >= 3 && args.at(0) == QLatin1String("day"))
        return day(args.at(1), args.at(2).toInt(), args.value(3, QStringLiteral("1")).toUInt(),
                   args.value(4, QStringLiteral("0")).toInt());
    if (args.size() >= 3 && args.at(0) == QLatin1String("idle"))
        return idle(QStringList{args.at(1)} + args.mid(3), args.at(2).toInt());
    fprintf(stderr, "usage: kelvo_soak screenshots KELVO [COUNT]\n"
                    "       kelvo_soak day KELVO MINUTES [SEED [IDLE_SECONDS]]\n"
                    "       kelvo_soak idle KELVO SECONDS [KELVO...]\n");
    return 2;
}
