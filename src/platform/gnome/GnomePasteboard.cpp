#include "platform/gnome/GnomePasteboard.h"

#include "platform/MimeSnapshot.h"
#include "platform/gnome/ShellExtension.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kelvo::gnome {

namespace {

constexpr int kChunk = 64 * 1024;

// Reads every pipe to its end and closes it. A type is nullopt when it went
// over the limits, failed, or had not ended by the deadline; closing its
// pipe early stops the writer.
std::vector<std::optional<QByteArray>> drain(std::vector<int> fds, QDeadlineTimer deadline)
{
    std::vector<std::optional<QByteArray>> out(fds.size(), QByteArray());
    qint64 total = 0;
    auto finish = [&](size_t i, bool whole) {
        close(fds[i]);
        fds[i] = -1;
        if (!whole)
            out[i].reset();
    };
    std::vector<char> buffer(kChunk);
    for (;;) {
        std::vector<pollfd> polls;
        std::vector<size_t> index;
        for (size_t i = 0; i < fds.size(); ++i)
            if (fds[i] >= 0) {
                polls.push_back({fds[i], POLLIN, 0});
                index.push_back(i);
            }
        if (polls.empty())
            return out;
        if (deadline.hasExpired()) {
            for (size_t i : index)
                finish(i, false);
            return out;
        }
        if (poll(polls.data(), polls.size(), int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            continue;
        for (size_t p = 0; p < polls.size(); ++p) {
            if (!polls[p].revents)
                continue;
            const size_t i = index[p];
            const ssize_t n = read(fds[i], buffer.data(), buffer.size());
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0) {
                finish(i, n == 0);
                continue;
            }
            out[i]->append(buffer.data(), n);
            total += n;
            if (out[i]->size() > kMaxTypeBytes || total > kMaxTotalBytes) {
                // Too big: the type is left out, as on X11.
                total -= out[i]->size();
                finish(i, false);
            }
        }
    }
}

} // namespace

// One change being read: its types, the pipes' bytes and the extension's
// answer. Done when both have come.
struct GnomePasteboard::Read {
    std::shared_ptr<MimeSnapshot> snapshot = std::make_shared<MimeSnapshot>();
    QStringList types; // read, in the order of the pipes
    std::thread worker;
    std::optional<std::vector<std::optional<QByteArray>>> bytes;
    std::optional<QList<bool>> whole; // empty when the extension refused
    bool answered = false;
    bool superseded = false; // Kelvo wrote since
    bool done() const { return bytes && answered; }
};

const QString &GnomePasteboard::ownWriteMarker()
{
    static const QString marker = QStringLiteral("application/x-kelvo-own-write");
    return marker;
}

GnomePasteboard::GnomePasteboard(ShellExtension &shell, std::unique_ptr<Pasteboard> writer, QObject *parent)
    : QObject(parent), shell_(shell), writer_(std::move(writer))
{
    connect(&shell_, &ShellExtension::clipboardChanged, this, &GnomePasteboard::changed);
}

GnomePasteboard::~GnomePasteboard()
{
    // The workers end by their deadline.
    for (const auto &read : reads_)
        if (read->worker.joinable())
            read->worker.join();
}

void GnomePasteboard::changed(quint64 serial, const QStringList &mimeTypes)
{
    if (mimeTypes.contains(ownWriteMarker()))
        return; // counted when it was written
    auto read = std::make_shared<Read>();
    // The count this change will have: reads land in order, and those a
    // write of Kelvo's replaced are not counted.
    const qint64 count =
        count_ + 1 + std::count_if(reads_.begin(), reads_.end(), [](const auto &r) { return !r->superseded; });
    reads_.push_back(read);
    if (readGate_ && !readGate_(count)) {
        // Counted, with nothing asked of the extension.
        read->bytes.emplace();
        read->answered = true;
        deliverReads();
        return;
    }
    read->snapshot->chooseTypes(mimeTypes.mid(0, kMaxMimeTypes));
    read->types = read->snapshot->typeList.mid(0, kMaxFetchedTypes);
    std::vector<int> readEnds;
    QList<QDBusUnixFileDescriptor> writeEnds;
    QStringList mimes;
    for (const QString &type : std::as_const(read->types)) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            break;
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        readEnds.push_back(fds[0]);
        writeEnds.append(QDBusUnixFileDescriptor(fds[1])); // a duplicate
        close(fds[1]);
        mimes.append(read->snapshot->mimeOf.value(type));
    }
    read->types = read->types.mid(0, mimes.size());
    if (mimes.isEmpty()) {
        read->bytes.emplace();
        read->whole.emplace();
        read->answered = true;
        deliverReads();
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(shell_.readClipboard(serial, mimes, writeEnds, fetchLimitMs_), this);
    // The call keeps its message, and with it a copy of each write end,
    // until the answer; the extension answers once it has closed its own.
    writeEnds.clear();
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, read](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QList<bool>> reply = *call;
        if (reply.isValid())
            read->whole = reply.value();
        read->answered = true;
        call->deleteLater();
        deliverReads();
    });
    const QDeadlineTimer deadline(fetchLimitMs_);
    read->worker = std::thread([this, read, readEnds, deadline] {
        auto bytes = drain(readEnds, deadline);
        QMetaObject::invokeMethod(
            this,
            [this, read, bytes = std::move(bytes)]() mutable {
                read->worker.join();
                read->bytes = std::move(bytes);
                deliverReads();
            },
            Qt::QueuedConnection);
    });
}

void GnomePasteboard::deliverReads()
{
    while (!reads_.empty() && reads_.front()->done()) {
        const std::shared_ptr<Read> read = std::move(reads_.front());
        reads_.pop_front();
        if (read->superseded)
            continue;
        std::shared_ptr<const PasteboardContents> contents;
        if (read->whole && read->whole->size() == read->types.size()) {
            for (qsizetype i = 0; i < read->types.size(); ++i) {
                const std::optional<QByteArray> &bytes = read->bytes->at(size_t(i));
                if (!read->whole->at(i) || !bytes)
                    continue;
                const QString &type = read->types.at(i);
                read->snapshot->data.insert(type, *bytes);
                read->snapshot->mimeData.insert(read->snapshot->mimeOf.value(type), *bytes);
            }
            contents = contentsOf(read->snapshot);
        }
        ++count_;
        latest_ = std::move(contents);
        if (changeHandler_)
            changeHandler_();
    }
}

void GnomePasteboard::fetchContents(ContentsCallback callback)
{
    if (count_ == 0) {
        writer_->fetchContents(std::move(callback));
        return;
    }
    QMetaObject::invokeMethod(
        this, [contents = latest_, callback = std::move(callback)] { callback(contents); }, Qt::QueuedConnection);
}

bool GnomePasteboard::write(const QList<PasteboardWriteItem> &items)
{
    PasteboardWriteItem all;
    for (const PasteboardWriteItem &item : items)
        all.append(item);
    // Reads still under way are of changes this write replaces.
    for (const auto &read : reads_)
        read->superseded = true;
    ++count_;
    latest_ = contentsOf(snapshotOfWrite(all));
    all.append({ownWriteMarker(), QByteArray()});
    return writer_->write({all});
}

} // namespace kelvo::gnome
