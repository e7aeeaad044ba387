#include "XcbTestClient.h"
#include "XvfbFixture.h"

#include "platform/x11/X11Applications.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

using namespace kelvo;
using namespace kelvo::x11;
using namespace kelvo::testing;

namespace {

// The frontmost application once it is the one of `window`.
std::optional<RunningApplication> waitFront(X11Applications &apps, quint64 window)
{
    std::optional<RunningApplication> front;
    XvfbServer::waitUntil([&] {
        front = apps.frontmostApplication();
        return front && front->windowHandle == window;
    }, 5000);
    return front && front->windowHandle == window ? front : std::nullopt;
}

// A desktop entry with `keys` in <data>/applications.
void writeDesktopEntry(const QTemporaryDir &data, const QString &fileName, const QByteArray &keys)
{
    QDir().mkpath(data.filePath("applications"));
    QFile f(data.filePath("applications/" + fileName));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Desktop Entry]\nType=Application\n" + keys);
}

class X11ApplicationsTest : public XvfbTest {
protected:
    bool wantsWindowManager() const override { return true; }
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c()); // desktop entry names untranslated
        XvfbTest::SetUp();
    }

    // While the window manager moves the focus there can be a moment with no
    // active window, when xdotool fails: that reads as none, not as an error.
    quint64 activeWindowByXdotool()
    {
        const auto r = server().run("xdotool", {"getactivewindow"});
        return r.exitCode == 0 ? r.out.trimmed().toULongLong() : 0;
    }
};

} // namespace

TEST_F(X11ApplicationsTest, TheFrontmostApplicationIsTheActiveWindowAndActivationBringsAnotherForward)
{
    X11Applications apps(display());
    ASSERT_TRUE(apps.isValid());
    EXPECT_TRUE(apps.hasEwmhWindowManager());
    EXPECT_FALSE(apps.frontmostApplication()) << "no window, no application";

    qint64 editorPid = 0;
    const quint64 editor = startWindow("mousepad", {"--disable-server"}, "mousepad", &editorPid);
    const quint64 message = startWindow("xmessage", {"kelvo activation test"}, "xmessage");
    ASSERT_TRUE(editor && message);
    ASSERT_TRUE(activateByXdotool(editor));
    auto front = waitFront(apps, editor);
    ASSERT_TRUE(front);
    EXPECT_EQ(front->processIdentifier, editorPid);
    EXPECT_EQ(front->localizedName, "Mousepad"); // Debian's org.xfce.mousepad.desktop names it

    RunningApplication target;
    target.windowHandle = message;
    apps.activate(target);
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return activeWindowByXdotool() == message; }, 5000));
    front = waitFront(apps, message);
    ASSERT_TRUE(front);
    EXPECT_EQ(front->localizedName, "Xmessage"); // no desktop entry: the class name

    // An application known only by its process finds its window.
    RunningApplication byPid;
    byPid.processIdentifier = editorPid;
    apps.activate(byPid);
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return activeWindowByXdotool() == editor; }, 5000));
}

// The clipboard's source is read from the owner's X client, before anything
// of the content: a program that sets nothing on its windows (xclip, under
// another name) by its process, an editor by its windows and its entry.
TEST_F(X11ApplicationsTest, TheClipboardSourceIsTheProgramThatOwnsIt)
{
    QTemporaryDir data;
    writeDesktopEntry(data, "org.example.SecretKeeper.desktop", "Name=Secret Keeper\nExec=secret-keeper %u\n");
    const QString secretKeeper = data.filePath("secret-keeper");
    ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/bin/xclip"), secretKeeper));
    X11Applications apps(display(), {data.path(), QStringLiteral("/usr/share")});
    EXPECT_FALSE(apps.clipboardSource()) << "no owner, no source";

    const auto sourceWhere = [&](const std::function<bool(const ApplicationIdentity &)> &is) {
        std::optional<ApplicationIdentity> source;
        XvfbServer::waitUntil([&] { return (source = apps.clipboardSource()) && is(*source); }, 8000);
        return source;
    };
    QProcess *keeper = server().startClient(secretKeeper, {"-quiet", "-selection", "clipboard", "-i"});
    ASSERT_TRUE(keeper);
    keeper->write("hunter2");
    keeper->closeWriteChannel();
    auto source = sourceWhere([](const auto &s) { return !s.executable.isEmpty(); });
    ASSERT_TRUE(source);
    EXPECT_EQ(source->executable, "secret-keeper");
    EXPECT_EQ(source->desktopEntryId, "org.example.SecretKeeper") << "found by the program its entry runs";
    EXPECT_TRUE(source->classNames.isEmpty());

    const quint64 editor = startWindow("mousepad", {"--disable-server"}, "mousepad");
    ASSERT_TRUE(editor && activateByXdotool(editor));
    // Typed through XTest: GTK ignores keys sent to a window.
    xdotool({"type", "copied in the editor"});
    xdotool({"key", "ctrl+a", "ctrl+c"});
    source = sourceWhere([](const auto &s) { return !s.classNames.isEmpty(); });
    ASSERT_TRUE(source);
    EXPECT_EQ(source->classNames, QStringList({"mousepad", "Mousepad"}));
    EXPECT_EQ(source->desktopEntryId, "org.xfce.mousepad");
    EXPECT_EQ(source->executable, "mousepad");
    EXPECT_EQ(xclipRead("UTF8_STRING").out, "copied in the editor");
}

class X11ApplicationsWithoutWindowManagerTest : public XvfbTest {};

TEST_F(X11ApplicationsWithoutWindowManagerTest, FocusStandsInForTheActiveWindowWhoseNameAndIconAreRead)
{
    QTemporaryDir data;
    writeDesktopEntry(data, "org.example.Sketch.desktop", "Name=Sketch Pad\nStartupWMClass=SketchMain\n");
    X11Applications apps(display(), {data.path()});
    EXPECT_FALSE(apps.hasEwmhWindowManager());
    // Windows made by the test itself, with properties that the Debian
    // programs do not all set (an icon, a class named by StartupWMClass).
    X11Connection c(display());
    WindowOptions options;
    options.wmClass = QByteArray("first\0First\0", 12);
    options.pid = 100;
    const xcb_window_t first = makeWindow(c, options);
    options.wmClass = QByteArray("sketch\0SketchMain\0", 18);
    options.pid = 4242;
    options.icon = {2, 2, 0xff0000ff, 0xff00ff00, 0xffff0000, 0x80ffffff};
    const xcb_window_t second = makeWindow(c, options);

    RunningApplication target;
    target.windowHandle = second;
    apps.activate(target);
    const auto front = waitFront(apps, second);
    ASSERT_TRUE(front);
    EXPECT_EQ(xdotool({"getwindowfocus"}).toULongLong(), second);
    EXPECT_EQ(front->processIdentifier, 4242);
    EXPECT_EQ(front->localizedName, "Sketch Pad"); // by the entry's StartupWMClass
    ASSERT_EQ(front->icon.size(), QSize(2, 2));
    EXPECT_EQ(front->icon.pixel(1, 0), 0xff00ff00u);
    EXPECT_EQ(front->icon.pixel(1, 1), 0x80ffffffu);

    target.windowHandle = first;
    apps.activate(target);
    EXPECT_TRUE(waitFront(apps, first));
}

TEST(X11ApplicationsWithoutDisplay, KnowsNoApplication)
{
    X11Applications apps(QStringLiteral(":4999"));
    EXPECT_FALSE(apps.isValid());
    EXPECT_FALSE(apps.frontmostApplication());
    apps.activate(RunningApplication{}); // harmless
}
