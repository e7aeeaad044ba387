#include "platform/x11/X11Pasteboard.h"

#include "platform/Log.h"
#include "platform/MimeSnapshot.h"
#include "platform/x11/X11Connection.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace kelvo::x11 {

namespace {

// Serving: data above this goes out in INCR chunks.
constexpr int kChunk = 256 * 1024;

// The read side on its own connection, run on a worker thread. It reads
// what `owner` offers: the owner when the copy was looked at (and its source
// checked). The server hands a conversion to whoever owns the selection when
// it arrives, so a read that another program's copy overtook would take that
// program's bytes, perhaps an ignored one's: such a read gives nothing, and
// the newer copy is looked at on its own.
class Fetcher {
public:
    Fetcher(const QString &display, QDeadlineTimer deadline, xcb_window_t owner)
        : x_(display), deadline_(deadline), owner_(owner)
    {
    }

    std::shared_ptr<const PasteboardContents> run()
    {
        auto snapshot = read();
        if (!snapshot)
            return nullptr;
        return contentsOf(std::move(snapshot));
    }

private:
    std::shared_ptr<MimeSnapshot> read()
    {
        if (!x_.isValid())
            return nullptr;
        c_ = x_.get();
        window_ = xcb_generate_id(c_);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, x_.root(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        clipboard_ = x_.atom("CLIPBOARD");
        property_ = x_.atom("KELVO_SELECTION");
        incr_ = x_.atom("INCR");
        auto snapshot = std::make_shared<MimeSnapshot>();
        if (owner_ == XCB_WINDOW_NONE || !ownerUnchanged())
            return snapshot;
        bool timedOut = false;
        auto targets = fetch(x_.atom("TARGETS"), qint64(1) << 20, &timedOut);
        if (timedOut)
            return nullptr;
        if (!targets)
            return snapshot;
        const int count = std::min<int>(targets->size() / 4, kMaxMimeTypes);
        const auto *atoms = reinterpret_cast<const xcb_atom_t *>(targets->constData());
        std::vector<xcb_get_atom_name_cookie_t> cookies;
        for (int i = 0; i < count; ++i)
            cookies.push_back(xcb_get_atom_name(c_, atoms[i]));
        QList<std::pair<QString, xcb_atom_t>> named;
        for (int i = 0; i < count; ++i) {
            auto *r = xcb_get_atom_name_reply(c_, cookies[i], nullptr);
            if (r)
                named.append({QString::fromUtf8(xcb_get_atom_name_name(r), xcb_get_atom_name_name_length(r)), atoms[i]});
            std::free(r);
        }
        QHash<QString, xcb_atom_t> targetAtom;
        for (const auto &[name, atom] : std::as_const(named)) {
            if (X11Pasteboard::isMetaTarget(name) || name.isEmpty())
                continue;
            const QString type = X11Pasteboard::typeForTarget(name);
            if (snapshot->mimeOf.contains(type))
                continue;
            snapshot->typeList.append(type);
            snapshot->mimeOf.insert(type, name);
            targetAtom.insert(name, atom);
        }
        qint64 total = 0;
        int fetched = 0;
        for (const QString &type : std::as_const(snapshot->typeList)) {
            if (fetched++ >= kMaxFetchedTypes || total >= kMaxTotalBytes)
                break;
            const QString target = snapshot->mimeOf.value(type);
            auto bytes = fetch(targetAtom.value(target), std::min(kMaxTypeBytes, kMaxTotalBytes - total), &timedOut);
            if (timedOut)
                return nullptr;
            if (!bytes)
                continue;
            total += bytes->size();
            snapshot->data.insert(type, *bytes);
            snapshot->mimeData.insert(target, *bytes);
        }
        // Every conversion has been answered: had the selection changed
        // hands before one of them was served, the owner would differ now.
        if (!ownerUnchanged())
            return std::make_shared<MimeSnapshot>();
        return snapshot;
    }

    bool ownerUnchanged()
    {
        auto *r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard_), nullptr);
        const bool same = r && r->owner == owner_;
        std::free(r);
        return same;
    }

