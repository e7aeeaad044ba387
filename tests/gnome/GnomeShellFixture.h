#pragma once

// A private headless GNOME Shell for the tests that need GNOME's
// compositor, with the extensions a test names enabled before it starts and
// the tests' own helper extension (tests/gnome/helper: keys, clicks,
// windows, screenshots) beside them. GNOME Shell refuses to run as root, so
// under root it runs as the throwaway user of TestUser.h, with a private
// system bus and session bus (the shell aborts without a system bus), all
// three under `timeout`. Clients run as the test's own user and reach the
// shell through absolute paths; the test talks to the session bus through
// bus().
//
// Xwayland needs /tmp/.X11-unix to be root's and 1777 (tools/test.sh makes
// it so).

#include "support/CompositorProcess.h"
#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariantMap>

#include <sys/stat.h>

namespace kelvo::testing {


class GnomeShellServer : public TestClients {
    static constexpr const char *kBuses[2] = {"session", "system"};

public:
    GnomeShellServer() { quietClients_ = true; }
    ~GnomeShellServer() override { stop(); }

    // Starts the shell with the extensions of `extensionDirs` (each a
    // folder named by its uuid); true once the helper answers and the shell
    // has left its overview. On failure error() says why.
    bool start(const QStringList &extensionDirs)
    {
        struct stat x11{};
        if (stat("/tmp/.X11-unix", &x11) != 0 || x11.st_uid != 0 || (x11.st_mode & 07777) != 01777)
            return fail("/tmp/.X11-unix must be root's with mode 1777 for Xwayland (tools/test.sh makes it so)");
        const QString extensions = path("home/.local/share/gnome-shell/extensions");
        QStringList uuids;
        for (const QString &dir : extensionDirs + QStringList{QStringLiteral(KELVO_GNOME_HELPER_DIR)}) {
            const QString uuid = QFileInfo(dir).fileName();
            if (!copyTree(dir, extensions + QLatin1Char('/') + uuid))
                return fail("cannot copy the extension " + dir);
            uuids << QLatin1Char('\'') + uuid + QLatin1Char('\'');
        }
        // The shell reads its settings from a key file: no dconf service.
        write("home/.config/glib-2.0/settings/keyfile",
              "[org/gnome/shell]\ndisable-user-extensions=false\nenabled-extensions=[" + uuids.join(u',').toUtf8()
                  + "]\nwelcome-dialog-last-shown-version='999'\n");
        for (const char *bus : kBuses)
            write(bus + QStringLiteral(".conf"),
                  "<busconfig><type>session</type><listen>unix:path=" + path(QLatin1String(bus)).toUtf8()
                      + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                        "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                        "<allow own=\"*\"/></policy></busconfig>");
        QDir(dir_.path()).mkpath(QStringLiteral("run"));
        QDir(dir_.path()).mkpath(QStringLiteral("shots"));
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QStringList owned = {dir_.path()};
        for (QDirIterator it(dir_.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            owned << it.next();
        for (int i = 0; i < 2; ++i)
            if (!buses_[i].start({QStringLiteral("dbus-daemon"), QStringLiteral("--nofork"),
                                  "--config-file=" + path(kBuses[i] + QStringLiteral(".conf"))},
                                 owned, path(kBuses[i] + QStringLiteral(".log")), &error_))
                return false;
        if (!waitUntil([&] { return QFileInfo::exists(path("session")) && QFileInfo::exists(path("system")); }, 10000))
            return fail("the buses did not start: " + buses_[0].log() + buses_[1].log());
        const QString home = path("home");
        shell_.start({QStringLiteral("-i"), QStringLiteral("PATH=/usr/bin:/bin"), "HOME=" + home,
                      "XDG_RUNTIME_DIR=" + path("run"), "XDG_CONFIG_HOME=" + home + "/.config",
                      "XDG_DATA_HOME=" + home + "/.local/share", "XDG_CACHE_HOME=" + home + "/.cache",
                      QStringLiteral("GSETTINGS_BACKEND=keyfile"), "DBUS_SESSION_BUS_ADDRESS=" + busAddress(),
                      "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + path("system"), QStringLiteral("gnome-shell"),
                      QStringLiteral("--wayland"), QStringLiteral("--headless"), QStringLiteral("--virtual-monitor"),
                      QStringLiteral("1280x800")},
                     {}, path("shell.log"), &error_);
        bus_ = QDBusConnection::connectToBus(busAddress(), QStringLiteral("kelvo-gnome-test"));
        auto helperUp = [&] {
            return bus_.isConnected() && bus_.interface()->isServiceRegistered(QStringLiteral("io.github.kelvo.ShellTest"));
        };
        if (!waitUntil([&] { return helperUp() || !shell_.running(); }, 60000) || !shell_.running())
            return fail("the shell did not come up; its log: " + shell_.log());
        // New windows get no focus in the overview the shell shows at the
        // end of its start.
        auto ready = [&] {
            helper(QStringLiteral("HideOverview"));
            return helper(QStringLiteral("Ready")).arguments().value(0).toBool();
        };
        if (!waitUntil(ready, 20000))
            return fail("the shell did not leave its overview");
        const QDBusMessage env = helper(QStringLiteral("Environment"));
        if (!env.arguments().isEmpty())
            shellEnv_ = qdbus_cast<QMap<QString, QString>>(env.arguments().first());
        return !shellEnv_.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() || fail("no Wayland display");
    }

    void stop()
    {
        stopClients();
        shell_.stop();
        for (CompositorProcess &bus : buses_)
            bus.stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("kelvo-gnome-test"));
    }

    QString error() const { return error_; }
    QString log() const { return shell_.log(); }
    QString busAddress() const { return "unix:path=" + path("session"); }
    // The test's own connection to the shell's session bus.
    QDBusConnection &bus() { return bus_; }
    // Where the shell may write a screenshot.
    QString shotPath(const QString &name) const { return path("shots/" + name); }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), path("run/") + shellEnv_.value(QStringLiteral("WAYLAND_DISPLAY")));
        env.insert(QStringLiteral("DISPLAY"), shellEnv_.value(QStringLiteral("DISPLAY")));
        env.insert(QStringLiteral("XAUTHORITY"), shellEnv_.value(QStringLiteral("XAUTHORITY")));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress());
        // Clients keep their files (an editor's sessions) to themselves.
        for (const char *name : {"client/run", "client/config", "client/data", "client/cache"})
            QDir(dir_.path()).mkpath(QLatin1String(name));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("client/run"));
        env.insert(QStringLiteral("HOME"), path("client"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("client/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path("client/data"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path("client/cache"));
        // Toolkits on their Wayland backends; GTK keeps its settings in memory.
        env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        return env;
    }

    // A method of the helper extension, waited for.
    QDBusMessage helper(const QString &method, const QVariantList &args = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("io.github.kelvo.ShellTest"),
                                                           QStringLiteral("/io/github/kelvo/ShellTest"),
                                                           QStringLiteral("io.github.kelvo.ShellTest"), method);
        call.setArguments(args);
        return bus_.call(call, QDBus::Block, 10000);
    }

    // Presses a combination of key symbol names ({"Super_L", "Shift_L",
    // "v"}), releasing it in the reverse order.
    void pressKeys(const QStringList &keys) { helper(QStringLiteral("Keys"), {keys}); }

    // The shell's windows: title, wmClass, app, pid, x, y, width, height,
    // focused, above, sticky, type.
    QList<QVariantMap> windows()
    {
        QList<QVariantMap> list;
        const QDBusMessage reply = helper(QStringLiteral("Windows"));
        if (reply.arguments().isEmpty())
            return list;
        const QDBusArgument array = reply.arguments().first().value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QVariantMap window;
            array >> window;
            list.append(window);
        }
        array.endArray();
        return list;
    }

    std::optional<QVariantMap> focusedWindow()
    {
        for (const QVariantMap &window : windows())
            if (window.value(QStringLiteral("focused")).toBool())
                return window;
        return std::nullopt;
    }

