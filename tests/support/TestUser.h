#pragma once

// Compositors (sway, KWin, GNOME Shell) refuse to run as root. Under root the
// tests run them as the throwaway user "kelvo-test", which tools/test.sh
// creates; otherwise as the current user. The compositor's private
// directories are handed to that user first.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// X servers keep their sockets in /tmp/.X11-unix, which KWin's Xwayland
// wants owned by root (or its user) with the sticky bit, as a system sets it
// up; an X server started by another user may have made it without. Under
// root it is made so.
inline void prepareX11SocketDirectory()
{
    if (geteuid() != 0)
        return;
    const char *path = "/tmp/.X11-unix";
    mkdir(path, 01777);
    struct stat info {};
    if (lstat(path, &info) == 0 && S_ISDIR(info.st_mode)
        && (info.st_uid != 0 || (info.st_mode & 07777) != 01777)) {
        if (chown(path, 0, 0) != 0 || chmod(path, 01777) != 0)
            std::perror("/tmp/.X11-unix");
    }
}

// A compositor grants its restricted interfaces and its session bus to the
// programs of its own user only. Under root, runs this test program again as
// the compositor's user (a copy of it, so that the user can reach it
// wherever the build lies, also with the sanitizer's suppressions) and
// returns its exit status, which main returns. Otherwise (and for listing the
// tests) nothing: the program goes on. The copy ends with this process.
inline std::optional<int> rerunAsCompositorUser(int argc, char **argv)
{
    if (geteuid() != 0) {
        // Changing the user cleared what the copy was told: it ends with its parent.
        if (qEnvironmentVariableIsSet("KELVO_RERUN_AS_USER"))
            prctl(PR_SET_PDEATHSIG, SIGTERM);
        return std::nullopt;
    }
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]).startsWith("--gtest_list_tests"))
            return std::nullopt;
    prepareX11SocketDirectory();
    const passwd *pw = getpwnam(kTestUser);
    if (!pw) {
        std::fprintf(stderr, "compositors do not run as root and the user %s is missing (tools/test.sh creates it)\n",
                     kTestUser);
        return 1;
    }
    char dir[] = "/tmp/kelvo-as-user-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const QString copy = QString::fromLocal8Bit(dir) + QLatin1Char('/') + QFileInfo(QFile::decodeName(argv[0])).fileName();
    bool ready = QFile::copy(QStringLiteral("/proc/self/exe"), copy)
              && QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                 | QFileDevice::ExeOther);
    // The sanitizer's suppressions, where the user can read them.
    QByteArray lsan = qgetenv("LSAN_OPTIONS");
    const qsizetype at = lsan.indexOf("suppressions=");
    if (ready && at >= 0) {
        const qsizetype from = at + 13, end = lsan.indexOf(':', from);
        const QByteArray file = lsan.mid(from, end < 0 ? -1 : end - from);
        const QString readable = QString::fromLocal8Bit(dir) + QStringLiteral("/lsan.supp");
        ready = QFile::copy(QFile::decodeName(file), readable);
        lsan.replace(from, file.size(), QFile::encodeName(readable));
        qputenv("LSAN_OPTIONS", lsan);
    }
    ready = ready && chmod(dir, 0755) == 0;
    int status = 1;
    if (ready) {
        const QByteArray uid = QByteArray::number(pw->pw_uid), gid = QByteArray::number(pw->pw_gid);
        const QByteArray program = QFile::encodeName(copy);
        std::vector<const char *> args = {"setpriv", "--reuid", uid.constData(), "--regid", gid.constData(),
                                          "--clear-groups", program.constData()};
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        qputenv("KELVO_RERUN_AS_USER", "1");
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            execvp("setpriv", const_cast<char **>(args.data()));
            _exit(127);
        }
        int raw = 0;
        if (child > 0 && waitpid(child, &raw, 0) == child)
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    QFile::remove(copy);
    QFile::remove(QString::fromLocal8Bit(dir) + QStringLiteral("/lsan.supp"));
    rmdir(dir);
    return status;
}

} // namespace kelvo::testing
