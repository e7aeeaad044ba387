#include "XvfbFixture.h"

#include "platform/x11/X11SyntheticKeyboard.h"

using namespace kelvo;
using namespace kelvo::x11;
using kelvo::testing::XvfbServer;

namespace {

class X11SyntheticKeyboardTest : public kelvo::testing::XvfbTest {
protected:
    bool wantsWindowManager() const override { return true; }

    QByteArray clipboardText()
    {
        return server().run(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                      QStringLiteral("clipboard")}).out;
    }
    void setClipboard(const QByteArray &text)
    {
        // xclip stays in the background serving the selection.
        const auto r = server().run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                              QStringLiteral("-i")}, text);
        ASSERT_EQ(r.exitCode, 0);
        ASSERT_TRUE(XvfbServer::waitUntil([&] { return clipboardText() == text; }, 5000));
    }
    // Mousepad with the keyboard focus.
    void startEditor()
    {
        ASSERT_TRUE(server().startClient(QStringLiteral("mousepad"), {QStringLiteral("--disable-server")}));
        const QByteArray id = xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--classname"), QStringLiteral("mousepad")});
        editor = id.split('\n').last();
        ASSERT_TRUE(activateByXdotool(editor.toULongLong()));
        ASSERT_TRUE(XvfbServer::waitUntil([&] {
            return xdotool({QStringLiteral("getwindowfocus")}) == editor;
        }, 5000));
        XvfbServer::spin(500); // the editor maps its text view after the window
    }
    // The editor's whole text: selecting it all makes the editor offer it as
    // the PRIMARY selection, which leaves the clipboard alone (the editor may
    // still be fetching the clipboard for a paste). Polls until `expected`
    // shows or the time is up, and returns what was seen last.
    QByteArray editorText(const QByteArray &expected, int timeoutMs = 5000)
    {
        QByteArray text;
        XvfbServer::waitUntil([&] {
            xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
            text = server().run(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                          QStringLiteral("primary")}).out;
            return text == expected;
        }, timeoutMs);
        return text;
    }
    void paste(X11SyntheticKeyboard &keyboard)
    {
        ASSERT_TRUE(keyboard.createKeyEvent(9, true));
        ASSERT_TRUE(keyboard.createKeyEvent(9, false));
        keyboard.postPendingEvents();
    }

    QByteArray editor;
};

} // namespace

TEST_F(X11SyntheticKeyboardTest, TrustIsThePresenceOfXTest)
{
    X11SyntheticKeyboard keyboard(display());
    EXPECT_TRUE(keyboard.isTrusted());
    EXPECT_TRUE(keyboard.requestTrust());
    EXPECT_FALSE(keyboard.openSettings());
}

TEST_F(X11SyntheticKeyboardTest, ControlVPastesIntoTheFocusedEditor)
{
    startEditor();
    setClipboard("pasted by kelvo");
    X11SyntheticKeyboard keyboard(display());
    paste(keyboard);
    EXPECT_EQ(editorText("pasted by kelvo"), QByteArray("pasted by kelvo"));
}

TEST_F(X11SyntheticKeyboardTest, HeldModifiersAreReleasedBeforeThePaste)
{
    startEditor();
    setClipboard("exactly control v");
    X11SyntheticKeyboard keyboard(display());

    // The user still holds Shift and Super from the shortcut.
    xdotool({QStringLiteral("keydown"), QStringLiteral("shift")});
    xdotool({QStringLiteral("keydown"), QStringLiteral("super")});
    ASSERT_EQ(keyboard.heldModifierKeys().size(), 2);

    paste(keyboard);
    EXPECT_TRUE(keyboard.heldModifierKeys().isEmpty()); // Control is let go as well
    EXPECT_EQ(editorText("exactly control v"), QByteArray("exactly control v"));
}

TEST_F(X11SyntheticKeyboardTest, NothingIsPostedWithoutEvents)
{
    startEditor();
    setClipboard("unused");
    X11SyntheticKeyboard keyboard(display());
    keyboard.postPendingEvents();
    EXPECT_FALSE(keyboard.createKeyEvent(0xFFFF, true)); // no such position
    keyboard.postPendingEvents();
    XvfbServer::spin(300);
    EXPECT_EQ(editorText({}, 300), QByteArray()); // the editor stayed empty
}

class X11SyntheticKeyboardWithoutXTestTest : public kelvo::testing::XvfbTest {
protected:
    QStringList serverArguments() const override { return {QStringLiteral("-extension"), QStringLiteral("XTEST")}; }
};

TEST_F(X11SyntheticKeyboardWithoutXTestTest, IsNotTrustedAndMakesNoEvents)
{
    X11SyntheticKeyboard keyboard(display());
    EXPECT_FALSE(keyboard.isTrusted());
    EXPECT_FALSE(keyboard.requestTrust());
    EXPECT_FALSE(keyboard.createKeyEvent(9, true));
    keyboard.postPendingEvents(); // harmless
}

TEST(X11SyntheticKeyboardWithoutDisplay, IsNotTrusted)
{
    X11SyntheticKeyboard keyboard(QStringLiteral(":4999"));
    EXPECT_FALSE(keyboard.isTrusted());
    EXPECT_FALSE(keyboard.createKeyEvent(9, true));
}
