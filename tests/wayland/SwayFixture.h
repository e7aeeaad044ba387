#pragma once

// A private headless sway for the tests that need a real Wayland compositor.
// sway refuses to run as root, so under root it runs as the throwaway user
// "kelvo-sway" (CI creates it); otherwise as the current user. It gets a
// private runtime directory, runs under `timeout` so that it can never
// outlive a crashed test, and is stopped with the server object together
// with every client started here. Clients run as the test's own user and
// reach the compositor through the socket's absolute path.

#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <wayland-client.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvo::testing {

class SwayServer : public TestClients {
public:
    static constexpr const char *kUser = "kelvo-sway";

    SwayServer() { quietClients_ = true; }
    ~SwayServer() override { stop(); }

    // Starts sway; true once its Wayland socket accepts connections. On
    // failure error() says why.
    bool start(const QByteArray &extraConfig = {})
    {
        QByteArray dirTemplate = "/tmp/kelvo-sway-XXXXXX";
        if (!mkdtemp(dirTemplate.data()))
            return fail("no runtime directory");
        runtimeDir_ = QString::fromLocal8Bit(dirTemplate);
        const QString config = runtimeDir_ + QStringLiteral("/config");
        {
            QFile f(config);
            if (!f.open(QIODevice::WriteOnly))
                return fail("cannot write the configuration");
            f.write("xwayland disable\n"
                    "output HEADLESS-1 resolution 1280x800\n"
                    "default_border none\n");
            f.write(extraConfig);
        }
        QList<QByteArray> args = {"timeout", "-k", "5", "600"};
        if (geteuid() == 0) {
            const passwd *pw = getpwnam(kUser);
            if (!pw)
                return fail("sway does not run as root and the user kelvo-sway is missing "
                            "(create it: useradd --system kelvo-sway)");
            if (chown(dirTemplate.constData(), pw->pw_uid, pw->pw_gid) != 0
                || chown(QFile::encodeName(config).constData(), pw->pw_uid, pw->pw_gid) != 0)
                return fail("cannot hand the runtime directory to kelvo-sway");
            args += {"runuser", "-u", kUser, "--"};
        }
        args += {"env", "XDG_RUNTIME_DIR=" + dirTemplate, "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                 "WLR_RENDERER=pixman", "sway", "-c", QFile::encodeName(config)};
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const QByteArray log = QFile::encodeName(runtimeDir_ + QStringLiteral("/sway.log"));
        // Forked by hand for the parent-death signal: should the test die,
        // timeout passes the signal on and sway (and its clients) go too.
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                _exit(127);
            const int in = open("/dev/null", O_RDONLY);
            const int out = open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            for (int fd = 3; fd < 1024; ++fd)
                close(fd);
            execvp("timeout", argv.data());
            _exit(127);
        }
        if (pid_ < 0) {
            pid_ = -1;
            return fail("cannot start timeout/sway");
        }
        socket_ = runtimeDir_ + QStringLiteral("/wayland-1");
        // sway opens its IPC socket after the Wayland one, and answers on
        // it once its event loop runs.
        const bool up = waitUntil([this] { return (accepts() && !ipcSocket().isEmpty()) || exited(); }, 20000)
            && !exited();
        if (!up)
            return fail("sway did not open its sockets; its log: " + readLog());
        if (run(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_version")}).exitCode != 0)
            return fail("sway does not answer on its IPC socket; its log: " + readLog());
        return true;
    }

    void stop()
    {
        stopClients();
        if (pid_ > 0) {
            // timeout passes the signal on to sway and kills it for good
            // after 5 s (-k); it leads its own process group.
            kill(pid_, SIGTERM);
            QDeadlineTimer deadline(10000);
            int status = 0;
            while (waitpid(pid_, &status, WNOHANG) == 0) {
                if (deadline.hasExpired()) {
                    kill(-pid_, SIGKILL);
                    waitpid(pid_, &status, 0);
                    break;
                }
                QThread::msleep(20); // the poll interval inside the deadline above
            }
            pid_ = -1;
        }
        if (!runtimeDir_.isEmpty()) {
            QDir(runtimeDir_).removeRecursively();
            runtimeDir_.clear();
        }
    }

    // Stops or continues sway (and the processes around it) as a whole.
    void pause(bool paused)
    {
        if (pid_ > 0)
            kill(-pid_, paused ? SIGSTOP : SIGCONT);
    }

    QString error() const { return error_; }
    // The compositor's socket, an absolute path usable as WAYLAND_DISPLAY.
    QString display() const { return socket_; }
    QString runtimeDir() const { return runtimeDir_; }
    QString ipcSocket() const
    {
        const QStringList found = QDir(runtimeDir_).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        return found.isEmpty() ? QString() : runtimeDir_ + u'/' + found.first();
    }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
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
    bool accepts() const
    {
        if (!QFile::exists(socket_))
            return false;
        wl_display *d = wl_display_connect(QFile::encodeName(socket_).constData());
        if (!d)
            return false;
        wl_display_disconnect(d);
        return true;
    }
    bool exited()
    {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        return pid_ <= 0;
    }
    QString readLog() const
    {
        QFile f(runtimeDir_ + QStringLiteral("/sway.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }

    pid_t pid_ = -1;
    QString runtimeDir_;
    QString socket_;
    QString error_;
};

// Base of the tests against sway: one compositor per test (each test runs
// in a process of its own under CTest), with a Qt application object for
// the event loop.
class SwayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "kelvo-wayland-test";
            static char *argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        server_ = std::make_unique<SwayServer>();
        ASSERT_TRUE(server_->start()) << server_->error().toStdString();
    }

    void TearDown() override { server_.reset(); }

    SwayServer &server() { return *server_; }

private:
    std::unique_ptr<SwayServer> server_;
};

} // namespace kelvo::testing
