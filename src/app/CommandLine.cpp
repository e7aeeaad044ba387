#include "app/CommandLine.h"

#include "app/ApplicationId.h"
#include "app/DBusService.h"
#include "platform/x11/SettingsPreferencesStore.h"
#include "settings/StoredPreferences.h"

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

constexpr char kUsage[] =
    "Usage: kelvo [COMMAND [OPTIONS]]\n"
    "\n"
    "Without a command, starts Kelvo (the clipboard history in the tray).\n"
    "The commands talk to the running Kelvo:\n"
    "\n"
    "  toggle                     show the history panel, or hide it when it is up\n"
    "  show                       show the history panel\n"
    "  settings                   open the settings window\n"
    "  quit                       quit Kelvo\n"
    "  list [--pinned] [--json]   the history (or the pinned entries), newest first:\n"
    "                             NUMBER<TAB>KIND<TAB>PREVIEW, or a JSON array\n"
    "  get ENTRY [--rtf|--html]   write the entry's content to standard output\n"
    "                             (text as UTF-8, an image as PNG)\n"
    "  copy ENTRY [--plain]       put the entry on the clipboard (rich text as plain\n"
    "                             text with --plain) and move it first\n"
    "  paste ENTRY [--plain]      the same, then paste it into the window in front\n"
    "  pin ENTRY                  pin the entry\n"
    "  unpin ENTRY                unpin the entry (numbers count the pinned list)\n"
    "  delete ENTRY               delete the entry\n"
    "  clear [--pinned]           delete every unpinned (or every pinned) entry\n"
    "  pause                      stop recording copies\n"
    "  resume                     record copies again\n"
    "  ignore list                the applications whose copies are never read\n"
    "  ignore add|remove APP      add or remove one: a desktop entry id\n"
    "                             (org.keepassxc.KeePassXC), a window class or a\n"
    "                             program name; works without a running Kelvo\n"
    "  status                     whether Kelvo runs and records, the entry counts,\n"
    "                             the history file and the platform\n"
    "\n"
    "ENTRY is a number from 'kelvo list' (1 is the newest; with --pinned, a number\n"
    "from 'kelvo list --pinned') or an entry's id.\n"
    "\n"
    "  -h, --help                 show this help\n"
    "  --version                  show the version\n"
    "\n"
    "Exit status: 0 done, 1 Kelvo is not running, no such entry or its content\n"
    "could not be read (the clipboard is then unchanged), 2 bad usage.\n";

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
    fprintf(stderr, "kelvo: %s\n\n%s", qPrintable(message), kUsage);
    return Usage;
}

int failure(const QString &message)
{
    fprintf(stderr, "%s\n", qPrintable(message));
    return Failed;
}

int notRunning() { return failure(QStringLiteral("Kelvo is not running")); }

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
            *status = failure(QStringLiteral("kelvo: %1 failed: %2").arg(method, reply.errorMessage()));
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
    for (const QVariantMap &entry : entries)
        out += QStringLiteral("%1\t%2\t%3\n")
                   .arg(entry.value(QStringLiteral("index")).toInt())
                   .arg(entry.value(QStringLiteral("kind")).toString(),
                        firstLine(entry.value(QStringLiteral("preview")).toString()))
                   .toUtf8();
    writeOut(out);
    return Done;
}

int printStatus(const QDBusMessage &reply)
{
    const auto status = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    const auto text = [&](const char *key) { return status.value(QString::fromLatin1(key)).toString(); };
    QString out;
    out += QStringLiteral("Kelvo %1 is running (pid %2)\n").arg(text("version"), text("pid"));
    out += QStringLiteral("capture: %1\n")
               .arg(status.value(QStringLiteral("paused")).toBool() ? QStringLiteral("paused")
                                                                     : QStringLiteral("recording"));
    out += QStringLiteral("entries: %1\n").arg(text("entries"));
    out += QStringLiteral("pinned: %1\n").arg(text("pinned"));
    out += QStringLiteral("history file: %1\n").arg(text("historyFile"));
    out += QStringLiteral("platform: %1\n").arg(text("platform"));
    writeOut(out.toUtf8());
    return Done;
}

// Waits until the instance has left the bus.
int waitForQuit(Remote &remote)
{
    QDeadlineTimer deadline(10000);
    while (remote.isRunning()) {
        if (deadline.hasExpired())
            return failure(QStringLiteral("kelvo: Kelvo did not quit within 10 seconds"));
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
        return usageError(action.isEmpty() ? QStringLiteral("'ignore' needs list, add or remove")
                                           : QStringLiteral("'ignore' has no action '%1'").arg(action));
    if (args.size() != (list ? 1 : 2))
        return usageError(list ? QStringLiteral("'ignore list' takes no application")
                               : QStringLiteral("'ignore %1' needs one application").arg(action));
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
            return failure(QStringLiteral("An application's name is needed"));
        prefs.ignoreApplication(app);
        return Done;
    }
    return prefs.unignoreApplication(app) ? int(Done) : failure(QStringLiteral("%1 is not ignored").arg(app.trimmed()));
}

} // namespace

int runCommandLine(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString first = args.value(0);
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        if (args.size() > 1)
            return usageError(QStringLiteral("'%1' takes no arguments").arg(first));
        writeOut(kUsage);
        return Done;
    }
    if (first == QLatin1String("--version")) {
        if (args.size() > 1)
            return usageError(QStringLiteral("'--version' takes no arguments"));
        writeOut("kelvo " KELVO_VERSION "\n");
        return Done;
    }

    const Verb *verb = nullptr;
    for (const Verb &candidate : verbs())
        if (first == QLatin1String(candidate.name))
            verb = &candidate;
    if (!verb)
        return usageError(first.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option '%1'").arg(first)
                                                             : QStringLiteral("unknown command '%1'").arg(first));

    QStringList options;
    QStringList positional;
    for (const QString &arg : args.mid(1)) {
        if (arg.startsWith(QLatin1String("--"))) {
            if (!verb->options.contains(arg))
                return usageError(QStringLiteral("'%1' has no option '%2'").arg(first, arg));
            if (!options.contains(arg))
                options.append(arg);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return usageError(QStringLiteral("'%1' has no option '%2'").arg(first, arg));
        } else {
            positional.append(arg);
        }
    }
    if (first == QLatin1String("ignore"))
        return ignore(positional);
    if (verb->takesEntry && positional.isEmpty())
        return usageError(QStringLiteral("'%1' needs an entry: a number from 'kelvo list' or an id").arg(first));
    if (positional.size() > (verb->takesEntry ? 1 : 0))
        return usageError(QStringLiteral("'%1' does not take '%2'").arg(first, positional.last()));
    if (options.contains(QStringLiteral("--rtf")) && options.contains(QStringLiteral("--html")))
        return usageError(QStringLiteral("'--rtf' and '--html' exclude each other"));

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
