#include "app/CommandLine.h"

#include "app/ApplicationId.h"
#include "app/DBusService.h"
#include "model/DisplayTexts.h"
#include "platform/x11/SettingsPreferencesStore.h"
#include "settings/StoredPreferences.h"
#include "settings/Translations.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <optional>

#ifndef KELVO_VERSION
#define KELVO_VERSION "1.0.0"
#endif

namespace kelvo {

namespace {

enum Exit { Done = 0, Failed = 1, Usage = 2 };

// The verbs' names, options and ENTRY are the command's own words, the
// same in every language.
QString usage()
{
    return QCoreApplication::translate(
        "CommandLine",
        "用法：kelvo [命令 [选项]]\n"
        "\n"
        "不带命令时启动 Kelvo（托盘中的剪贴板历史）。\n"
        "以下命令与正在运行的 Kelvo 通信：\n"
        "\n"
        "  toggle                     显示历史面板；面板已显示时将其隐藏\n"
        "  show                       显示历史面板\n"
        "  settings                   打开设置窗口\n"
        "  quit                       退出 Kelvo\n"
        "  list [--pinned] [--json]   列出历史（或固定条目），最新的在前：\n"
        "                             序号<TAB>类型<TAB>预览，或一个 JSON 数组\n"
        "  get ENTRY [--rtf|--html]   将条目的内容写到标准输出\n"
        "                             （文本为 UTF-8，图片为 PNG）\n"
        "  copy ENTRY [--plain]       将条目放到剪贴板（加 --plain 时富文本只作为纯文本）\n"
        "                             并移到最前\n"
        "  paste ENTRY [--plain]      同上，然后粘贴到前台窗口\n"
        "  pin ENTRY                  固定条目\n"
        "  unpin ENTRY                取消固定条目（序号按固定列表计）\n"
        "  delete ENTRY               删除条目\n"
        "  clear [--pinned]           删除所有未固定（或所有固定）的条目\n"
        "  pause                      暂停记录复制的内容\n"
        "  resume                     恢复记录\n"
        "  ignore list                列出从不读取其复制内容的应用\n"
        "  ignore add|remove APP      添加或移除一个应用：桌面条目 id\n"
        "                             （org.keepassxc.KeePassXC）、窗口类名或\n"
        "                             程序名；Kelvo 未运行时也可用\n"
        "  status                     Kelvo 是否在运行、是否在记录、条目数、\n"
        "                             历史文件和平台\n"
        "\n"
        "ENTRY 是 'kelvo list' 给出的序号（1 为最新；加 --pinned 时为\n"
        "'kelvo list --pinned' 给出的序号）或条目的 id。\n"
        "\n"
        "  -h, --help                 显示此帮助\n"
        "  --version                  显示版本\n"
        "\n"
        "退出状态：0 完成，1 Kelvo 未在运行、没有该条目或无法读出其内容\n"
        "（剪贴板保持不变），2 用法错误。\n");
}

struct Verb {
    const char *name;
    bool takesEntry;
    QStringList options;
};

const QList<Verb> &verbs()
{
    static const QList<Verb> table{
        {"toggle", false, {}},
        {"show", false, {}},
        {"settings", false, {}},
        {"quit", false, {}},
        {"list", false, {"--pinned", "--json"}},
        {"get", true, {"--pinned", "--rtf", "--html"}},
        {"copy", true, {"--pinned", "--plain"}},
        {"paste", true, {"--pinned", "--plain"}},
        {"pin", true, {"--pinned"}},
        {"unpin", true, {"--pinned"}},
        {"delete", true, {"--pinned"}},
        {"clear", false, {"--pinned"}},
        {"pause", false, {}},
        {"resume", false, {}},
        {"ignore", false, {}},
        {"status", false, {}},
    };
    return table;
}

int usageError(const QString &message)
{
    fprintf(stderr, "kelvo: %s\n\n%s", qPrintable(message), qPrintable(usage()));
    return Usage;
}

int failure(const QString &message)
{
    fprintf(stderr, "%s\n", qPrintable(message));
    return Failed;
}

int notRunning() { return failure(QCoreApplication::translate("CommandLine", "Kelvo 未在运行")); }

void writeOut(const QByteArray &bytes)
{
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    fflush(stdout);
}

// One call to the running instance. Never starts Kelvo: a command line
// that finds none says so.
class Remote {
public:
    Remote()
        : bus_(DBusService::sessionBusConfigured() ? QDBusConnection::sessionBus()
                                                   : QDBusConnection(QStringLiteral("none")))
    {
    }

