#include "app/DBusService.h"

#include "app/AppDelegate.h"
#include "app/ApplicationId.h"
#include "settings/StoredPreferences.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

QString kindName(ClipboardContent::Kind kind)
{
    switch (kind) {
    case ClipboardContent::Kind::Text: return QStringLiteral("text");
    case ClipboardContent::Kind::RichText: return QStringLiteral("richText");
    case ClipboardContent::Kind::Image: return QStringLiteral("image");
    case ClipboardContent::Kind::Url: return QStringLiteral("url");
    case ClipboardContent::Kind::Raw: return QStringLiteral("raw");
    }
    return QString();
}

QString isoTime(Timestamp timestamp)
{
    const qint64 ms = qint64(std::llround((timestamp + kUnixToReferenceOffset) * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(Qt::ISODate);
}

QList<ClipboardItem> tabEntries(const QList<ClipboardItem> &items, bool pinned)
{
    QList<ClipboardItem> out;
    for (const ClipboardItem &item : items)
        if (item.isPinned == pinned)
            out.append(item);
    return out;
}

} // namespace

DBusService::DBusService(AppDelegate &delegate, StoredPreferences &prefs, QString platform, QObject *parent)
    : QObject(parent), delegate_(delegate), prefs_(prefs), platform_(std::move(platform))
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    connect(&delegate_.clipboardManager(), &ClipboardManager::itemsChanged, this, &DBusService::HistoryChanged);
}

bool DBusService::sessionBusConfigured()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

bool DBusService::registerOnSessionBus()
{
    QTextStream out(stdout);
    if (!sessionBusConfigured()) {
        out << "[Kelvo] 没有 D-Bus 会话总线, 命令行不可用" << Qt::endl;
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        out << "[Kelvo] 无法连接 D-Bus 会话总线: " << bus.lastError().message() << Qt::endl;
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(appid::kObjectPath), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        out << "[Kelvo] 无法注册 D-Bus 对象: " << bus.lastError().message() << Qt::endl;
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(appid::kId))) {
        out << "[Kelvo] 无法取得 D-Bus 名称 " << appid::kId << ": " << bus.lastError().message() << Qt::endl;
        bus.unregisterObject(QString::fromLatin1(appid::kObjectPath));
        return false;
    }
    return true;
}

void DBusService::fail(const char *name, const QString &message)
{
    if (calledFromDBus())
        sendErrorReply(QString::fromLatin1(name), message);
}

std::optional<ClipboardItem> DBusService::resolve(const QString &entry, bool pinned)
{
    const QList<ClipboardItem> &items = delegate_.clipboardManager().items();
    bool isNumber = false;
    const qint64 number = entry.toLongLong(&isNumber);
    if (isNumber) {
        const QList<ClipboardItem> tab = tabEntries(items, pinned);
        if (number >= 1 && number <= tab.size())
            return tab.at(number - 1);
        if (tab.isEmpty())
            fail(appid::kErrorNoSuchEntry, (pinned ? tr("没有条目 %1：固定列表是空的") : tr("没有条目 %1：历史是空的"))
                                               .arg(entry));
        else
            fail(appid::kErrorNoSuchEntry,
                 (pinned ? tr("没有条目 %1：固定列表只有第 1 到 %2 条") : tr("没有条目 %1：历史只有第 1 到 %2 条"))
                     .arg(entry, QString::number(tab.size())));
        return std::nullopt;
    }
    const QUuid id(entry);
    if (!id.isNull())
        for (const ClipboardItem &item : items)
            if (item.id == id)
                return item;
    fail(appid::kErrorNoSuchEntry, tr("没有 id 为 %1 的条目").arg(entry));
    return std::nullopt;
}

void DBusService::Toggle() { delegate_.togglePanel(); }

void DBusService::Show()
{
    if (!delegate_.panel() || !delegate_.panel()->isVisible())
        delegate_.showPanel();
}

void DBusService::OpenSettings() { delegate_.openSettings(); }

void DBusService::Quit()
{
    // After the reply has gone out.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
}

QList<QVariantMap> DBusService::List(bool pinned)
{
    QList<QVariantMap> out;
    const QList<ClipboardItem> tab = tabEntries(delegate_.clipboardManager().items(), pinned);
    for (qsizetype i = 0; i < tab.size(); ++i) {
        const ClipboardItem &item = tab.at(i);
        out.append(QVariantMap{{QStringLiteral("index"), int(i + 1)},
                               {QStringLiteral("id"), item.id.toString(QUuid::WithoutBraces).toUpper()},
                               {QStringLiteral("kind"), kindName(item.content.kind())},
                               {QStringLiteral("preview"), item.preview},
                               {QStringLiteral("infoLabel"), item.infoLabel},
                               {QStringLiteral("pinned"), item.isPinned},
                               {QStringLiteral("sourceAppName"), item.sourceAppName.value_or(QString())},
                               {QStringLiteral("time"), isoTime(item.timestamp)}});
    }
    return out;
}

