#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <optional>
#include <utility>

// The few pieces of sway's IPC (the i3 protocol over the Unix socket named
// by $SWAYSOCK) that Kelvo's sway services share.
namespace kelvo::wayland::swayipc {

constexpr quint32 kRunCommand = 0;
constexpr quint32 kGetTree = 4;
constexpr int kReplyLimitMs = 2000;

// A non-blocking connection to the socket, -1 when it does not answer.
int connectTo(const QString &path);
// One request of `type` with its payload, framed.
QByteArray message(quint32 type, const QByteArray &payload);
bool sendAll(int fd, const QByteArray &data, const QDeadlineTimer &deadline);
// One whole message (type, payload) out of `buffer`, if it holds one.
std::optional<std::pair<quint32, QByteArray>> takeMessage(QByteArray &buffer);

// A request-and-reply connection. sway answers the requests of one
// connection in order and its replies name no request, so a reply that comes
// after its request was given up would be read as the next request's. A
// request that is not answered in time (or a broken connection) therefore
// closes the connection; the next request opens a new one.
class Connection {
public:
    // An empty path means $SWAYSOCK.
    explicit Connection(const QString &path);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Whether sway answered the connection when it was made.
    bool isValid() const { return valid_; }
    // Sends a request and waits at most kReplyLimitMs for its reply.
    std::optional<QByteArray> request(quint32 type, const QByteArray &payload);

private:
    void drop();

    QString path_;
    int fd_ = -1;
    bool valid_ = false;
};

} // namespace kelvo::wayland::swayipc
