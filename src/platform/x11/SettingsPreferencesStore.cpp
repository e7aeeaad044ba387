#include "platform/x11/SettingsPreferencesStore.h"

#include <QStandardPaths>

namespace kelvo {

namespace {

bool isBoolKey(const QString &key)
{
    return key == QLatin1String("launchAtLogin") || key == QLatin1String("showMenuBarIcon");
}

bool isIntegerKey(const QString &key)
{
    return key == QLatin1String("hotkeyCode") || key == QLatin1String("hotkeyModifiers") ||
           key == QLatin1String("maxHistoryCount");
}

} // namespace

// QSettings(IniFormat, UserScope, "Kelvo", "Kelvo") would name the file
// Kelvo.ini; the file of this program is Kelvo.conf in the same folder.
QString SettingsPreferencesStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvo/Kelvo.conf");
}

SettingsPreferencesStore::SettingsPreferencesStore(QObject *parent)
    : SettingsPreferencesStore(defaultPath(), parent)
{
}

SettingsPreferencesStore::SettingsPreferencesStore(const QString &path, QObject *parent)
    : PreferencesStore(parent), settings_(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

SettingsPreferencesStore::~SettingsPreferencesStore() = default;

QString SettingsPreferencesStore::fileName() const
{
    return settings_->fileName();
}

std::optional<QVariant> SettingsPreferencesStore::object(const QString &key) const
{
    const QVariant stored = settings_->value(key);
    if (!stored.isValid())
        return std::nullopt;
    // Values written by this process keep their type until the file is
    // read again; values read from the file are text.
    if (isBoolKey(key)) {
        if (stored.typeId() == QMetaType::Bool)
            return stored;
        const QString text = stored.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return QVariant(true);
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return QVariant(false);
        return std::nullopt;
    }
    if (isIntegerKey(key)) {
        bool ok = false;
        const qint64 n = stored.toString().trimmed().toLongLong(&ok);
        if (ok)
            return QVariant(n);
        if (stored.typeId() == QMetaType::Bool)
            return QVariant(qint64(stored.toBool() ? 1 : 0));
    }
    return stored;
}

void SettingsPreferencesStore::setValue(const QString &key, const QVariant &value)
{
    settings_->setValue(key, value);
    settings_->sync();
    emit changed();
}

void SettingsPreferencesStore::remove(const QString &key)
{
    settings_->remove(key);
    settings_->sync();
    emit changed();
}

} // namespace kelvo
