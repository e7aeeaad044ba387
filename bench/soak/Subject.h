#pragma once

// The program under test: the real kelvo, started and stopped as a user's
// session would (a clean quit, or SIGKILL), driven over its D-Bus interface,
// and measured through /proc.

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace kelvo::soak {

class Subject {
public:
    // `program` is kelvo; its output goes to `logPath` (appended).
    Subject(QString program, QString logPath);
    ~Subject();

    // Starts it (under `timeout`, so that nothing outlives the run) and
    // waits until it answers on the bus.
    bool start(int limitMs);
    // Quit over the bus; true once the process has ended.
    bool quit(int limitMs);
    // SIGKILL, then waits for the end.
    void kill();
    bool isRunning() const;
    qint64 pid() const { return pid_; }

    // A method of the running instance; nullopt (and the error in *error)
    // when it failed.
    std::optional<QList<QVariant>> call(const QString &method, const QVariantList &args = {},
                                        QString *error = nullptr);
    std::optional<QList<QVariantMap>> list(bool pinned);
    std::optional<QVariantMap> status();

    // The process as the kernel sees it.
    qint64 residentKb() const;
    int openFiles() const;
    // CPU time (user + system) in clock ticks.
    qint64 cpuTicks() const;
    // Per thread, by its id: the context switches it gave up the CPU for
    // (each a wake-up after a sleep) and its time on a CPU (schedstat).
    struct ThreadTimes {
        qint64 voluntarySwitches = 0;
        qint64 cpuNanoseconds = 0;
    };
    QHash<qint64, ThreadTimes> threadTimes() const;

    QString program_;
    QString logPath_;
    QProcess process_;
    qint64 pid_ = 0;
    QDBusConnection bus_;
};

// What a process did between two readings of its threads. A thread that
// ended meanwhile (Qt's pool lets an idle one go after 30 s) took its
// counts with it: its end is counted as one wake-up, its CPU time is lost.
struct Quiet {
    qint64 wakeups = 0;
    qint64 cpuNanoseconds = 0;
    int endedThreads = 0;
};
Quiet quietBetween(const QHash<qint64, Subject::ThreadTimes> &before, const QHash<qint64, Subject::ThreadTimes> &after);

// Runs the Qt event loop until `condition` holds or `limitMs` has passed.
bool waitUntil(const std::function<bool()> &condition, int limitMs);

} // namespace kelvo::soak
