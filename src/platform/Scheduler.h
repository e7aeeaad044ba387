#pragma once

#include <functional>
#include <memory>

namespace kelvo {

// A task that can be cancelled before it has started.
class Cancellable {
public:
    virtual ~Cancellable() = default;
    virtual void cancel() = 0;
};
using TaskHandle = std::shared_ptr<Cancellable>;

// The main thread's event loop: later turns, one-shot delays and repeating
// timers. Every callback runs on the main thread. post() may be called from
// any thread.
class MainLoop {
public:
    virtual ~MainLoop() = default;
    virtual void post(std::function<void()> task) = 0;
    virtual TaskHandle after(int milliseconds, std::function<void()> task) = 0;
    virtual TaskHandle every(int milliseconds, std::function<void()> task) = 0;
};

// A serial background queue: tasks run one after the other, off the main
// thread, in the order they became due.
class BackgroundQueue {
public:
    virtual ~BackgroundQueue() = default;
    virtual TaskHandle after(int milliseconds, std::function<void()> task) = 0;
    // Blocks until every task that is due or running has finished; tasks
    // still waiting for their delay run at once. Used at exit.
    virtual void flush() = 0;
};

} // namespace kelvo
