#include "platform/gnome/ShellExtension.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace kelvo::gnome {

namespace {

struct KeyPress {
    quint32 code = 0;
    bool pressed = false;
};

QDBusArgument &operator<<(QDBusArgument &argument, const KeyPress &key)
{
    argument.beginStructure();
    argument << key.code << key.pressed;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, KeyPress &key)
{
    argument.beginStructure();
    argument >> key.code >> key.pressed;
    argument.endStructure();
    return argument;
}

} // namespace

} // namespace kelvo::gnome

Q_DECLARE_METATYPE(kelvo::gnome::KeyPress)

namespace kelvo::gnome {

ShellExtension::ShellExtension(const QDBusConnection &bus, QObject *parent) : QObject(parent), bus_(bus)
{
    qDBusRegisterMetaType<KeyPress>();
    qDBusRegisterMetaType<QList<KeyPress>>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
    qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
    const QString name = QString::fromLatin1(kBusName), path = QString::fromLatin1(kObjectPath),
                  iface = QString::fromLatin1(kInterface);
    bus_.connect(name, path, iface, QStringLiteral("ClipboardChanged"), this,
                 SLOT(onClipboardChanged(qulonglong, QStringList)));
    bus_.connect(name, path, iface, QStringLiteral("FocusChanged"), this, SLOT(onFocusChanged(QVariantMap)));
    bus_.connect(name, path, iface, QStringLiteral("ShortcutPressed"), this, SLOT(onShortcutPressed()));
    watcher_ = new QDBusServiceWatcher(name, bus_, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, &ShellExtension::reappeared);
}

std::optional<uint> ShellExtension::version(const QDBusConnection &bus, int timeoutMs)
{
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kObjectPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QString::fromLatin1(kInterface) << QStringLiteral("Version");
    // The extension is part of the running shell: never start anything for it.
    get.setAutoStartService(false);
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, timeoutMs);
    if (!reply.isValid())
        return std::nullopt;
    bool ok = false;
    const uint version = reply.value().variant().toUInt(&ok);
    return ok ? std::optional<uint>(version) : std::nullopt;
}

QDBusMessage ShellExtension::call(const QString &method) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kObjectPath),
                                                          QString::fromLatin1(kInterface), method);
    message.setAutoStartService(false);
    return message;
}

QDBusPendingCall ShellExtension::readClipboard(quint64 serial, const QStringList &mimeTypes,
                                               const QList<QDBusUnixFileDescriptor> &fds, int timeoutMs) const
{
    QDBusMessage message = call(QStringLiteral("ReadClipboard"));
    message << QVariant::fromValue(qulonglong(serial)) << mimeTypes << QVariant::fromValue(fds);
    return bus_.asyncCall(message, timeoutMs);
}

std::optional<QVariantMap> ShellExtension::focus(int timeoutMs) const
{
    const QDBusReply<QVariantMap> reply = bus_.call(call(QStringLiteral("GetFocus")), QDBus::Block, timeoutMs);
    return reply.isValid() ? std::optional<QVariantMap>(reply.value()) : std::nullopt;
}

void ShellExtension::activate(quint64 window) const
{
    QDBusMessage message = call(QStringLiteral("Activate"));
    message << QVariant::fromValue(qulonglong(window));
    bus_.asyncCall(message);
}

void ShellExtension::placePanel(quint32 x11Window, const QRect &frame) const
{
    QDBusMessage message = call(QStringLiteral("PlacePanel"));
    message << uint(x11Window) << frame.x() << frame.y() << frame.width() << frame.height();
    bus_.asyncCall(message);
}

void ShellExtension::sendKeys(const QList<std::pair<quint32, bool>> &keys) const
{
    QList<KeyPress> presses;
    for (const auto &[code, pressed] : keys)
        presses.append({code, pressed});
    QDBusMessage message = call(QStringLiteral("SendKeys"));
    message << QVariant::fromValue(presses);
    bus_.asyncCall(message);
}

QDBusPendingCall ShellExtension::setShortcut(const QString &accelerator) const
{
    QDBusMessage message = call(QStringLiteral("SetShortcut"));
    message << accelerator;
    return bus_.asyncCall(message, 10000);
}

void ShellExtension::setStatusMenu(const QMap<QString, QString> &labels, bool paused, bool visible) const
{
    QDBusMessage message = call(QStringLiteral("SetStatusMenu"));
    message << QVariant::fromValue(labels) << paused << visible;
    bus_.asyncCall(message);
}

void ShellExtension::onClipboardChanged(qulonglong serial, const QStringList &mimeTypes)
{
    emit clipboardChanged(serial, mimeTypes);
}

void ShellExtension::onFocusChanged(const QVariantMap &window)
{
    emit focusChanged(window);
}

void ShellExtension::onShortcutPressed()
{
    emit shortcutPressed();
}

} // namespace kelvo::gnome