QByteArray DBusService::Get(const QString &entry, bool pinned, const QString &format)
{
    const std::optional<ClipboardItem> item = resolve(entry, pinned);
    if (!item)
        return {};
    const ClipboardContent &content = item->content;
    const auto kind = content.kind();
    if (format == QLatin1String("rtf") || format == QLatin1String("html")) {
        if (kind != ClipboardContent::Kind::RichText) {
            fail(appid::kErrorNoSuchFormat, tr("条目 %1 不是富文本").arg(entry));
            return {};
        }
        if (format == QLatin1String("rtf"))
            return readable(entry, content.readData());
        if (!item->richTextHTMLData) {
            fail(appid::kErrorNoSuchFormat, tr("条目 %1 没有 HTML").arg(entry));
            return {};
        }
        return *item->richTextHTMLData;
    }
    if (!format.isEmpty()) {
        fail(appid::kErrorInvalidArgs, tr("未知的格式 %1").arg(format));
        return {};
    }
    switch (kind) {
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::RichText:
    case ClipboardContent::Kind::Url:
        return content.string().toUtf8();
    case ClipboardContent::Kind::Image:
        return readable(entry, content.readData());
    case ClipboardContent::Kind::Raw:
        break;
    }
    // Application data: its plain-text flavour, when it has one.
    for (const PasteboardItemPayload &payload : content.payloads())
        for (const PasteboardRepresentation &rep : payload.representations)
            if (rep.type == QLatin1String("public.utf8-plain-text"))
                return rep.data;
    fail(appid::kErrorNoSuchFormat, tr("条目 %1 是不含文本的应用数据").arg(entry));
    return {};
}

QByteArray DBusService::readable(const QString &entry, const std::optional<QByteArray> &bytes)
{
    if (bytes)
        return *bytes;
    delegate_.clipboardManager().faults().report(Fault::EntryUnreadable);
    fail(appid::kErrorUnreadable, QStringLiteral("Entry %1 can no longer be read from the history file").arg(entry));
    return {};
}

void DBusService::notWritten(const QString &entry)
{
    fail(appid::kErrorNotWritten,
         QStringLiteral("Entry %1 was not put on the clipboard: its content can no longer be read from the history "
                        "file, or the clipboard refused it; the clipboard is unchanged")
             .arg(entry));
}

void DBusService::Copy(const QString &entry, bool pinned, bool plainText)
{
    const std::optional<ClipboardItem> item = resolve(entry, pinned);
    if (!item)
        return;
    ClipboardManager &manager = delegate_.clipboardManager();
    if (!(plainText ? manager.writePlainTextToPasteboard(*item) : manager.writeToPasteboard(*item)))
        notWritten(entry);
}

void DBusService::Paste(const QString &entry, bool pinned, bool plainText)
{
    const std::optional<ClipboardItem> item = resolve(entry, pinned);
    if (item && !delegate_.pasteToFrontmost(*item, plainText))
        notWritten(entry);
}

void DBusService::Pin(const QString &entry, bool pinned)
{
    const std::optional<ClipboardItem> item = resolve(entry, pinned);
    if (item && !item->isPinned)
        delegate_.clipboardManager().togglePin(item->id);
}

void DBusService::Unpin(const QString &entry, bool pinned)
{
    const std::optional<ClipboardItem> item = resolve(entry, pinned);
    if (item && item->isPinned)
        delegate_.clipboardManager().togglePin(item->id);
}

void DBusService::Delete(const QString &entry, bool pinned)
{
    if (const std::optional<ClipboardItem> item = resolve(entry, pinned))
        delegate_.clipboardManager().removeItem(item->id);
}

void DBusService::Clear(bool pinned)
{
    if (pinned)
        delegate_.clipboardManager().clearPinned();
    else
        delegate_.clipboardManager().clearHistory();
}

void DBusService::Pause() { prefs_.setCapturePaused(true); }

void DBusService::Resume() { prefs_.setCapturePaused(false); }

QStringList DBusService::IgnoredApplications() { return prefs_.ignoredApplications(); }

void DBusService::IgnoreApplication(const QString &id)
{
    if (StoredPreferences::applicationId(id).isEmpty())
        fail(appid::kErrorInvalidArgs, QStringLiteral("An application's name is needed"));
    else
        prefs_.ignoreApplication(id);
}

void DBusService::UnignoreApplication(const QString &id)
{
    if (!prefs_.unignoreApplication(id))
        fail(appid::kErrorNoSuchEntry, QStringLiteral("%1 is not ignored").arg(id.trimmed()));
}

QVariantMap DBusService::Status()
{
    const QList<ClipboardItem> &items = delegate_.clipboardManager().items();
    const int pinnedCount = int(std::count_if(items.begin(), items.end(), [](const ClipboardItem &i) { return i.isPinned; }));
    return QVariantMap{{QStringLiteral("paused"), delegate_.clipboardManager().isCapturePaused()},
                       {QStringLiteral("entries"), int(items.size()) - pinnedCount},
                       {QStringLiteral("pinned"), pinnedCount},
                       {QStringLiteral("historyFile"), delegate_.clipboardManager().storageURL()},
                       {QStringLiteral("historySaved"), delegate_.clipboardManager().isSaved()},
                       {QStringLiteral("platform"), platform_},
                       {QStringLiteral("version"), QCoreApplication::applicationVersion()},
                       {QStringLiteral("pid"), QCoreApplication::applicationPid()}};
}

} // namespace kelvo
