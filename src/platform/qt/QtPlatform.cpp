#include "platform/qt/QtPlatform.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

// ---- clock ---------------------------------------------------------------

Timestamp SystemClock::now() const
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - kUnixToReferenceOffset;
}

qint64 SystemClock::monotonicMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---- main loop -----------------------------------------------------------

namespace {
class TimerHandle : public Cancellable {
public:
    explicit TimerHandle(QTimer *timer) : timer_(timer) {}
    ~TimerHandle() override = default;
    void cancel() override
    {
        if (timer_) {
            timer_->stop();
            timer_->deleteLater();
            timer_.clear();
        }
    }

private:
    QPointer<QTimer> timer_;
};
} // namespace

QtMainLoop::QtMainLoop() : context_(new QObject) {}
QtMainLoop::~QtMainLoop() { delete context_; }

void QtMainLoop::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
}

TaskHandle QtMainLoop::after(int milliseconds, std::function<void()> task)
{
    auto *timer = new QTimer(context_);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, task = std::move(task)] {
        timer->deleteLater();
        task();
    });
    timer->start(milliseconds);
    return std::make_shared<TimerHandle>(timer);
}

TaskHandle QtMainLoop::every(int milliseconds, std::function<void()> task)
{
    auto *timer = new QTimer(context_);
    QObject::connect(timer, &QTimer::timeout, timer, std::move(task));
    timer->start(milliseconds);
    return std::make_shared<TimerHandle>(timer);
}

// ---- background queue ----------------------------------------------------

struct SerialBackgroundQueue::Job : Cancellable {
    std::chrono::steady_clock::time_point due;
    quint64 seq = 0;
    std::function<void()> fn;
    std::atomic<bool> cancelled{false};
    void cancel() override { cancelled = true; }
};

SerialBackgroundQueue::SerialBackgroundQueue() : worker_([this] { run(); }) {}

SerialBackgroundQueue::~SerialBackgroundQueue()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

TaskHandle SerialBackgroundQueue::after(int milliseconds, std::function<void()> task)
{
    auto job = std::make_shared<Job>();
    job->due = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, milliseconds));
    job->fn = std::move(task);
    {
        std::lock_guard lock(mutex_);
        job->seq = seq_++;
        auto pos = std::upper_bound(jobs_.begin(), jobs_.end(), job, [](const auto &a, const auto &b) {
            return a->due < b->due || (a->due == b->due && a->seq < b->seq);
        });
        jobs_.insert(pos, job);
    }
    wake_.notify_all();
    return job;
}

void SerialBackgroundQueue::flush()
{
    std::unique_lock lock(mutex_);
    // Everything waiting becomes due now, keeping its order.
    const auto now = std::chrono::steady_clock::now();
    for (auto &job : jobs_)
        if (job->due > now)
            job->due = now;
    wake_.notify_all();
    idle_.wait(lock, [this] { return (jobs_.empty() && !running_) || stop_; });
}

void SerialBackgroundQueue::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop_)
            return;
        if (jobs_.empty()) {
            idle_.notify_all();
            wake_.wait(lock);
            continue;
        }
        auto job = jobs_.front();
        if (job->cancelled) {
            jobs_.pop_front();
            continue;
        }
        if (job->due > std::chrono::steady_clock::now()) {
            wake_.wait_until(lock, job->due);
            continue;
        }
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        if (!job->cancelled)
            job->fn();
        job->fn = nullptr;
        lock.lock();
        running_ = false;
    }
}

// ---- files ---------------------------------------------------------------

LocalFileSystem::LocalFileSystem(QString applicationSupport) : root_(std::move(applicationSupport)) {}

bool LocalFileSystem::exists(const QString &path) const
{
    return QFileInfo::exists(path);
}

FileError LocalFileSystem::move(const QString &from, const QString &to)
{
    if (!QFileInfo::exists(from))
        return QStringLiteral("No such file or directory: ") + from;
    if (QFileInfo::exists(to))
        return QStringLiteral("File exists: ") + to;
    if (!QDir().rename(from, to))
        return QStringLiteral("Could not move ") + from + QStringLiteral(" to ") + to;
    return std::nullopt;
}

