#include "platform/wayland/WaylandPasteboard.h"

#include "platform/Log.h"
#include "platform/MimeSnapshot.h"
#include "platform/wayland/DataControlProtocols.h"

#include "wlr-data-control-unstable-v1-client.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QMetaObject>
#include <QTimer>

#include <wayland-client.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <thread>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kelvo::wayland {

namespace {

// Serving: a reader that takes nothing for this long is dropped.
constexpr int kSendIdleMs = 10000;
constexpr int kChunk = 64 * 1024;

wl_display *connectTo(const QString &displayName)
{
    const QByteArray name = QFile::encodeName(displayName);
    return wl_display_connect(displayName.isEmpty() ? nullptr : name.constData());
}

using SourceData = QList<std::pair<QString, QByteArray>>; // MIME type -> bytes, in order

// The MIME types and bytes a write offers: every MIME type of each type,
// the first occurrence of a type winning.
std::shared_ptr<const SourceData> sourceDataOf(const PasteboardWriteItem &representations)
{
    auto data = std::make_shared<SourceData>();
    QStringList seenTypes, seenMimes;
    for (const PasteboardWriteRepresentation &r : representations) {
        if (seenTypes.contains(r.type))
            continue;
        seenTypes.append(r.type);
        for (const QString &mime : mimeTypesForType(r.type)) {
            if (seenMimes.contains(mime))
                continue;
            seenMimes.append(mime);
            if (r.type == PasteboardType::String && mime == QLatin1String("STRING"))
                data->append({mime, QString::fromUtf8(r.data).toLatin1()});
            else
                data->append({mime, r.data});
        }
    }
    return data;
}

} // namespace

// The connection and its thread. Everything that touches a Wayland object
// happens on that thread; the main thread hands it work through tasks.
class WaylandPasteboard::Connection {
public:
    Connection(WaylandPasteboard *owner, const QString &displayName) : owner_(owner)
    {
        display_ = connectTo(displayName);
        if (!display_)
            return;
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registryListener, this);
        wl_display_roundtrip(display_);
        // The preferred protocol of those offered, at version 1: the
        // primary selection is never read or written.
        for (size_t i = 0; i < offered_.size() && !manager_; ++i) {
            if (offered_[i]) {
                protocol_ = &dataControlProtocols()[i];
                manager_ = static_cast<zwlr_data_control_manager_v1 *>(
                    wl_registry_bind(registry_, offered_[i], protocol_->manager, 1));
            }
        }
        if (!manager_ || !seat_)
            return;
        device_ = reinterpret_cast<zwlr_data_control_device_v1 *>(
            wl_proxy_marshal_flags(reinterpret_cast<wl_proxy *>(manager_), ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE,
                                   protocol_->device, 1, 0, nullptr, seat_));
        zwlr_data_control_device_v1_add_listener(device_, &deviceListener, this);
        // The selection as it is now arrives here: it is read, not counted.
        wl_display_roundtrip(display_);
        started_ = true;
        wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0)
            return;
        valid_ = true;
        thread_ = std::thread([this] { run(); });
    }

    ~Connection()
    {
        if (thread_.joinable()) {
            stop_ = true;
            wakeUp();
            thread_.join();
        }
        for (Send &s : sends_)
            close(s.fd);
        for (Read &r : reads_) {
            for (Pipe &p : r.pipes)
                if (p.fd >= 0)
                    close(p.fd);
            if (r.offer && r.offerForgotten)
                destroy(r.offer);
        }
        for (Source *s : sources_) {
            zwlr_data_control_source_v1_destroy(s->proxy);
            delete s;
        }
        for (Offer *o : offers_) {
            zwlr_data_control_offer_v1_destroy(o->proxy);
            delete o;
        }
        if (device_)
            zwlr_data_control_device_v1_destroy(device_);
        if (manager_)
            zwlr_data_control_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
        if (registry_)
            wl_registry_destroy(registry_);
        if (display_)
            wl_display_disconnect(display_);
        if (wake_ >= 0)
            close(wake_);
    }

    bool isValid() const { return valid_ && !broken_; }
    // While set, another program's copy waits for the main thread's word
    // before it is read.
    void setGated(bool gated) { gated_ = gated; }
    bool offersDataControl() const { return manager_ && seat_; }
    qint64 count() const { return count_.load(); }
    qint64 countOwnWrite() { return ++count_; }
    void setReadLimit(int ms) { readLimitMs_ = ms; }

    // Makes a new source offering `data` the selection.
    void post(std::function<void()> task)
    {
        {
            std::lock_guard lock(tasksMutex_);
            tasks_.push_back(std::move(task));
        }
        wakeUp();
    }
    void setSelection(std::shared_ptr<const SourceData> data)
    {
        post([this, data = std::move(data)] {
            auto *s = new Source;
            s->connection = this;
            s->proxy = reinterpret_cast<zwlr_data_control_source_v1 *>(
                wl_proxy_marshal_flags(reinterpret_cast<wl_proxy *>(manager_),
                                       ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE, protocol_->source, 1, 0,
                                       nullptr));
            s->data = data;
            for (const auto &[mime, bytes] : *data) {
                s->mimes.append(mime);
                zwlr_data_control_source_v1_offer(s->proxy, mime.toUtf8().constData());
            }
            zwlr_data_control_source_v1_add_listener(s->proxy, &sourceListener, s);
            zwlr_data_control_device_v1_set_selection(device_, s->proxy);
            sources_.push_back(s);
            awaitingEcho_.push_back(s);
        });
    }

