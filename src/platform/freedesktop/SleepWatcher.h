#pragma once

#include <QDBusConnection>
#include <QObject>

namespace kelvo::freedesktop {

// News of the machine waking from suspend, from logind (the Manager's
// PrepareForSleep signal on the system bus). Where no system bus or logind
// runs, it stays silent.
class SleepWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SleepWatcher(QDBusConnection systemBus, QObject *parent = nullptr);

    bool isWatching() const { return watching_; }

signals:
    void resumed();

private slots:
    void prepareForSleep(bool start);

private:
    bool watching_ = false;
};

} // namespace kelvo::freedesktop
