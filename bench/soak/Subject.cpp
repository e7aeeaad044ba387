#include "Subject.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QTimer>

#include <csignal>

namespace kelvo::soak {

namespace {
const QString kName = QStringLiteral("io.github.kelvo.Kelvo");
const QString kPath = QStringLiteral("/io/github/kelvo/Kelvo");

QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

bool waitUntil(const std::function<bool()> &condition, int limitMs)
{
    if (condition())
        return true;
    // The event loop keeps running in between: this process serves the
    // clipboard it owns, which kelvo may be reading meanwhile.
    const QDeadlineTimer deadline(limitMs);
    bool met = false;
    QEventLoop loop;
    QTimer poll; // the poll interval inside the deadline
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        met = condition();
        if (met || deadline.hasExpired())
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    return met;
}

Subject::Subject(QString program, QString logPath)
    : program_(std::move(program)), logPath_(std::move(logPath)), bus_(QDBusConnection::sessionBus())
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    process_.setStandardOutputFile(logPath_, QIODevice::Append);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // The program chooses its own Qt platform (xcb), not this process's.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process_.setProcessEnvironment(env);
}

Subject::~Subject()
{
    if (isRunning())
        kill();
}

bool Subject::isRunning() const
{
    return process_.state() != QProcess::NotRunning;
}

bool Subject::start(int limitMs)
{
    // `timeout` ends it should the run itself be killed.
    process_.start(QStringLiteral("timeout"), {QStringLiteral("-s"), QStringLiteral("KILL"), QStringLiteral("36000"),
                                                program_});
    if (!process_.waitForStarted(limitMs))
        return false;
    std::optional<QVariantMap> answer;
    const bool up = waitUntil(
        [&] {
            if (!isRunning())
                return true;
            return bus_.interface()->isServiceRegistered(kName).value() && (answer = status()).has_value();
        },
        limitMs);
    if (!up || !answer)
        return false;
    pid_ = answer->value(QStringLiteral("pid")).toLongLong();
    return pid_ > 0;
}

bool Subject::quit(int limitMs)
{
    call(QStringLiteral("Quit"));
    return process_.waitForFinished(limitMs);
}

void Subject::kill()
{
    if (pid_ > 0)
        ::kill(pid_t(pid_), SIGKILL);
    process_.waitForFinished(10000);
    pid_ = 0;
}

std::optional<QList<QVariant>> Subject::call(const QString &method, const QVariantList &args, QString *error)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, kName, method);
    message.setArguments(args);
    message.setAutoStartService(false);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, 30000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (error)
            *error = reply.errorName() + u' ' + reply.errorMessage();
        return std::nullopt;
    }
    return reply.arguments();
}

std::optional<QList<QVariantMap>> Subject::list(bool pinned)
{
    const auto reply = call(QStringLiteral("List"), {pinned});
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return qdbus_cast<QList<QVariantMap>>(reply->first());
}

std::optional<QVariantMap> Subject::status()
{
    const auto reply = call(QStringLiteral("Status"));
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return qdbus_cast<QVariantMap>(reply->first());
}

qint64 Subject::residentKb() const
{
    for (const QByteArray &line : procFile(pid_, "status").split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

int Subject::openFiles() const
{
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid_)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                                        QDir::System).size());
}

qint64 Subject::cpuTicks() const
{
    const QByteArray stat = procFile(pid_, "stat");
    // Fields after the name in parentheses; utime and stime are the 14th and 15th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

QHash<qint64, Subject::ThreadTimes> Subject::threadTimes() const
{
    QHash<qint64, ThreadTimes> threads;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/%1/task").arg(pid_)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        const QString dir = QStringLiteral("/proc/%1/task/%2/").arg(pid_).arg(task);
        QFile status(dir + QStringLiteral("status")), schedstat(dir + QStringLiteral("schedstat"));
        // Gone between the listing and the reading: as if never listed.
        if (!status.open(QIODevice::ReadOnly) || !schedstat.open(QIODevice::ReadOnly))
            continue;
        ThreadTimes times;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                times.voluntarySwitches = line.mid(24).trimmed().toLongLong();
        times.cpuNanoseconds = schedstat.readAll().split(' ').value(0).toLongLong();
        threads.insert(task.toLongLong(), times);
    }
    return threads;
}

Quiet quietBetween(const QHash<qint64, Subject::ThreadTimes> &before, const QHash<qint64, Subject::ThreadTimes> &after)
{
    Quiet quiet;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const Subject::ThreadTimes start = before.value(it.key()); // zero for a thread started meanwhile
        quiet.wakeups += it->voluntarySwitches - start.voluntarySwitches;
        quiet.cpuNanoseconds += it->cpuNanoseconds - start.cpuNanoseconds;
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()))
            ++quiet.endedThreads;
    quiet.wakeups += quiet.endedThreads;
    return quiet;
}

} // namespace kelvo::soak
