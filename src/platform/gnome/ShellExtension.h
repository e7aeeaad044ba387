#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class QDBusServiceWatcher;

namespace kelvo::gnome {

// The extension's identity: its folder under gnome-shell/extensions, and
// where it answers on the session bus.
inline constexpr char kExtensionUuid[] = "kelvo@kelvo.github.io";
inline constexpr char kBusName[] = "io.github.kelvo.Shell";
inline constexpr char kObjectPath[] = "/io/github/kelvo/Shell";
inline constexpr char kInterface[] = "io.github.kelvo.Shell1";
inline constexpr uint kVersion = 1;

// Kelvo's GNOME Shell extension as Kelvo calls it (the interface is
// described in extension/io.github.kelvo.Shell1.xml). The extension does
// inside the compositor what Mutter lets no program outside it do; it
// answers only the connection that owns Kelvo's bus name, so nothing but
// version() works before Kelvo has taken its name on `bus`.
//
// Calls are asynchronous unless they say that they wait; the signals come on
// the main thread.
class ShellExtension : public QObject {
    Q_OBJECT
public:
    explicit ShellExtension(const QDBusConnection &bus, QObject *parent = nullptr);

    // The version of the interface the extension serves on `bus`, nullopt
    // when none answers within `timeoutMs` (waits for it).
    static std::optional<uint> version(const QDBusConnection &bus, int timeoutMs);

    // The reply is given up after `timeoutMs`.
    QDBusPendingCall readClipboard(quint64 serial, const QStringList &mimeTypes,
                                   const QList<QDBusUnixFileDescriptor> &fds, int timeoutMs) const;
    // The focused window (see the interface); nullopt when the extension did
    // not answer within `timeoutMs` (waits for it).
    std::optional<QVariantMap> focus(int timeoutMs) const;
    void activate(quint64 window) const;
    void placePanel(quint32 x11Window, const QRect &frame) const;
    // (evdev code, pressed) in order.
    void sendKeys(const QList<std::pair<quint32, bool>> &keys) const;
    // Answered with whether the shell bound it, once the binding is in
    // effect.
    QDBusPendingCall setShortcut(const QString &accelerator) const;
    void setStatusMenu(const QMap<QString, QString> &labels, bool paused, bool visible) const;

signals:
    void clipboardChanged(quint64 serial, const QStringList &mimeTypes);
    void focusChanged(const QVariantMap &window);
    void shortcutPressed();
    // The extension came onto the bus again (the shell re-enables its
    // extensions after the screen was unlocked, or restarted): what Kelvo
    // had set in it is to be set again.
    void reappeared();

private slots:
    void onClipboardChanged(qulonglong serial, const QStringList &mimeTypes);
    void onFocusChanged(const QVariantMap &window);
    void onShortcutPressed();

private:
    QDBusMessage call(const QString &method) const;

    QDBusConnection bus_;
    QDBusServiceWatcher *watcher_ = nullptr;
};

} // namespace kelvo::gnome
