// The choice of desktop platform at start, against a private headless sway.

#include "wayland/SwayFixture.h"

#include "app/DesktopPlatform.h"
#include "platform/Log.h"

using kelvo::testing::SwayServer;

namespace {

struct ChoiceCase {
    const char *name;
    bool waylandSession;
    int probe; // -1: ask the compositor; 0: a compositor taken to offer no data-control
    const char *platform;
    bool notice;
    bool shortcutLine; // the settings window shows the line to bind `kelvo toggle`
};

class DesktopPlatformTest : public kelvo::testing::SwayTest, public ::testing::WithParamInterface<ChoiceCase> {
protected:
    void SetUp() override
    {
        SwayTest::SetUp();
        qunsetenv("DISPLAY"); // the X11 side has nothing to reach here
        kelvo::setLogSink([this](const QString &line) { log_.append(line); });
    }
    void TearDown() override
    {
        kelvo::setLogSink(nullptr);
        SwayTest::TearDown();
    }
    QStringList log_;
};

void PrintTo(const ChoiceCase &c, std::ostream *os)
{
    *os << c.name;
}

TEST_P(DesktopPlatformTest, ChoosesOnceAndSaysWhich)
{
    const ChoiceCase &c = GetParam();
    kelvo::CompositorProbe probe;
    if (c.probe >= 0)
        probe = [](const QString &) { return QStringList{QStringLiteral("wl_seat")}; };
    const kelvo::DesktopPlatform platform =
        kelvo::createDesktopPlatform(c.waylandSession ? server().display() : QString(),
                                     c.waylandSession ? server().ipcSocket() : QString(), probe);
    EXPECT_EQ(platform.name, QLatin1String(c.platform));
    EXPECT_EQ(platform.shortcutNeedsConfiguration, c.shortcutLine);
    ASSERT_TRUE(platform.pasteboard && platform.applications && platform.hotKeys && platform.keyboard);
    EXPECT_EQ(log_.filter(QStringLiteral("Desktop platform: ")), QStringList{QStringLiteral("Desktop platform: ") + c.platform});
    EXPECT_EQ(log_.filter(QStringLiteral("does not let a clipboard history see copies")).size(), c.notice ? 1 : 0)
        << log_.join(u'\n').toStdString();
    if (platform.name == QLatin1String("Wayland (sway)")) {
        // The clipboard chosen is the live one of this compositor.
        const qint64 before = platform.pasteboard->changeCount();
        ASSERT_EQ(server().run(QStringLiteral("wl-copy"), {QStringLiteral("seen")}).exitCode, 0);
        EXPECT_TRUE(SwayServer::waitUntil([&] { return platform.pasteboard->changeCount() == before + 1; }, 10000));
        // So are the paste keystroke and the windows (no X server here).
        EXPECT_TRUE(platform.keyboard->isTrusted());
        EXPECT_TRUE(platform.hotKeys->registerHotKey(9, 768).handle);
        // The window in front, named from its desktop entry, one number per
        // window; either of two can be activated again.
        auto front = [&] { return platform.applications->frontmostApplication(); };
        auto openEditor = [&](quint64 before) {
            EXPECT_TRUE(server().startClient(QStringLiteral("mousepad"), {}));
            EXPECT_TRUE(SwayServer::waitUntil([&] { return front() && front()->windowHandle != before; }, 20000));
            return front().value_or(kelvo::RunningApplication{});
        };
        EXPECT_FALSE(front()) << "nothing is open yet";
        const kelvo::RunningApplication first = openEditor(0);
        EXPECT_EQ(first.localizedName, QStringLiteral("Mousepad"));
        const kelvo::RunningApplication second = openEditor(first.windowHandle);
        EXPECT_NE(first.processIdentifier, 0);
        EXPECT_NE(second.processIdentifier, first.processIdentifier);
        for (const auto &app : {first, second}) {
            platform.applications->activate(app);
            EXPECT_TRUE(SwayServer::waitUntil([&] { return front() && front()->windowHandle == app.windowHandle; }, 10000));
        }
        // data-control names no owner: a copy's source is the window in front.
        const auto source = platform.applications->clipboardSource();
        ASSERT_TRUE(source);
        EXPECT_EQ(source->desktopEntryId, QStringLiteral("org.xfce.mousepad"));
        EXPECT_TRUE(source->matches(QStringLiteral("org.xfce.mousepad"))) << source->classNames.join(u',').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Sessions, DesktopPlatformTest,
                         ::testing::Values(ChoiceCase{"WaylandWithDataControl", true, -1, "Wayland (sway)", false, false},
                                           ChoiceCase{"WaylandWithoutDataControl", true, 0, "X11", true, true},
                                           ChoiceCase{"X11Session", false, -1, "X11", false, false}),
                         [](const ::testing::TestParamInfo<ChoiceCase> &info) { return std::string(info.param.name); });

// The key names are sway's (the shortcut service binds the same names).
TEST(ShortcutConfigurationLine, InTheSyntaxOfTheDesktop)
{
    // 9 = V; 256 Super, 512 Shift, 2048 Alt, 4096 Control.
    EXPECT_EQ(kelvo::shortcutConfigurationLine(9, 768, QStringLiteral("sway")), "bindsym Mod4+Shift+v exec kelvo toggle");
    EXPECT_EQ(kelvo::shortcutConfigurationLine(49, 4096 | 2048, QString()), "bindsym Ctrl+Mod1+space exec kelvo toggle");
    EXPECT_EQ(kelvo::shortcutConfigurationLine(9, 768, QStringLiteral("Hyprland")),
              "bind = SUPER SHIFT, v, exec, kelvo toggle");
    EXPECT_EQ(kelvo::shortcutConfigurationLine(0xFFFF, 768, QStringLiteral("sway")), "");
}

} // namespace