private:
    struct Offer {
        zwlr_data_control_offer_v1 *proxy = nullptr;
        QStringList mimes;
    };
    struct Source {
        Connection *connection = nullptr;
        zwlr_data_control_source_v1 *proxy = nullptr;
        std::shared_ptr<const SourceData> data;
        QStringList mimes;
    };
    struct Send {
        int fd = -1;
        QByteArray data;
        qint64 offset = 0;
        QDeadlineTimer idle;
    };
    struct Pipe {
        int fd = -1;
        QString type, mime;
        QByteArray bytes;
    };
    struct Read {
        qint64 count = 0;
        std::shared_ptr<MimeSnapshot> snapshot;
        std::vector<Pipe> pipes;
        QDeadlineTimer deadline;
        qint64 total = 0;
        bool timedOut = false;
        // Waiting for the main thread's word on whether to read `offer`;
        // `offerForgotten`: the selection has moved on meanwhile, and the
        // offer is destroyed once the word has come.
        bool deciding = false;
        Offer *offer = nullptr;
        bool offerForgotten = false;
        bool done() const
        {
            if (deciding)
                return false;
            if (timedOut)
                return true;
            for (const Pipe &p : pipes)
                if (p.fd >= 0)
                    return false;
            return true;
        }
    };

    // On this thread; the main thread hears of it once.
    void markBroken()
    {
        if (broken_.exchange(true))
            return;
        QMetaObject::invokeMethod(owner_, [owner = owner_] { owner->connectionLost(); }, Qt::QueuedConnection);
    }

    void wakeUp()
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }

    void run()
    {
        // A reader that goes away mid-transfer must not kill the program.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const int fd = wl_display_get_fd(display_);
        while (!stop_) {
            while (wl_display_prepare_read(display_) != 0)
                wl_display_dispatch_pending(display_);
            wl_display_flush(display_);
            std::vector<pollfd> fds = {{fd, POLLIN, 0}, {wake_, POLLIN, 0}};
            for (const Send &s : sends_)
                fds.push_back({s.fd, POLLOUT, 0});
            for (const Read &r : reads_)
                for (const Pipe &p : r.pipes)
                    if (p.fd >= 0)
                        fds.push_back({p.fd, POLLIN, 0});
            const int ready = poll(fds.data(), fds.size(), nextTimeout());
            if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)))
                wl_display_read_events(display_);
            else
                wl_display_cancel_read(display_);
            wl_display_dispatch_pending(display_);
            if (wl_display_get_error(display_) != 0) {
                if (!broken_)
                    logLine(QStringLiteral("The Wayland connection of the clipboard was lost."));
                markBroken();
                break;
            }
            if (fds[1].revents & POLLIN) {
                uint64_t value;
                [[maybe_unused]] const ssize_t n = read(wake_, &value, sizeof value);
            }
            runTasks();
            serveSends();
            readPipes();
            deliverReads();
            wl_display_flush(display_);
        }
    }

    int nextTimeout() const
    {
        qint64 ms = -1;
        for (const Read &r : reads_)
            if (!r.pipes.empty())
                ms = ms < 0 ? r.deadline.remainingTime() : std::min(ms, r.deadline.remainingTime());
        if (!sends_.empty())
            ms = ms < 0 ? 1000 : std::min<qint64>(ms, 1000);
        return int(ms < 0 ? -1 : std::max<qint64>(ms, 1));
    }

    void runTasks()
    {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(tasksMutex_);
            tasks.swap(tasks_);
        }
        for (auto &task : tasks)
            task();
    }

    void serveSends()
    {
        for (auto it = sends_.begin(); it != sends_.end();) {
            bool finished = false;
            while (it->offset < it->data.size()) {
                const qint64 n = ::write(it->fd, it->data.constData() + it->offset,
                                         size_t(std::min<qint64>(kChunk, it->data.size() - it->offset)));
                if (n > 0) {
                    it->offset += n;
                    it->idle = QDeadlineTimer(kSendIdleMs);
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno == EAGAIN)
                    break;
                finished = true; // the reader went away
                break;
            }
            if (errno == EPIPE) {
                const timespec zero{0, 0};
                sigset_t pipeSignal;
                sigemptyset(&pipeSignal);
                sigaddset(&pipeSignal, SIGPIPE);
                sigtimedwait(&pipeSignal, nullptr, &zero);
            }
            if (finished || it->offset >= it->data.size() || it->idle.hasExpired()) {
                close(it->fd);
                it = sends_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void readPipes()
    {
        char buffer[kChunk];
        for (Read &r : reads_) {
            if (r.timedOut || r.deciding)
                continue;
            for (Pipe &p : r.pipes) {
                while (p.fd >= 0) {
                    const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
                    if (n < 0 && errno == EINTR)
                        continue;
                    if (n < 0 && errno == EAGAIN)
                        break;
                    if (n <= 0) { // the end, or a failure: what came is what there is
                        close(p.fd);
                        p.fd = -1;
                        if (n == 0) {
                            r.snapshot->data.insert(p.type, p.bytes);
                            r.snapshot->mimeData.insert(p.mime, p.bytes);
                        }
                        break;
                    }
                    p.bytes.append(buffer, n);
                    r.total += n;
                    if (p.bytes.size() > kMaxTypeBytes || r.total > kMaxTotalBytes) {
                        // Too big: the type is left out, as on X11.
                        r.total -= p.bytes.size();
                        p.bytes.clear();
                        close(p.fd);
                        p.fd = -1;
                    }
                }
            }
            if (!r.done() && r.deadline.hasExpired()) {
                r.timedOut = true;
                for (Pipe &p : r.pipes)
                    if (p.fd >= 0) {
                        close(p.fd);
                        p.fd = -1;
                    }
            }
        }
    }

    // Hands finished reads to the main thread in the order of the changes.
    void deliverReads()
    {
        while (!reads_.empty() && reads_.front().done()) {
            Read r = std::move(reads_.front());
            reads_.pop_front();
            std::shared_ptr<const PasteboardContents> contents;
            if (!r.timedOut)
                contents = contentsOf(std::move(r.snapshot));
            QMetaObject::invokeMethod(
                owner_, [owner = owner_, count = r.count, contents] { owner->readDone(count, contents); },
                Qt::QueuedConnection);
        }
    }

    void startRead(Offer *offer, qint64 count)
    {
        Read r;
        r.count = count;
        r.snapshot = std::make_shared<MimeSnapshot>();
        receive(r, offer);
        reads_.push_back(std::move(r));
    }

    // A copy that waits for the word: its place among the reads is kept.
    void awaitWord(Offer *offer, qint64 count)
    {
        Read r;
        r.count = count;
        r.snapshot = std::make_shared<MimeSnapshot>();
        r.deciding = true;
        r.offer = offer;
        reads_.push_back(std::move(r));
        QMetaObject::invokeMethod(
            owner_, [owner = owner_, count] { owner->decideRead(count); }, Qt::QueuedConnection);
    }

public:
    // The word on a copy, on this thread: read it, or never ask its owner
    // (it is delivered as unreadable).
    void decided(qint64 count, bool read)
    {
        for (Read &r : reads_) {
            if (r.count != count || !r.deciding)
                continue;
            r.deciding = false;
            if (read)
                receive(r, r.offer);
            else
                r.timedOut = true;
            if (r.offerForgotten)
                destroy(r.offer);
            r.offer = nullptr;
            return;
        }
    }

private:
    // Asks the offer's owner for every type chosen, one pipe each.
    void receive(Read &r, Offer *offer)
    {
        r.deadline = QDeadlineTimer(readLimitMs_.load());
        if (offer) {
            r.snapshot->chooseTypes(offer->mimes.mid(0, kMaxMimeTypes));
            int fetched = 0;
            for (const QString &type : std::as_const(r.snapshot->typeList)) {
                if (fetched++ >= kMaxFetchedTypes)
                    break;
                int fds[2];
                if (pipe2(fds, O_CLOEXEC) != 0)
                    break;
                fcntl(fds[0], F_SETFL, O_NONBLOCK);
                const QString mime = r.snapshot->mimeOf.value(type);
                // The write end is duplicated into the request when it is made.
                zwlr_data_control_offer_v1_receive(offer->proxy, mime.toUtf8().constData(), fds[1]);
                close(fds[1]);
                r.pipes.push_back(Pipe{fds[0], type, mime, {}});
            }
        }
    }

    void forget(Offer *offer)
    {
        if (!offer)
            return;
        offers_.erase(std::remove(offers_.begin(), offers_.end(), offer), offers_.end());
        for (Read &r : reads_) {
            if (r.deciding && r.offer == offer) {
                r.offerForgotten = true;
                return;
            }
        }
        destroy(offer);
    }

    static void destroy(Offer *offer)
    {
        zwlr_data_control_offer_v1_destroy(offer->proxy);
        delete offer;
    }

    void onSelection(zwlr_data_control_offer_v1 *proxy)
    {
        Offer *offer = proxy ? static_cast<Offer *>(zwlr_data_control_offer_v1_get_user_data(proxy)) : nullptr;
        if (current_ != offer)
            forget(current_);
        current_ = offer;
        // Kelvo's own sources come back in the order they were set; an offer
        // of exactly the types of one of them is that write's echo.
        for (auto it = awaitingEcho_.begin(); offer && it != awaitingEcho_.end(); ++it) {
            if ((*it)->mimes == offer->mimes) {
                awaitingEcho_.erase(awaitingEcho_.begin(), it + 1);
                return;
            }
        }
        if (!started_) { // the selection found at start
            startRead(offer, 0);
            return;
        }
        const qint64 count = ++count_;
        if (gated_)
            awaitWord(offer, count);
        else
            startRead(offer, count);
    }

    void onSend(zwlr_data_control_source_v1 *proxy, const char *mime, int fd)
    {
        auto *source = static_cast<Source *>(zwlr_data_control_source_v1_get_user_data(proxy));
        const QString name = QString::fromUtf8(mime);
        for (const auto &[m, bytes] : *source->data) {
            if (m == name) {
                fcntl(fd, F_SETFL, O_NONBLOCK);
                sends_.push_back(Send{fd, bytes, 0, QDeadlineTimer(kSendIdleMs)});
                return;
            }
        }
        close(fd);
    }

    void onCancelled(zwlr_data_control_source_v1 *proxy)
    {
        auto *source = static_cast<Source *>(zwlr_data_control_source_v1_get_user_data(proxy));
        sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
        awaitingEcho_.erase(std::remove(awaitingEcho_.begin(), awaitingEcho_.end(), source), awaitingEcho_.end());
        zwlr_data_control_source_v1_destroy(proxy);
        delete source;
    }

    static void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
    {
        auto *self = static_cast<Connection *>(data);
        const auto protocols = dataControlProtocols();
        for (size_t i = 0; i < protocols.size(); ++i)
            if (std::strcmp(interface, protocols[i].manager->name) == 0 && !self->offered_[i])
                self->offered_[i] = name;
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_)
            self->seat_ = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        (void)version;
    }
    static void onGlobalRemove(void *, wl_registry *, uint32_t) {}
    static constexpr wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

    static void onOfferMime(void *, zwlr_data_control_offer_v1 *proxy, const char *mime)
    {
        auto *offer = static_cast<Offer *>(zwlr_data_control_offer_v1_get_user_data(proxy));
        if (offer->mimes.size() < kMaxMimeTypes)
            offer->mimes.append(QString::fromUtf8(mime));
    }
    static constexpr zwlr_data_control_offer_v1_listener offerListener = {onOfferMime};

    static void onDataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *proxy)
    {
        auto *self = static_cast<Connection *>(data);
        auto *offer = new Offer{proxy, {}};
        self->offers_.push_back(offer);
        zwlr_data_control_offer_v1_add_listener(proxy, &offerListener, offer);
    }
    static void onDeviceSelection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *proxy)
    {
        static_cast<Connection *>(data)->onSelection(proxy);
    }
    static void onFinished(void *data, zwlr_data_control_device_v1 *)
    {
        auto *self = static_cast<Connection *>(data);
        logLine(QStringLiteral("The compositor withdrew clipboard access."));
        self->markBroken();
    }
    static void onPrimarySelection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *proxy)
    {
        // The primary selection is not Kelvo's: the wlroots protocol at
        // version 1 never sends it, ext_data_control_v1 does; dropped.
        auto *self = static_cast<Connection *>(data);
        if (proxy)
            self->forget(static_cast<Offer *>(zwlr_data_control_offer_v1_get_user_data(proxy)));
    }
    static constexpr zwlr_data_control_device_v1_listener deviceListener = {onDataOffer, onDeviceSelection,
                                                                             onFinished, onPrimarySelection};

    static void onSourceSend(void *data, zwlr_data_control_source_v1 *proxy, const char *mime, int32_t fd)
    {
        static_cast<Source *>(data)->connection->onSend(proxy, mime, fd);
    }
    static void onSourceCancelled(void *data, zwlr_data_control_source_v1 *proxy)
    {
        static_cast<Source *>(data)->connection->onCancelled(proxy);
    }
    static constexpr zwlr_data_control_source_v1_listener sourceListener = {onSourceSend, onSourceCancelled};

    WaylandPasteboard *owner_;
    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_seat *seat_ = nullptr;
    // The registry names of the data-control managers offered, in the
    // order of dataControlProtocols() (0: not offered).
    std::array<uint32_t, kDataControlProtocolCount> offered_{};
    const DataControlProtocol *protocol_ = nullptr;
    zwlr_data_control_manager_v1 *manager_ = nullptr;
    zwlr_data_control_device_v1 *device_ = nullptr;
    int wake_ = -1;
    bool valid_ = false;
    std::atomic<bool> broken_ = false;
    std::atomic<bool> gated_ = false;
    std::atomic<bool> stop_ = false;
    bool started_ = false;
    std::atomic<qint64> count_ = 0;
    std::atomic<int> readLimitMs_ = 2000;
    std::thread thread_;
    std::mutex tasksMutex_;
    std::deque<std::function<void()>> tasks_;
    std::vector<Offer *> offers_;
    Offer *current_ = nullptr;
    std::vector<Source *> sources_;
    std::deque<Source *> awaitingEcho_;
    std::list<Send> sends_;
    std::deque<Read> reads_;
};

