#pragma once

// A private headless sway for the tests that need a real Wayland compositor.
// sway refuses to run as root, so under root it runs as the throwaway user
// of TestUser.h; otherwise as the current user. It gets a
// private runtime directory, runs under `timeout` so that it can never
// outlive a crashed test, and is stopped with the server object together
// with every client started here. Clients run as the test's own user and
// reach the compositor through the socket's absolute path.

#include "support/ServerTest.h"
#include "support/TestClients.h"
#include "support/TestUser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

namespace kelvo::testing {

class SwayServer : public TestClients {
public:
    SwayServer() { quietClients_ = true; }
    ~SwayServer() override { stop(); }

    // Starts sway; true once it answers on its sockets. On failure error()
    // says why.
    bool start()
    {
        QFile config(dir_.filePath(QStringLiteral("config")));
        if (!dir_.isValid() || !config.open(QIODevice::WriteOnly))
            return fail("no runtime directory");
        config.write("xwayland disable\noutput HEADLESS-1 resolution 1280x800\ndefault_border none\n");
        config.close();
        QStringList args = {QStringLiteral("-k"), QStringLiteral("5"), QStringLiteral("600")};
        QStringList asUser;
        if (!compositorUserPrefix({dir_.path(), config.fileName()}, &asUser, &error_))
            return false;
        args << asUser;
        args << QStringLiteral("env") << QStringLiteral("XDG_RUNTIME_DIR=") + dir_.path()
             << QStringLiteral("WLR_BACKENDS=headless") << QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1")
             << QStringLiteral("WLR_RENDERER=pixman") << QStringLiteral("sway") << QStringLiteral("-c")
             << config.fileName();
        sway_.setProcessChannelMode(QProcess::MergedChannels);
        sway_.setStandardOutputFile(dir_.filePath(QStringLiteral("sway.log")));
        // Should the test die, timeout passes the signal on and sway (and
        // its clients) go too.
        sway_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        sway_.start(QStringLiteral("timeout"), args);
        socket_ = dir_.filePath(QStringLiteral("wayland-1"));
        // sway opens its IPC socket after the Wayland one, and answers on
        // it once its event loop runs: then both are up.
        auto exited = [this] { return sway_.state() == QProcess::NotRunning; };
        if (!waitUntil([&] { return !ipcSocket().isEmpty() || exited(); }, 20000) || exited())
            return fail("sway did not open its sockets; its log: " + readLog());
        // The socket's file exists from its bind; a connection before sway
        // listens on it is refused, so the first answer is waited for.
        auto answers = [&] {
            return run(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_version")}).exitCode == 0;
        };
        if (!waitUntil([&] { return answers() || exited(); }, 20000) || exited())
            return fail("sway does not answer on its IPC socket; its log: " + readLog());
        return true;
    }

    void stop()
    {
        stopClients();
        if (sway_.state() != QProcess::NotRunning) {
            // timeout passes the signal on to sway and kills it for good
            // after 5 s (-k); it leads its own process group.
            sway_.terminate();
            if (!sway_.waitForFinished(10000)) {
                kill(-pid_t(sway_.processId()), SIGKILL);
                sway_.waitForFinished(3000);
            }
        }
    }

    // Stops or continues sway (and the processes around it) as a whole.
    void pause(bool paused)
    {
        if (sway_.state() != QProcess::NotRunning)
            kill(-pid_t(sway_.processId()), paused ? SIGSTOP : SIGCONT);
    }

    QString error() const { return error_; }
    // The compositor's socket, an absolute path usable as WAYLAND_DISPLAY.
    QString display() const { return socket_; }
    QString ipcSocket() const
    {
        const QStringList found = QDir(dir_.path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        return found.isEmpty() ? QString() : dir_.filePath(found.first());
    }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
        env.insert(QStringLiteral("SWAYSOCK"), ipcSocket());
        env.remove(QStringLiteral("DISPLAY"));
        // Toolkits on their Wayland backends; GTK keeps its settings in memory.
        env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        return env;
    }

private:
    bool fail(const QString &why)
    {
        error_ = why;
        return false;
    }
    QString readLog() const
    {
        QFile f(dir_.filePath(QStringLiteral("sway.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }

    QTemporaryDir dir_{QStringLiteral("/tmp/kelvo-sway-XXXXXX")};
    QProcess sway_;
    QString socket_;
    QString error_;
};

class SwayTest : public ServerTest<SwayServer> {};

} // namespace kelvo::testing
