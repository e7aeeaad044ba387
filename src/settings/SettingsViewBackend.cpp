#include "settings/SettingsViewBackend.h"

#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"
#include "settings/Translations.h"

#include <QTextStream>

#include <algorithm>

namespace kelvo {

SettingsViewBackend::SettingsViewBackend(StoredPreferences &prefs, KeyEventMonitor &keyMonitor, Hooks hooks,
                                         QObject *parent)
    : QObject(parent), m_prefs(prefs), m_hooks(std::move(hooks)), m_recorder(prefs, keyMonitor, m_hooks.keyNames)
{
    connect(&m_prefs, &StoredPreferences::changed, this, &SettingsViewBackend::preferencesChanged);
    connect(&m_recorder, &ShortcutRecorder::isRecordingChanged, this, &SettingsViewBackend::isRecordingChanged);
    connect(&m_recorder, &ShortcutRecorder::displayTextChanged, this, &SettingsViewBackend::recorderTextChanged);
    m_accessibilityGranted = m_hooks.isAccessibilityTrusted && m_hooks.isAccessibilityTrusted();
}

bool SettingsViewBackend::launchAtLogin() const { return m_prefs.launchAtLogin(); }

void SettingsViewBackend::setLaunchAtLogin(bool on)
{
    if (on == launchAtLogin())
        return;
    m_prefs.setLaunchAtLogin(on);
    const QString error = m_hooks.setLoginItemEnabled ? m_hooks.setLoginItemEnabled(on) : QString();
    if (!error.isEmpty())
        QTextStream(stdout) << "Failed to update launch at login: " << error << Qt::endl;
}

bool SettingsViewBackend::showMenuBarIcon() const { return m_prefs.showMenuBarIcon(); }

void SettingsViewBackend::setShowMenuBarIcon(bool on)
{
    if (on != showMenuBarIcon())
        m_prefs.setShowMenuBarIcon(on);
}

qint64 SettingsViewBackend::hotkeyCode() const { return m_prefs.hotkeyCode(); }
qint64 SettingsViewBackend::hotkeyModifiers() const { return m_prefs.hotkeyModifiers(); }
qint64 SettingsViewBackend::maxHistoryCount() const { return m_prefs.maxHistoryCount(); }

void SettingsViewBackend::setMaxHistoryCount(qint64 count)
{
    const qint64 clamped = std::clamp(count, kMinHistoryCount, kMaxHistoryCount);
    if (clamped != maxHistoryCount())
        m_prefs.setMaxHistoryCount(clamped);
}

void SettingsViewBackend::stepHistoryLimit(int direction)
{
    const qint64 current = maxHistoryCount();
    const qint64 next = steppedHistoryCount(current, direction);
    if (next != current)
        m_prefs.setMaxHistoryCount(next);
}

QString SettingsViewBackend::shortcutText() const
{
    return keyCombinationText(hotkeyCode(), hotkeyModifiers(), m_hooks.keyNames);
}

QString SettingsViewBackend::shortcutConfigurationLine() const
{
    return m_hooks.shortcutConfigurationLine ? m_hooks.shortcutConfigurationLine(hotkeyCode(), hotkeyModifiers())
                                             : QString();
}

QString SettingsViewBackend::language() const { return m_prefs.language(); }

void SettingsViewBackend::setLanguage(const QString &choice)
{
    if (choice != language())
        m_prefs.setLanguage(choice);
}

QVariantList SettingsViewBackend::languageChoices() const
{
    QVariantList choices;
    for (const QString &catalogue : m_hooks.catalogues)
        choices.append(QVariantMap{{QStringLiteral("value"), catalogue},
                                   {QStringLiteral("name"), catalogueDisplayName(catalogue)}});
    return choices;
}

void SettingsViewBackend::refreshAccessibilityStatus()
{
    const bool granted = m_hooks.isAccessibilityTrusted && m_hooks.isAccessibilityTrusted();
    if (granted == m_accessibilityGranted)
        return;
    m_accessibilityGranted = granted;
    emit accessibilityGrantedChanged();
}

void SettingsViewBackend::openAccessibilitySettings()
{
    if (m_hooks.openAccessibilitySettings)
        m_hooks.openAccessibilitySettings();
}

void SettingsViewBackend::toggleRecording() { m_recorder.toggleRecording(); }

void SettingsViewBackend::quit()
{
    if (m_hooks.quit)
        m_hooks.quit();
}

} // namespace kelvo
