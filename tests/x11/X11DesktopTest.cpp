// The desktop as the panel sees it on a real X server: the active window's
// frame and reduced motion from XSETTINGS.
#include "platform/x11/X11Desktop.h"
#include "x11/XcbTestClient.h"
#include "x11/XvfbFixture.h"

#include <QtEndian>

using namespace kelvo;
using namespace kelvo::x11;
using kelvo::testing::XvfbTest;

namespace {

QByteArray card32(quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); }
QByteArray padded(const QByteArray &b) { return b + QByteArray((4 - b.size() % 4) % 4, '\0'); }
QByteArray integer(qint32 v) { return card32(quint32(v)); }
QByteArray string(const QByteArray &s) { return card32(quint32(s.size())) + padded(s); }
const QByteArray colour(8, '\x7f');

// An XSETTINGS blob in the byte order of this machine: settings of type
// 0 (integer), 1 (string) or 2 (colour) with their encoded values.
QByteArray settingsBlob(const QList<std::tuple<char, QByteArray, QByteArray>> &settings)
{
    QByteArray blob(4, '\0');
    blob[0] = QSysInfo::ByteOrder == QSysInfo::BigEndian ? 1 : 0;
    blob += card32(7) + card32(quint32(settings.size()));
    for (const auto &[type, name, value] : settings) {
        const quint16 length = quint16(name.size());
        blob += QByteArray(1, type) + '\0' + QByteArray(reinterpret_cast<const char *>(&length), 2) + padded(name) +
                card32(1) + value;
    }
    return blob;
}

TEST(XSettingsTest, FindsTheIntegerAfterOtherKinds) {
    const QByteArray blob = settingsBlob({{1, "Net/ThemeName", string("Adwaita")},
                                          {2, "Gtk/Colour", colour},
                                          {0, "Gtk/EnableAnimations", integer(0)},
                                          {0, "Net/DoubleClickTime", integer(400)}});
    EXPECT_EQ(xsettingsInteger(blob, "Gtk/EnableAnimations"), 0);
    EXPECT_EQ(xsettingsInteger(blob, "Net/DoubleClickTime"), 400);
    EXPECT_EQ(xsettingsInteger(blob, "Net/ThemeName"), std::nullopt); // a string
    EXPECT_EQ(xsettingsInteger(blob, "Gtk/Missing"), std::nullopt);
    for (int cut : {0, 11, 20, 40, int(blob.size()) - 1})
        EXPECT_EQ(xsettingsInteger(blob.left(cut), "Net/DoubleClickTime"), std::nullopt) << cut;
}

class X11DesktopTest : public XvfbTest {
protected:
    void SetUp() override {
        XvfbTest::SetUp();
        if (HasFatalFailure()) return;
        c = std::make_unique<X11Connection>(display());
        ASSERT_TRUE(c->isValid());
    }

    xcb_window_t makeWindow(int x, int y, int w, int h) {
        kelvo::testing::WindowOptions options;
        options.frame = QRect(x, y, w, h);
        return kelvo::testing::makeWindow(*c, options);
    }

    std::unique_ptr<X11Connection> c;
};

TEST_F(X11DesktopTest, ActiveWindowFrameFromEwmhElseInputFocusAndReducedMotionFromTheSettingsManager) {
    X11Desktop desktop(display());
    const xcb_window_t focused = makeWindow(500, 300, 320, 200);
    const xcb_window_t active = makeWindow(40, 60, 200, 100);
    EXPECT_EQ(desktop.activeWindowFrame(), std::nullopt); // focus on the root: none

    xcb_set_input_focus(c->get(), XCB_INPUT_FOCUS_POINTER_ROOT, focused, XCB_CURRENT_TIME);
    c->sync();
    EXPECT_EQ(desktop.activeWindowFrame(), QRect(500, 300, 320, 200));

    xcb_change_property(c->get(), XCB_PROP_MODE_REPLACE, c->root(), c->atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW,
                        32, 1, &active);
    c->sync();
    EXPECT_EQ(desktop.activeWindowFrame(), QRect(40, 60, 200, 100));

    xcb_destroy_window(c->get(), active); // a stale property
    c->sync();
    EXPECT_EQ(desktop.activeWindowFrame(), std::nullopt);

    EXPECT_FALSE(desktop.reduceMotion()); // no settings manager
    const xcb_window_t manager = makeWindow(0, 0, 1, 1);
    xcb_set_selection_owner(c->get(), manager, c->atom("_XSETTINGS_S0"), XCB_CURRENT_TIME);
    auto publish = [&](const QByteArray &blob) {
        xcb_change_property(c->get(), XCB_PROP_MODE_REPLACE, manager, c->atom("_XSETTINGS_SETTINGS"),
                            c->atom("_XSETTINGS_SETTINGS"), 8, uint32_t(blob.size()), blob.constData());
        c->sync();
    };
    EXPECT_FALSE(desktop.reduceMotion()); // owner without settings
    publish(settingsBlob({{1, "Net/ThemeName", string("Adwaita")}, {0, "Gtk/EnableAnimations", integer(0)}}));
    EXPECT_TRUE(desktop.reduceMotion());
    publish(settingsBlob({{0, "Gtk/EnableAnimations", integer(1)}}));
    EXPECT_FALSE(desktop.reduceMotion()); // read again, not kept
}

TEST_F(X11DesktopTest, ButtonPressesAnywhereReachTheWatcherButNotTheWheel) {
    X11Desktop desktop(display());
    QList<QPoint> presses;
    desktop.setButtonPressHandler([&](QPoint at) { presses.append(at); });
    makeWindow(0, 0, 400, 400); // a window that takes no focus and selects no button
    // The position is where the pointer is when the press is read: one
    // click at a time.
    xdotool({"mousemove", "100", "200", "click", "1"});
    ASSERT_TRUE(kelvo::testing::XvfbServer::waitUntil([&] { return presses.size() >= 1; }, 5000));
    xdotool({"mousemove", "300", "300", "click", "4"});
    xdotool({"mousemove", "600", "500", "click", "3"});
    ASSERT_TRUE(kelvo::testing::XvfbServer::waitUntil([&] { return presses.size() >= 2; }, 5000));
    EXPECT_EQ(presses, (QList<QPoint>{{100, 200}, {600, 500}}));

    desktop.setButtonPressHandler({});
    xdotool({"click", "1"});
    QList<QPoint> later;
    desktop.setButtonPressHandler([&](QPoint at) { later.append(at); });
    xdotool({"mousemove", "10", "20", "click", "2"});
    ASSERT_TRUE(kelvo::testing::XvfbServer::waitUntil([&] { return !later.isEmpty(); }, 5000));
    EXPECT_EQ(later, QList<QPoint>{QPoint(10, 20)}); // nothing of the unwatched press
    EXPECT_EQ(presses.size(), 2);
}

} // namespace