    bool isRunning() const
    {
        return bus_.isConnected() && bus_.interface() &&
               bus_.interface()->isServiceRegistered(QString::fromLatin1(appid::kId)).value();
    }

    // The reply, or the exit status of the failure, which is already told.
    std::optional<QDBusMessage> call(const QString &method, const QVariantList &args, int *status)
    {
        if (!isRunning()) {
            *status = notRunning();
            return std::nullopt;
        }
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromLatin1(appid::kId), QString::fromLatin1(appid::kObjectPath),
            QString::fromLatin1(appid::kInterface), method);
        message.setArguments(args);
        message.setAutoStartService(false);
        const QDBusMessage reply = bus_.call(message, QDBus::Block, 30000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return reply;
        const QString name = reply.errorName();
        if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            *status = notRunning();
        else if (name.startsWith(QString::fromLatin1(appid::kInterface) + QLatin1String(".Error.")))
            *status = failure(reply.errorMessage());
        else
            *status = failure(QCoreApplication::translate("CommandLine", "kelvo: %1 失败：%2").arg(method, reply.errorMessage()));
        return std::nullopt;
    }

private:
    QDBusConnection bus_;
};

QString firstLine(QString text)
{
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    if (end >= 0)
        text.truncate(end);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text.replace(QLatin1Char('\t'), QLatin1Char(' '));
}

int printList(const QDBusMessage &reply, bool json)
{
    const auto entries = qdbus_cast<QList<QVariantMap>>(reply.arguments().value(0));
    if (json) {
        QJsonArray array;
        for (const QVariantMap &entry : entries)
            array.append(QJsonObject::fromVariantMap(entry));
        writeOut(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return Done;
    }
    QByteArray out;
    for (const QVariantMap &entry : entries) {
        const QString kind = entry.value(QStringLiteral("kind")).toString();
        QString preview = entry.value(QStringLiteral("preview")).toString();
        // The derived previews of pictures and application data in the
        // user's language; the JSON keeps them as stored.
        if (kind == QLatin1String("image"))
            preview = localizedPreview(ClipboardContent::Kind::Image, preview);
        else if (kind == QLatin1String("raw"))
            preview = localizedPreview(ClipboardContent::Kind::Raw, preview);
        out += QStringLiteral("%1\t%2\t%3\n")
                   .arg(entry.value(QStringLiteral("index")).toInt())
                   .arg(kind, firstLine(preview))
                   .toUtf8();
    }
    writeOut(out);
    return Done;
}

int printStatus(const QDBusMessage &reply)
{
    const auto status = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    const auto field = [&](const char *key) { return status.value(QString::fromLatin1(key)).toString(); };
    QString out;
    out += QCoreApplication::translate("CommandLine", "Kelvo %1 正在运行（进程 %2）").arg(field("version"), field("pid")) + u'\n';
    out += (status.value(QStringLiteral("paused")).toBool() ? QCoreApplication::translate("CommandLine", "记录：已暂停")
                                                           : QCoreApplication::translate("CommandLine", "记录：进行中"))
         + u'\n';
    out += QCoreApplication::translate("CommandLine", "条目：%1").arg(field("entries")) + u'\n';
    out += QCoreApplication::translate("CommandLine", "固定：%1").arg(field("pinned")) + u'\n';
    out += QCoreApplication::translate("CommandLine", "历史文件：%1").arg(field("historyFile")) + u'\n';
    out += QCoreApplication::translate("CommandLine", "平台：%1").arg(field("platform")) + u'\n';
    writeOut(out.toUtf8());
    return Done;
}

// Waits until the instance has left the bus.
int waitForQuit(Remote &remote)
{
    QDeadlineTimer deadline(10000);
    while (remote.isRunning()) {
        if (deadline.hasExpired())
            return failure(QCoreApplication::translate("CommandLine", "kelvo: Kelvo 未在 10 秒内退出"));
        QThread::msleep(50);
    }
    return Done;
}

// `kelvo ignore list|add|remove [APP]`: through the running instance, or,
// when none runs, in the preferences file it reads at start.
int ignore(const QStringList &args)
{
    const QString action = args.value(0);
    const bool list = action == QLatin1String("list");
    if (!list && action != QLatin1String("add") && action != QLatin1String("remove"))
        return usageError(action.isEmpty() ? QCoreApplication::translate("CommandLine", "'ignore' 需要 list、add 或 remove")
                                           : QCoreApplication::translate("CommandLine", "'ignore' 没有操作 '%1'").arg(action));
    if (args.size() != (list ? 1 : 2))
        return usageError(list ? QCoreApplication::translate("CommandLine", "'ignore list' 不接受应用")
                               : QCoreApplication::translate("CommandLine", "'ignore %1' 需要一个应用").arg(action));
    const QString app = args.value(1);
    const auto print = [](const QStringList &ids) {
        writeOut(ids.isEmpty() ? QByteArray() : (ids.join(u'\n') + u'\n').toUtf8());
        return int(Done);
    };
    Remote remote;
    if (remote.isRunning()) {
        int status = Done;
        const QString method = list ? QStringLiteral("IgnoredApplications")
                               : action == QLatin1String("add") ? QStringLiteral("IgnoreApplication")
                                                                : QStringLiteral("UnignoreApplication");
        const auto reply = remote.call(method, list ? QVariantList() : QVariantList{app}, &status);
        if (!reply)
            return status;
        return list ? print(reply->arguments().value(0).toStringList()) : int(Done);
    }
    SettingsPreferencesStore store;
    StoredPreferences prefs(store);
    if (list)
        return print(prefs.ignoredApplications());
    if (action == QLatin1String("add")) {
        if (StoredPreferences::applicationId(app).isEmpty())
            return failure(QCoreApplication::translate("CommandLine", "kelvo: 需要应用的名称"));
        prefs.ignoreApplication(app);
        return Done;
    }
    return prefs.unignoreApplication(app) ? int(Done) : failure(QCoreApplication::translate("CommandLine", "kelvo: %1 不在排除列表中").arg(app.trimmed()));
}

} // namespace

int runCommandLine(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The messages in the language the program's windows use.
    SettingsPreferencesStore store;
    Translations translations;
    translations.apply(StoredPreferences(store).language());
    QStringList args = app.arguments().mid(1);
    const QString first = args.value(0);
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        if (args.size() > 1)
            return usageError(QCoreApplication::translate("CommandLine", "'%1' 不接受参数").arg(first));
        writeOut(usage().toUtf8());
        return Done;
    }
    if (first == QLatin1String("--version")) {
        if (args.size() > 1)
            return usageError(QCoreApplication::translate("CommandLine", "'%1' 不接受参数").arg(first));
        writeOut("kelvo " KELVO_VERSION "\n");
        return Done;
    }

