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

// A top-level window made by the test itself, for properties that the
// Debian programs do not all set (an icon, a class without desktop entry).
struct OwnWindow {
    OwnWindow(const QString &display, const QByteArray &wmClass, quint32 pid, std::vector<quint32> icon = {})
        : c(display)
    {
        WindowOptions options;
        options.wmClass = wmClass;
        options.pid = pid;
        options.icon = std::move(icon);
        window = makeWindow(c, options);
    }
    X11Connection c;
    xcb_window_t window = 0;
};

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

class X11ApplicationsTest : public XvfbTest {
protected:
    bool wantsWindowManager() const override { return true; }
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c()); // desktop entry names untranslated
        XvfbTest::SetUp();
    }

    // Starts a program and returns its top-level window once it is shown.
    quint64 startWindow(const QString &program, const QStringList &args, const QString &wmClass, qint64 *pid = nullptr)
    {
        QProcess *p = server().startClient(program, args);
        EXPECT_TRUE(p) << program.toStdString();
        if (!p)
            return 0;
        if (pid)
            *pid = p->processId();
        return xdotool({"search", "--sync", "--onlyvisible", "--classname", wmClass}).split('\n').last().toULongLong();
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

TEST_F(X11ApplicationsTest, NameFromStartupWMClassAndIconFromTheWindow)
{
    QTemporaryDir data;
    QDir().mkpath(data.filePath("applications"));
    {
        QFile f(data.filePath("applications/org.example.Sketch.desktop"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=Sketch Pad\nStartupWMClass=SketchMain\n");
    }
    OwnWindow own(display(), QByteArray("sketch\0SketchMain\0", 18), 4242,
                  {2, 2, 0xff0000ff, 0xff00ff00, 0xffff0000, 0x80ffffff});
    ASSERT_TRUE(activateByXdotool(own.window));

    X11Applications apps(display(), {data.path()});
    const auto front = waitFront(apps, own.window);
    ASSERT_TRUE(front) << "xdotool sees " << activeWindowByXdotool() << ", own " << own.window;
    EXPECT_EQ(front->localizedName, "Sketch Pad");
    EXPECT_EQ(front->processIdentifier, 4242);
    ASSERT_EQ(front->icon.size(), QSize(2, 2));
    EXPECT_EQ(front->icon.pixel(1, 0), 0xff00ff00u);
    EXPECT_EQ(front->icon.pixel(1, 1), 0x80ffffffu);
}

class X11ApplicationsWithoutWindowManagerTest : public XvfbTest {};

TEST_F(X11ApplicationsWithoutWindowManagerTest, FocusStandsInForTheActiveWindow)
{
    X11Applications apps(display());
    EXPECT_FALSE(apps.hasEwmhWindowManager());
    OwnWindow first(display(), QByteArray("first\0First\0", 12), 100);
    OwnWindow second(display(), QByteArray("second\0Second\0", 14), 200);

    RunningApplication target;
    target.windowHandle = second.window;
    apps.activate(target);
    const auto front = waitFront(apps, second.window);
    ASSERT_TRUE(front);
    EXPECT_EQ(xdotool({"getwindowfocus"}).toULongLong(), second.window);
    EXPECT_EQ(front->processIdentifier, 200);
    EXPECT_EQ(front->localizedName, "Second");

    target.windowHandle = first.window;
    apps.activate(target);
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return apps.frontmostApplication()->processIdentifier == 100; }, 5000));
}

TEST(X11ApplicationsWithoutDisplay, KnowsNoApplication)
{
    X11Applications apps(QStringLiteral(":4999"));
    EXPECT_FALSE(apps.isValid());
    EXPECT_FALSE(apps.frontmostApplication());
    apps.activate(RunningApplication{}); // harmless
}