WaylandPasteboard::WaylandPasteboard(QObject *parent, const QString &displayName)
    : QObject(parent), connection_(std::make_unique<Connection>(this, displayName))
{
    waitTimer_ = new QTimer(this);
    waitTimer_->setSingleShot(true);
    connect(waitTimer_, &QTimer::timeout, this, [this] {
        // Reads end within their own limit; this only guards against a
        // connection that stopped answering altogether.
        std::deque<Waiter> waiters;
        waiters.swap(waiters_);
        for (Waiter &w : waiters)
            w.callback(nullptr);
    });
}

WaylandPasteboard::~WaylandPasteboard()
{
    connection_.reset();
}

bool WaylandPasteboard::isValid() const
{
    return connection_->isValid();
}

bool WaylandPasteboard::offersDataControl(const QStringList &interfaces)
{
    for (const DataControlProtocol &p : dataControlProtocols())
        if (interfaces.contains(QLatin1String(p.manager->name)))
            return true;
    return false;
}

void WaylandPasteboard::setFetchTimeLimit(int milliseconds)
{
    fetchLimitMs_ = milliseconds;
    connection_->setReadLimit(milliseconds);
}

qint64 WaylandPasteboard::changeCount() const
{
    return connection_->count();
}

void WaylandPasteboard::fetchContents(ContentsCallback callback)
{
    if (!isValid()) {
        callback(nullptr);
        return;
    }
    const qint64 count = changeCount();
    if (knownCount_ >= count) {
        QMetaObject::invokeMethod(
            this, [contents = known_, callback = std::move(callback)] { callback(contents); }, Qt::QueuedConnection);
        return;
    }
    // The read of this change is under way (it began when the change came).
    waiters_.push_back({count, std::move(callback)});
    if (!waitTimer_->isActive())
        waitTimer_->start(fetchLimitMs_ + 1000);
}

