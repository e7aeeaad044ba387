// SettingsView.qml over SettingsViewBackend with in-memory preferences.
#include "panel/QmlViews.h"
#include "panel/QuickTestSupport.h"
#include "platform/memory/MemoryPlatform.h"
#include "settings/SettingsViewBackend.h"

#include <gtest/gtest.h>

#include <QQuickView>
#include <QTest>

#include <cstdio>

using namespace kelvo;
using namespace kelvo::test;

namespace {

class SettingsViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        quickApp();
        prepareQuickControlsStyle();
    }

    void makeBackend() {
        SettingsViewBackend::Hooks hooks;
        hooks.isAccessibilityTrusted = [this] { return trusted; };
        hooks.setLoginItemEnabled = [this](bool on) {
            loginCalls.append(on);
            return loginError;
        };
        hooks.shortcutDisplayText = [](int code, int mods) { return QStringLiteral("%1+%2").arg(mods).arg(code); };
        backend = std::make_unique<SettingsViewBackend>(prefs, hooks);
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
    bool trusted = false;
    QString loginError;
    QList<bool> loginCalls;
    std::unique_ptr<SettingsViewBackend> backend;
    std::unique_ptr<QQuickView> view;
};

TEST_F(SettingsViewTest, DefaultsWithoutStoredPreferences) {
    ASSERT_NO_FATAL_FAILURE(show());
    EXPECT_EQ(view->rootObject()->width(), 420);
    EXPECT_EQ(view->rootObject()->height(), 560);
    EXPECT_FALSE(item("launchAtLoginSwitch")->property("checked").toBool());
    EXPECT_TRUE(item("menuBarIconSwitch")->property("checked").toBool());
    EXPECT_EQ(item("historyLimitLabel")->property("text").toString(), "50 条");
    EXPECT_EQ(backend->shortcutText(), "768+9");
    EXPECT_FALSE(item("hiddenIconWarning")->isVisible());
    EXPECT_TRUE(prefs.values.isEmpty()) << "opening the window must not write preferences";
}

TEST_F(SettingsViewTest, HidingTheTrayIconShowsTheWarningAndBack) {
    ASSERT_NO_FATAL_FAILURE(show());
    backend->setShowMenuBarIcon(false);
    QTest::qWait(10);
    EXPECT_EQ(prefs.values.value("showMenuBarIcon"), QVariant(false));
    EXPECT_TRUE(item("hiddenIconWarning")->isVisible());
    backend->setShowMenuBarIcon(true);
    QTest::qWait(10);
    EXPECT_FALSE(item("hiddenIconWarning")->isVisible());
}

TEST_F(SettingsViewTest, StepperMovesByTenWithinBounds) {
    makeBackend();
    backend->stepHistoryLimit(+1);
    EXPECT_EQ(prefs.values.value("maxHistoryCount"), QVariant(60));
    prefs.setValue("maxHistoryCount", 500);
    backend->stepHistoryLimit(+1);
    EXPECT_EQ(backend->maxHistoryCount(), 500);
    prefs.setValue("maxHistoryCount", 10);
    backend->stepHistoryLimit(-1);
    EXPECT_EQ(backend->maxHistoryCount(), 10);
    backend->stepHistoryLimit(+1);
    EXPECT_EQ(backend->maxHistoryCount(), 20);
}

TEST_F(SettingsViewTest, StoredLimitIsShownLive) {
    prefs.setValue("maxHistoryCount", 120);
    ASSERT_NO_FATAL_FAILURE(show());
    EXPECT_EQ(item("historyLimitLabel")->property("text").toString(), "120 条");
    prefs.setValue("maxHistoryCount", 130); // written elsewhere
    QTest::qWait(10);
    EXPECT_EQ(item("historyLimitLabel")->property("text").toString(), "130 条");
}

TEST_F(SettingsViewTest, FailedLoginItemChangeKeepsTheChoice) {
    makeBackend();
    loginError = "permission denied";
    testing::internal::CaptureStdout();
    backend->setLaunchAtLogin(true);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Failed to update launch at login: permission denied\n");
    EXPECT_EQ(loginCalls, QList<bool>{true});
    EXPECT_TRUE(backend->launchAtLogin());
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

} // namespace
