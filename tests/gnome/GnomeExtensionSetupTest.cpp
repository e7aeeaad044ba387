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

template<GnomeShellServer::Kelvo kKelvo>
struct ShellWithKelvo : GnomeShellServer {
    ShellWithKelvo() { kelvo = kKelvo; }
};
using ExtensionOff = kelvo::testing::ServerTest<ShellWithKelvo<GnomeShellServer::Kelvo::Off>>;
using ExtensionAbsent = kelvo::testing::ServerTest<ShellWithKelvo<GnomeShellServer::Kelvo::Absent>>;

} // namespace

TEST_F(ExtensionOff, IsSwitchedOnAndAnswers)
{
    const gnome::ExtensionSetup setup(server().bus());
    EXPECT_EQ(setup.offer({server().dataHome()}), Offer::Enable);
    EXPECT_EQ(gnome::ShellExtension::version(server().bus(), 1000), std::nullopt);
    ASSERT_TRUE(setup.enable(20000));
    EXPECT_EQ(gnome::ShellExtension::version(server().bus(), 1000), gnome::kVersion);
    EXPECT_EQ(setup.offer({server().dataHome()}), Offer::None) << "on, nothing more to offer";
}

TEST_F(ExtensionAbsent, InstalledSinceTheShellStartedWaitsForTheNextLogin)
{
    const gnome::ExtensionSetup setup(server().bus());
    const QString folder = server().dataHome() + QStringLiteral("/gnome-shell/extensions/kelvo@kelvo.github.io");
    EXPECT_EQ(setup.offer({server().dataHome()}), Offer::None) << "not installed";
    ASSERT_TRUE(QDir().mkpath(folder) && QFile::copy(QStringLiteral(KELVO_GNOME_EXTENSION_DIR "/metadata.json"),
                                                     folder + QStringLiteral("/metadata.json")));
    EXPECT_EQ(setup.offer({server().dataHome()}), Offer::LogInAgain);
}