private:
    bool fail(const QString &why)
    {
        error_ = why;
        return false;
    }
    QString path(const QString &relative) const { return dir_.filePath(relative); }
    void write(const QString &relative, const QByteArray &contents)
    {
        QDir(dir_.path()).mkpath(QFileInfo(relative).path());
        QFile file(path(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(contents);
    }
    static bool copyTree(const QString &from, const QString &to)
    {
        if (!QDir().mkpath(to))
            return false;
        for (QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString source = it.next();
            const QString target = to + source.mid(from.size());
            if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(source, target))
                return false;
        }
        return true;
    }

    QTemporaryDir dir_{QStringLiteral("/tmp/kelvo-gnome-XXXXXX")};
    CompositorProcess buses_[2];
    CompositorProcess shell_;
    QDBusConnection bus_{QString()};
    QMap<QString, QString> shellEnv_;
    QString error_;
};

// Base of the tests against GNOME Shell: one shell per test (each test runs
// in a process of its own under CTest) with Kelvo's extension, and a Qt
// application object for the event loop.
class GnomeShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "kelvo-gnome-test";
            static char *argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        server_ = std::make_unique<GnomeShellServer>();
        ASSERT_TRUE(server_->start({QStringLiteral(KELVO_GNOME_EXTENSION_DIR)})) << server_->error().toStdString();
        // Kelvo's extension loads its modules after the shell has enabled it.
        ASSERT_TRUE(server_->waitUntil([&] { return server_->bus().interface()->isServiceRegistered(QStringLiteral("io.github.kelvo.Shell")); }, 20000))
            << "Kelvo's extension is not on the bus: " << server_->log().toStdString();
    }

    void TearDown() override { server_.reset(); }

    GnomeShellServer &server() { return *server_; }

private:
    std::unique_ptr<GnomeShellServer> server_;
};

} // namespace kelvo::testing
