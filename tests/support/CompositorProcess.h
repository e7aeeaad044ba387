#pragma once

// A compositor (or a bus beside it) run for a test: as the compositor's
// user of TestUser.h, under `timeout` so that it can never outlive a crashed
// test, its output in a log file. `timeout` leads a process group of its
// own; stop() ends the whole group.

#include "support/TestUser.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <sys/prctl.h>

namespace kelvo::testing {

class CompositorProcess {
public:
    ~CompositorProcess() { stop(); }

    // Runs `command` (its environment given as leading NAME=value words)
    // for at most `seconds`; `ownPaths` are handed to the compositor's user
    // first. False, with `error` set, when that cannot be done.
    bool start(const QStringList &command, const QStringList &ownPaths, const QString &logFile, QString *error,
               int seconds = 600)
    {
        QStringList asUser;
        if (!compositorUserPrefix(ownPaths, &asUser, error))
            return false;
        logFile_ = logFile;
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(logFile);
        // Should the test die, timeout passes the signal on.
        process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(QStringLiteral("timeout"), QStringList{QStringLiteral("-k"), QStringLiteral("5"),
                                                              QString::number(seconds)}
                                                      + asUser + QStringList{QStringLiteral("env")} + command);
        return true;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        // timeout passes the signal on and kills for good after 5 s (-k).
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            kill(-pid_t(process_.processId()), SIGKILL);
            process_.waitForFinished(3000);
        }
    }

    bool running() const { return process_.state() != QProcess::NotRunning; }

    // Stops or continues the whole group.
    void pause(bool paused)
    {
        if (running())
            kill(-pid_t(process_.processId()), paused ? SIGSTOP : SIGCONT);
    }

    QString log() const
    {
        QFile f(logFile_);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }

private:
    QProcess process_;
    QString logFile_;
};

} // namespace kelvo::testing
