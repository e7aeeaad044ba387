// The window in front and its activation through KWin's window management,
// with real programs on a private headless KWin.

#include "kde/KWinFixture.h"

#include "platform/kwin/KWinApplications.h"

using kelvo::testing::KWinServer;

namespace {

struct Program {
    const char *command;
    const char *toolkit; // GDK_BACKEND
    const char *name;    // its desktop entry's Name
    const char *entry;   // and that entry's id
};

struct PairCase {
    const char *label;
    Program first, second;
};

void PrintTo(const PairCase &c, std::ostream *os)
{
    *os << c.label;
}

class KWinWindowsTest : public kelvo::testing::KWinTest, public ::testing::WithParamInterface<PairCase> {};

TEST_P(KWinWindowsTest, TheWindowInFrontIsNamedAndEitherOfTwoIsActivatedAgain)
{
    kelvo::kwin::KWinApplications apps(server().display());
    ASSERT_TRUE(apps.isValid()) << "the grant was not honoured";
    auto front = [&] { return apps.frontmostApplication(); };
    EXPECT_FALSE(front()) << "nothing is open yet";

    QList<kelvo::RunningApplication> opened;
    for (const Program &p : {GetParam().first, GetParam().second}) {
        QProcessEnvironment env = server().environment();
        env.insert(QStringLiteral("GDK_BACKEND"), QLatin1String(p.toolkit));
        QProcess *process = server().startClient(QLatin1String(p.command), {}, env);
        ASSERT_TRUE(process);
        const quint64 before = opened.isEmpty() ? 0 : opened.last().windowHandle;
        ASSERT_TRUE(KWinServer::waitUntil([&] { return front() && front()->windowHandle != before; }, 20000))
            << p.command << " did not come to the front";
        const kelvo::RunningApplication app = *front();
        EXPECT_EQ(app.localizedName, QLatin1String(p.name));
        // What an application is kept out of the history by.
        EXPECT_EQ(app.identity.desktopEntryId, QLatin1String(p.entry));
        EXPECT_EQ(app.identity.executable, QLatin1String(p.command));
        EXPECT_EQ(app.processIdentifier, process->processId()) << "the window's own process";
        opened.append(app);
    }
    EXPECT_NE(opened.at(0).windowHandle, opened.at(1).windowHandle);
    for (const kelvo::RunningApplication &app : opened) {
        apps.activate(app);
        EXPECT_TRUE(KWinServer::waitUntil([&] { return front() && front()->windowHandle == app.windowHandle; }, 10000))
            << app.localizedName.value_or(QString()).toStdString() << " was not activated";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, KWinWindowsTest,
    ::testing::Values(PairCase{"TwoWaylandPrograms", {"mousepad", "wayland", "Mousepad", "org.xfce.mousepad"}, {"galculator", "wayland", "Galculator", "galculator"}},
                      PairCase{"WaylandAndX11", {"galculator", "wayland", "Galculator", "galculator"}, {"mousepad", "x11", "Mousepad", "org.xfce.mousepad"}}),
    [](const ::testing::TestParamInfo<PairCase> &info) { return std::string(info.param.label); });

} // namespace
