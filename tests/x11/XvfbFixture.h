#pragma once

// A private X server for the tests that need a real display: Xvfb on a free
// display number (chosen by the server itself through -displayfd),
// optionally with the openbox window manager, and helpers to run X clients
// against it. Everything started here is stopped when the server object goes.

#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

#include <memory>

namespace kelvo::testing {

class XvfbServer : public TestClients {
public:
    explicit XvfbServer(QStringList extraArguments = {}) : extraArguments_(std::move(extraArguments)) {}
    ~XvfbServer() override { stop(); }

    // Starts Xvfb; true once it accepts connections, which is when it writes
    // its display number to the descriptor named by -displayfd.
    bool start()
    {
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start(QStringLiteral("Xvfb"), QStringList{"-displayfd", "1", "-screen", "0", "1280x800x24",
                                                          "-nolisten", "tcp", "-noreset"} + extraArguments_);
        const QDeadlineTimer deadline(15000);
        while (!server_.canReadLine() && server_.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        if (!server_.canReadLine())
            return false;
        display_ = u':' + QString::fromLatin1(server_.readLine().trimmed());
        qputenv("DISPLAY", display_.toLocal8Bit());
        return true;
    }

    void stop()
    {
        stopClients();
        if (server_.state() == QProcess::NotRunning)
            return;
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(3000);
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

    // Starts openbox and waits until it manages the screen (it then names
    // its check window on the root).
    bool startWindowManager()
    {
        return startClient(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}) && waitUntil([this] {
            return run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}).out.contains("window id");
        }, 10000);
    }

private:
    QStringList extraArguments_;
    QProcess server_;
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

    // Starts a program and returns its top-level window once it is shown.
    quint64 startWindow(const QString &program, const QStringList &args, const QString &wmClass,
                        qint64 *pid = nullptr)
    {
        QProcess *p = server_->startClient(program, args);
        EXPECT_TRUE(p) << program.toStdString();
        if (!p)
            return 0;
        if (pid)
            *pid = p->processId();
        return xdotool({"search", "--sync", "--onlyvisible", "--classname", wmClass}).split('\n').last().toULongLong();
    }

    // Asks the window manager (through xdotool) to activate a window until
    // it is active: a request made before the window manager has taken the
    // new window on is dropped.
    bool activateByXdotool(quint64 window)
    {
        const QByteArray id = QByteArray::number(window);
        return XvfbServer::waitUntil([&] {
            if (server_->run(QStringLiteral("xdotool"), {"getactivewindow"}).out.trimmed() == id)
                return true;
            server_->run(QStringLiteral("xdotool"), {"windowactivate", QString::fromLatin1(id)});
            return false;
        }, 8000);
    }

    // What a selection holds as `target`, read with xclip.
    TestClients::Result xclipRead(const QString &target, const QString &selection = QStringLiteral("clipboard"))
    {
        return server_->run(QStringLiteral("xclip"), {"-o", "-selection", selection, "-t", target});
    }

    // Copies `data` as `target` with xclip, whose background copy goes on
    // owning the clipboard. xclip returns before that copy owns it: waits
    // until the clipboard serves these bytes (or, for big data, the target).
    void xclipCopy(const QByteArray &data, const QString &target = QStringLiteral("UTF8_STRING"))
    {
        ASSERT_EQ(server_->run("xclip", {"-selection", "clipboard", "-t", target, "-i"}, data).exitCode, 0);
        const bool small = data.size() <= 64 * 1024;
        ASSERT_TRUE(XvfbServer::waitUntil([&] {
            const auto read = xclipRead(small ? target : QStringLiteral("TARGETS"));
            return read.exitCode == 0 && (small ? read.out == data : read.out.split('\n').contains(target.toLatin1()));
        }, 5000)) << "xclip did not take the clipboard";
    }

    std::unique_ptr<XvfbServer> server_;
};

} // namespace kelvo::testing
