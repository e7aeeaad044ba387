#include "platform/x11/SettingsPreferencesStore.h"
#include "settings/StoredPreferences.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using kelvo::SettingsPreferencesStore;

namespace {

class SettingsPreferencesStoreTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("Kelvo.conf")); }
    QTemporaryDir dir;
};

// The file keeps a list of one as plain text and an empty one as a marker:
// each reads back as the list it was, after a restart.
TEST_F(SettingsPreferencesStoreTest, IgnoredApplicationsSurviveARestartWhateverTheirNumber)
{
    using kelvo::StoredPreferences;
    for (const QStringList &ids : {QStringList{"org.keepassxc.KeePassXC"}, QStringList{}, QStringList{"a", "b c", "Foot"}}) {
        {
            SettingsPreferencesStore store(path());
            StoredPreferences prefs(store);
            for (const QString &id : prefs.ignoredApplications())
                EXPECT_TRUE(prefs.unignoreApplication(id.toUpper() + ".desktop"));
            for (const QString &id : ids)
                EXPECT_TRUE(prefs.ignoreApplication(" " + id + ".desktop"));
            for (const QString &id : ids)
                EXPECT_FALSE(prefs.ignoreApplication(id.toUpper())) << "already listed";
            EXPECT_FALSE(prefs.ignoreApplication(" .desktop"));
            EXPECT_FALSE(prefs.unignoreApplication("never listed"));
        }
        SettingsPreferencesStore reopened(path());
        EXPECT_EQ(StoredPreferences(reopened).ignoredApplications(), ids);
    }
}

TEST_F(SettingsPreferencesStoreTest, ValuesSurviveARestartWithTheirTypesUnderTheirOwnKeys)
{
    {
        SettingsPreferencesStore store(path());
        for (const char *key : {"launchAtLogin", "showMenuBarIcon", "hotkeyCode", "maxHistoryCount"}) {
            EXPECT_FALSE(store.object(key)) << key;
            EXPECT_EQ(store.integer(key), 0);
            EXPECT_FALSE(store.boolean(key));
        }
        store.setValue("launchAtLogin", true);
        store.setValue("showMenuBarIcon", false);
        store.setValue("hotkeyCode", 49);
        store.setValue("hotkeyModifiers", 0); // a stored zero is no absent key
        store.setValue("maxHistoryCount", qint64(500));
    }
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (const char *line : {"hotkeyCode=49", "launchAtLogin=true", "showMenuBarIcon=false"})
        EXPECT_TRUE(text.contains(line)) << text.toStdString();

    SettingsPreferencesStore reopened(path());
    const std::pair<const char *, QVariant> stored[] = {
        {"launchAtLogin", true}, {"showMenuBarIcon", false}, {"hotkeyCode", qint64(49)},
        {"hotkeyModifiers", qint64(0)}, {"maxHistoryCount", qint64(500)}};
    for (const auto &[key, value] : stored) {
        const auto read = reopened.object(key);
        ASSERT_TRUE(read) << key;
        EXPECT_EQ(read->typeId(), value.typeId()) << key;
        EXPECT_EQ(*read, value) << key;
    }
}

TEST_F(SettingsPreferencesStoreTest, EveryWriteIsOnDiskWhenTheChangeIsAnnounced)
{
    SettingsPreferencesStore store(path());
    QList<qint64> seenOnDisk;
    QObject::connect(&store, &kelvo::PreferencesStore::changed,
                     [&] { seenOnDisk.append(SettingsPreferencesStore(path()).integer("maxHistoryCount")); });
    store.setValue("maxHistoryCount", 20);
    store.setValue("maxHistoryCount", 30);
    store.setValue("showMenuBarIcon", true); // unrelated keys announce too
    store.remove("maxHistoryCount");
    EXPECT_EQ(seenOnDisk, (QList<qint64>{20, 30, 30, 0}));
    EXPECT_FALSE(store.object("maxHistoryCount"));
}

TEST_F(SettingsPreferencesStoreTest, HandEditedNonsenseReadsSafely)
{
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\nlaunchAtLogin=maybe\nshowMenuBarIcon=1\nmaxHistoryCount=lots\nhotkeyCode= 12 \n");
    }
    SettingsPreferencesStore store(path());
    EXPECT_FALSE(store.object("launchAtLogin")) << "not a Bool: as if absent, so the default applies";
    EXPECT_EQ(store.object("showMenuBarIcon"), QVariant(true));
    ASSERT_TRUE(store.object("maxHistoryCount")) << "not a number: present, reading 0";
    EXPECT_EQ(store.integer("maxHistoryCount"), 0);
    EXPECT_EQ(store.integer("hotkeyCode"), 12);
}

} // namespace
