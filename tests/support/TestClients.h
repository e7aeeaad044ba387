#pragma once

// Programs run by the tests against a private display server (X11 or
// Wayland): clients that keep running until the server goes, clients run to
// their end under a time limit, and waiting for a condition with a deadline.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

namespace kelvo::testing {

class TestClients {
public:
    virtual ~TestClients() { stopClients(); }

    // The environment every client gets: the server's display.
    virtual QProcessEnvironment environment() const = 0;

    // Starts a client that keeps running; it is stopped with the server.
    QProcess *startClient(const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &env = {})
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env.isEmpty() ? environment() : env);
        if (quietClients_)
            process->setStandardErrorFile(QProcess::nullDevice());
        else
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->start(program, arguments);
        if (!process->waitForStarted(10000))
            return nullptr;
        clients_.push_back(std::move(process));
        return clients_.back().get();
    }

    struct Result {
        int exitCode = -1;
        QByteArray out;
    };
    // Runs a client to its end (killed when it takes longer than timeoutMs).
    // The event loop keeps turning meanwhile: the client may be talking to
    // this process (reading the clipboard it owns).
    Result run(const QString &program, const QStringList &arguments, const QByteArray &input = {},
               int timeoutMs = 15000)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        if (!process.waitForStarted(timeoutMs))
            return {};
        if (!input.isNull())
            process.write(input);
        process.closeWriteChannel();
        QByteArray out;
        const bool ended = waitUntil([&] {
            out += process.readAllStandardOutput();
            // waitForFinished also moves the pipes along; its 5 ms are the
            // poll interval inside the deadline.
            return process.state() == QProcess::NotRunning || process.waitForFinished(5);
        }, timeoutMs);
        if (!ended) {
            process.kill();
            process.waitForFinished(3000);
            return {};
        }
        const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return {code, out + process.readAllStandardOutput()};
    }

    // Runs the Qt event loop until `condition` holds or the time is up.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(10); // the poll interval inside the deadline above
        }
        return true;
    }

    // Keeps the event loop running for a while (to see that nothing comes).
    static void spin(int ms)
    {
        waitUntil([] { return false; }, ms);
    }

protected:
    void stopClients()
    {
        for (auto &client : clients_) {
            if (client->state() != QProcess::NotRunning) {
                client->kill();
                client->waitForFinished(3000);
            }
        }
        clients_.clear();
    }

    // Clients' error output goes nowhere instead of into the test's.
    bool quietClients_ = false;

private:
    std::vector<std::unique_ptr<QProcess>> clients_;
};

} // namespace kelvo::testing
