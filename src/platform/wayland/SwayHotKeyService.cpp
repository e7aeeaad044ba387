#include "platform/wayland/SwayHotKeyService.h"

#include "platform/wayland/SwayIpc.h"

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

namespace kelvo::wayland {

namespace {

using swayipc::kRunCommand;
constexpr quint32 kSubscribe = 2;
constexpr quint32 kBindingEvent = 0x80000005;
const QString kCommandPrefix = QStringLiteral("nop kelvo-hotkey-");

} // namespace

SwayHotKeyService::SwayHotKeyService(const QString &socketPath, QObject *parent)
    : QObject(parent), commands_(socketPath)
{
    const QString path = socketPath.isEmpty() ? qEnvironmentVariable("SWAYSOCK") : socketPath;
    events_ = swayipc::connectTo(path);
    if (events_ < 0)
        return;
    const QDeadlineTimer deadline(swayipc::kReplyLimitMs);
    if (!swayipc::sendAll(events_, swayipc::message(kSubscribe, R"(["binding"])"), deadline)) {
        close(events_);
        events_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(events_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
}

SwayHotKeyService::~SwayHotKeyService()
{
    for (const QString &binding : std::as_const(unanswered_) + bindings_.values())
        commands_.request(kRunCommand, ("unbindsym " + binding).toUtf8());
    if (events_ >= 0)
        close(events_);
}

std::optional<QString> SwayHotKeyService::bindingFor(quint32 keyCode, quint32 modifiers)
{
    // The key's symbol on the US layout: sway matches it against the raw
    // symbols of the pressed key too, so a Shift in the combination does
    // not change it.
    return x11::combinationText(keyCode, modifiers, {"Mod4", "Ctrl", "Mod1", "Shift"});
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
    const auto reply = commands_.request(kRunCommand, QStringLiteral("bindsym %1 %2%3").arg(*binding, kCommandPrefix).arg(handle).toUtf8());
    if (!reply) {
        // sway may still make the binding once it gets round to it.
        unanswered_.append(*binding);
        return {std::nullopt, NoSwayStatus};
    }
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
    commands_.request(kRunCommand, ("unbindsym " + *it).toUtf8());
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
    while (auto m = swayipc::takeMessage(buffer_)) {
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
