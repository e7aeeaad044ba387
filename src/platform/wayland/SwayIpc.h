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
// Sends a request on `fd` and waits at most kReplyLimitMs for its reply.
std::optional<QByteArray> request(int fd, quint32 type, const QByteArray &payload);

} // namespace kelvo::wayland::swayipc
