#include "platform/wayland/SwayHotKeyService.h"

#include "platform/x11/KeyTranslation.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

namespace kelvo::wayland {

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr int kHeader = 6 + 4 + 4;
constexpr quint32 kRunCommand = 0;
constexpr quint32 kSubscribe = 2;
constexpr quint32 kBindingEvent = 0x80000005;
constexpr int kReplyLimitMs = 2000;
const QString kCommandPrefix = QStringLiteral("nop kelvo-hotkey-");

int connectTo(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (name.isEmpty() || size_t(name.size()) >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

QByteArray message(quint32 type, const QByteArray &payload)
{
    QByteArray m(kMagic, 6);
    const quint32 length = quint32(payload.size());
    m.append(reinterpret_cast<const char *>(&length), 4);
    m.append(reinterpret_cast<const char *>(&type), 4);
    return m + payload;
}

bool sendAll(int fd, const QByteArray &data, const QDeadlineTimer &deadline)
{
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (deadline.hasExpired() || poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            return false;
    }
    return true;
}

// One whole message out of `buffer`, if it holds one.
std::optional<std::pair<quint32, QByteArray>> takeMessage(QByteArray &buffer)
{
    if (buffer.size() < kHeader)
        return std::nullopt;
    quint32 length, type;
    std::memcpy(&length, buffer.constData() + 6, 4);
    std::memcpy(&type, buffer.constData() + 10, 4);
    if (buffer.size() < kHeader + qint64(length))
        return std::nullopt;
    QByteArray payload = buffer.mid(kHeader, length);
    buffer.remove(0, kHeader + length);
    return std::pair{type, payload};
}

} // namespace

SwayHotKeyService::SwayHotKeyService(const QString &socketPath, QObject *parent) : QObject(parent)
{
    const QString path = socketPath.isEmpty() ? qEnvironmentVariable("SWAYSOCK") : socketPath;
    commands_ = connectTo(path);
    events_ = connectTo(path);
    if (events_ < 0)
        return;
    const QDeadlineTimer deadline(kReplyLimitMs);
    if (!sendAll(events_, message(kSubscribe, R"(["binding"])"), deadline)) {
        close(events_);
        events_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(events_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
}

SwayHotKeyService::~SwayHotKeyService()
{
    for (const QString &binding : std::as_const(bindings_))
        request(kRunCommand, ("unbindsym " + binding).toUtf8());
    if (commands_ >= 0)
        close(commands_);
    if (events_ >= 0)
        close(events_);
}

std::optional<QString> SwayHotKeyService::bindingFor(quint32 keyCode, quint32 modifiers)
{
    // The key's symbol on the US layout: sway matches it against the raw
    // symbols of the pressed key too, so a Shift in the combination does
    // not change it.
    const auto keysym = x11::keysymForVirtualKey(keyCode);
    if (!keysym)
        return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return std::nullopt;
    QStringList parts;
    if (modifiers & 256)
        parts << QStringLiteral("Mod4");
    if (modifiers & 4096)
        parts << QStringLiteral("Ctrl");
    if (modifiers & 2048)
        parts << QStringLiteral("Mod1");
    if (modifiers & 512)
        parts << QStringLiteral("Shift");
    parts << QString::fromLatin1(name);
    return parts.join(u'+');
}

std::optional<QByteArray> SwayHotKeyService::request(quint32 type, const QByteArray &payload)
{
    if (commands_ < 0)
        return std::nullopt;
    const QDeadlineTimer deadline(kReplyLimitMs);
    if (!sendAll(commands_, message(type, payload), deadline))
        return std::nullopt;
    QByteArray buffer;
    for (;;) {
        if (auto m = takeMessage(buffer))
            return m->second;
        pollfd p{commands_, POLLIN, 0};
        if (deadline.hasExpired() || poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t n = ::recv(commands_, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return std::nullopt;
        if (n > 0)
            buffer.append(chunk, n);
    }
}

void SwayHotKeyService::installHandler(std::function<void()> onPressed)
{
    onPressed_ = std::move(onPressed);
}

HotKeyRegistration SwayHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers)
{
    if (!isValid())
        return {std::nullopt, NoSwayStatus};
    const auto binding = bindingFor(keyCode, modifiers);
    if (!binding)
        return {std::nullopt, UnknownKeyStatus};
    const quint64 handle = nextHandle_++;
    const auto reply = request(kRunCommand, QStringLiteral("bindsym %1 %2%3").arg(*binding, kCommandPrefix).arg(handle).toUtf8());
    if (!reply)
        return {std::nullopt, NoSwayStatus};
    const QJsonArray results = QJsonDocument::fromJson(*reply).array();
    if (results.isEmpty() || !results.first().toObject().value(QLatin1String("success")).toBool())
        return {std::nullopt, RefusedStatus};
    bindings_.insert(handle, *binding);
    return {handle, 0};
}

void SwayHotKeyService::unregisterHotKey(quint64 handle)
{
    const auto it = bindings_.find(handle);
    if (it == bindings_.end())
        return;
    request(kRunCommand, ("unbindsym " + *it).toUtf8());
    bindings_.erase(it);
}

void SwayHotKeyService::readEvents()
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::recv(events_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // sway went away: no more presses.
            notifier_->setEnabled(false);
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    while (auto m = takeMessage(buffer_)) {
        if (m->first != kBindingEvent)
            continue;
        const QString command = QJsonDocument::fromJson(m->second)
                                    .object()
                                    .value(QLatin1String("binding"))
                                    .toObject()
                                    .value(QLatin1String("command"))
                                    .toString();
        if (!command.startsWith(kCommandPrefix))
            continue;
        const quint64 handle = command.mid(kCommandPrefix.size()).toULongLong();
        if (bindings_.contains(handle) && onPressed_)
            onPressed_();
    }
}

} // namespace kelvo::wayland
