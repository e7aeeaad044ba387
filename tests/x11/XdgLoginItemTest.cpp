#include "platform/x11/XdgLoginItem.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using kelvo::XdgLoginItem;

namespace {

QByteArray execLine(const QByteArray &entry)
{
    for (const QByteArray &line : entry.split('\n'))
        if (line.startsWith("Exec="))
            return line.mid(5);
    return {};
}

TEST(XdgLoginItem, EnablingWritesTheAutostartEntryAndDisablingRemovesIt)
{
    QTemporaryDir config;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    XdgLoginItem item(QStringLiteral("/usr/bin/kelvo")); // the folder does not exist yet
    old.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", old);
    EXPECT_EQ(item.entryPath(), config.filePath("autostart/kelvo.desktop"));
    EXPECT_FALSE(item.isEnabled());

    for (int twice = 0; twice < 2; ++twice) { // enabling twice keeps one entry
        EXPECT_EQ(item.setEnabled(true), std::nullopt);
        EXPECT_TRUE(item.isEnabled());
    }
    QFile file(item.entryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray entry = file.readAll();
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    EXPECT_TRUE(entry.contains("\nName=Kelvo\n"));
    EXPECT_EQ(execLine(entry), QByteArray("/usr/bin/kelvo"));
    EXPECT_EQ(QDir(config.filePath("autostart")).entryList(QDir::Files), QStringList{"kelvo.desktop"});

    for (int twice = 0; twice < 2; ++twice) { // disabling what is not there is no failure
        EXPECT_EQ(item.setEnabled(false), std::nullopt);
        EXPECT_FALSE(item.isEnabled());
        EXPECT_FALSE(QFile::exists(item.entryPath()));
    }
}

TEST(XdgLoginItem, ExecutablePathsWithReservedCharactersAreQuoted)
{
    // Inside quotes ", `, $ and \ take a backslash, and every backslash of
    // the value is then written twice. A percent sign is no field code.
    const std::pair<const char *, const char *> cases[] = {
        {"/opt/My Apps/kelvo", "\"/opt/My Apps/kelvo\""},
        {"/opt/a\"b$c/kelvo", "\"/opt/a\\\\\"b\\\\$c/kelvo\""},
        {"/opt/100%/kelvo", "/opt/100%%/kelvo"},
    };
    for (const auto &[path, exec] : cases)
        EXPECT_EQ(execLine(XdgLoginItem::entryContents(QString::fromLatin1(path))), QByteArray(exec)) << path;
}

TEST(XdgLoginItem, FailuresAreDescribed)
{
    QTemporaryDir config;
    // A file stands where the autostart folder should be.
    const QString blocked = config.filePath(QStringLiteral("autostart"));
    {
        QFile f(blocked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    XdgLoginItem item(QStringLiteral("/usr/bin/kelvo"), blocked);
    const auto failure = item.setEnabled(true);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains(blocked)) << failure->toStdString();
    EXPECT_FALSE(item.isEnabled());

    // An entry that can be neither removed nor written over (a folder that is not empty).
    const QString dir = config.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(dir + QStringLiteral("/kelvo.desktop/inside")));
    XdgLoginItem stuck(QStringLiteral("/usr/bin/kelvo"), dir);
    EXPECT_FALSE(stuck.isEnabled());
    const auto removeFailure = stuck.setEnabled(false);
    ASSERT_TRUE(removeFailure);
    EXPECT_FALSE(removeFailure->isEmpty());
    EXPECT_TRUE(stuck.setEnabled(true));
}

} // namespace
