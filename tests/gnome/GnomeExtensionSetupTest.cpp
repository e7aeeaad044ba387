// What Kelvo learns from a real headless GNOME Shell of its extension when it
// does not answer: installed but off (switched on at the user's word), or
// installed after the shell started (GNOME loads it at the next login).

#include "GnomeShellFixture.h"

#include "platform/gnome/ExtensionSetup.h"
#include "platform/gnome/ShellExtension.h"

#include <QDir>

using namespace kelvo;
using kelvo::testing::GnomeShellServer;
using Offer = gnome::ExtensionSetup::Offer;

namespace {

struct Started {
    explicit Started(GnomeShellServer::Kelvo kelvo)
    {
        static int argc = 1;
        static char name[] = "kelvo-gnome-test";
        static char *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        server.kelvo = kelvo;
    }
    GnomeShellServer server;
};

} // namespace

TEST(GnomeExtensionSetup, AnExtensionThatIsOffIsSwitchedOnAndAnswers)
{
    Started s(GnomeShellServer::Kelvo::Off);
    ASSERT_TRUE(s.server.start()) << s.server.error().toStdString();
    const gnome::ExtensionSetup setup(s.server.bus());
    EXPECT_EQ(setup.offer({s.server.dataHome()}), Offer::Enable);
    EXPECT_EQ(gnome::ShellExtension::version(s.server.bus(), 1000), std::nullopt);
    ASSERT_TRUE(setup.enable(20000));
    EXPECT_EQ(gnome::ShellExtension::version(s.server.bus(), 1000), gnome::kVersion);
    EXPECT_EQ(setup.offer({s.server.dataHome()}), Offer::None) << "on, nothing more to offer";
}

TEST(GnomeExtensionSetup, AnExtensionInstalledSinceTheShellStartedWaitsForTheNextLogin)
{
    Started s(GnomeShellServer::Kelvo::Absent);
    ASSERT_TRUE(s.server.start()) << s.server.error().toStdString();
    const gnome::ExtensionSetup setup(s.server.bus());
    const QString folder = s.server.dataHome() + QStringLiteral("/gnome-shell/extensions/kelvo@kelvo.github.io");
    EXPECT_EQ(setup.offer({s.server.dataHome()}), Offer::None) << "not installed";
    ASSERT_TRUE(QDir().mkpath(folder) && QFile::copy(QStringLiteral(KELVO_GNOME_EXTENSION_DIR "/metadata.json"),
                                                     folder + QStringLiteral("/metadata.json")));
    EXPECT_EQ(setup.offer({s.server.dataHome()}), Offer::LogInAgain);
}
