#pragma once

// What the private compositors of the tests (headless sway, KWin) share: a
// private directory, the compositor started under `timeout` so that it can
// never outlive a crashed test, its log, and its stop together with every
// client started here.

#include "support/TestClients.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

namespace kelvo::testing {

// The Qt application object of a test process, made once, for the event loop.
inline void ensureCoreApplication()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "kelvo-compositor-test";
        static char *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

class CompositorServer : public TestClients {
public:
    ~CompositorServer() override { stop(); }

    void stop()
    {
        stopClients();
        if (process_.state() != QProcess::NotRunning) {
            // timeout passes the signal on to the compositor and kills it for
            // good after 5 s (-k); it leads its own process group.
            process_.terminate();
            if (!process_.waitForFinished(10000)) {
                kill(-pid_t(process_.processId()), SIGKILL);
                process_.waitForFinished(3000);
            }
        }
    }

    // Stops or continues the compositor (and the processes around it) as a whole.
    void pause(bool paused)
    {
        if (process_.state() != QProcess::NotRunning)
            kill(-pid_t(process_.processId()), paused ? SIGSTOP : SIGCONT);
    }

    QString error() const { return error_; }

protected:
    explicit CompositorServer(const char *dirTemplate) : dir_(QString::fromLatin1(dirTemplate)) {}

    // Runs `timeout -k 5 600 <command>` with its output in <name>.log, in
    // `env` (this process's when empty).
    void startUnderTimeout(const QStringList &command, const QString &name, const QProcessEnvironment &env = {})
    {
        if (!env.isEmpty())
            process_.setProcessEnvironment(env);
        logName_ = name + QStringLiteral(".log");
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(dir_.filePath(logName_));
        // Should the test die, timeout passes the signal on.
        process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(QStringLiteral("timeout"), QStringList{QStringLiteral("-k"), QStringLiteral("5"),
                                                              QStringLiteral("600")} + command);
    }
    bool exited() const { return process_.state() == QProcess::NotRunning; }

    bool fail(const QString &why)
    {
        error_ = why;
        return false;
    }
    QString readLog() const
    {
        QFile f(dir_.filePath(logName_));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }

    QTemporaryDir dir_;

private:
    QProcess process_;
    QString logName_;
    QString error_;
};

} // namespace kelvo::testing
