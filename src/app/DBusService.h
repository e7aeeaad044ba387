#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace kelvo {

class AppDelegate;
class StoredPreferences;
struct ClipboardItem;

// The running instance on the session bus: everything the command line
// does, as methods of one object, and a signal when the history changes.
// Entries are named by a number of a tab's list ("1" is the newest, as
// Ctrl+1 numbers them; `pinned` picks the pinned tab) or by their id.
// A call that fails changes nothing and answers with a D-Bus error.
class DBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.kelvo.Kelvo")
public:
    DBusService(AppDelegate &delegate, StoredPreferences &prefs, QString platform, QObject *parent = nullptr);

    // Registers the object and takes the bus name; false (with the reason
    // logged) when there is no session bus or the name is taken.
    bool registerOnSessionBus();

    // Whether the session names a bus ($DBUS_SESSION_BUS_ADDRESS or
    // $XDG_RUNTIME_DIR/bus). Without one, connecting would make libdbus
    // launch a bus of its own that outlives Kelvo.
    static bool sessionBusConfigured();

public slots:
    void Toggle();
    void Show();
    void OpenSettings();
    void Quit();
    // The entries of the history tab (or the pinned tab), newest first:
    // index, id, kind, preview, infoLabel, pinned, sourceAppName, time.
    QList<QVariantMap> List(bool pinned);
    // The entry's content: text and addresses as UTF-8, rich text as its
    // plain text or, with format "rtf" or "html", those bytes; an image
    // as PNG bytes.
    QByteArray Get(const QString &entry, bool pinned, const QString &format);
    void Copy(const QString &entry, bool pinned, bool plainText);
    void Paste(const QString &entry, bool pinned, bool plainText);
    void Pin(const QString &entry, bool pinned);
    void Unpin(const QString &entry, bool pinned);
    void Delete(const QString &entry, bool pinned);
    void Clear(bool pinned);
    void Pause();
    void Resume();
    // The applications whose copies are never read, in the order added.
    QStringList IgnoredApplications();
    // Adds one (a desktop entry id, a window class or a program name);
    // an InvalidArgs error for an empty name, none for one already listed.
    void IgnoreApplication(const QString &id);
    // A NoSuchEntry error when it is not listed.
    void UnignoreApplication(const QString &id);
    // paused, entries, pinned, historyFile, historySaved (the file holds
    // the list as it is now), platform, version, pid.
    QVariantMap Status();

signals:
    void HistoryChanged();

private:
    std::optional<ClipboardItem> resolve(const QString &entry, bool pinned);
    void fail(const char *name, const QString &message);
    // The bytes, or (told to the user and the caller) none.
    QByteArray readable(const QString &entry, const std::optional<QByteArray> &bytes);
    void notWritten(const QString &entry);

    AppDelegate &delegate_;
    StoredPreferences &prefs_;
    QString platform_;
};

} // namespace kelvo
