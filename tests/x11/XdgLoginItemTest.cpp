#include "platform/x11/XdgLoginItem.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using kelvo::XdgLoginItem;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray execLine(const QByteArray &entry)
{
    for (const QByteArray &line : entry.split('\n'))
        if (line.startsWith("Exec="))
            return line.mid(5);
    return {};
}

} // namespace

TEST(XdgLoginItem, EnablingWritesTheAutostartEntryAndDisablingRemovesIt)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QString dir = config.filePath(QStringLiteral("autostart")); // does not exist yet
    XdgLoginItem item(QStringLiteral("/usr/bin/kelvo"), dir);
    EXPECT_FALSE(item.isEnabled());

    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    const QByteArray entry = readAll(QDir(dir).filePath(QStringLiteral("kelvo.desktop")));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    EXPECT_TRUE(entry.contains("\nName=Kelvo\n"));
    EXPECT_EQ(execLine(entry), QByteArray("/usr/bin/kelvo"));

    // Enabling twice keeps one entry.
    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("kelvo.desktop")});

    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(QFile::exists(item.entryPath()));
    // Disabling what is not there is no failure.
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
}

TEST(XdgLoginItem, DefaultsToTheAutostartFolderOfTheUserConfig)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    XdgLoginItem item(QStringLiteral("/usr/bin/kelvo"));
    EXPECT_EQ(item.entryPath(), QDir(config.path()).filePath(QStringLiteral("autostart/kelvo.desktop")));
    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(QFile::exists(item.entryPath()));
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

TEST(XdgLoginItem, ExecutablePathsWithReservedCharactersAreQuoted)
{
    EXPECT_EQ(execLine(XdgLoginItem::entryContents(QStringLiteral("/opt/My Apps/kelvo"))),
              QByteArray("\"/opt/My Apps/kelvo\""));
    // Inside quotes ", `, $ and \ take a backslash, and every backslash of
    // the value is then written twice.
    EXPECT_EQ(execLine(XdgLoginItem::entryContents(QStringLiteral("/opt/a\"b$c/kelvo"))),
              QByteArray("\"/opt/a\\\\\"b\\\\$c/kelvo\""));
    // A percent sign is no field code.
    EXPECT_EQ(execLine(XdgLoginItem::entryContents(QStringLiteral("/opt/100%/kelvo"))),
              QByteArray("/opt/100%%/kelvo"));
}

TEST(XdgLoginItem, FailuresAreDescribed)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
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

    // An entry that cannot be removed (a folder that is not empty).
    const QString dir = config.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(dir + QStringLiteral("/kelvo.desktop/inside")));
    XdgLoginItem stuck(QStringLiteral("/usr/bin/kelvo"), dir);
    EXPECT_FALSE(stuck.isEnabled());
    const auto removeFailure = stuck.setEnabled(false);
    ASSERT_TRUE(removeFailure);
    EXPECT_FALSE(removeFailure->isEmpty());
    // Nor can it be written over.
    EXPECT_TRUE(stuck.setEnabled(true));
}
