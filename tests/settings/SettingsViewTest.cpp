// SettingsView.qml over SettingsViewBackend with in-memory preferences.
#include "panel/QmlViews.h"
#include "panel/QtKeyTranslation.h"
#include "platform/qt/QtKeyEventMonitor.h"
#include "panel/QuickTestSupport.h"
#include "platform/memory/MemoryPlatform.h"
#include "settings/SettingsViewBackend.h"
#include "settings/StoredPreferences.h"

using namespace kelvo;
using namespace kelvo::test;

namespace {

class SettingsViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { quickApp(); }

    void makeBackend() {
        SettingsViewBackend::Hooks hooks;
        hooks.isAccessibilityTrusted = [this] { return trusted; };
        hooks.setLoginItemEnabled = [this](bool on) {
            loginCalls.append(on);
            return loginError;
        };
        hooks.installedApplications = [this] { return installed; };
        hooks.applicationInFront = [this] { return inFront; };
        backend = std::make_unique<SettingsViewBackend>(stored, keyMonitor, hooks);
    }

    void show() {
        makeBackend();
        view = std::make_unique<QQuickView>();
        installViewProviders(*view->engine());
        view->setInitialProperties({{"settings", QVariant::fromValue<QObject *>(backend.get())}});
        view->setSource(settingsViewUrl());
        ASSERT_EQ(view->status(), QQuickView::Ready);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QQuickItem *item(const QString &name) { return findByName(view->rootObject(), name); }

    memory::MemoryPreferences prefs;
    StoredPreferences stored{prefs};
    QtKeyEventMonitor keyMonitor{&keyEventFromQt};
    bool trusted = false;
    QString loginError;
    QList<bool> loginCalls;
    QList<ApplicationChoice> installed;
    std::optional<ApplicationChoice> inFront;
    std::unique_ptr<SettingsViewBackend> backend;
    std::unique_ptr<QQuickView> view;
};

TEST_F(SettingsViewTest, DefaultsWithoutStoredPreferences) {
    ASSERT_NO_FATAL_FAILURE(show());
    EXPECT_FALSE(item("launchAtLoginSwitch")->property("checked").toBool());
    EXPECT_TRUE(item("menuBarIconSwitch")->property("checked").toBool());
    EXPECT_EQ(item("historyLimitLabel")->property("text").toString(), "50 条");
    EXPECT_EQ(item("shortcutRecorder")->findChild<QQuickItem *>()->property("text").toString(), "Super+Shift+V");
    EXPECT_FALSE(item("hiddenIconWarning")->isVisible());
    EXPECT_TRUE(prefs.values.isEmpty()) << "opening the window must not write preferences";
    prefs.setValue("maxHistoryCount", 130); // written elsewhere: shown live
    QQuickItem *label = item("historyLimitLabel");
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->property("text").toString() == "130 条"; }))
        << qPrintable(label->property("text").toString());
}

// Hiding the tray icon shows a warning; scrolled to the end, the last line
// keeps its bottom padding with or without it.
TEST_F(SettingsViewTest, TheHiddenIconWarningAndTheBottomPaddingScrolledToTheEnd) {
    ASSERT_NO_FATAL_FAILURE(show());
    for (const bool warning : {true, false, true}) {
        backend->setShowMenuBarIcon(!warning);
        EXPECT_EQ(prefs.values.value("showMenuBarIcon"), QVariant(!warning));
        QQuickItem *shown = item("hiddenIconWarning");
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown->isVisible() == warning; })) << "warning " << warning;
        auto *flick = item("settingsScroller")->property("contentItem").value<QQuickItem *>();
        ASSERT_NE(flick, nullptr);
        QQuickItem *version = item("versionText");
        ASSERT_TRUE(QTest::qWaitFor([&] {
            flick->setProperty("contentY", flick->property("contentHeight").toReal() - flick->height());
            return std::abs(version->mapToScene(QPointF(0, version->height())).y() - (560 - 24)) < 0.5;
        })) << "warning " << warning << ": last line ends at "
            << version->mapToScene(QPointF(0, version->height())).y();
    }
}

