// The frontmost application, activation and the paste keystroke against a
// private headless sway, with Wayland-native GTK editors as the applications.

#include "wayland/SwayFixture.h"

#include "platform/wayland/WaylandApplications.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandSyntheticKeyboard.h"

#include <QTemporaryDir>

using kelvo::RunningApplication;
using kelvo::testing::SwayServer;
using kelvo::wayland::WaylandApplications;

namespace {

class WaylandDesktopTest : public kelvo::testing::SwayTest {
protected:
    // Starts mousepad on a file of its own and waits until its window is in
    // front; returns that application.
    std::optional<RunningApplication> openEditor(WaylandApplications &apps, const QString &fileName)
    {
        const QString path = dir_.filePath(fileName);
        QFile(path).open(QIODevice::WriteOnly);
        const quint64 before = front(apps);
        if (!server().startClient(QStringLiteral("mousepad"), {path}))
            return std::nullopt;
        std::optional<RunningApplication> app;
        SwayServer::waitUntil(
            [&] {
                app = apps.frontmostApplication();
                return app && app->windowHandle != before;
            },
            20000);
        return app;
    }
    static quint64 front(const WaylandApplications &apps)
    {
        const auto app = apps.frontmostApplication();
        return app ? app->windowHandle : 0;
    }

    QTemporaryDir dir_;
};

TEST_F(WaylandDesktopTest, FrontWindowIsNamedFromItsDesktopEntryAndCanBeActivatedAgain)
{
    WaylandApplications apps(server().display());
    ASSERT_TRUE(apps.isValid());
    EXPECT_TRUE(WaylandApplications::offersToplevelManagement(server().display()));
    EXPECT_FALSE(apps.frontmostApplication()) << "nothing is open yet";

    const auto first = openEditor(apps, QStringLiteral("first.txt"));
    ASSERT_TRUE(first) << "mousepad did not come to the front";
    EXPECT_EQ(first->localizedName, QStringLiteral("Mousepad"));
    EXPECT_NE(first->processIdentifier, 0);

    const auto second = openEditor(apps, QStringLiteral("second.txt"));
    ASSERT_TRUE(second) << "the second window did not come to the front";
    EXPECT_NE(second->processIdentifier, first->processIdentifier);

    apps.activate(*first);
    EXPECT_TRUE(SwayServer::waitUntil([&] { return front(apps) == first->windowHandle; }, 10000));
    apps.activate(*second);
    EXPECT_TRUE(SwayServer::waitUntil([&] { return front(apps) == second->windowHandle; }, 10000));
}

TEST_F(WaylandDesktopTest, ControlVPastesTheClipboardIntoTheFrontWindow)
{
    WaylandApplications apps(server().display());
    kelvo::wayland::WaylandPasteboard pasteboard(nullptr, server().display());
    kelvo::wayland::WaylandSyntheticKeyboard keyboard(server().display());
    ASSERT_TRUE(keyboard.isTrusted());
    const auto editor = openEditor(apps, QStringLiteral("paste.txt"));
    ASSERT_TRUE(editor) << "mousepad did not come to the front";

    const QString text = QStringLiteral("pasted by Kelvo ✓ 粘贴");
    ASSERT_TRUE(pasteboard.write({{{kelvo::PasteboardType::String, text.toUtf8()}}}));
    // The selection is the compositor's once another client reads it back.
    ASSERT_TRUE(SwayServer::waitUntil(
        [&] { return server().run(QStringLiteral("wl-paste"), {QStringLiteral("-n")}).out == text.toUtf8(); }, 10000));
    auto press = [&](quint32 key) { // a key position with Control: 9 is V, 1 is S
        ASSERT_TRUE(keyboard.createKeyEvent(key, true));
        ASSERT_TRUE(keyboard.createKeyEvent(key, false));
        keyboard.postPendingEvents();
    };
    press(9);
    // The editor pastes asynchronously: save until the file holds the text.
    QFile saved(dir_.filePath(QStringLiteral("paste.txt")));
    QByteArray contents;
    for (QDeadlineTimer deadline(15000); !deadline.hasExpired() && contents != text.toUtf8();) {
        press(1);
        SwayServer::waitUntil(
            [&] {
                saved.close();
                contents = saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
                return contents == text.toUtf8();
            },
            1000);
    }
    EXPECT_EQ(QString::fromUtf8(contents), text);
}

} // namespace