    // Waits for an event `accept` takes; nullptr when the time is up.
    template<typename F>
    xcb_generic_event_t *waitFor(F accept)
    {
        xcb_flush(c_);
        for (;;) {
            while (xcb_generic_event_t *e = xcb_poll_for_event(c_)) {
                if (accept(e))
                    return e;
                std::free(e);
            }
            if (xcb_connection_has_error(c_) || deadline_.hasExpired())
                return nullptr;
            pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
            poll(&p, 1, int(std::max<qint64>(1, deadline_.remainingTime())));
        }
    }

    // One target's data, nullopt when refused or too big.
    std::optional<QByteArray> fetch(xcb_atom_t target, qint64 limit, bool *timedOut)
    {
        xcb_delete_property(c_, window_, property_);
        xcb_convert_selection(c_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
        auto *e = waitFor([&](xcb_generic_event_t *ev) {
            if ((ev->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            auto *n = reinterpret_cast<xcb_selection_notify_event_t *>(ev);
            return n->requestor == window_ && n->target == target;
        });
        if (!e) {
            *timedOut = true;
            return std::nullopt;
        }
        const xcb_atom_t got = reinterpret_cast<xcb_selection_notify_event_t *>(e)->property;
        std::free(e);
        if (got == XCB_ATOM_NONE)
            return std::nullopt;
        auto *r = xcb_get_property_reply(
            c_, xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, quint32(limit / 4 + 1)), nullptr);
        if (!r)
            return std::nullopt;
        if (r->type == incr_) {
            std::free(r);
            return fetchIncremental(limit, timedOut);
        }
        const bool tooBig = r->bytes_after > 0;
        QByteArray value(static_cast<const char *>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        std::free(r);
        if (tooBig)
            return std::nullopt;
        return value;
    }

    std::optional<QByteArray> fetchIncremental(qint64 limit, bool *timedOut)
    {
        QByteArray value;
        for (;;) {
            auto *e = waitFor([&](xcb_generic_event_t *ev) {
                if ((ev->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto *n = reinterpret_cast<xcb_property_notify_event_t *>(ev);
                return n->window == window_ && n->atom == property_ && n->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!e) {
                *timedOut = true;
                return std::nullopt;
            }
            std::free(e);
            auto *r = xcb_get_property_reply(
                c_, xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, quint32(limit / 4 + 1)),
                nullptr);
            if (!r)
                return std::nullopt;
            const int n = xcb_get_property_value_length(r);
            value.append(static_cast<const char *>(xcb_get_property_value(r)), n);
            std::free(r);
            if (n == 0)
                return value;
            if (value.size() > limit) {
                // Too big: keep reading the chunks away would cost the whole
                // time limit, so the target is simply dropped.
                return std::nullopt;
            }
        }
    }

    X11Connection x_;
    QDeadlineTimer deadline_;
    xcb_window_t owner_;
    xcb_connection_t *c_ = nullptr;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE, property_ = XCB_ATOM_NONE, incr_ = XCB_ATOM_NONE;
};

} // namespace

struct X11Pasteboard::Transfer {
    xcb_atom_t type = XCB_ATOM_NONE;
    QByteArray data;
    qint64 offset = 0;
    QDeadlineTimer idle;
};

QStringList X11Pasteboard::targetsForType(const QString &type)
{
    return mimeTypesForType(type);
}

QString X11Pasteboard::typeForTarget(const QString &target)
{
    return typeForMimeType(target);
}

bool X11Pasteboard::isMetaTarget(const QString &target)
{
    return isMetaMimeType(target);
}

X11Pasteboard::X11Pasteboard(QObject *parent, const QString &displayName)
    : QObject(parent), displayName_(displayName)
{
    transferTimer_ = new QTimer(this);
    transferTimer_->setInterval(1000);
    connect(transferTimer_, &QTimer::timeout, this, [this] { dropStaleTransfers(); });
    openConnection();
}

X11Pasteboard::~X11Pasteboard()
{
    for (auto &[id, worker] : workers_)
        if (worker.joinable())
            worker.join();
    if (isValid() && window_ != XCB_WINDOW_NONE) {
        xcb_destroy_window(connection_->get(), window_);
        xcb_flush(connection_->get());
    }
}

bool X11Pasteboard::openConnection()
{
    dropNotifier();
    connection_ = std::make_unique<X11Connection>(displayName_);
    window_ = XCB_WINDOW_NONE;
    xfixes_ = false;
    if (!connection_->isValid())
        return false;
    xcb_connection_t *c = connection_->get();
    window_ = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, connection_->root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (ext && ext->present) {
        auto *v = xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr);
        std::free(v);
        xfixesEvent_ = ext->first_event;
        xfixes_ = true;
        xcb_xfixes_select_selection_input(c, window_, connection_->atom("CLIPBOARD"),
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    for (const char *name : {"TARGETS", "TIMESTAMP", "MULTIPLE", "INCR", "ATOM", "UTF8_STRING", "STRING"})
        connection_->atom(name);
    connection_->sync();
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { processEvents(); });
    // Events already read into xcb's queue do not wake the notifier.
    QTimer::singleShot(0, this, [this] { processEvents(); });
    return true;
}

void X11Pasteboard::connectionBroke()
{
    // A broken connection leaves its socket readable for ever: the notifier
    // goes first, or it would wake the event loop without end.
    dropNotifier();
    owner_ = false;
    data_.clear();
    transfers_.clear();
    transferTimer_->stop();
    const bool reopened = openConnection();
    logLine(reopened ? QStringLiteral("[Kelvo] 剪贴板的 X 连接已断开, 已重新连接")
                     : QStringLiteral("[Kelvo] 剪贴板的 X 连接已断开, 无法重新连接, 剪贴板记录已停止"));
    if (!reopened)
        tellConnection(false);
    // Whatever happened on the clipboard meanwhile is a change to look at.
    ++changeCount_;
    notifyChange();
}

bool X11Pasteboard::reconnect()
{
    if (isValid())
        return true;
    if (!openConnection())
        return false;
    logLine(QStringLiteral("[Kelvo] 剪贴板的 X 连接已恢复"));
    tellConnection(true);
    ++changeCount_;
    notifyChange();
    return true;
}

void X11Pasteboard::setConnectionHandler(std::function<void(bool)> handler)
{
    connectionHandler_ = std::move(handler);
}

void X11Pasteboard::tellConnection(bool working)
{
    // Later, never from inside changeCount(), a fetch or a write.
    QMetaObject::invokeMethod(
        this,
        [this, working] {
            if (connectionHandler_)
                connectionHandler_(working);
        },
        Qt::QueuedConnection);
}

void X11Pasteboard::dropNotifier()
{
    if (!notifier_)
        return;
    // It may be the very notifier whose signal is being handled.
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
}

void X11Pasteboard::setChangeHandler(std::function<void()> handler)
{
    changeHandler_ = std::move(handler);
}

void X11Pasteboard::notifyChange()
{
    if (!changeHandler_ || changeNotifyQueued_)
        return;
    changeNotifyQueued_ = true;
    // Later, never from inside changeCount() or a write.
    QMetaObject::invokeMethod(
        this,
        [this] {
            changeNotifyQueued_ = false;
            if (changeHandler_)
                changeHandler_();
        },
        Qt::QueuedConnection);
}

bool X11Pasteboard::isValid() const
{
    return connection_ && connection_->isValid();
}

void X11Pasteboard::processEvents() const
{
    if (!isValid())
        return;
    auto *self = const_cast<X11Pasteboard *>(this);
    while (xcb_generic_event_t *e = xcb_poll_for_event(connection_->get())) {
        self->handleEvent(e);
        std::free(e);
    }
    xcb_flush(connection_->get());
    if (xcb_connection_has_error(connection_->get()))
        self->connectionBroke();
}

void X11Pasteboard::handleEvent(xcb_generic_event_t *event)
{
    const quint8 type = event->response_type & 0x7f;
    if (xfixes_ && type == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
        auto *n = reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event);
        // Own writes were counted when they were made.
        if (n->owner != window_) {
            ++changeCount_;
            notifyChange();
        }
        return;
    }
    switch (type) {
    case XCB_SELECTION_REQUEST:
        handleSelectionRequest(reinterpret_cast<xcb_selection_request_event_t *>(event));
        break;
    case XCB_SELECTION_CLEAR:
        if (reinterpret_cast<xcb_selection_clear_event_t *>(event)->owner == window_) {
            owner_ = false;
            data_.clear();
        }
        break;
    case XCB_PROPERTY_NOTIFY: {
        auto *n = reinterpret_cast<xcb_property_notify_event_t *>(event);
        if (n->state == XCB_PROPERTY_DELETE)
            handlePropertyDelete(n->window, n->atom);
        break;
    }
    default:
        break;
    }
}

QStringList X11Pasteboard::ownedTargets() const
{
    QStringList targets;
    for (const auto &[type, bytes] : data_)
        for (const QString &t : targetsForType(type))
            if (!targets.contains(t))
                targets.append(t);
    return targets;
}

std::optional<std::pair<xcb_atom_t, QByteArray>> X11Pasteboard::dataForTarget(const QString &target) const
{
    for (const auto &[type, bytes] : data_) {
        if (!targetsForType(type).contains(target))
            continue;
        if (type == PasteboardType::String) {
            if (target == QLatin1String("STRING"))
                return std::pair{xcb_atom_t(XCB_ATOM_STRING), QString::fromUtf8(bytes).toLatin1()};
            if (target == QLatin1String("UTF8_STRING") || target == QLatin1String("TEXT"))
                return std::pair{connection_->atom("UTF8_STRING"), bytes};
        }
        return std::pair{connection_->atom(target.toUtf8().constData()), bytes};
    }
    return std::nullopt;
}

void X11Pasteboard::handleSelectionRequest(const xcb_selection_request_event_t *request)
{
    xcb_connection_t *c = connection_->get();
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = XCB_ATOM_NONE;
    const xcb_atom_t property = request->property == XCB_ATOM_NONE ? request->target : request->property;
    const bool ours = owner_ && request->owner == window_ && request->selection == connection_->atom("CLIPBOARD");
    if (ours) {
        auto *nameReply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, request->target), nullptr);
        const QString target = nameReply ? QString::fromUtf8(xcb_get_atom_name_name(nameReply),
                                                             xcb_get_atom_name_name_length(nameReply))
                                         : QString();
        std::free(nameReply);
        if (target == QLatin1String("TARGETS")) {
            std::vector<xcb_atom_t> atoms = {connection_->atom("TARGETS")};
            for (const QString &t : ownedTargets())
                atoms.push_back(connection_->atom(t.toUtf8().constData()));
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM, 32,
                                quint32(atoms.size()), atoms.data());
            notify.property = property;
        } else if (auto found = dataForTarget(target)) {
            const auto &[type, bytes] = *found;
            if (bytes.size() > kChunk) {
                auto transfer = std::make_shared<Transfer>();
                transfer->type = type;
                transfer->data = bytes;
                transfer->idle = QDeadlineTimer(10000);
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &mask);
                const quint32 size = quint32(bytes.size());
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, connection_->atom("INCR"),
                                    32, 1, &size);
                transfers_[{request->requestor, property}] = transfer;
                transferTimer_->start();
            } else {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, type, 8,
                                    quint32(bytes.size()), bytes.constData());
            }
            notify.property = property;
        }
    }
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
    xcb_flush(c);
}