void WaylandPasteboard::readDone(qint64 count, std::shared_ptr<const PasteboardContents> contents)
{
    if (count > knownCount_) {
        knownCount_ = count;
        known_ = contents;
    }
    if (count > 0 && changeCallback_)
        changeCallback_(count, contents);
    if (count > 0 && changeHandler_)
        changeHandler_();
    std::deque<Waiter> ready;
    for (auto it = waiters_.begin(); it != waiters_.end();) {
        if (it->count <= knownCount_) {
            ready.push_back(std::move(*it));
            it = waiters_.erase(it);
        } else {
            ++it;
        }
    }
    if (waiters_.empty())
        waitTimer_->stop();
    for (Waiter &w : ready)
        w.callback(known_);
}

void WaylandPasteboard::setReadGate(std::function<bool(qint64)> gate)
{
    readGate_ = std::move(gate);
    connection_->setGated(bool(readGate_));
}

void WaylandPasteboard::decideRead(qint64 count)
{
    const bool read = !readGate_ || readGate_(count);
    connection_->post([connection = connection_.get(), count, read] { connection->decided(count, read); });
}

void WaylandPasteboard::connectionLost()
{
    if (connectionHandler_)
        connectionHandler_(false);
}

bool WaylandPasteboard::publish(const PasteboardWriteItem &representations)
{
    if (!isValid())
        return false;
    const qint64 count = connection_->countOwnWrite();
    known_ = contentsOf(snapshotOfWrite(representations));
    knownCount_ = count;
    connection_->setSelection(sourceDataOf(representations));
    readDone(0, known_); // answers whoever waits
    return true;
}

bool WaylandPasteboard::write(const QList<PasteboardWriteItem> &items)
{
    // One source offers every representation of every item.
    PasteboardWriteItem all;
    for (const PasteboardWriteItem &item : items)
        all.append(item);
    return publish(all);
}

} // namespace kelvo::wayland
