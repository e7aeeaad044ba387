#include "platform/kwin/KGlobalAccelHotKeyService.h"

#include "platform/Log.h"
#include "platform/kwin/GlobalAccelKeys.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QKeySequence>

namespace kelvo::kwin {

// A key sequence as the service passes it, (ai): four keys, 0 for none.
struct KeySequence {
    QList<int> keys;
};

} // namespace kelvo::kwin

Q_DECLARE_METATYPE(kelvo::kwin::KeySequence)

namespace kelvo::kwin {

QDBusArgument &operator<<(QDBusArgument &argument, const KeySequence &sequence)
{
    argument.beginStructure();
    argument << sequence.keys;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, KeySequence &sequence)
{
    argument.beginStructure();
    argument >> sequence.keys;
    argument.endStructure();
    return argument;
}

namespace {

const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");

// setShortcutKeys' flags.
constexpr uint kSetPresent = 2;    // the program is there to receive presses
constexpr uint kNoAutoloading = 4; // the keys given win over the stored ones
constexpr uint kIsDefault = 8;     // the keys given are the default

// One shortcut of one key, as the service takes it.
QVariant shortcutOf(int key)
{
    return QVariant::fromValue(QList<KeySequence>{{{key, 0, 0, 0}}});
}

// The first key of the first sequence, 0 for none.
int firstKey(const QVariant &sequences)
{
    return qdbus_cast<QList<KeySequence>>(sequences).value(0).keys.value(0);
}

QString keyText(int key)
{
    return QKeySequence(key).toString(QKeySequence::PortableText);
}

} // namespace

KGlobalAccelHotKeyService::KGlobalAccelHotKeyService(const QDBusConnection &bus,
                                                     std::optional<std::pair<quint32, quint32>> defaultKey,
                                                     QObject *parent)
    : QObject(parent), bus_(bus)
{
    qDBusRegisterMetaType<KeySequence>();
    qDBusRegisterMetaType<QList<KeySequence>>();
    if (defaultKey)
        defaultKey_ = qtKeyCodeFor(defaultKey->first, defaultKey->second);
    const QString service = QLatin1String(kService);
    // Presses come from the component's object; any path, filtered by name.
    bus_.connect(service, QString(), kComponentInterface, QStringLiteral("globalShortcutPressed"), this,
                 SLOT(onPressed(QDBusMessage)));
    // Keys set in System Settings.
    bus_.connect(service, kPath, kInterface, QStringLiteral("yourShortcutsChanged"), this,
                 SLOT(onKeysChanged(QDBusMessage)));
}

KGlobalAccelHotKeyService::~KGlobalAccelHotKeyService()
{
    if (handle_)
        unregisterHotKey(handle_);
}

bool KGlobalAccelHotKeyService::offered(const QDBusConnection &bus, int limitMs)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("NameHasOwner"));
    ask << QLatin1String(kService);
    const QDBusMessage reply = QDBusConnection(bus).call(ask, QDBus::Block, limitMs);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

QStringList KGlobalAccelHotKeyService::actionId()
{
    return {QLatin1String(kComponent), QLatin1String(kAction), QStringLiteral("Kelvo"),
            QCoreApplication::translate("KGlobalAccelHotKeyService", "显示剪贴板历史")};
}

void KGlobalAccelHotKeyService::installHandler(std::function<void()> onPressed)
{
    onPressed_ = std::move(onPressed);
}

void KGlobalAccelHotKeyService::installSettledHandler(std::function<void(quint64, qint32)> onSettled)
{
    onSettled_ = std::move(onSettled);
}

void KGlobalAccelHotKeyService::installReboundHandler(std::function<void(quint64, quint32, quint32)> onRebound)
{
    onRebound_ = std::move(onRebound);
}

QDBusMessage KGlobalAccelHotKeyService::call(const char *method, const QList<QVariant> &arguments) const
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kService), kPath, kInterface, QLatin1String(method));
    message.setArguments(arguments);
    return message;
}

HotKeyRegistration KGlobalAccelHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers)
{
    const std::optional<int> key = qtKeyCodeFor(keyCode, modifiers);
    if (!key)
        return {std::nullopt, UnknownKeyStatus};
    if (!bus_.isConnected())
        return {std::nullopt, NoAnswerStatus};
    const quint64 handle = nextHandle_++;
    handle_ = handle;
    // One connection delivers these in order: the action exists before its
    // keys are set.
    bus_.send(call("doRegister", {actionId()}));
    if (defaultKey_)
        bus_.send(call("setShortcutKeys", {actionId(), shortcutOf(*defaultKey_), kIsDefault}));
    const uint flags = kSetPresent | (autoloaded_ ? kNoAutoloading : 0);
    autoloaded_ = true;
    auto *watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(call("setShortcutKeys", {actionId(), shortcutOf(*key), flags}), kAnswerLimitMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, handle, asked = *key](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (handle != handle_)
            return; // unregistered or replaced meanwhile
        if (w->isError()) {
            logLine(QStringLiteral("[KGlobalAccel] setShortcutKeys failed: %1").arg(w->error().message()));
            handle_ = 0;
            if (onSettled_)
                onSettled_(handle, NoAnswerStatus);
            return;
        }
        settle(handle, asked, firstKey(w->reply().arguments().value(0)));
    });
    return {handle, 0, true};
}

void KGlobalAccelHotKeyService::settle(quint64 handle, int asked, int key)
{
    if (!key) {
        // The service gives no key when another component holds it.
        logLine(QStringLiteral("[KGlobalAccel] %1 is taken by another program").arg(keyText(asked)));
        handle_ = 0;
        if (onSettled_)
            onSettled_(handle, TakenStatus);
        return;
    }
    if (key != asked) {
        logLine(QStringLiteral("[KGlobalAccel] %1 is bound to %2 in the desktop's shortcut settings")
                    .arg(QLatin1String(kAction), keyText(key)));
        keyChanged(key);
    }
    if (onSettled_)
        onSettled_(handle, 0);
}

void KGlobalAccelHotKeyService::unregisterHotKey(quint64 handle)
{
    if (!handle || handle != handle_)
        return;
    handle_ = 0;
    // Inactive, the action keeps its key in the desktop's settings.
    bus_.send(call("setInactive", {actionId()}));
}

void KGlobalAccelHotKeyService::onPressed(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    if (handle_ && onPressed_ && args.value(0).toString() == QLatin1String(kComponent)
        && args.value(1).toString() == QLatin1String(kAction))
        onPressed_();
}

void KGlobalAccelHotKeyService::onKeysChanged(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    const QStringList id = args.value(0).toStringList();
    if (!handle_ || id.value(0) != QLatin1String(kComponent) || id.value(1) != QLatin1String(kAction))
        return;
    const int first = firstKey(args.value(1));
    if (!first) {
        logLine(QStringLiteral("[KGlobalAccel] %1 has no key now (set one in the desktop's shortcut settings)")
                    .arg(QLatin1String(kAction)));
        return;
    }
    logLine(QStringLiteral("[KGlobalAccel] %1 is now %2").arg(QLatin1String(kAction), keyText(first)));
    keyChanged(first);
}

void KGlobalAccelHotKeyService::keyChanged(int key)
{
    const auto combination = combinationForQtKeyCode(key);
    if (!combination) {
        logLine(QStringLiteral("[KGlobalAccel] %1 has no key position here; Kelvo's settings keep the old one")
                    .arg(keyText(key)));
        return;
    }
    if (onRebound_)
        onRebound_(handle_, combination->first, combination->second);
}

} // namespace kelvo::kwin
