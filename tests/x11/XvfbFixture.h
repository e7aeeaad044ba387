#pragma once

// A private X server for the tests that need a real display: Xvfb on a free
// display number (chosen by the server itself through -displayfd),
// optionally with the openbox window manager, and helpers to run X clients
// against it. Everything started here is stopped when the server object goes.

#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kelvo::testing {

class XvfbServer : public TestClients {
public:
    explicit XvfbServer(QStringList extraArguments = {}) : extraArguments_(std::move(extraArguments)) {}
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    // Starts Xvfb; true once it accepts connections.
    bool start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        QList<QByteArray> args = {"Xvfb", "-displayfd", QByteArray::number(fds[1]), "-screen", "0",
                                  "1280x800x24", "-nolisten", "tcp", "-noreset"};
        for (const QString &a : std::as_const(extraArguments_))
            args.append(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawnp(&serverPid_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            serverPid_ = -1;
            return false;
        }
        QByteArray number;
        QDeadlineTimer deadline(15000);
        while (!number.endsWith('\n') && !deadline.hasExpired()) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char buf[32];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, n);
        }
        close(fds[0]);
        if (!number.endsWith('\n'))
            return false;
        display_ = u':' + QString::fromLatin1(number.trimmed());
        qputenv("DISPLAY", display_.toLocal8Bit());
        return true;
    }

    void stop()
    {
        stopClients();
        if (serverPid_ > 0) {
            kill(serverPid_, SIGTERM);
            int status = 0;
            waitpid(serverPid_, &status, 0);
            serverPid_ = -1;
        }
    }

    QString display() const { return display_; }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        // GTK programs keep their settings in memory: no session bus here.
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        return env;
    }

    // Starts openbox and waits until it manages the screen.
    bool startWindowManager()
    {
        if (!startClient(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}))
            return false;
        return waitUntil([this] { return hasWindowManager(); }, 10000);
    }

    bool hasWindowManager() const
    {
        xcb_connection_t *c = xcb_connect(display_.toLocal8Bit().constData(), nullptr);
        bool found = false;
        if (!xcb_connection_has_error(c)) {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            const char name[] = "_NET_SUPPORTING_WM_CHECK";
            auto *atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
            if (atom) {
                auto *prop = xcb_get_property_reply(
                    c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
                found = prop && xcb_get_property_value_length(prop) == 4;
                std::free(prop);
                std::free(atom);
            }
        }
        xcb_disconnect(c);
        return found;
    }

private:
    QStringList extraArguments_;
    pid_t serverPid_ = -1;
    QString display_;
};

// Base of the tests against a display: one server per test (each test runs
// in a process of its own under CTest), with a Qt application object for
// the event loop.
class XvfbTest : public ::testing::Test {
protected:
    virtual bool wantsWindowManager() const { return false; }
    virtual QStringList serverArguments() const { return {}; }

    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "kelvo-x11-test";
            static char *argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        server_ = std::make_unique<XvfbServer>(serverArguments());
        ASSERT_TRUE(server_->start()) << "Xvfb did not start";
        if (wantsWindowManager()) {
            ASSERT_TRUE(server_->startWindowManager()) << "openbox did not take the screen";
        }
    }

    void TearDown() override { server_.reset(); }

    XvfbServer &server() { return *server_; }
    QString display() const { return server_->display(); }

    // xdotool with its output trimmed; fails the test when it fails.
    QByteArray xdotool(const QStringList &arguments)
    {
        const auto r = server_->run(QStringLiteral("xdotool"), arguments);
        EXPECT_EQ(r.exitCode, 0) << "xdotool " << arguments.join(u' ').toStdString();
        return r.out.trimmed();
    }

    // Asks the window manager (through xdotool) to activate a window until
    // it is active: a request made before the window manager has taken the
    // new window on is dropped.
    bool activateByXdotool(quint64 window)
    {
        const QString id = QString::number(window);
        return XvfbServer::waitUntil([&] {
            server_->run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), id});
            XvfbServer::spin(50);
            return server_->run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).out.trimmed() ==
                   id.toLatin1();
        }, 8000);
    }

    std::unique_ptr<XvfbServer> server_;
};

} // namespace kelvo::testing
