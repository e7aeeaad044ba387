// The choice of desktop services on a private headless KWin, with and
// without KWin's grant of its restricted interfaces.

#include "kde/KWinFixture.h"

#include "app/DesktopPlatform.h"
#include "platform/Log.h"
#include "platform/kwin/KGlobalAccelHotKeyService.h"

using kelvo::testing::KWinServer;

namespace {

struct GrantCase {
    const char *label;
    bool granted;
};

void PrintTo(const GrantCase &c, std::ostream *os)
{
    *os << c.label;
}

class KWinPlatformTest : public kelvo::testing::KWinTest, public ::testing::WithParamInterface<GrantCase> {
protected:
    void SetUp() override
    {
        startKWin(GetParam().granted);
        server().enter();
        kelvo::setLogSink([this](const QString &line) { log_.append(line); });
    }
    void TearDown() override
    {
        kelvo::setLogSink(nullptr);
        KWinTest::TearDown();
    }
    QStringList log_;
};

TEST_P(KWinPlatformTest, KWinsServicesWhereGrantedAndTheMissingOnesSaidOnce)
{
    const bool granted = GetParam().granted;
    // The shortcut service runs inside KWin and joins its bus just after it.
    ASSERT_TRUE(KWinServer::waitUntil(
        [&] { return kelvo::kwin::KGlobalAccelHotKeyService::offered(server().bus()); }, 10000));
    const kelvo::DesktopPlatform platform = kelvo::createDesktopPlatform(server().display(), QString());
    EXPECT_EQ(platform.name, QLatin1String("Wayland (KWin)"));
    EXPECT_EQ(log_.filter(QStringLiteral("Desktop platform: ")), QStringList{"Desktop platform: Wayland (KWin)"});
    for (const char *missing : {"org_kde_plasma_window_management", "org_kde_kwin_fake_input"})
        EXPECT_EQ(log_.filter(QLatin1String(missing)).size(), granted ? 0 : 1) << missing;
    EXPECT_EQ(platform.notice.isEmpty(), granted) << platform.notice.toStdString();
    EXPECT_FALSE(platform.shortcutNeedsConfiguration);

    // KDE's shortcut service answers later; X11's grab would at once.
    EXPECT_TRUE(platform.hotKeys->registerHotKey(9, 768).pending);
    // Without the grant only X11 programs are seen: one in front is, and
    // nothing once a Wayland program comes to the front.
    auto front = [&] { return platform.applications->frontmostApplication(); };
    QProcessEnvironment x11 = server().environment();
    x11.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    ASSERT_TRUE(server().startClient(QStringLiteral("mousepad"), {}, x11));
    EXPECT_TRUE(KWinServer::waitUntil([&] { return front().has_value(); }, 20000)) << "the X11 program";
    ASSERT_TRUE(server().startClient(QStringLiteral("galculator"), {}));
    EXPECT_TRUE(KWinServer::waitUntil(
        [&] {
            const auto app = front();
            return granted ? app && app->localizedName == QLatin1String("Galculator") : !app;
        },
        20000))
        << "the Wayland program";
}

INSTANTIATE_TEST_SUITE_P(Grants, KWinPlatformTest,
                         ::testing::Values(GrantCase{"Granted", true}, GrantCase{"NotGranted", false}),
                         [](const ::testing::TestParamInfo<GrantCase> &info) { return std::string(info.param.label); });

} // namespace
