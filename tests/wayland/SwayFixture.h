#pragma once

// A private headless sway for the tests that need a real Wayland compositor.
// sway refuses to run as root, so under root it runs as the throwaway user
// of TestUser.h; otherwise as the current user. It gets a private runtime
// directory (see CompositorServer.h). Clients run as the test's own user and
// reach the compositor through the socket's absolute path.

#include "support/CompositorServer.h"
#include "support/ServerTest.h"
#include "support/TestUser.h"

#include <gtest/gtest.h>

#include <QDir>

namespace kelvo::testing {

class SwayServer : public CompositorServer {
public:
    SwayServer() : CompositorServer("/tmp/kelvo-sway-XXXXXX") { quietClients_ = true; }

    // Starts sway; true once it answers on its sockets. On failure error()
    // says why.
    bool start()
    {
        QFile config(dir_.filePath(QStringLiteral("config")));
        if (!dir_.isValid() || !config.open(QIODevice::WriteOnly))
            return fail("no runtime directory");
        config.write("xwayland disable\noutput HEADLESS-1 resolution 1280x800\ndefault_border none\n");
        config.close();
        QStringList args;
        QString why;
        if (!compositorUserPrefix({dir_.path(), config.fileName()}, &args, &why))
            return fail(why);
        args << QStringLiteral("env") << QStringLiteral("XDG_RUNTIME_DIR=") + dir_.path()
             << QStringLiteral("WLR_BACKENDS=headless") << QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1")
             << QStringLiteral("WLR_RENDERER=pixman") << QStringLiteral("sway") << QStringLiteral("-c")
             << config.fileName();
        startUnderTimeout(args, QStringLiteral("sway"));
        socket_ = dir_.filePath(QStringLiteral("wayland-1"));
        // sway opens its IPC socket after the Wayland one, and answers on
        // it once its event loop runs: then both are up.
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
    QString socket_;
};

class SwayTest : public ServerTest<SwayServer> {};

} // namespace kelvo::testing
