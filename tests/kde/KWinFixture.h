#pragma once

// A private headless KWin (kwin_wayland --virtual) with Xwayland, in a
// session bus of its own, for the tests of Kelvo's KWin services.
//
// KWin grants its restricted interfaces (window management, fake input) to
// programs of its own user whose executable a desktop entry lists with
// them, and its session bus serves that user alone. So the test programs run
// as the compositor's user (under root, main reruns them as the throwaway
// user of TestUser.h), and the grant is a desktop entry in a private
// XDG_DATA_DIRS written before KWin starts. KWin runs as a copy of its
// binary: the installed one carries a file capability (cap_sys_resource, for
// realtime scheduling) that a container's bounding set may refuse, and a
// headless KWin does not need it.

#include "support/CompositorServer.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>

namespace kelvo::testing {

class KWinServer : public CompositorServer {
public:
    // KWin's restricted interfaces that Kelvo asks for, as a desktop entry
    // lists them.
    static constexpr const char *kGrant = "org_kde_kwin_fake_input,org_kde_plasma_window_management";

    KWinServer() : CompositorServer("/tmp/kelvo-kwin-XXXXXX") { quietClients_ = true; }

    // Starts KWin on `outputs` outputs of 1280x800 side by side; `granted`
    // are the executables that get the grant (and KWin's screenshots).
    // True once KWin and its Xwayland are up. On failure error() says why.
    bool start(const QStringList &granted, int outputs = 1)
    {
        const QString applications = dir_.filePath(QStringLiteral("data/applications"));
        if (!dir_.isValid() || !QDir().mkpath(applications) || !QDir().mkpath(dir_.filePath(QStringLiteral("home")))
            || !QDir().mkdir(dir_.filePath(QStringLiteral("run"))))
            return fail("no private directories");
        QFile::setPermissions(dir_.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        for (qsizetype i = 0; i < granted.size(); ++i) {
            QFile entry(QStringLiteral("%1/kelvo-test-%2.desktop").arg(applications).arg(i));
            if (!entry.open(QIODevice::WriteOnly))
                return fail("cannot write the grant");
            entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Kelvo test\nExec=%1\n"
                                       "X-KDE-Wayland-Interfaces=%2\n"
                                       "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n")
                            .arg(granted.at(i), QLatin1String(kGrant))
                            .toUtf8());
        }
        const QString kwin = dir_.filePath(QStringLiteral("kwin_wayland"));
        if (!QFile::copy(QStringLiteral("/usr/bin/kwin_wayland"), kwin))
            return fail("no /usr/bin/kwin_wayland (package kwin-wayland)");
        QFile::setPermissions(kwin, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM", "XAUTHORITY"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dir_.filePath(QStringLiteral("data")) + QStringLiteral(":/usr/share"));
        // KWin starts this once Wayland and Xwayland are up: it writes down
        // the X display and its authority file for the test.
        const QString x11 = dir_.filePath(QStringLiteral("x11"));
        const QString announce =
            QStringLiteral("sh -c 'printf \"%s\\n%s\\n\" \"$DISPLAY\" \"$XAUTHORITY\" > %1.tmp && mv %1.tmp %1'").arg(x11);
        const QString script = QStringLiteral("printf %s \"$DBUS_SESSION_BUS_ADDRESS\" > %1 && exec \"$@\"")
                                   .arg(dir_.filePath(QStringLiteral("bus")));
        startUnderTimeout({QStringLiteral("dbus-run-session"), QStringLiteral("--"), QStringLiteral("sh"),
                           QStringLiteral("-c"), script, QStringLiteral("kwin"), kwin, QStringLiteral("--virtual"),
                           QStringLiteral("--width"), QStringLiteral("1280"), QStringLiteral("--height"),
                           QStringLiteral("800"), QStringLiteral("--output-count"), QString::number(outputs),
                           QStringLiteral("--xwayland"), QStringLiteral("--socket"), QStringLiteral("kelvo-kwin"),
                           announce},
                          QStringLiteral("kwin"), env);
        if (!waitUntil([&] { return QFile::exists(x11) || exited(); }, 30000) || exited())
            return fail("KWin did not come up; its log: " + readLog());
        QFile x11File(x11), busFile(dir_.filePath(QStringLiteral("bus")));
        if (!x11File.open(QIODevice::ReadOnly) || !busFile.open(QIODevice::ReadOnly))
            return fail("KWin's session is not announced");
        const QStringList lines = QString::fromLocal8Bit(x11File.readAll()).split(u'\n');
        x11Display_ = lines.value(0);
        xauthority_ = lines.value(1);
        bus_ = QString::fromLocal8Bit(busFile.readAll());
        return true;
    }

    // The compositor's socket, an absolute path usable as WAYLAND_DISPLAY.
    QString display() const { return dir_.filePath(QStringLiteral("run/kelvo-kwin")); }
    QString x11Display() const { return x11Display_; }
    QString busAddress() const { return bus_; }
    // A connection of this process to KWin's session bus.
    QDBusConnection bus() const
    {
        return QDBusConnection::connectToBus(bus_, bus_);
    }
    // Makes KWin's session this process's own: its displays and its bus.
    void enter() const
    {
        const QProcessEnvironment env = environment();
        for (const QString &name : env.keys())
            qputenv(name.toLocal8Bit().constData(), env.value(name).toLocal8Bit());
    }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), display());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("DISPLAY"), x11Display_);
        env.insert(QStringLiteral("XAUTHORITY"), xauthority_);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_);
        env.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dir_.filePath(QStringLiteral("data")) + QStringLiteral(":/usr/share"));
        // Toolkits on their Wayland backends; GTK keeps its settings in memory.
        env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        return env;
    }

private:
    QString x11Display_, xauthority_, bus_;
};

// Base of the tests against KWin: one compositor per test (each test runs in
// a process of its own under CTest), with this test program granted.
class KWinTest : public ::testing::Test {
protected:
    void SetUp() override { startKWin(true); }
    void TearDown() override { server_.reset(); }

    void startKWin(bool granted, int outputs = 1)
    {
        ensureCoreApplication();
        server_ = std::make_unique<KWinServer>();
        const QStringList grant = granted ? QStringList{QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))} : QStringList();
        ASSERT_TRUE(server_->start(grant, outputs)) << server_->error().toStdString();
    }

    KWinServer &server() { return *server_; }

private:
    std::unique_ptr<KWinServer> server_;
};

} // namespace kelvo::testing
