#include "settings/SettingsViewBackend.h"

#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"
#include "settings/Translations.h"

#include <QTextStream>
#include <QUrl>

#include <algorithm>

namespace kelvo {

SettingsViewBackend::SettingsViewBackend(StoredPreferences &prefs, KeyEventMonitor &keyMonitor, Hooks hooks,
                                         QObject *parent)
    : QObject(parent), m_prefs(prefs), m_hooks(std::move(hooks)), m_recorder(prefs, keyMonitor, m_hooks.keyNames)
{
    connect(&m_prefs, &StoredPreferences::changed, this, &SettingsViewBackend::preferencesChanged);
    connect(&m_prefs, &StoredPreferences::changed, this, &SettingsViewBackend::ignoredApplicationsChanged);
    connect(&m_recorder, &ShortcutRecorder::isRecordingChanged, this, &SettingsViewBackend::isRecordingChanged);
    connect(&m_recorder, &ShortcutRecorder::displayTextChanged, this, &SettingsViewBackend::recorderTextChanged);
    m_accessibilityGranted = m_hooks.isAccessibilityTrusted && m_hooks.isAccessibilityTrusted();
    refreshApplications();
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

namespace {

bool names(const ApplicationChoice &choice, const QString &id)
{
    return choice.id.compare(id, Qt::CaseInsensitive) == 0 || choice.otherNames.contains(id, Qt::CaseInsensitive);
}

QVariantMap described(const ApplicationChoice &choice, bool ignored)
{
    return {{QStringLiteral("id"), choice.id},
            {QStringLiteral("name"), choice.name.isEmpty() ? choice.id : choice.name},
            {QStringLiteral("icon"), choice.icon.isEmpty()
                                         ? QString()
                                         : QStringLiteral("image://appicon/")
                                               + QString::fromUtf8(QUrl::toPercentEncoding(choice.icon))},
            {QStringLiteral("ignored"), ignored}};
}

} // namespace

void SettingsViewBackend::refreshApplications()
{
    m_installed = m_hooks.installedApplications ? m_hooks.installedApplications() : QList<ApplicationChoice>();
    std::sort(m_installed.begin(), m_installed.end(), [](const ApplicationChoice &a, const ApplicationChoice &b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    m_inFront = m_hooks.applicationInFront ? m_hooks.applicationInFront() : std::nullopt;
    emit ignoredApplicationsChanged();
}

QVariantList SettingsViewBackend::ignoredApplications() const
{
    QVariantList list;
    for (const QString &id : m_prefs.ignoredApplications()) {
        // A stored name shows as the installed application it names.
        const auto found = std::find_if(m_installed.begin(), m_installed.end(),
                                        [&](const ApplicationChoice &c) { return names(c, id); });
        ApplicationChoice shown = found != m_installed.end() ? *found : ApplicationChoice{id, id, {}, {}};
        shown.id = id;
        list.append(described(shown, true));
    }
    return list;
}

QVariantList SettingsViewBackend::installedApplications() const
{
    const QStringList ignored = m_prefs.ignoredApplications();
    QVariantList list;
    for (const ApplicationChoice &choice : m_installed)
        list.append(described(choice, std::any_of(ignored.begin(), ignored.end(),
                                                  [&](const QString &id) { return names(choice, id); })));
    return list;
}

QVariantMap SettingsViewBackend::applicationInFront() const
{
    if (!m_inFront)
        return {};
    const QStringList ignored = m_prefs.ignoredApplications();
    return described(*m_inFront, std::any_of(ignored.begin(), ignored.end(),
                                             [&](const QString &id) { return names(*m_inFront, id); }));
}

void SettingsViewBackend::ignoreApplication(const QString &id) { m_prefs.ignoreApplication(id); }

void SettingsViewBackend::unignoreApplication(const QString &id) { m_prefs.unignoreApplication(id); }

void SettingsViewBackend::quit()
{
    if (m_hooks.quit)
        m_hooks.quit();
}

} // namespace kelvo