void X11Pasteboard::handlePropertyDelete(xcb_window_t window, xcb_atom_t property)
{
    const auto it = transfers_.find({window, property});
    if (it == transfers_.end())
        return;
    Transfer &t = *it->second;
    xcb_connection_t *c = connection_->get();
    const qint64 n = std::min<qint64>(kChunk, t.data.size() - t.offset);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, t.type, 8, quint32(n),
                        t.data.constData() + t.offset);
    t.offset += n;
    t.idle = QDeadlineTimer(10000);
    if (n == 0) {
        transfers_.erase(it);
        if (transfers_.empty())
            transferTimer_->stop();
    }
    xcb_flush(c);
}

void X11Pasteboard::dropStaleTransfers()
{
    for (auto it = transfers_.begin(); it != transfers_.end();) {
        if (it->second->idle.hasExpired())
            it = transfers_.erase(it);
        else
            ++it;
    }
    if (transfers_.empty())
        transferTimer_->stop();
}

qint64 X11Pasteboard::changeCount() const
{
    processEvents();
    return changeCount_;
}

void X11Pasteboard::fetchContents(ContentsCallback callback)
{
    if (!reconnect()) {
        callback(nullptr);
        return;
    }
    processEvents();
    // The owner now, on the main thread, right after the copy's source was
    // checked: the worker reads this owner's offer or nothing.
    xcb_connection_t *c = connection_->get();
    auto *r = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, connection_->atom("CLIPBOARD")), nullptr);
    const xcb_window_t owner = r ? r->owner : xcb_window_t(XCB_WINDOW_NONE);
    std::free(r);
    const quint64 id = nextFetch_++;
    const QString display = displayName_;
    const QDeadlineTimer deadline(fetchLimitMs_);
    workers_[id] = std::thread([this, id, display, deadline, owner, callback = std::move(callback)]() mutable {
        std::shared_ptr<const PasteboardContents> result = Fetcher(display, deadline, owner).run();
        QMetaObject::invokeMethod(
            this,
            [this, id, result = std::move(result), callback = std::move(callback)] {
                const auto it = workers_.find(id);
                if (it != workers_.end()) {
                    it->second.join();
                    workers_.erase(it);
                }
                callback(result);
            },
            Qt::QueuedConnection);
    });
}

