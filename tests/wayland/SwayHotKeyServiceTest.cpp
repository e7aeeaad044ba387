// The global shortcut through sway's IPC against a private headless sway,
// with wtype pressing the keys.

#include "wayland/SwayFixture.h"

#include "platform/wayland/SwayHotKeyService.h"
#include "platform/wayland/SwayIpc.h"

#include <QJsonDocument>

using kelvo::testing::SwayServer;
using kelvo::wayland::SwayHotKeyService;

namespace {

using SwayHotKeyServiceTest = kelvo::testing::SwayTest;

TEST_F(SwayHotKeyServiceTest, PressesReachTheHandlerAndBindingsGoWithTheirRegistration)
{
    // Whether sway still holds a binding: removing it again fails when not.
    auto bound = [&](const QString &combination) {
        return server().run(QStringLiteral("swaymsg"), {QStringLiteral("unbindsym"), combination}).exitCode == 0;
    };
    // wtype holding the modifiers around a key.
    auto press = [&](const char *first, const char *second, const char *key) {
        const QStringList args = {"-M", first, "-M", second, key, "-m", second, "-m", first};
        ASSERT_EQ(server().run(QStringLiteral("wtype"), args).exitCode, 0);
    };
    int presses = 0;
    {
        SwayHotKeyService service(server().ipcSocket());
        ASSERT_TRUE(service.isValid());
        service.installHandler([&] { ++presses; });
        const auto first = service.registerHotKey(9, 256 | 512); // Super+Shift+V
        ASSERT_TRUE(first.handle) << first.status;
        press("logo", "shift", "v");
        ASSERT_TRUE(SwayServer::waitUntil([&] { return presses == 1; }, 10000));
        press("logo", "shift", "v");
        ASSERT_TRUE(SwayServer::waitUntil([&] { return presses == 2; }, 10000));

        service.unregisterHotKey(*first.handle);
        EXPECT_FALSE(bound(QStringLiteral("Mod4+Shift+v")));
        const auto second = service.registerHotKey(40, 4096 | 2048); // Control+Alt+K
        ASSERT_TRUE(second.handle) << second.status;
        press("ctrl", "alt", "k");
        ASSERT_TRUE(SwayServer::waitUntil([&] { return presses == 3; }, 10000));
    }
    // Gone with the service.
    EXPECT_FALSE(bound(QStringLiteral("Ctrl+Mod1+k")));
}

// sway's replies name no request: one that comes after its request was given
// up on must not be read as the next request's.
TEST_F(SwayHotKeyServiceTest, ALateReplyIsNotTakenForTheNextRequests)
{
    namespace ipc = kelvo::wayland::swayipc;
    ipc::Connection connection(server().ipcSocket());
    ASSERT_TRUE(connection.isValid());
    server().pause(true);
    EXPECT_FALSE(connection.request(ipc::kGetTree, {}));
    server().pause(false);
    const auto reply = connection.request(ipc::kRunCommand, "nop");
    ASSERT_TRUE(reply);
    EXPECT_TRUE(QJsonDocument::fromJson(*reply).isArray()) << reply->left(60).toStdString();
}

TEST(SwayHotKeyWithoutSway, RegistrationFailsWithAStatus)
{
    SwayHotKeyService service(QStringLiteral("/nonexistent/sway-ipc.sock"));
    EXPECT_FALSE(service.isValid());
    const auto r = service.registerHotKey(9, 768);
    EXPECT_FALSE(r.handle);
    EXPECT_EQ(r.status, SwayHotKeyService::NoSwayStatus);
}

} // namespace
