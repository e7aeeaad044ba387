#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace kelvo {

class PreferencesStore;

// What SettingsView.qml reads and writes: the five stored preferences (live:
// every write goes to the store at once, every store change is re-read),
// the accessibility status, and the hooks the program supplies for the
// login item, the accessibility settings, the shortcut recorder and quit.
class SettingsViewBackend : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY preferencesChanged)
    Q_PROPERTY(bool showMenuBarIcon READ showMenuBarIcon WRITE setShowMenuBarIcon NOTIFY preferencesChanged)
    Q_PROPERTY(int hotkeyCode READ hotkeyCode NOTIFY preferencesChanged)
    Q_PROPERTY(int hotkeyModifiers READ hotkeyModifiers NOTIFY preferencesChanged)
    Q_PROPERTY(int maxHistoryCount READ maxHistoryCount WRITE setMaxHistoryCount NOTIFY preferencesChanged)
    Q_PROPERTY(QString shortcutText READ shortcutText NOTIFY preferencesChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
public:
    struct Hooks {
        std::function<bool()> isAccessibilityTrusted;
        std::function<void()> openAccessibilitySettings;
        // Registers or removes the login item; returns an error text or "".
        std::function<QString(bool)> setLoginItemEnabled;
        std::function<QString(int keyCode, int modifiers)> shortcutDisplayText;
        // Starts or stops recording; the recorder reports through setRecording().
        std::function<void()> toggleRecording;
        std::function<void()> quit;
    };

    SettingsViewBackend(PreferencesStore &prefs, Hooks hooks, QObject *parent = nullptr);

    bool launchAtLogin() const;
    void setLaunchAtLogin(bool on);
    bool showMenuBarIcon() const;
    void setShowMenuBarIcon(bool on);
    int hotkeyCode() const;
    int hotkeyModifiers() const;
    int maxHistoryCount() const;
    // Kept within 10..500.
    void setMaxHistoryCount(int count);
    QString shortcutText() const;
    bool isRecording() const { return m_recording; }
    void setRecording(bool recording);
    bool accessibilityGranted() const { return m_accessibilityGranted; }

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
    PreferencesStore &m_prefs;
    Hooks m_hooks;
    bool m_recording = false;
    bool m_accessibilityGranted = false;
};

} // namespace kelvo
