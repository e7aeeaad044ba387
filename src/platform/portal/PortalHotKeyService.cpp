#include "platform/portal/PortalHotKeyService.h"

#include "platform/Log.h"
#include "platform/x11/KeyTranslation.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTimer>

namespace kelvo::portal {

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kDesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

// a(sa{sv}): shortcut ids with their properties.
using Shortcuts = QList<QPair<QString, QVariantMap>>;

// What the portal says triggers Kelvo's shortcut, if it holds it.
std::optional<QString> triggerDescription(const QVariant &shortcuts)
{
    for (const auto &[id, properties] : qdbus_cast<Shortcuts>(shortcuts)) {
        if (id == QLatin1String(PortalHotKeyService::kShortcutId))
            return properties.value(QStringLiteral("trigger_description")).toString();
    }
    return std::nullopt;
}

QString describe(const QString &trigger)
{
    return trigger.isEmpty() ? QStringLiteral("no trigger yet (set it in the desktop's shortcut settings)")
                             : QLatin1Char('"') + trigger + QLatin1Char('"');
}

} // namespace

PortalHotKeyService::PortalHotKeyService(const QDBusConnection &bus, QObject *parent) : QObject(parent), bus_(bus)
{
    qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
    qDBusRegisterMetaType<Shortcuts>();
    bus_.connect(kPortal, kDesktopPath, kShortcuts, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusMessage)));
    bus_.connect(kPortal, kDesktopPath, kShortcuts, QStringLiteral("ShortcutsChanged"), this,
                 SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService()
{
    for (const QString &session : std::as_const(sessions_))
        closeSession(session);
}

bool PortalHotKeyService::offered(const QDBusConnection &bus, int limitMs)
{
    QDBusMessage get = QDBusMessage::createMethodCall(kPortal, kDesktopPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kShortcuts << QStringLiteral("version");
    const QDBusMessage reply = QDBusConnection(bus).call(get, QDBus::Block, limitMs);
    return reply.type() == QDBusMessage::ReplyMessage
        && reply.arguments().value(0).value<QDBusVariant>().variant().toUInt() >= 1;
}

std::optional<QString> PortalHotKeyService::triggerFor(quint32 keyCode, quint32 modifiers)
{
    return x11::combinationText(keyCode, modifiers, {"LOGO", "CTRL", "ALT", "SHIFT"});
}

void PortalHotKeyService::installHandler(std::function<void()> onPressed)
{
    onPressed_ = std::move(onPressed);
}

void PortalHotKeyService::installSettledHandler(std::function<void(quint64, qint32)> onSettled)
{
    onSettled_ = std::move(onSettled);
}

HotKeyRegistration PortalHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers)
{
    const auto trigger = triggerFor(keyCode, modifiers);
    if (!trigger)
        return {std::nullopt, UnknownKeyStatus};
    if (!bus_.isConnected())
        return {std::nullopt, NoAnswerStatus};
    const quint64 handle = nextHandle_++;
    sessions_.insert(handle, QString());
    const QVariantMap options{{QStringLiteral("session_handle_token"), token("session")}};
    request(QStringLiteral("CreateSession"), {options}, kAnswerLimitMs,
            [this, handle, trigger = *trigger](std::optional<uint> response, const QVariantMap &results) {
                // The handle is "s" in the interface's description; accept "o" too.
                const QVariant value = results.value(QStringLiteral("session_handle"));
                const QString session = value.userType() == qMetaTypeId<QDBusObjectPath>()
                                          ? value.value<QDBusObjectPath>().path()
                                          : value.toString();
                if (!sessions_.contains(handle))
                    return closeSession(session); // unregistered meanwhile
                if (!response || *response != 0 || session.isEmpty())
                    return fail(handle, !response ? NoAnswerStatus : *response ? qint32(*response) : PortalFailedStatus);
                sessions_[handle] = session;
                bus_.connect(kPortal, session, kSession, QStringLiteral("Closed"), this,
                             SLOT(onSessionClosed(QDBusMessage)));
                bind(handle, trigger);
            });
    return {handle, 0, true};
}

void PortalHotKeyService::bind(quint64 handle, const QString &trigger)
{
    const Shortcuts shortcuts{{QString::fromLatin1(kShortcutId),
                               {{QStringLiteral("description"), QStringLiteral("Show or Hide the History Panel")},
                                {QStringLiteral("preferred_trigger"), trigger}}}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(sessions_.value(handle))), QVariant::fromValue(shortcuts), QString(),
             QVariantMap()},
            kBindLimitMs, [this, handle, trigger](std::optional<uint> response, const QVariantMap &results) {
                if (!sessions_.contains(handle))
                    return; // unregistered: its session is closed already
                if (!response)
                    return fail(handle, NoAnswerStatus);
                if (*response != 0)
                    return fail(handle, qint32(*response));
                const auto bound = triggerDescription(results.value(QStringLiteral("shortcuts")));
                if (!bound)
                    return fail(handle, NotBoundStatus);
                logLine(QStringLiteral("[GlobalShortcuts] Bound %1 (asked for %2), triggered by %3")
                            .arg(QLatin1String(kShortcutId), trigger, describe(*bound)));
                if (onSettled_)
                    onSettled_(handle, 0);
            });
}

