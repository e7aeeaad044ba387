#include "platform/x11/SettingsPreferencesStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

using kelvo::SettingsPreferencesStore;

namespace {

class SettingsPreferencesStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path() const { return dir.filePath(QStringLiteral("Kelvo.conf")); }
    QByteArray fileText() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

const QStringList kKeys = {QStringLiteral("launchAtLogin"), QStringLiteral("showMenuBarIcon"),
                           QStringLiteral("hotkeyCode"), QStringLiteral("hotkeyModifiers"),
                           QStringLiteral("maxHistoryCount")};

} // namespace

TEST_F(SettingsPreferencesStoreTest, AnEmptyStoreHasNoneOfTheKeys)
{
    SettingsPreferencesStore store(path());
    for (const QString &key : kKeys) {
        EXPECT_FALSE(store.object(key)) << key.toStdString();
        EXPECT_EQ(store.integer(key), 0);
        EXPECT_FALSE(store.boolean(key));
    }
}

TEST_F(SettingsPreferencesStoreTest, ValuesSurviveARestartWithTheirTypes)
{
    {
        SettingsPreferencesStore store(path());
        store.setValue(QStringLiteral("launchAtLogin"), true);
        store.setValue(QStringLiteral("showMenuBarIcon"), false);
        store.setValue(QStringLiteral("hotkeyCode"), 49);
        store.setValue(QStringLiteral("hotkeyModifiers"), qint64(4096 + 2048));
        store.setValue(QStringLiteral("maxHistoryCount"), 500);
    }
    SettingsPreferencesStore reopened(path());
    const auto launch = reopened.object(QStringLiteral("launchAtLogin"));
    const auto icon = reopened.object(QStringLiteral("showMenuBarIcon"));
    ASSERT_TRUE(launch && icon);
    EXPECT_EQ(launch->typeId(), QMetaType::Bool);
    EXPECT_EQ(icon->typeId(), QMetaType::Bool);
    EXPECT_TRUE(launch->toBool());
    EXPECT_FALSE(icon->toBool());
    // A stored false is present, unlike an absent key.
    EXPECT_FALSE(reopened.boolean(QStringLiteral("showMenuBarIcon")));

    for (const auto &[key, value] : {std::pair{QStringLiteral("hotkeyCode"), 49},
                                     std::pair{QStringLiteral("hotkeyModifiers"), 6144},
                                     std::pair{QStringLiteral("maxHistoryCount"), 500}}) {
        const auto v = reopened.object(key);
        ASSERT_TRUE(v) << key.toStdString();
        EXPECT_EQ(v->typeId(), QMetaType::LongLong) << key.toStdString();
        EXPECT_EQ(v->toLongLong(), value);
        EXPECT_EQ(reopened.integer(key), value);
    }
}

TEST_F(SettingsPreferencesStoreTest, AStoredZeroIsToldApartFromAnAbsentKey)
{
    {
        SettingsPreferencesStore store(path());
        store.setValue(QStringLiteral("hotkeyModifiers"), 0);
    }
    SettingsPreferencesStore reopened(path());
    ASSERT_TRUE(reopened.object(QStringLiteral("hotkeyModifiers")));
    EXPECT_EQ(reopened.object(QStringLiteral("hotkeyModifiers"))->toLongLong(), 0);
    EXPECT_FALSE(reopened.object(QStringLiteral("hotkeyCode")));
}

TEST_F(SettingsPreferencesStoreTest, TheFileUsesTheKeysVerbatim)
{
    SettingsPreferencesStore store(path());
    store.setValue(QStringLiteral("hotkeyCode"), 9);
    store.setValue(QStringLiteral("launchAtLogin"), false);
    const QByteArray text = fileText();
    EXPECT_TRUE(text.contains("hotkeyCode=9")) << text.toStdString();
    EXPECT_TRUE(text.contains("launchAtLogin=false")) << text.toStdString();
}

TEST_F(SettingsPreferencesStoreTest, EveryWriteIsOnDiskWhenTheChangeIsAnnounced)
{
    SettingsPreferencesStore store(path());
    int changes = 0;
    QList<qint64> seenOnDisk;
    QObject::connect(&store, &kelvo::PreferencesStore::changed, [&] {
        ++changes;
        SettingsPreferencesStore other(path());
        seenOnDisk.append(other.integer(QStringLiteral("maxHistoryCount")));
    });
    store.setValue(QStringLiteral("maxHistoryCount"), 20);
    store.setValue(QStringLiteral("maxHistoryCount"), 30);
    store.setValue(QStringLiteral("showMenuBarIcon"), true); // unrelated keys announce too
    store.remove(QStringLiteral("maxHistoryCount"));
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(seenOnDisk, (QList<qint64>{20, 30, 30, 0}));
    EXPECT_FALSE(store.object(QStringLiteral("maxHistoryCount")));
}

TEST_F(SettingsPreferencesStoreTest, HandEditedNonsenseReadsSafely)
{
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\nlaunchAtLogin=maybe\nshowMenuBarIcon=1\nmaxHistoryCount=lots\nhotkeyCode= 12 \n");
    }
    SettingsPreferencesStore store(path());
    // Not a Bool: as if absent, so the default applies.
    EXPECT_FALSE(store.object(QStringLiteral("launchAtLogin")));
    EXPECT_EQ(store.object(QStringLiteral("showMenuBarIcon")), QVariant(true));
    // Not a number: present, reading 0.
    ASSERT_TRUE(store.object(QStringLiteral("maxHistoryCount")));
    EXPECT_EQ(store.integer(QStringLiteral("maxHistoryCount")), 0);
    EXPECT_EQ(store.integer(QStringLiteral("hotkeyCode")), 12);
}

TEST(SettingsPreferencesStoreLocation, LivesInTheUserConfigDirectory)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    {
        SettingsPreferencesStore store;
        EXPECT_EQ(store.fileName(), QDir(config.path()).filePath(QStringLiteral("Kelvo/Kelvo.conf")));
        store.setValue(QStringLiteral("hotkeyCode"), 9);
    }
    EXPECT_TRUE(QFile::exists(QDir(config.path()).filePath(QStringLiteral("Kelvo/Kelvo.conf"))));
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}
