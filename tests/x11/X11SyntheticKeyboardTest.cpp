#include "XvfbFixture.h"

#include "platform/x11/X11SyntheticKeyboard.h"

using namespace kelvo;
using namespace kelvo::x11;
using kelvo::testing::XvfbServer;

namespace {

class X11SyntheticKeyboardTest : public kelvo::testing::XvfbTest {
protected:
    bool wantsWindowManager() const override { return true; }

    // An empty Mousepad with the keyboard focus. Typing is repeated until
    // the text view has taken it (it is mapped after the window).
    void startEditor()
    {
        ASSERT_TRUE(activateByXdotool(startWindow("mousepad", {"--disable-server"}, "mousepad")));
        ASSERT_TRUE(XvfbServer::waitUntil([&] {
            xdotool({"key", "ctrl+a"});
            xdotool({"type", "ready"});
            return editorText("ready", 500) == "ready";
        }, 10000)) << "the editor did not take the text";
        xdotool({"key", "BackSpace"}); // all of it is selected
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
            text = xclipRead("UTF8_STRING", "primary").out;
            return text == expected;
        }, timeoutMs);
        return text;
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
    startEditor();
    xclipCopy("pasted");

    // The user still holds Shift and Super from the shortcut.
    xdotool({"keydown", "shift"});
    xdotool({"keydown", "super"});
    ASSERT_EQ(keyboard.heldModifierKeys().size(), 2);
    ASSERT_TRUE(keyboard.createKeyEvent(9, true));
    ASSERT_TRUE(keyboard.createKeyEvent(9, false));
    keyboard.postPendingEvents();
    EXPECT_TRUE(keyboard.heldModifierKeys().isEmpty()); // Control is let go as well
    EXPECT_EQ(editorText("pasted"), QByteArray("pasted"));

    // Posting with nothing queued, or after a key of no position, sends
    // nothing either.
    keyboard.postPendingEvents();
    EXPECT_FALSE(keyboard.createKeyEvent(0xFFFF, true));
    keyboard.postPendingEvents();
    // Typed at the end of the text: a modifier left held by the keyboard
    // would turn these keys into shortcuts (Control+A selects all, Control+Z
    // takes the paste back). No Control here: pressing it would release a
    // stray one.
    xdotool({"key", "End"});
    xdotool({"type", "az"});
    EXPECT_EQ(editorText("pastedaz"), QByteArray("pastedaz"));
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
