#pragma once

#include "platform/Preferences.h"

#include <QObject>
#include <QString>

#include <functional>

namespace kelvo {

class MainLoop;
class Cancellable;

// The program's preference keys, exactly as they are stored.
namespace PreferenceKey {
inline const QString LaunchAtLogin = QStringLiteral("launchAtLogin"),
                     ShowMenuBarIcon = QStringLiteral("showMenuBarIcon"),
                     HotkeyCode = QStringLiteral("hotkeyCode"),
                     HotkeyModifiers = QStringLiteral("hotkeyModifiers"),
                     MaxHistoryCount = QStringLiteral("maxHistoryCount"),
                     CapturePaused = QStringLiteral("capturePaused"),
                     Language = QStringLiteral("language"),
                     IgnoredApplications = QStringLiteral("ignoredApplications");
} // namespace PreferenceKey

namespace PreferenceDefault {
inline constexpr bool LaunchAtLogin = false;
inline constexpr bool ShowMenuBarIcon = true;
inline constexpr qint64 HotkeyCode = 9;        // V
inline constexpr qint64 HotkeyModifiers = 768; // command + shift
inline constexpr qint64 MaxHistoryCount = 50;
inline constexpr bool CapturePaused = false;
} // namespace PreferenceDefault

// The values of the "language" preference: follow the desktop's languages,
// or a catalogue by name ("en", "zh_CN", ...).
namespace LanguageChoice {
inline const QString System = QStringLiteral("system"), English = QStringLiteral("en"),
                     Chinese = QStringLiteral("zh_CN");
} // namespace LanguageChoice

// The range and step of the history limit control in the settings window.
inline constexpr qint64 kMinHistoryCount = 10;
inline constexpr qint64 kMaxHistoryCount = 500;
inline constexpr qint64 kHistoryCountStep = 10;

// The history limit after one press of the stepper (+1 up, -1 down): moves
// by one step and stays within 10..500. A press that would not move the
// value in its own direction leaves it unchanged (from 500 up, from 10
// down, and from a stored value outside the range towards the outside).
qint64 steppedHistoryCount(qint64 current, int direction);

// Live bindings to the seven stored preferences: every read goes to the
// store, every write reaches it at once. A key that is absent, or holds a
// value that is not of its type, reads as its default:
// - launchAtLogin false, showMenuBarIcon true, capturePaused false;
// - hotkeyCode 9 and hotkeyModifiers 768; a stored 0 is a real value (the
//   A key, no modifiers) and is kept; values outside the unsigned 32-bit
//   range cannot be registered as a hot key and read as the default, as
//   the hot key registration treats them;
// - maxHistoryCount 50, also for a stored 0 or less, which the history
//   store applies as 50; other values (even outside 10..500) are shown as
//   they are, since the history store applies them as they are;
// - language "system"; any stored text is kept as it is (a catalogue that
//   is not there reads as "system" where the program loads it).
class StoredPreferences : public QObject {
    Q_OBJECT
public:
    explicit StoredPreferences(PreferencesStore &store, QObject *parent = nullptr);

    bool launchAtLogin() const;
    void setLaunchAtLogin(bool on);
    bool showMenuBarIcon() const;
    void setShowMenuBarIcon(bool on);
    qint64 hotkeyCode() const;
    qint64 hotkeyModifiers() const;
    // Two writes, the key code first, then the modifiers.
    void setHotkey(qint64 code, qint64 modifiers);
    qint64 maxHistoryCount() const;
    void setMaxHistoryCount(qint64 count);
    // While true, copies are not recorded (the tray's "暂停记录").
    bool capturePaused() const;
    void setCapturePaused(bool on);
    // The language of the program's texts: LanguageChoice::System or the
    // name of a catalogue.
    QString language() const;
    void setLanguage(const QString &choice);
    // Applications whose copies are never read: desktop entry ids, window
    // classes or program names, in the order added; none by default.
    QStringList ignoredApplications() const;
    // Adds `id`, trimmed and without a ".desktop" ending; false (nothing
    // stored) when that is empty or already listed, case ignored.
    bool ignoreApplication(const QString &id);
    // False when it is not listed.
    bool unignoreApplication(const QString &id);
    // The name an application is kept by: trimmed, a ".desktop" ending
    // dropped ("" names none).
    static QString applicationId(QString id);

    PreferencesStore &store() { return store_; }
    const PreferencesStore &store() const { return store_; }

signals:
    // After every write to the store, made here or anywhere else.
    void changed();

private:
    PreferencesStore &store_;
};

// Calls `action` once, `delayMs` after the last of a burst of store
// changes: every change restarts the delay. Destroying the subscriber
// cancels a pending call.
class DebouncedPreferenceSubscriber : public QObject {
    Q_OBJECT
public:
    DebouncedPreferenceSubscriber(PreferencesStore &store, MainLoop &mainLoop, int delayMs,
                                  std::function<void()> action, QObject *parent = nullptr);
    ~DebouncedPreferenceSubscriber() override;

private:
    void storeChanged();

    MainLoop &mainLoop_;
    int delayMs_;
    std::function<void()> action_;
    std::shared_ptr<Cancellable> pending_;
};

} // namespace kelvo
