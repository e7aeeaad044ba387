#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

namespace kelvo {

// Turns asynchronous Unix signals (SIGTERM, SIGINT, SIGHUP ...) into a Qt
// signal on the thread that created the bridge, so that the program can end
// through its normal quit path (writing a pending save first) instead of
// dying inside a signal handler. The handler itself only writes one byte to
// a pipe, which is async-signal-safe.
class SignalBridge : public QObject {
    Q_OBJECT
public:
    // Only one bridge per process; installs handlers for `signalNumbers`.
    explicit SignalBridge(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalBridge() override; // restores the default dispositions

signals:
    void received(int signal);

private:
    void drain();
    QSocketNotifier *notifier_ = nullptr;
    QList<int> signals_;
};

} // namespace kelvo
