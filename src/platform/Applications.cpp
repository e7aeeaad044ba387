#include "platform/Applications.h"

#include <algorithm>

namespace kelvo {

bool ApplicationIdentity::matches(const QString &id) const
{
    QString name = id.trimmed();
    if (name.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
        name.chop(8);
    if (name.isEmpty())
        return false;
    const auto same = [&](const QString &known) { return known.compare(name, Qt::CaseInsensitive) == 0; };
    return same(desktopEntryId) || same(executable) || std::any_of(classNames.begin(), classNames.end(), same);
}

QString ApplicationIdentity::preferredId() const
{
    if (!desktopEntryId.isEmpty())
        return desktopEntryId;
    if (!classNames.isEmpty())
        return classNames.first();
    return executable;
}

} // namespace kelvo
