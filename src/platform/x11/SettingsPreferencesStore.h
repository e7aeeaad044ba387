#pragma once

#include "platform/Preferences.h"

#include <QSettings>

#include <memory>

namespace kelvo {

// The preferences as an INI file: $XDG_CONFIG_HOME/Kelvo/Kelvo.conf. An INI
// file keeps text only, so the values of the program's own keys are read
// back as the types they are written with: launchAtLogin and
// showMenuBarIcon as Bool, hotkeyCode, hotkeyModifiers and maxHistoryCount
// as integers. Every write reaches the file at once and is followed by
// changed().
class SettingsPreferencesStore : public PreferencesStore {
    Q_OBJECT
public:
    explicit SettingsPreferencesStore(QObject *parent = nullptr);
    // A store kept in the INI file at `path` (tests, other profiles).
    explicit SettingsPreferencesStore(const QString &path, QObject *parent = nullptr);
    ~SettingsPreferencesStore() override;

    // A Bool key whose text is no Bool reads as absent (its default applies);
    // an integer key whose text is no number reads as that text.
    std::optional<QVariant> object(const QString &key) const override;
    void setValue(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override;

    QString fileName() const;
    // $XDG_CONFIG_HOME/Kelvo/Kelvo.conf
    static QString defaultPath();

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace kelvo
