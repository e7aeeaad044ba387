#include "platform/Preferences.h"

namespace kelvo {

qint64 PreferencesStore::integer(const QString &key) const
{
    const auto value = object(key);
    if (!value)
        return 0;
    bool ok = false;
    const qint64 n = value->toLongLong(&ok);
    return ok ? n : 0;
}

bool PreferencesStore::boolean(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toBool() : false;
}

} // namespace kelvo