void PortalHotKeyService::unregisterHotKey(quint64 handle)
{
    closeSession(sessions_.take(handle));
}

void PortalHotKeyService::fail(quint64 handle, qint32 status)
{
    static const QHash<qint32, QString> reasons{
        {NoAnswerStatus, QStringLiteral("the portal did not answer")},
        {CancelledStatus, QStringLiteral("the user cancelled")},
        {PortalFailedStatus, QStringLiteral("the portal ended the call")},
        {NotBoundStatus, QStringLiteral("the desktop did not bind the shortcut")},
        {SessionClosedStatus, QStringLiteral("the desktop closed the session")}};
    logLine(QStringLiteral("[GlobalShortcuts] No shortcut: %1").arg(reasons.value(status, QString::number(status))));
    closeSession(sessions_.take(handle));
    if (onSettled_)
        onSettled_(handle, status);
}

void PortalHotKeyService::closeSession(const QString &session)
{
    if (session.isEmpty())
        return;
    bus_.disconnect(kPortal, session, kSession, QStringLiteral("Closed"), this, SLOT(onSessionClosed(QDBusMessage)));
    bus_.send(QDBusMessage::createMethodCall(kPortal, session, kSession, QStringLiteral("Close")));
}

quint64 PortalHotKeyService::handleOf(const QString &session) const
{
    return session.isEmpty() ? 0 : sessions_.key(session);
}

QString PortalHotKeyService::token(const char *kind)
{
    return QStringLiteral("kelvo_%1%2").arg(QLatin1String(kind)).arg(nextToken_++);
}

void PortalHotKeyService::request(const QString &method, QList<QVariant> arguments, int limitMs, Answer answer)
{
    // The Request object's path follows from the token and our unique name;
    // its Response is subscribed to before the call, so that it cannot be
    // missed.
    const QString handleToken = token("request");
    const QString path = QStringLiteral("%1/request/%2/%3")
                             .arg(kDesktopPath, bus_.baseService().mid(1).replace(u'.', u'_'), handleToken);
    QVariantMap options = arguments.last().toMap();
    options.insert(QStringLiteral("handle_token"), handleToken);
    arguments.last() = options;
    bus_.connect(kPortal, path, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    requests_.insert(path, std::move(answer));

    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kDesktopPath, kShortcuts, method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kAnswerLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path, method](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError()) {
            logLine(QStringLiteral("[GlobalShortcuts] %1 failed: %2").arg(method, w->error().message()));
            finishRequest(path, std::nullopt, {});
        }
    });
    QTimer::singleShot(limitMs, this, [this, path, method, limitMs] {
        if (!requests_.contains(path))
            return;
        logLine(QStringLiteral("[GlobalShortcuts] %1: no answer within %2 s").arg(method).arg(limitMs / 1000));
        bus_.send(QDBusMessage::createMethodCall(kPortal, path, kRequest, QStringLiteral("Close")));
        finishRequest(path, std::nullopt, {});
    });
}

void PortalHotKeyService::finishRequest(const QString &path, std::optional<uint> response, const QVariantMap &results)
{
    const auto it = requests_.find(path);
    if (it == requests_.end())
        return;
    const Answer answer = std::move(*it);
    requests_.erase(it);
    bus_.disconnect(kPortal, path, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    answer(response, results);
}

void PortalHotKeyService::onResponse(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    finishRequest(message.path(), args.value(0).toUInt(), qdbus_cast<QVariantMap>(args.value(1)));
}

void PortalHotKeyService::onActivated(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    const QString session = args.value(0).value<QDBusObjectPath>().path();
    if (args.value(1).toString() == QLatin1String(kShortcutId) && handleOf(session) != 0 && onPressed_)
        onPressed_();
}

void PortalHotKeyService::onShortcutsChanged(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    if (handleOf(args.value(0).value<QDBusObjectPath>().path()) == 0)
        return;
    if (const auto trigger = triggerDescription(args.value(1)))
        logLine(QStringLiteral("[GlobalShortcuts] %1 is now triggered by %2")
                    .arg(QLatin1String(kShortcutId), describe(*trigger)));
}

void PortalHotKeyService::onSessionClosed(const QDBusMessage &message)
{
    if (const quint64 handle = handleOf(message.path()))
        fail(handle, SessionClosedStatus);
}

} // namespace kelvo::portal
