#include "platform/unix/SignalBridge.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

int argc = 1;
char arg0[] = "test";
char *argv[] = {arg0, nullptr};

TEST(SignalBridge, DeliversTerminationSignalsToTheEventLoop)
{
    QCoreApplication app(argc, argv);
    QList<int> seen;
    {
        kelvo::SignalBridge bridge({SIGTERM, SIGINT});
        QObject::connect(&bridge, &kelvo::SignalBridge::received, [&](int s) {
            seen.append(s);
            if (seen.size() == 2)
                app.quit();
        });
        QTimer::singleShot(0, [] {
            ::raise(SIGTERM); // would end the test process without the bridge
            ::raise(SIGINT);
        });
        QTimer::singleShot(5000, &app, &QCoreApplication::quit); // the deadline: never wait for ever
        app.exec();
    }
    EXPECT_EQ(seen, (QList<int>{SIGTERM, SIGINT}));

    // After the bridge is gone the default disposition is back.
    struct sigaction current = {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
