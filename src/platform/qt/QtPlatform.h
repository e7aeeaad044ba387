#pragma once

// Implementations of the platform services that need no display: the real
// clock, main loop, background queue, file system and type registry.

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Scheduler.h"
#include "platform/TypeRegistry.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kelvo {

class SystemClock : public Clock {
public:
    Timestamp now() const override;
    qint64 monotonicMs() const override;
};

// The Qt event loop of the thread that created it (the main thread).
class QtMainLoop : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;
    void post(std::function<void()> task) override;
    TaskHandle after(int milliseconds, std::function<void()> task) override;
    TaskHandle every(int milliseconds, std::function<void()> task) override;

private:
    QObject *context_;
};

// One worker thread; tasks run one at a time in order of their due time.
class SerialBackgroundQueue : public BackgroundQueue {
public:
    SerialBackgroundQueue();
    ~SerialBackgroundQueue() override; // runs nothing more, joins the worker
    TaskHandle after(int milliseconds, std::function<void()> task) override;
    void flush() override;

private:
    struct Job;
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::shared_ptr<Job>> jobs_; // sorted by due time
    bool running_ = false;
    bool stop_ = false;
    quint64 seq_ = 0;
    std::thread worker_;
};

// Real files below a root: `applicationSupportDirectory` is fixed at
// construction (the XDG data location in the program, a temporary directory
// in tests).
class LocalFileSystem : public FileSystem {
public:
    explicit LocalFileSystem(QString applicationSupport);
    QString applicationSupportDirectory() const override { return root_; }
    bool exists(const QString &path) const override;
    FileError move(const QString &from, const QString &to) override;
    FileError createDirectories(const QString &path, bool privateMode) override;
    std::optional<QByteArray> read(const QString &path, QString *error) const override;
    std::shared_ptr<const ReadableFile> open(const QString &path, QString *error) const override;
    FileError writeAtomically(const QString &path, const QByteArray &data, bool privateMode) override;

private:
    QString root_;
};

// The standard type identifiers this program knows, the names of the X11 target
// table, and any other name looked up in the shared MIME database.
class MimeTypeRegistry : public TypeRegistry {
public:
    std::optional<TypeConformance> lookup(const QString &identifier) const override;
};

} // namespace kelvo
