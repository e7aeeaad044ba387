#pragma once

// Compositors (sway, KWin, GNOME Shell) refuse to run as root. Under root the
// tests run them as the throwaway user "kelvo-test", which tools/test.sh
// creates; otherwise as the current user. The compositor's private
// directories are handed to that user first.

#include <QFile>
#include <QString>
#include <QStringList>

#include <pwd.h>
#include <unistd.h>

namespace kelvo::testing {

inline constexpr const char *kTestUser = "kelvo-test";

// The words that run a command as the compositor's user ("runuser -u
// kelvo-test --" under root, none otherwise), after handing it `paths`.
// False, with `error` set, when that cannot be done.
inline bool compositorUserPrefix(const QStringList &paths, QStringList *prefix, QString *error)
{
    prefix->clear();
    if (geteuid() != 0)
        return true;
    const passwd *pw = getpwnam(kTestUser);
    if (!pw) {
        *error = QStringLiteral("compositors do not run as root and the user %1 is missing "
                                "(tools/test.sh creates it)").arg(QLatin1String(kTestUser));
        return false;
    }
    for (const QString &path : paths) {
        if (chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            *error = QStringLiteral("cannot hand %1 to %2").arg(path, QLatin1String(kTestUser));
            return false;
        }
    }
    *prefix = {QStringLiteral("runuser"), QStringLiteral("-u"), QLatin1String(kTestUser), QStringLiteral("--")};
    return true;
}

} // namespace kelvo::testing
