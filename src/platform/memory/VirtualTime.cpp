#include "platform/memory/VirtualTime.h"

#include <algorithm>
#include <limits>

namespace kelvo::memory {

struct VirtualTime::Task : Cancellable {
    qint64 dueMs = 0;
    qint64 intervalMs = 0; // 0: one-shot
    quint64 seq = 0;
    bool cancelled = false;
    std::function<void()> fn;
    void cancel() override { cancelled = true; }
};

VirtualTime::VirtualTime(Timestamp start) : wallStart_(start) {}
VirtualTime::~VirtualTime() = default;

Timestamp VirtualTime::now() const
{
    return wallStart_ + double(elapsedMs_) / 1000.0;
}

TaskHandle VirtualTime::schedule(qint64 dueMs, qint64 intervalMs, std::function<void()> fn)
{
    auto task = std::make_shared<Task>();
    task->dueMs = dueMs;
    task->intervalMs = intervalMs;
    task->seq = nextSeq_++;
    task->fn = std::move(fn);
    tasks_.append(task);
    return task;
}

void VirtualTime::post(std::function<void()> task)
{
    schedule(elapsedMs_, 0, std::move(task));
}

TaskHandle VirtualTime::after(int milliseconds, std::function<void()> task)
{
    return schedule(elapsedMs_ + std::max(0, milliseconds), 0, std::move(task));
}

TaskHandle VirtualTime::every(int milliseconds, std::function<void()> task)
{
    const qint64 interval = std::max(1, milliseconds);
    return schedule(elapsedMs_ + interval, interval, std::move(task));
}

bool VirtualTime::runOneDue(qint64 limitMs)
{
    tasks_.removeIf([](const std::shared_ptr<Task> &t) { return t->cancelled; });
    std::shared_ptr<Task> next;
    for (const auto &t : tasks_) {
        if (t->dueMs > limitMs)
            continue;
        if (!next || t->dueMs < next->dueMs || (t->dueMs == next->dueMs && t->seq < next->seq))
            next = t;
    }
    if (!next)
        return false;
    elapsedMs_ = std::max(elapsedMs_, next->dueMs);
    if (next->intervalMs > 0) {
        next->dueMs += next->intervalMs;
        next->seq = nextSeq_++;
    } else {
        tasks_.removeOne(next);
    }
    auto fn = next->fn; // the task may cancel itself while running
    fn();
    return true;
}

void VirtualTime::runPending()
{
    while (runOneDue(elapsedMs_)) {
    }
}

void VirtualTime::advance(qint64 milliseconds)
{
    const qint64 end = elapsedMs_ + std::max<qint64>(0, milliseconds);
    while (runOneDue(end)) {
    }
    elapsedMs_ = end;
}

int VirtualTime::pendingCount() const
{
    return int(std::count_if(tasks_.begin(), tasks_.end(),
                             [](const std::shared_ptr<Task> &t) { return !t->cancelled; }));
}

struct VirtualBackgroundQueue::Job : Cancellable {
    std::function<void()> fn;
    TaskHandle timer;
    bool done = false;
    void cancel() override
    {
        done = true;
        if (timer)
            timer->cancel();
    }
    void run()
    {
        if (done)
            return;
        done = true;
        auto f = std::move(fn);
        f();
    }
};

TaskHandle VirtualBackgroundQueue::after(int milliseconds, std::function<void()> task)
{
    auto job = std::make_shared<Job>();
    job->fn = std::move(task);
    std::weak_ptr<Job> weak = job;
    job->timer = time_.after(milliseconds, [weak] {
        if (auto j = weak.lock())
            j->run();
    });
    pending_.removeIf([](const std::shared_ptr<Job> &j) { return j->done; });
    pending_.append(job);
    return job;
}

void VirtualBackgroundQueue::flush()
{
    ++flushCount_;
    // Run what is still waiting for its delay, in scheduling order.
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto &job : pending) {
        if (job->timer)
            job->timer->cancel();
        job->run();
    }
}

} // namespace kelvo::memory
