#pragma once

#include "settings/ShortcutRecorder.h"
#include "settings/ShortcutText.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace kelvo {

class KeyEventMonitor;
class StoredPreferences;

// An application the user can choose to ignore: the id it is kept by (its
// desktop entry id, else its window class or program), its name and icon
// (a theme name or a path), and the other names it goes by (its window
// class, its program), through which a stored name finds it again.
struct ApplicationChoice {
    QString id;
    QString name;
    QString icon;
    QStringList otherNames;
};

// What SettingsView.qml reads and writes: the five stored preferences (live:
// every write goes to the store at once, every store change is re-read),
// the shortcut recorder, the accessibility status, and the hooks the
// program supplies for the login item, the accessibility settings and quit.
class SettingsViewBackend : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY preferencesChanged)
    Q_PROPERTY(bool showMenuBarIcon READ showMenuBarIcon WRITE setShowMenuBarIcon NOTIFY preferencesChanged)
    Q_PROPERTY(qint64 hotkeyCode READ hotkeyCode NOTIFY preferencesChanged)
    Q_PROPERTY(qint64 hotkeyModifiers READ hotkeyModifiers NOTIFY preferencesChanged)
    Q_PROPERTY(qint64 maxHistoryCount READ maxHistoryCount WRITE setMaxHistoryCount NOTIFY preferencesChanged)
    Q_PROPERTY(QString shortcutText READ shortcutText NOTIFY preferencesChanged)
    Q_PROPERTY(QString shortcutConfigurationLine READ shortcutConfigurationLine NOTIFY preferencesChanged)
    Q_PROPERTY(QString modifierKeys READ modifierKeys CONSTANT)
    Q_PROPERTY(QString quickPasteKeys READ quickPasteKeys CONSTANT)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QString recorderText READ recorderText NOTIFY recorderTextChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY preferencesChanged)
    Q_PROPERTY(QVariantList languageChoices READ languageChoices CONSTANT)
    // The applications never recorded, in the order added, and those to
    // choose from: each {id, name, icon (an image URL, "" for none),
    // ignored}; and the one in front before the window opened ({} if none).
    Q_PROPERTY(QVariantList ignoredApplications READ ignoredApplications NOTIFY ignoredApplicationsChanged)
    Q_PROPERTY(QVariantList installedApplications READ installedApplications NOTIFY ignoredApplicationsChanged)
    Q_PROPERTY(QVariantMap applicationInFront READ applicationInFront NOTIFY ignoredApplicationsChanged)
public:
    struct Hooks {
        std::function<bool()> isAccessibilityTrusted;
        std::function<void()> openAccessibilitySettings;
        // Registers or removes the login item; returns an error text or "".
        std::function<QString(bool)> setLoginItemEnabled;
        std::function<void()> quit;
        // The line that binds the stored combination to `kelvo toggle` in
        // the desktop's own configuration, where the program cannot register
        // a shortcut itself; "" (or no hook) where it can.
        std::function<QString(qint64 keyCode, qint64 modifiers)> shortcutConfigurationLine;
        // The catalogues the language line offers besides following the
        // system ("en", "zh_CN", ...).
        QStringList catalogues;
        // How the desktop names keys.
        KeyNameStyle keyNames = KeyNameStyle::Generic;
        // The applications installed (listed in the desktop's menus).
        std::function<QList<ApplicationChoice>()> installedApplications;
        // The application that was in front before the window opened.
        std::function<std::optional<ApplicationChoice>()> applicationInFront;
    };

    // The recorder watches key presses through `keyMonitor` while recording.
    SettingsViewBackend(StoredPreferences &prefs, KeyEventMonitor &keyMonitor, Hooks hooks,
                        QObject *parent = nullptr);

    bool launchAtLogin() const;
    // A change stores the choice, then registers or removes the login item;
    // a failure is printed and the choice stays.
    void setLaunchAtLogin(bool on);
    bool showMenuBarIcon() const;
    void setShowMenuBarIcon(bool on);
    qint64 hotkeyCode() const;
    qint64 hotkeyModifiers() const;
    qint64 maxHistoryCount() const;
    // Kept within 10..500.
    void setMaxHistoryCount(qint64 count);
    // The text of the stored combination.
    QString shortcutText() const;
    QString shortcutConfigurationLine() const;
    // The modifier keys and the panel's number keys, for the help texts.
    QString modifierKeys() const { return modifierKeysText(m_hooks.keyNames); }
    QString quickPasteKeys() const { return quickPasteKeysText(m_hooks.keyNames); }
    bool isRecording() const { return m_recorder.isRecording(); }
    // What the recorder's button shows: "请按键..." while recording.
    QString recorderText() const { return m_recorder.displayText(); }
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    // The "language" preference: "system" or a catalogue's name.
    QString language() const;
    void setLanguage(const QString &choice);
    // One {value, name} map per catalogue, the name in its own language.
    QVariantList languageChoices() const;

    ShortcutRecorder &recorder() { return m_recorder; }

    QVariantList ignoredApplications() const;
    QVariantList installedApplications() const;
    QVariantMap applicationInFront() const;
    Q_INVOKABLE void ignoreApplication(const QString &id);
    Q_INVOKABLE void unignoreApplication(const QString &id);
    // Reads the installed applications and the one in front again (each
    // time the window is opened).
    void refreshApplications();

    Q_INVOKABLE void stepHistoryLimit(int direction); // +1 or -1: by 10 within 10..500
    Q_INVOKABLE void refreshAccessibilityStatus();
    Q_INVOKABLE void openAccessibilitySettings();
    Q_INVOKABLE void toggleRecording();
    Q_INVOKABLE void quit();

signals:
    void preferencesChanged();
    void isRecordingChanged();
    void recorderTextChanged();
    void accessibilityGrantedChanged();
    void ignoredApplicationsChanged();

private:
    StoredPreferences &m_prefs;
    Hooks m_hooks;
    ShortcutRecorder m_recorder;
    bool m_accessibilityGranted = false;
    QList<ApplicationChoice> m_installed;
    std::optional<ApplicationChoice> m_inFront;
};

} // namespace kelvo
