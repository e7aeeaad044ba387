#include "settings/SettingsViewBackend.h"

#include "platform/Preferences.h"

#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace kelvo {

namespace {
bool boolOr(const PreferencesStore &p, const char *key, bool fallback) {
    const auto v = p.object(QLatin1String(key));
    return v ? v->toBool() : fallback;
}
int intOr(const PreferencesStore &p, const char *key, int fallback) {
    const auto v = p.object(QLatin1String(key));
    bool ok = false;
    const int n = v ? v->toInt(&ok) : 0;
    return ok ? n : fallback;
}
} // namespace

SettingsViewBackend::SettingsViewBackend(PreferencesStore &prefs, Hooks hooks, QObject *parent)
    : QObject(parent), m_prefs(prefs), m_hooks(std::move(hooks)) {
    connect(&m_prefs, &PreferencesStore::changed, this, &SettingsViewBackend::preferencesChanged);
    m_accessibilityGranted = m_hooks.isAccessibilityTrusted && m_hooks.isAccessibilityTrusted();
}

bool SettingsViewBackend::launchAtLogin() const { return boolOr(m_prefs, "launchAtLogin", false); }

void SettingsViewBackend::setLaunchAtLogin(bool on) {
    if (on == launchAtLogin()) return;
    m_prefs.setValue(QStringLiteral("launchAtLogin"), on);
    const QString error = m_hooks.setLoginItemEnabled ? m_hooks.setLoginItemEnabled(on) : QString();
    if (!error.isEmpty()) {
        QTextStream(stdout) << "Failed to update launch at login: " << error << Qt::endl;
    }
}

bool SettingsViewBackend::showMenuBarIcon() const { return boolOr(m_prefs, "showMenuBarIcon", true); }
void SettingsViewBackend::setShowMenuBarIcon(bool on) {
    if (on != showMenuBarIcon()) m_prefs.setValue(QStringLiteral("showMenuBarIcon"), on);
}
int SettingsViewBackend::hotkeyCode() const { return intOr(m_prefs, "hotkeyCode", 9); }
int SettingsViewBackend::hotkeyModifiers() const { return intOr(m_prefs, "hotkeyModifiers", 768); }
int SettingsViewBackend::maxHistoryCount() const { return intOr(m_prefs, "maxHistoryCount", 50); }

void SettingsViewBackend::setMaxHistoryCount(int count) {
    const int clamped = std::clamp(count, 10, 500);
    if (clamped != maxHistoryCount()) m_prefs.setValue(QStringLiteral("maxHistoryCount"), clamped);
}

void SettingsViewBackend::stepHistoryLimit(int direction) {
    const int current = maxHistoryCount();
    const int next = current + (direction > 0 ? 10 : -10);
    if (next < 10 || next > 500) return;
    setMaxHistoryCount(next);
}

QString SettingsViewBackend::shortcutText() const {
    return m_hooks.shortcutDisplayText ? m_hooks.shortcutDisplayText(hotkeyCode(), hotkeyModifiers()) : QString();
}

void SettingsViewBackend::setRecording(bool recording) {
    if (recording == m_recording) return;
    m_recording = recording;
    emit isRecordingChanged();
}

void SettingsViewBackend::refreshAccessibilityStatus() {
    const bool granted = m_hooks.isAccessibilityTrusted && m_hooks.isAccessibilityTrusted();
    if (granted == m_accessibilityGranted) return;
    m_accessibilityGranted = granted;
    emit accessibilityGrantedChanged();
}

void SettingsViewBackend::openAccessibilitySettings() {
    if (m_hooks.openAccessibilitySettings) m_hooks.openAccessibilitySettings();
}

void SettingsViewBackend::toggleRecording() {
    if (m_hooks.toggleRecording) m_hooks.toggleRecording();
}

void SettingsViewBackend::quit() {
    if (m_hooks.quit) m_hooks.quit();
}

} // namespace kelvo
