#include "platform/x11/XdgLoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace kelvo {

namespace {

// An Exec argument: quoted when it holds a reserved character, with the
// quoting escapes and then the escapes of a string value applied.
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString arg = argument;
    arg.replace(u'%', QLatin1String("%%"));
    bool quote = false;
    for (QChar c : std::as_const(arg))
        quote = quote || reserved.contains(c);
    if (quote) {
        QString quoted;
        for (QChar c : std::as_const(arg)) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted.append(u'\\');
            quoted.append(c);
        }
        arg = u'"' + quoted + u'"';
    }
    // String value escapes: a backslash is written twice.
    arg.replace(u'\\', QLatin1String("\\\\"));
    arg.replace(u'\n', QLatin1String("\\n"));
    return arg;
}

} // namespace

XdgLoginItem::XdgLoginItem(QString executable, QString autostartDir)
    : executable_(std::move(executable)), autostartDir_(std::move(autostartDir))
{
    if (executable_.isEmpty())
        executable_ = QCoreApplication::applicationFilePath();
    if (autostartDir_.isEmpty())
        autostartDir_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/autostart");
}

QString XdgLoginItem::entryPath() const
{
    return QDir(autostartDir_).filePath(QStringLiteral("kelvo.desktop"));
}

QByteArray XdgLoginItem::entryContents(const QString &executable)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Kelvo\n");
    text += QStringLiteral("Comment=Clipboard history\n");
    text += QStringLiteral("Exec=") + execArgument(executable) + u'\n';
    text += QStringLiteral("Icon=io.github.kelvo.Kelvo\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

std::optional<QString> XdgLoginItem::setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (enabled) {
        if (!QDir().mkpath(autostartDir_) || !QFileInfo(autostartDir_).isDir())
            return QStringLiteral("Cannot create the folder %1").arg(autostartDir_);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        file.write(entryContents(executable_));
        if (!file.commit())
            return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QFile file(path);
    if (!file.remove())
        return QStringLiteral("Cannot remove %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

bool XdgLoginItem::isEnabled() const
{
    return QFileInfo(entryPath()).isFile();
}

} // namespace kelvo
