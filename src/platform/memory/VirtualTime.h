#pragma once

#include "platform/Clock.h"
#include "platform/Scheduler.h"

#include <QList>

#include <functional>
#include <memory>

namespace kelvo::memory {

// A controllable clock and event loop: time moves only when a test calls
// advance(); posted tasks and due timers run in order of their due time, and
// in order of scheduling among equal times. Also serves as a background queue
// whose tasks run inline when their time comes (see VirtualBackgroundQueue).
class VirtualTime : public Clock, public MainLoop {
public:
    explicit VirtualTime(Timestamp start = 800000000.0);
    ~VirtualTime() override;

    // Clock
    Timestamp now() const override;
    qint64 monotonicMs() const override { return elapsedMs_; }

    // MainLoop
    void post(std::function<void()> task) override;
    TaskHandle after(int milliseconds, std::function<void()> task) override;
    TaskHandle every(int milliseconds, std::function<void()> task) override;

    // Runs everything due now (posted tasks included), repeatedly, until
    // nothing due is left.
    void runPending();
    // Moves time forward step by step to each due task, running it, until
    // `milliseconds` have passed; then runs what is due at the end.
    void advance(qint64 milliseconds);
    // Sets the wall clock without running anything (the monotonic time
    // does not move).
    void setWallClock(Timestamp t) { wallStart_ = t - elapsedMs_ / 1000.0; }

    // Number of tasks that are scheduled and not cancelled.
    int pendingCount() const;

private:
    struct Task;
    TaskHandle schedule(qint64 dueMs, qint64 intervalMs, std::function<void()> fn);
    bool runOneDue(qint64 limitMs);

    Timestamp wallStart_;
    qint64 elapsedMs_ = 0;
    quint64 nextSeq_ = 0;
    QList<std::shared_ptr<Task>> tasks_;
};

// A background queue on virtual time: a task runs inline, on the test's
// thread, when VirtualTime reaches its due time. Optionally holds due tasks
// back until release() to model a slow writer.
class VirtualBackgroundQueue : public BackgroundQueue {
public:
    explicit VirtualBackgroundQueue(VirtualTime &time) : time_(time) {}
    TaskHandle after(int milliseconds, std::function<void()> task) override;
    void flush() override;
    int flushCount() const { return flushCount_; }

private:
    struct Job;
    VirtualTime &time_;
    QList<std::shared_ptr<Job>> pending_;
    int flushCount_ = 0;
};

} // namespace kelvo::memory
