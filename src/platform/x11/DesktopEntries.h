#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kelvo::x11 {

// What an application's desktop entry says about it.
struct DesktopEntry {
    QString fileId;          // "org.xfce.mousepad" for org.xfce.mousepad.desktop
    QString name;            // Name in the current locale, else plain Name
    QString icon;            // Icon: a theme name or an absolute path
    QString startupWMClass;  // StartupWMClass, empty when absent
    QString executable;      // file name of the program Exec (or TryExec) runs, "" when unknown
    bool noDisplay = false;  // NoDisplay=true: not listed in menus
};

// Parses the [Desktop Entry] group of a desktop file; nullopt when it is no
// application entry, is hidden, or has no name. `locale` like "de_DE".
std::optional<DesktopEntry> parseDesktopEntry(const QByteArray &contents, const QString &fileId,
                                              const QString &locale);

// The application entries found under `<dir>/applications` of the XDG data
// directories, looked up by a window's WM_CLASS. A directory listed earlier
// hides entries of the same file id in later ones.
class DesktopEntryIndex {
public:
    // Empty: $XDG_DATA_HOME and $XDG_DATA_DIRS (as QStandardPaths has them).
    explicit DesktopEntryIndex(QStringList dataDirs = {}, QString locale = {});

    // The entry whose StartupWMClass equals the class or instance name, else
    // whose file id (or its last dot-separated part) does, case ignored.
    std::optional<DesktopEntry> find(const QString &wmInstance, const QString &wmClass);
    // The entry whose program has this file name.
    std::optional<DesktopEntry> findByExecutable(const QString &executable);
    // Every entry, in the order found.
    QList<DesktopEntry> all();

private:
    void rescanIfStale();

    QStringList dataDirs_;
    QString locale_;
    QList<DesktopEntry> entries_;
    QDateTime scannedAt_;
};

} // namespace kelvo::x11
