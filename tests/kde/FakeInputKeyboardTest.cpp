// The paste keystroke through KWin's fake input, into a real editor on a
// private headless KWin, also while the user still holds a modifier.

#include "kde/KWinFixture.h"

#include "platform/kwin/FakeInputKeyboard.h"
#include "platform/kwin/PlasmaWindows.h"

#include <QTemporaryDir>

using kelvo::kwin::FakeInputKeyboard;
using kelvo::testing::KWinServer;

namespace {

struct PasteCase {
    const char *label;
    const char *toolkit;  // the editor's GDK_BACKEND
    quint32 heldModifier; // evdev code of a key held on another keyboard, 0 for none
};

void PrintTo(const PasteCase &c, std::ostream *os)
{
    *os << c.label;
}

class FakeInputKeyboardTest : public kelvo::testing::KWinTest, public ::testing::WithParamInterface<PasteCase> {
protected:
    // Control and a key position, as a paste posts it.
    static void controlKey(FakeInputKeyboard &keyboard, quint32 keyCode)
    {
        ASSERT_TRUE(keyboard.createKeyEvent(keyCode, true));
        ASSERT_TRUE(keyboard.createKeyEvent(keyCode, false));
        keyboard.postPendingEvents();
    }
};

TEST_P(FakeInputKeyboardTest, ControlVPastesIntoTheEditorInFront)
{
    const PasteCase &c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("target.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    QProcessEnvironment env = server().environment();
    env.insert(QStringLiteral("GDK_BACKEND"), QLatin1String(c.toolkit));
    ASSERT_TRUE(server().startClient(QStringLiteral("mousepad"), {file}, env));
    kelvo::kwin::PlasmaWindows windows(server().display());
    auto frontTitle = [&] { return windows.active().value_or(kelvo::kwin::PlasmaWindow{}).title; };
    ASSERT_TRUE(KWinServer::waitUntil([&] { return frontTitle().contains(QLatin1String("target.txt")); }, 20000))
        << "the editor did not come up";
    ASSERT_EQ(server().run(QStringLiteral("wl-copy"), {QStringLiteral("pasted through KWin")}).exitCode, 0);

    FakeInputKeyboard keyboard(server().display());
    ASSERT_TRUE(keyboard.isValid());
    FakeInputKeyboard otherKeyboard(server().display());
    if (c.heldModifier)
        otherKeyboard.send({{c.heldModifier, true}});
    controlKey(keyboard, 9); // V
    // The editor marks its changed text in its title.
    ASSERT_TRUE(KWinServer::waitUntil([&] { return frontTitle().startsWith(u'*'); }, 10000))
        << "nothing was pasted; in front: " << frontTitle().toStdString();
    controlKey(keyboard, 1); // S
    auto saved = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_TRUE(KWinServer::waitUntil([&] { return saved() == "pasted through KWin"; }, 10000)) << saved().constData();
}

INSTANTIATE_TEST_SUITE_P(Editors, FakeInputKeyboardTest,
                         ::testing::Values(PasteCase{"Wayland", "wayland", 0},
                                           PasteCase{"WaylandWhileSuperIsHeld", "wayland", 125},
                                           PasteCase{"X11WhileSuperIsHeld", "x11", 125}),
                         [](const ::testing::TestParamInfo<PasteCase> &info) { return std::string(info.param.label); });

} // namespace