TEST_F(SettingsViewTest, TheLoginItemIsTouchedOnlyByAChangeAndAFailureKeepsTheChoice) {
    makeBackend();
    backend->setLaunchAtLogin(false);
    EXPECT_TRUE(loginCalls.isEmpty());
    EXPECT_TRUE(prefs.values.isEmpty());
    loginError = "permission denied";
    testing::internal::CaptureStdout();
    backend->setLaunchAtLogin(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to update launch at login: permission denied\n");
    EXPECT_TRUE(backend->launchAtLogin());
    loginError.clear();
    backend->setLaunchAtLogin(false);
    EXPECT_EQ(loginCalls, (QList<bool>{true, false}));
    EXPECT_EQ(prefs.values.value("launchAtLogin"), QVariant(false));
}

TEST_F(SettingsViewTest, AccessibilityStatusIsReadOnCreationAndOnRefresh) {
    trusted = true;
    makeBackend();
    EXPECT_TRUE(backend->accessibilityGranted());
    trusted = false;
    EXPECT_TRUE(backend->accessibilityGranted());
    backend->refreshAccessibilityStatus();
    EXPECT_FALSE(backend->accessibilityGranted());
}

// The recorder over the program's own key monitor and Qt key translation.
TEST_F(SettingsViewTest, ClickingTheRecorderRecordsTheNextCombination) {
    ASSERT_NO_FATAL_FAILURE(show());
    QQuickItem *recorder = item("shortcutRecorder");
    ASSERT_NE(recorder, nullptr);
    QQuickItem *label = recorder->findChild<QQuickItem *>();
    ASSERT_NE(label, nullptr);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, recorder->mapToScene(recorder->boundingRect().center()).toPoint());
    EXPECT_TRUE(backend->isRecording());
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->property("text").toString() == "请按键..."; }));
    QTest::keyClick(view.get(), Qt::Key_K); // no modifier: recording goes on
    EXPECT_TRUE(backend->isRecording());
    QTest::keyClick(view.get(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(backend->isRecording());
    EXPECT_EQ(prefs.values.value("hotkeyCode").toLongLong(), 36);
    EXPECT_EQ(prefs.values.value("hotkeyModifiers").toLongLong(), 4608);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->property("text").toString() == "Ctrl+Shift+Return"; }))
        << qPrintable(label->property("text").toString());
    EXPECT_EQ(keyMonitor.monitorCount(), 0);
}

// A stored name shows as the installed application it names; the one that
// was in front is one choice away, an installed one a search away; each row
// removes its own.
TEST_F(SettingsViewTest, IgnoredApplicationsAreChosenShownByTheirNamesAndRemoved) {
    installed = {{"org.xfce.mousepad", "Mousepad", "", {"mousepad"}},
                 {"org.keepassxc.KeePassXC", "KeePassXC", "keepassxc", {"keepassxc"}}};
    inFront = ApplicationChoice{"foot", "foot", "", {"foot"}};
    prefs.setValue("ignoredApplications", QStringList{"KEEPASSXC"}); // stored by its class
    ASSERT_NO_FATAL_FAILURE(show());
    const auto field = [](const QVariant &app, const char *key) { return app.toMap().value(key).toString(); };
    ASSERT_EQ(backend->ignoredApplications().size(), 1);
    EXPECT_EQ(field(backend->ignoredApplications()[0], "name"), "KeePassXC");
    EXPECT_EQ(field(backend->ignoredApplications()[0], "icon"), "image://appicon/keepassxc");
    QStringList listed;
    for (const QVariant &app : backend->installedApplications())
        listed << field(app, "name") + (app.toMap().value("ignored").toBool() ? "*" : "");
    EXPECT_EQ(listed, QStringList({"KeePassXC*", "Mousepad"})) << "by name, the ignored one marked";
    EXPECT_FALSE(item("noIgnoredApplications")->isVisible());

    QQuickItem *overlay = view->contentItem();
    const auto press = [](QQuickItem *button) { ASSERT_TRUE(QMetaObject::invokeMethod(button, "clicked")); };
    press(item("addIgnoredApplication"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return findByName(overlay, "ignoreApplicationInFront"); }));
    press(findByName(overlay, "ignoreApplicationInFront"));
    EXPECT_EQ(stored.ignoredApplications(), QStringList({"KEEPASSXC", "foot"}));
    QObject *chooser = view->rootObject()->findChild<QObject *>("applicationChooser");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chooser->property("visible").toBool(); })) << "closed by the choice";

    press(item("addIgnoredApplication"));
    QQuickItem *search = findByName(overlay, "applicationSearch");
    search->setProperty("text", "MOUSE");
    auto *list = findByName(overlay, "installedApplicationList");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->property("count").toInt() == 1; }));
    QQuickItem *row = findItem(list, [](QQuickItem *i) { return i->property("modelData").isValid(); });
    ASSERT_NE(row, nullptr);
    press(row);
    EXPECT_EQ(stored.ignoredApplications(), QStringList({"KEEPASSXC", "foot", "org.xfce.mousepad"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chooser->property("visible").toBool(); }));

    // The first row's remove button.
    QQuickItem *rows = item("ignoredApplicationList")->parentItem();
    QQuickItem *remove = findItem(rows, [](QQuickItem *i) { return i->property("text").toString() == "移除"; });
    ASSERT_NE(remove, nullptr);
    press(remove);
    EXPECT_EQ(stored.ignoredApplications(), QStringList({"foot", "org.xfce.mousepad"}));
    stored.unignoreApplication("foot");
    stored.unignoreApplication("org.xfce.mousepad");
    EXPECT_TRUE(QTest::qWaitFor([&] { return item("noIgnoredApplications")->isVisible(); }));
}

TEST_F(SettingsViewTest, TheStepperStartsFromTheLimitTheHistoryApplies) {
    makeBackend();
    prefs.setValue("maxHistoryCount", 0); // the history store applies 50
    EXPECT_EQ(backend->maxHistoryCount(), 50);
    backend->stepHistoryLimit(-1);
    EXPECT_EQ(prefs.values.value("maxHistoryCount").toLongLong(), 40);
}

} // namespace
