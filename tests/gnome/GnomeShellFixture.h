#pragma once

// A private headless GNOME Shell for the tests that need GNOME's
// compositor, started as the end-to-end scripts start it (e2e_start_gnome in
// tests/e2e/lib.sh: the throwaway user under root, private system and
// session buses, everything under `timeout`), with Kelvo's extension and the
// tests' helper extension (tests/gnome/helper: keys, clicks, windows,
// screenshots) enabled. Clients run as the test's own user with the
// environment the script hands over; the test talks to the session bus
// through bus().

#include "support/ServerTest.h"
#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QVariantMap>

#include <csignal>
#include <sys/prctl.h>

namespace kelvo::testing {

class GnomeShellServer : public TestClients {
public:
    GnomeShellServer() { quietClients_ = true; }
    ~GnomeShellServer() override { stop(); }

    // Kelvo's extension as the shell starts.
    enum class Kelvo { Enabled, Off, Absent } kelvo = Kelvo::Enabled;

    // True once the shell has left its overview with the extensions that
    // are on on the bus. On failure error() says why.
    bool start()
    {
        const QString envFile = dir_.filePath(QStringLiteral("env"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("E2E_GNOME_ENV"), envFile);
        env.insert(QStringLiteral("E2E_GNOME_OFF"), kelvo == Kelvo::Off ? QStringLiteral("kelvo@kelvo.github.io") : QString());
        script_.setProcessEnvironment(env);
        script_.setProcessChannelMode(QProcess::MergedChannels);
        script_.setStandardOutputFile(dir_.filePath(QStringLiteral("log")));
        // Should the test die, the script stops the shell as it ends.
        script_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        script_.start(QStringLiteral("bash"),
                      {QStringLiteral("-c"),
                       QStringLiteral("trap exit TERM; . \"$1\"; e2e_start_gnome 600 \"$2\" ${3:+\"$3\"};"
                                      "env > \"$E2E_GNOME_ENV.new\" && mv \"$E2E_GNOME_ENV.new\" \"$E2E_GNOME_ENV\"; wait"),
                       QStringLiteral("gnome-shell-fixture"), QStringLiteral(KELVO_E2E_LIB), QStringLiteral(KELVO_GNOME_HELPER_DIR),
                       kelvo == Kelvo::Absent ? QString() : QStringLiteral(KELVO_GNOME_EXTENSION_DIR)});
        if (!waitUntil([&] { return QFile::exists(envFile) || script_.state() == QProcess::NotRunning; }, 90000)
            || !QFile::exists(envFile))
            return fail("the shell did not start: " + log());
        QFile file(envFile);
        file.open(QIODevice::ReadOnly);
        for (const QByteArray &line : file.readAll().split('\n'))
            if (const qsizetype eq = line.indexOf('='); eq > 0)
                env_.insert(QString::fromLocal8Bit(line.left(eq)), QString::fromLocal8Bit(line.mid(eq + 1)));
        bus_ = QDBusConnection::connectToBus(env_.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")),
                                             QStringLiteral("kelvo-gnome-test"));
        // Kelvo's extension loads its modules after the shell enabled it.
        return kelvo != Kelvo::Enabled
            || waitUntil([&] { return bus_.interface()->isServiceRegistered(QStringLiteral("io.github.kelvo.Shell")); },
                         20000)
            || fail("Kelvo's extension is not on the bus");
    }

    void stop()
    {
        stopClients();
        if (script_.state() != QProcess::NotRunning) {
            script_.terminate();
            script_.waitForFinished(15000);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("kelvo-gnome-test"));
    }

    QString error() const { return error_; }
    QString log() const
    {
        QFile f(dir_.filePath(QStringLiteral("log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }
    QString busAddress() const { return env_.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); }
    // The test's own connection to the shell's session bus.
    QDBusConnection &bus() { return bus_; }
    QProcessEnvironment environment() const override { return env_; }
    // Where the shell finds the extensions of its user.
    QString dataHome() const { return env_.value(QStringLiteral("E2E_GNOME_DIR")) + QStringLiteral("/home/.local/share"); }

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

    // The window with the keyboard (title, wmClass, app, pid, x, y, width,
    // height, above, sticky).
    std::optional<QVariantMap> focusedWindow()
    {
        const QJsonArray windows =
            QJsonDocument::fromJson(helper(QStringLiteral("Windows")).arguments().value(0).toByteArray()).array();
        for (const QJsonValue &window : windows)
            if (window[QLatin1String("focused")].toBool())
                return window.toObject().toVariantMap();
        return std::nullopt;
    }

private:
    bool fail(const QString &why)
    {
        error_ = why;
        return false;
    }

    QTemporaryDir dir_;
    QProcess script_;
    QProcessEnvironment env_;
    QDBusConnection bus_{QString()};
    QString error_;
};

class GnomeShellTest : public ServerTest<GnomeShellServer> {};

} // namespace kelvo::testing