    const Verb *verb = nullptr;
    for (const Verb &candidate : verbs())
        if (first == QLatin1String(candidate.name))
            verb = &candidate;
    if (!verb)
        return usageError(first.startsWith(QLatin1Char('-'))
                              ? QCoreApplication::translate("CommandLine", "未知的选项 '%1'").arg(first)
                              : QCoreApplication::translate("CommandLine", "未知的命令 '%1'").arg(first));

    QStringList options;
    QStringList positional;
    for (const QString &arg : args.mid(1)) {
        if (arg.startsWith(QLatin1String("--"))) {
            if (!verb->options.contains(arg))
                return usageError(QCoreApplication::translate("CommandLine", "'%1' 没有选项 '%2'").arg(first, arg));
            if (!options.contains(arg))
                options.append(arg);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return usageError(QCoreApplication::translate("CommandLine", "'%1' 没有选项 '%2'").arg(first, arg));
        } else {
            positional.append(arg);
        }
    }
    if (first == QLatin1String("ignore"))
        return ignore(positional);
    if (verb->takesEntry && positional.isEmpty())
        return usageError(
            QCoreApplication::translate("CommandLine", "'%1' 需要一个条目：'kelvo list' 给出的序号或 id").arg(first));
    if (positional.size() > (verb->takesEntry ? 1 : 0))
        return usageError(QCoreApplication::translate("CommandLine", "'%1' 不接受 '%2'").arg(first, positional.last()));
    if (options.contains(QStringLiteral("--rtf")) && options.contains(QStringLiteral("--html")))
        return usageError(QCoreApplication::translate("CommandLine", "'--rtf' 与 '--html' 不能同时使用"));

