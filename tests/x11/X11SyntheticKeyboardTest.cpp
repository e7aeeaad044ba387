#include "XvfbFixture.h"

#include "platform/x11/X11SyntheticKeyboard.h"

using namespace kelvo;
using namespace kelvo::x11;
using kelvo::testing::XvfbServer;

namespace {

class X11SyntheticKeyboardTest : public kelvo::testing::XvfbTest {
protected:
    bool wantsWindowManager() const override { return true; }

    QByteArray read(const char *selection)
    {
        return server().run("xclip", {"-o", "-selection", selection}).out;
    }
    // Mousepad with the keyboard focus, holding `text` with the cursor at
    // its end. Typing is repeated until the text view has taken it all (it
    // is mapped after the window).
    void startEditor(const QByteArray &text)
    {
        ASSERT_TRUE(server().startClient("mousepad", {"--disable-server"}));
        const QByteArray editor =
            xdotool({"search", "--sync", "--onlyvisible", "--classname", "mousepad"}).split('\n').last();
        ASSERT_TRUE(activateByXdotool(editor.toULongLong()));
        ASSERT_TRUE(XvfbServer::waitUntil([&] {
            xdotool({"key", "ctrl+a"});
            xdotool({"type", "ready"});
            return editorText("ready", 500) == "ready";
        }, 10000)) << "the editor did not take the text";
        xdotool({"key", "BackSpace"}); // all of it is selected
        typeAtEnd(QString::fromUtf8(text));
        ASSERT_EQ(editorText(text), text);
        xdotool({"key", "End"});
    }
    // The editor's whole text: selecting it all makes the editor offer it as
    // the PRIMARY selection, which leaves the clipboard alone (the editor may
    // still be fetching the clipboard for a paste). Polls until `expected`
    // shows or the time is up, and returns what was seen last.
    QByteArray editorText(const QByteArray &expected, int timeoutMs = 5000)
    {
        QByteArray text;
        XvfbServer::waitUntil([&] {
            xdotool({"key", "ctrl+a"});
            text = read("primary");
            return text == expected;
        }, timeoutMs);
        return text;
    }
    // Types at the end of the (one-line) text: a modifier left held by the
    // keyboard would turn these keys into shortcuts (Control+A selects all).
    // No Control here: pressing it would release a stray one.
    void typeAtEnd(const QString &keys)
    {
        xdotool({"key", "End"});
        xdotool({"type", keys});
    }
    void setClipboard(const QByteArray &text)
    {
        // xclip stays in the background serving the selection.
        ASSERT_EQ(server().run("xclip", {"-selection", "clipboard", "-i"}, text).exitCode, 0);
        ASSERT_TRUE(XvfbServer::waitUntil([&] { return read("clipboard") == text; }, 5000));
    }
    static void paste(X11SyntheticKeyboard &keyboard)
    {
        ASSERT_TRUE(keyboard.createKeyEvent(9, true));
        ASSERT_TRUE(keyboard.createKeyEvent(9, false));
        keyboard.postPendingEvents();
    }
};

} // namespace

TEST_F(X11SyntheticKeyboardTest, ControlVPastesAfterReleasingHeldModifiersAndLeavesNoneHeld)
{
    X11SyntheticKeyboard keyboard(display());
    EXPECT_TRUE(keyboard.isTrusted()); // trust is the presence of XTest
    EXPECT_TRUE(keyboard.requestTrust());
    EXPECT_FALSE(keyboard.openSettings());
    // The editor is empty for the paste: reading its text selects it all,
    // and a paste still on its way would then replace the selection.
    startEditor({});
    setClipboard("pasted");

    // The user still holds Shift and Super from the shortcut.
    xdotool({"keydown", "shift"});
    xdotool({"keydown", "super"});
    ASSERT_EQ(keyboard.heldModifierKeys().size(), 2);
    paste(keyboard);
    EXPECT_TRUE(keyboard.heldModifierKeys().isEmpty()); // Control is let go as well
    EXPECT_EQ(editorText("pasted"), QByteArray("pasted"));
    typeAtEnd("az"); // now into an editor holding text
    EXPECT_EQ(editorText("pastedaz"), QByteArray("pastedaz"));
}

TEST_F(X11SyntheticKeyboardTest, NothingIsPostedWithoutEvents)
{
    startEditor("kept");
    setClipboard("unused");
    X11SyntheticKeyboard keyboard(display());
    keyboard.postPendingEvents();
    EXPECT_FALSE(keyboard.createKeyEvent(0xFFFF, true)); // no such position
    keyboard.postPendingEvents();
    typeAtEnd("az");
    EXPECT_EQ(editorText("keptaz"), QByteArray("keptaz"));
}

class X11SyntheticKeyboardWithoutXTestTest : public kelvo::testing::XvfbTest {
protected:
    QStringList serverArguments() const override { return {"-extension", "XTEST"}; }
};

TEST_F(X11SyntheticKeyboardWithoutXTestTest, IsNotTrustedAndMakesNoEvents)
{
    for (const QString &name : {display(), QStringLiteral(":4999")}) { // and without a display
        X11SyntheticKeyboard keyboard(name);
        EXPECT_FALSE(keyboard.isTrusted());
        EXPECT_FALSE(keyboard.requestTrust());
        EXPECT_FALSE(keyboard.createKeyEvent(9, true));
        keyboard.postPendingEvents(); // harmless
    }
}