bool X11Pasteboard::takeOwnership()
{
    if (!reconnect())
        return false;
    processEvents();
    xcb_connection_t *c = connection_->get();
    const xcb_atom_t clipboard = connection_->atom("CLIPBOARD");
    xcb_set_selection_owner(c, window_, clipboard, XCB_CURRENT_TIME);
    auto *r = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool ok = r && r->owner == window_;
    std::free(r);
    ++changeCount_;
    owner_ = ok;
    transfers_.clear();
    // A request for the new content can arrive with that reply and then
    // waits in xcb's queue, where the socket notifier never sees it: it is
    // served on the next turn of the event loop, not whenever some later
    // event comes.
    QMetaObject::invokeMethod(this, [this] { processEvents(); }, Qt::QueuedConnection);
    return ok;
}

bool X11Pasteboard::write(const QList<PasteboardWriteItem> &items)
{
    // The whole content is in place before the clipboard is taken, so the
    // first request another program makes is already answered in full.
    QList<std::pair<QString, QByteArray>> content;
    for (const PasteboardWriteItem &item : items)
        for (const PasteboardWriteRepresentation &r : item) {
            const bool seen = std::any_of(content.cbegin(), content.cend(),
                                          [&](const auto &entry) { return entry.first == r.type; });
            if (!seen)
                content.append({r.type, r.data});
        }
    data_ = std::move(content);
    return takeOwnership();
}

} // namespace kelvo::x11
