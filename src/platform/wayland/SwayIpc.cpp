#include "platform/wayland/SwayIpc.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kelvo::wayland::swayipc {

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr int kHeader = 6 + 4 + 4;

} // namespace

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

Connection::Connection(const QString &path)
    : path_(path.isEmpty() ? qEnvironmentVariable("SWAYSOCK") : path), fd_(connectTo(path_)), valid_(fd_ >= 0)
{
}

Connection::~Connection()
{
    drop();
}

void Connection::drop()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

std::optional<QByteArray> Connection::request(quint32 type, const QByteArray &payload)
{
    if (fd_ < 0)
        fd_ = connectTo(path_);
    if (fd_ < 0)
        return std::nullopt;
    const QDeadlineTimer deadline(kReplyLimitMs);
    QByteArray buffer;
    if (sendAll(fd_, message(type, payload), deadline)) {
        for (;;) {
            if (auto m = takeMessage(buffer))
                return m->second;
            pollfd p{fd_, POLLIN, 0};
            if (deadline.hasExpired())
                break;
            const int ready = poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime())));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                break;
            if (n > 0)
                buffer.append(chunk, n);
        }
    }
    // Whatever of this request is still to come must not meet the next one.
    drop();
    return std::nullopt;
}

} // namespace kelvo::wayland::swayipc