    qDBusRegisterMetaType<QList<QVariantMap>>();
    const QString entry = positional.value(0);
    const bool pinned = options.contains(QStringLiteral("--pinned"));
    Remote remote;
    int status = Done;
    const auto simple = [&](const QString &method, const QVariantList &callArgs) {
        return remote.call(method, callArgs, &status) ? int(Done) : status;
    };

    const QString name = QString::fromLatin1(verb->name);
    if (name == QLatin1String("toggle"))
        return simple(QStringLiteral("Toggle"), {});
    if (name == QLatin1String("show"))
        return simple(QStringLiteral("Show"), {});
    if (name == QLatin1String("settings"))
        return simple(QStringLiteral("OpenSettings"), {});
    if (name == QLatin1String("quit")) {
        if (!remote.call(QStringLiteral("Quit"), {}, &status))
            return status;
        return waitForQuit(remote);
    }
    if (name == QLatin1String("list")) {
        const auto reply = remote.call(QStringLiteral("List"), {pinned}, &status);
        return reply ? printList(*reply, options.contains(QStringLiteral("--json"))) : status;
    }
    if (name == QLatin1String("get")) {
        const QString format = options.contains(QStringLiteral("--rtf"))    ? QStringLiteral("rtf")
                               : options.contains(QStringLiteral("--html")) ? QStringLiteral("html")
                                                                            : QString();
        const auto reply = remote.call(QStringLiteral("Get"), {entry, pinned, format}, &status);
        if (!reply)
            return status;
        writeOut(reply->arguments().value(0).toByteArray());
        return Done;
    }
    const bool plain = options.contains(QStringLiteral("--plain"));
    if (name == QLatin1String("copy"))
        return simple(QStringLiteral("Copy"), {entry, pinned, plain});
    if (name == QLatin1String("paste"))
        return simple(QStringLiteral("Paste"), {entry, pinned, plain});
    // Numbers given to unpin count the pinned list: the history tab holds
    // no pinned entry.
    if (name == QLatin1String("unpin"))
        return simple(QStringLiteral("Unpin"), {entry, true});
    if (name == QLatin1String("pin"))
        return simple(QStringLiteral("Pin"), {entry, pinned});
    if (name == QLatin1String("delete"))
        return simple(QStringLiteral("Delete"), {entry, pinned});
    if (name == QLatin1String("clear"))
        return simple(QStringLiteral("Clear"), {pinned});
    if (name == QLatin1String("pause"))
        return simple(QStringLiteral("Pause"), {});
    if (name == QLatin1String("resume"))
        return simple(QStringLiteral("Resume"), {});
    const auto reply = remote.call(QStringLiteral("Status"), {}, &status);
    return reply ? printStatus(*reply) : status;
}

} // namespace kelvo
