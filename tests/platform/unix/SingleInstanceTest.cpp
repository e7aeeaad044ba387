#include "platform/unix/SingleInstance.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using kelvo::SingleInstanceLock;

namespace {

TEST(SingleInstanceTest, ASecondHolderIsRefusedUntilTheFirstEndsEvenByKill)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kelvo.lock"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SingleInstanceLock lock(path);
        const char ok = lock.tryLock() ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    ::close(ready[0]);
    ::close(ready[1]);

    auto mine = std::make_unique<SingleInstanceLock>(path);
    EXPECT_FALSE(mine->tryLock()) << "a live holder in another process must block";
    EXPECT_FALSE(mine->isLocked());
    EXPECT_EQ(mine->holderPid(), qint64(child));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(mine->tryLock()) << "the stale file must not block after SIGKILL";
    EXPECT_TRUE(mine->tryLock()) << "locking again while holding must succeed";
    EXPECT_EQ(mine->holderPid(), qint64(::getpid()));

    SingleInstanceLock second(path);
    EXPECT_FALSE(second.tryLock());
    mine.reset();
    EXPECT_TRUE(second.tryLock());

    SingleInstanceLock unopenable(dir.filePath(QStringLiteral("missing/dir/kelvo.lock")));
    EXPECT_FALSE(unopenable.tryLock());
}

TEST(SingleInstanceDefaultPath, UsesTheRuntimeDirectory)
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(SingleInstanceLock::defaultLockPath(), runtime.filePath(QStringLiteral("kelvo.lock")));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(SingleInstanceLock::defaultLockPath().endsWith(QStringLiteral("kelvo-%1.lock").arg(::getuid())));
    if (!saved.isEmpty())
        qputenv("XDG_RUNTIME_DIR", saved);
}

} // namespace
