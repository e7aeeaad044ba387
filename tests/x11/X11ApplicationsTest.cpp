#include "XvfbFixture.h"

#include "platform/x11/X11Applications.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

using namespace kelvo;
using namespace kelvo::x11;
using kelvo::testing::XvfbServer;

namespace {

// A top-level window made by the test itself, for properties that the
// Debian programs do not all set (an icon, a class without desktop entry).
class OwnWindow {
public:
    OwnWindow(const QString &display, const QByteArray &wmClass, quint32 pid, const std::vector<quint32> &icon)
        : c_(xcb_connect(display.toLocal8Bit().constData(), nullptr))
    {
        xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            quint32(wmClass.size()), wmClass.constData());
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        if (!icon.empty())
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                                quint32(icon.size()), icon.data());
        xcb_map_window(c_, window);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~OwnWindow() { xcb_disconnect(c_); }
    xcb_window_t window = 0;

private:
    xcb_atom_t atom(const char *name)
    {
        auto *r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, quint16(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }
    xcb_connection_t *c_;
};

class X11ApplicationsTest : public kelvo::testing::XvfbTest {
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
        const QByteArray id = xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--classname"), wmClass});
        return id.split('\n').last().toULongLong();
    }
    // While the window manager moves the focus there can be a moment with no
    // active window, when xdotool fails: that reads as none, not as an error.
    quint64 activeWindowByXdotool()
    {
        const auto r = server().run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
        return r.exitCode == 0 ? r.out.trimmed().toULongLong() : 0;
    }
};

} // namespace

TEST_F(X11ApplicationsTest, NoWindowMeansNoFrontmostApplication)
{
    X11Applications apps(display());
    ASSERT_TRUE(apps.isValid());
    EXPECT_TRUE(apps.hasEwmhWindowManager());
    EXPECT_FALSE(apps.frontmostApplication());
}

TEST_F(X11ApplicationsTest, TheFrontmostApplicationIsTheActiveWindowWithItsProcessAndName)
{
    qint64 pid = 0;
    const quint64 window = startWindow(QStringLiteral("mousepad"), {QStringLiteral("--disable-server")},
                                       QStringLiteral("mousepad"), &pid);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(activateByXdotool(window));

    X11Applications apps(display());
    std::optional<RunningApplication> front;
    ASSERT_TRUE(XvfbServer::waitUntil([&] {
        front = apps.frontmostApplication();
        return front && front->windowHandle == window;
    }, 5000));
    EXPECT_EQ(front->processIdentifier, pid);
    // Debian's org.xfce.mousepad.desktop names it.
    EXPECT_EQ(front->localizedName, QStringLiteral("Mousepad"));
}

TEST_F(X11ApplicationsTest, ActivationBringsAnotherWindowForward)
{
    qint64 editorPid = 0;
    const quint64 editor = startWindow(QStringLiteral("mousepad"), {QStringLiteral("--disable-server")},
                                       QStringLiteral("mousepad"), &editorPid);
    const quint64 message = startWindow(QStringLiteral("xmessage"), {QStringLiteral("kelvo activation test")},
                                        QStringLiteral("xmessage"));
    ASSERT_NE(editor, 0u);
    ASSERT_NE(message, 0u);
    ASSERT_TRUE(activateByXdotool(editor));

    X11Applications apps(display());
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return apps.frontmostApplication()->windowHandle == editor; }, 5000));

    RunningApplication target;
    target.windowHandle = message;
    apps.activate(target);
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return activeWindowByXdotool() == message; }, 5000));
    const auto front = apps.frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->windowHandle, message);
    EXPECT_EQ(front->localizedName, QStringLiteral("Xmessage")); // no desktop entry: the class name

    // An application known only by its process finds its window.
    RunningApplication byPid;
    byPid.processIdentifier = editorPid;
    apps.activate(byPid);
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return activeWindowByXdotool() == editor; }, 5000));
}

TEST_F(X11ApplicationsTest, NameFromStartupWMClassAndIconFromTheWindow)
{
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    QDir().mkpath(data.filePath(QStringLiteral("applications")));
    {
        QFile f(data.filePath(QStringLiteral("applications/org.example.Sketch.desktop")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=Sketch Pad\nStartupWMClass=SketchMain\n");
    }
    std::vector<quint32> icon = {2, 2, 0xff0000ff, 0xff00ff00, 0xffff0000, 0x80ffffff};
    OwnWindow own(display(), QByteArray("sketch\0SketchMain\0", 18), 4242, icon);
    ASSERT_TRUE(activateByXdotool(own.window));

    X11Applications apps(display(), {data.path()});
    std::optional<RunningApplication> front;
    ASSERT_TRUE(XvfbServer::waitUntil([&] {
        front = apps.frontmostApplication();
        return front && front->windowHandle == own.window;
    }, 5000)) << "frontmost window " << (front ? front->windowHandle : 0) << ", own " << own.window
              << ", xdotool " << activeWindowByXdotool();
    EXPECT_EQ(front->localizedName, QStringLiteral("Sketch Pad"));
    EXPECT_EQ(front->processIdentifier, 4242);
    ASSERT_EQ(front->icon.size(), QSize(2, 2));
    EXPECT_EQ(front->icon.pixel(1, 0), 0xff00ff00u);
    EXPECT_EQ(front->icon.pixel(1, 1), 0x80ffffffu);
}

class X11ApplicationsWithoutWindowManagerTest : public kelvo::testing::XvfbTest {};

TEST_F(X11ApplicationsWithoutWindowManagerTest, FocusStandsInForTheActiveWindow)
{
    X11Applications apps(display());
    EXPECT_FALSE(apps.hasEwmhWindowManager());
    OwnWindow first(display(), QByteArray("first\0First\0", 12), 100, {});
    OwnWindow second(display(), QByteArray("second\0Second\0", 14), 200, {});

    RunningApplication target;
    target.windowHandle = second.window;
    apps.activate(target);
    ASSERT_TRUE(XvfbServer::waitUntil([&] {
        const auto f = apps.frontmostApplication();
        return f && f->windowHandle == second.window;
    }, 5000));
    EXPECT_EQ(xdotool({QStringLiteral("getwindowfocus")}).toULongLong(), second.window);
    EXPECT_EQ(apps.frontmostApplication()->processIdentifier, 200);
    EXPECT_EQ(apps.frontmostApplication()->localizedName, QStringLiteral("Second"));

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
