// The window in front, activation, the paste keystroke and the shortcut
// through Kelvo's extension under a real headless GNOME Shell, with mousepad
// and foot on their Wayland backends.

#include "GnomeShellFixture.h"

#include "platform/gnome/GnomeApplications.h"
#include "platform/gnome/GnomeInput.h"
#include "platform/gnome/ShellExtension.h"
#include "platform/x11/X11Pasteboard.h"

#include <QDBusConnectionInterface>
#include <QTemporaryDir>

using namespace kelvo;
using kelvo::testing::GnomeShellServer;

namespace {

class GnomeInputTest : public kelvo::testing::GnomeShellTest {
protected:
    void SetUp() override
    {
        GnomeShellTest::SetUp();
        shell_ = std::make_unique<gnome::ShellExtension>(server().bus());
        server().bus().interface()->registerService(QStringLiteral("io.github.kelvo.Kelvo"));
    }

    // Starts mousepad on `file` (made empty); true once its window has the
    // focus.
    bool startEditor(const QString &file)
    {
        QFile(file).open(QIODevice::WriteOnly);
        return server().startClient(QStringLiteral("mousepad"), {file})
            && GnomeShellServer::waitUntil([&] { return focusedClass() == QLatin1String("mousepad"); }, 20000);
    }
    QString focusedClass()
    {
        return server().focusedWindow().value_or(QVariantMap()).value(QStringLiteral("wmClass")).toString();
    }
    // Control+<key> from the extension's keyboard.
    void typeWithControl(gnome::GnomeSyntheticKeyboard &keyboard, quint32 key)
    {
        ASSERT_TRUE(keyboard.createKeyEvent(key, true) && keyboard.createKeyEvent(key, false));
        keyboard.postPendingEvents();
    }
    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<gnome::ShellExtension> shell_;
    QTemporaryDir dir_;
};

constexpr quint32 kS = 1, kV = 9;

} // namespace

TEST_F(GnomeInputTest, AnActivatedEditorInFrontPastesWhatControlVTypes)
{
    gnome::GnomeApplications applications(*shell_);
    gnome::GnomeSyntheticKeyboard keyboard(*shell_);
    const QString file = dir_.filePath(QStringLiteral("target.txt"));
    ASSERT_TRUE(startEditor(file));
    auto front = [&] { return applications.frontmostApplication(); };
    ASSERT_TRUE(GnomeShellServer::waitUntil([&] { return front() && front()->localizedName == QLatin1String("Mousepad"); }, 30000));
    const RunningApplication editor = *front();
    EXPECT_GT(editor.processIdentifier, 0);
    // What an application is kept out of the history by.
    EXPECT_EQ(editor.identity.desktopEntryId, QLatin1String("org.xfce.mousepad"));
    EXPECT_EQ(editor.identity.executable, QLatin1String("mousepad"));

    // Another window in front, then the editor activated again.
    ASSERT_TRUE(server().startClient(QStringLiteral("foot"), {}));
    ASSERT_TRUE(GnomeShellServer::waitUntil([&] { return front() && front()->windowHandle != editor.windowHandle; }, 20000));
    applications.activate(editor);
    ASSERT_TRUE(GnomeShellServer::waitUntil([&] { return front() && front()->windowHandle == editor.windowHandle; }, 30000));

    // Written as Kelvo writes (wl-copy would take the focus for a moment),
    // and pasted once Wayland programs see it.
    qputenv("XAUTHORITY", server().environment().value(QStringLiteral("XAUTHORITY")).toLocal8Bit());
    x11::X11Pasteboard clipboard(nullptr, server().environment().value(QStringLiteral("DISPLAY")));
    ASSERT_TRUE(clipboard.write({{{PasteboardType::String, "pasted by Kelvo"}}}));
    ASSERT_TRUE(GnomeShellServer::waitUntil([&] {
        return server().run(QStringLiteral("wl-paste"), {QStringLiteral("-n")}).out == "pasted by Kelvo";
    }, 30000));
    typeWithControl(keyboard, kV);
    // Saved until the file holds the paste (a save before the paste
    // arrived is simply made again).
    EXPECT_TRUE(GnomeShellServer::waitUntil([&] {
        typeWithControl(keyboard, kS);
        return GnomeShellServer::waitUntil([&] { return contents(file) == "pasted by Kelvo"; }, 1000);
    }, 15000)) << "the file holds '" << contents(file).toStdString() << "'";
}

TEST_F(GnomeInputTest, TheShortcutIsTheShellsWhileRegisteredAndTheProgramsAfterwards)
{
    gnome::GnomeHotKeyService hotKeys(*shell_);
    int presses = 0;
    hotKeys.installHandler([&] { ++presses; });
    std::optional<qint32> settled;
    hotKeys.installSettledHandler([&](quint64, qint32 status) { settled = status; });
    ASSERT_TRUE(startEditor(dir_.filePath(QStringLiteral("keys.txt"))));
    const auto registration = hotKeys.registerHotKey(kV, 768); // Super+Shift+V
    ASSERT_TRUE(registration.handle);
    ASSERT_TRUE(GnomeShellServer::waitUntil([&] { return settled.has_value(); }, 30000));
    ASSERT_EQ(*settled, 0) << "the shell did not bind the combination";
    auto press = [&] { server().pressKeys({QStringLiteral("Super_L"), QStringLiteral("Shift_L"), QStringLiteral("v")}); };
    press();
    ASSERT_TRUE(GnomeShellServer::waitUntil([&] { return presses == 1; }, 30000));
    // Keys reach the editor in the order they were pressed: once a later
    // key has typed into it, the shell has handled the combination.
    hotKeys.unregisterHotKey(*registration.handle);
    press();
    server().pressKeys({QStringLiteral("x")});
    EXPECT_TRUE(GnomeShellServer::waitUntil([&] {
        const auto focused = server().focusedWindow();
        return focused && focused->value(QStringLiteral("title")).toString().startsWith(u'*');
    }, 30000));
    QCoreApplication::processEvents(); // what came before that answer
    EXPECT_EQ(presses, 1);
}

TEST(GnomeAccelerator, IsWrittenAsGtkWritesIt)
{
    const std::tuple<quint32, quint32, const char *> rows[] = {
        {9, 768, "<Super><Shift>v"},                 // the default, Super+Shift+V
        {49, 4096 | 2048, "<Control><Alt>space"},    // every modifier in GTK's order
        {0, 256 | 4096 | 2048 | 512, "<Super><Control><Alt><Shift>a"},
        {9, 0, "v"},
    };
    for (const auto &[key, modifiers, text] : rows)
        EXPECT_EQ(gnome::GnomeHotKeyService::acceleratorFor(key, modifiers), QString::fromLatin1(text));
    EXPECT_EQ(gnome::GnomeHotKeyService::acceleratorFor(0xFFFF, 768), std::nullopt) << "a position without a name";
}