FileError LocalFileSystem::createDirectories(const QString &path, bool privateMode)
{
    if (!QDir().mkpath(path))
        return QStringLiteral("Could not create directory ") + path;
    if (privateMode && ::chmod(QFile::encodeName(path).constData(), 0700) != 0)
        return QStringLiteral("Could not restrict directory ") + path;
    return std::nullopt;
}

std::optional<QByteArray> LocalFileSystem::read(const QString &path, QString *error) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

namespace {

// The descriptor keeps the opened inode (and so its bytes) alive after the
// path is replaced or removed.
class DescriptorFile : public ReadableFile {
public:
    DescriptorFile(int fd, qint64 size) : fd_(fd), size_(size) {}
    ~DescriptorFile() override { ::close(fd_); }

    qint64 size() const override { return size_; }

    bool read(qint64 offset, qint64 size, char *out) const override
    {
        if (offset < 0 || size < 0 || offset > size_ || size > size_ - offset)
            return false;
        while (size > 0) {
            const ssize_t n = ::pread(fd_, out, size_t(size), off_t(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            out += n;
            offset += n;
            size -= n;
        }
        return true;
    }

    bool scan(const std::function<bool(QByteArrayView)> &pass) const override
    {
        if (size_ == 0)
            return pass(QByteArrayView());
        // Mapped with its pages populated at once: from the page cache this
        // costs no copy, and unmapping leaves nothing of it resident.
        void *map = ::mmap(nullptr, size_t(size_), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, 0);
        if (map == MAP_FAILED) {
            QByteArray bytes(size_, Qt::Uninitialized);
            return read(0, size_, bytes.data()) && pass(bytes);
        }
        const bool result = pass(QByteArrayView(static_cast<const char *>(map), size_));
        ::munmap(map, size_t(size_));
        return result;
    }

private:
    const int fd_;
    const qint64 size_;
};

} // namespace

std::shared_ptr<const ReadableFile> LocalFileSystem::open(const QString &path, QString *error) const
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    return std::make_shared<DescriptorFile>(fd, qint64(info.st_size));
}

FileError LocalFileSystem::writeAtomically(const QString &path, const QByteArray &data, bool privateMode)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (privateMode)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(data) != data.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

// ---- type registry -------------------------------------------------------

std::optional<TypeConformance> MimeTypeRegistry::lookup(const QString &identifier) const
{
    struct Known {
        const char *id;
        TypeConformance conformance;
    };
    static const Known known[] = {
        {"public.utf8-plain-text", {true, false, false}},
        {"public.utf16-external-plain-text", {true, false, false}},
        {"public.utf16-plain-text", {true, false, false}},
        {"public.text", {true, false, false}},
        {"public.plain-text", {true, false, false}},
        {"public.rtf", {true, false, false}},
        {"public.html", {true, false, false}},
        {"public.utf8-tab-separated-values-text", {true, false, false}},
        {"com.apple.flat-rtfd", {false, false, false}},
        {"public.png", {false, true, false}},
        {"public.tiff", {false, true, false}},
        {"public.file-url", {false, false, true}},
        {"public.url", {false, false, true}},
        {"com.adobe.pdf", {false, false, false}},
        {"com.apple.cocoa.pasteboard.color", {false, false, false}},
        {"com.apple.cocoa.pasteboard.character-formatting", {false, false, false}},
        {"com.apple.cocoa.pasteboard.sound", {false, false, false}},
    };
    for (const auto &k : known)
        if (identifier == QLatin1String(k.id))
            return k.conformance;

    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForName(identifier);
    if (!type.isValid())
        return std::nullopt;
    TypeConformance c;
    c.text = type.inherits(QStringLiteral("text/plain"));
    c.image = type.name().startsWith(QLatin1String("image/"));
    c.url = type.name() == QLatin1String("text/uri-list");
    return c;
}

} // namespace kelvo
