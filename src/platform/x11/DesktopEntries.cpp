#include "platform/x11/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStandardPaths>

namespace kelvo::x11 {

namespace {

// Undoes the escapes of a desktop file's string values.
QString unescape(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out.append(c);
            continue;
        }
        const QChar n = value.at(++i);
        switch (n.unicode()) {
        case 's': out.append(u' '); break;
        case 'n': out.append(u'\n'); break;
        case 't': out.append(u'\t'); break;
        case 'r': out.append(u'\r'); break;
        case '\\': out.append(u'\\'); break;
        default: out.append(u'\\'); out.append(n); break;
        }
    }
    return out;
}

// The file name of the program a command line runs: its first word (past
// an `env` and its assignments), quotes dropped.
QString programName(const QString &commandLine)
{
    QStringList words;
    QString word;
    bool quoted = false;
    for (const QChar c : commandLine + u' ') {
        if (c == u'"')
            quoted = !quoted;
        else if (c == u' ' && !quoted) {
            if (!word.isEmpty())
                words.append(word);
            word.clear();
        } else
            word.append(c);
    }
    bool afterEnv = false;
    for (const QString &w : std::as_const(words)) {
        if (w == QLatin1String("env")) {
            afterEnv = true;
            continue;
        }
        if (afterEnv && (w.contains(u'=') || w.startsWith(u'-')))
            continue;
        return w.section(u'/', -1);
    }
    return {};
}

} // namespace

std::optional<DesktopEntry> parseDesktopEntry(const QByteArray &contents, const QString &fileId,
                                              const QString &locale)
{
    QHash<QString, QString> keys;
    bool inEntry = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key))
            keys.insert(key, unescape(line.mid(eq + 1).trimmed()));
    }

    if (keys.value(QStringLiteral("Type")) != QLatin1String("Application"))
        return std::nullopt;
    if (keys.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;

    // Name[lang_COUNTRY@MODIFIER] > Name[lang_COUNTRY] > Name[lang@MODIFIER] > Name[lang] > Name
    QString name;
    QStringList candidates;
    QString base = locale.section(u'.', 0, 0); // drop an encoding
    const QString modifier = base.contains(u'@') ? base.section(u'@', 1) : QString();
    base = base.section(u'@', 0, 0);
    const QString lang = base.section(u'_', 0, 0);
    if (!modifier.isEmpty())
        candidates << base + u'@' + modifier;
    candidates << base;
    if (!modifier.isEmpty())
        candidates << lang + u'@' + modifier;
    candidates << lang;
    for (const QString &c : std::as_const(candidates)) {
        if (c.isEmpty())
            continue;
        name = keys.value(QStringLiteral("Name[%1]").arg(c));
        if (!name.isEmpty())
            break;
    }
    if (name.isEmpty())
        name = keys.value(QStringLiteral("Name"));
    if (name.isEmpty())
        return std::nullopt;

    DesktopEntry entry;
    entry.fileId = fileId;
    entry.name = name;
    entry.icon = keys.value(QStringLiteral("Icon"));
    entry.startupWMClass = keys.value(QStringLiteral("StartupWMClass"));
    entry.executable = programName(keys.value(QStringLiteral("TryExec")).isEmpty() ? keys.value(QStringLiteral("Exec"))
                                                                                   : keys.value(QStringLiteral("TryExec")));
    entry.noDisplay = keys.value(QStringLiteral("NoDisplay")) == QLatin1String("true");
    return entry;
}

DesktopEntryIndex::DesktopEntryIndex(QStringList dataDirs, QString locale)
    : dataDirs_(std::move(dataDirs)), locale_(std::move(locale))
{
    if (dataDirs_.isEmpty())
        dataDirs_ = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (locale_.isEmpty())
        locale_ = QLocale().name();
}

void DesktopEntryIndex::rescanIfStale()
{
    // Applications get installed while the program runs; a rescan is cheap
    // next to the rate at which windows come to the front.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (scannedAt_.isValid() && scannedAt_.secsTo(now) < 30)
        return;
    scannedAt_ = now;
    entries_.clear();
    QSet<QString> seen;
    for (const QString &dir : std::as_const(dataDirs_)) {
        const QString appDir = QDir(dir).filePath(QStringLiteral("applications"));
        QDirIterator it(appDir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            // The file id of applications/kde/foo.desktop is kde-foo.
            QString id = QDir(appDir).relativeFilePath(path);
            id.chop(int(qstrlen(".desktop")));
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (auto entry = parseDesktopEntry(file.read(1 << 20), id, locale_))
                entries_.append(*entry);
        }
    }
}

std::optional<DesktopEntry> DesktopEntryIndex::findByExecutable(const QString &executable)
{
    rescanIfStale();
    if (executable.isEmpty())
        return std::nullopt;
    for (const DesktopEntry &e : std::as_const(entries_))
        if (e.executable == executable)
            return e;
    return std::nullopt;
}

QList<DesktopEntry> DesktopEntryIndex::all()
{
    rescanIfStale();
    return entries_;
}

std::optional<DesktopEntry> DesktopEntryIndex::find(const QString &wmInstance, const QString &wmClass)
{
    rescanIfStale();
    const QStringList names = {wmClass, wmInstance};
    for (const QString &n : names) {
        if (n.isEmpty())
            continue;
        for (const DesktopEntry &e : std::as_const(entries_))
            if (!e.startupWMClass.isEmpty() && e.startupWMClass.compare(n, Qt::CaseInsensitive) == 0)
                return e;
    }
    for (const QString &n : names) {
        if (n.isEmpty())
            continue;
        for (const DesktopEntry &e : std::as_const(entries_))
            if (e.fileId.compare(n, Qt::CaseInsensitive) == 0)
                return e;
        for (const DesktopEntry &e : std::as_const(entries_))
            if (e.fileId.section(u'.', -1).compare(n, Qt::CaseInsensitive) == 0)
                return e;
    }
    return std::nullopt;
}

} // namespace kelvo::x11
