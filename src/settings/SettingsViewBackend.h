#pragma once

#include "settings/ShortcutRecorder.h"

#include <QObject>
#include <QString>

#include <functional>

namespace kelvo {

class KeyEventMonitor;
class StoredPreferences;

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
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
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
    // The text of the stored combination (the view shows "请按键..." while
    // recording).
    QString shortcutText() const;
    QString shortcutConfigurationLine() const;
    bool isRecording() const { return m_recorder.isRecording(); }
    bool accessibilityGranted() const { return m_accessibilityGranted; }

    ShortcutRecorder &recorder() { return m_recorder; }

    Q_INVOKABLE void stepHistoryLimit(int direction); // +1 or -1: by 10 within 10..500
    Q_INVOKABLE void refreshAccessibilityStatus();
    Q_INVOKABLE void openAccessibilitySettings();
    Q_INVOKABLE void toggleRecording();
    Q_INVOKABLE void quit();

signals:
    void preferencesChanged();
    void isRecordingChanged();
    void accessibilityGrantedChanged();

private:
    StoredPreferences &m_prefs;
    ShortcutRecorder m_recorder;
    Hooks m_hooks;
    bool m_accessibilityGranted = false;
};

} // namespace kelvo
