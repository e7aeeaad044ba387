// The search field on a real X server: it never reads nor owns PRIMARY.
#include "panel/QuickTestSupport.h"
#include "x11/XvfbFixture.h"

using namespace kelvo;
using namespace kelvo::test;

namespace {

class SearchFieldSelectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new kelvo::testing::XvfbServer;
        ASSERT_TRUE(server->start());
        qputenv("DISPLAY", server->display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        quickApp();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        backend.all = makeRows(1);
        ASSERT_TRUE(showHistoryView(view, backend));
        field = findByName(view.rootObject(), "searchField");
        ASSERT_NE(field, nullptr);
    }

    // The window that owns PRIMARY, asked of the server.
    xcb_window_t primaryOwner() {
        xcb_connection_t *c = xcb_connect(server->display().toLocal8Bit().constData(), nullptr);
        xcb_window_t owner = XCB_WINDOW_NONE;
        if (auto *r = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, XCB_ATOM_PRIMARY), nullptr)) {
            owner = r->owner;
            std::free(r);
        }
        xcb_disconnect(c);
        return owner;
    }

    // xclip owns PRIMARY and answers every request with `text`.
    xcb_window_t offerPrimary(const QByteArray &text) {
        const xcb_window_t before = primaryOwner();
        QProcess *xclip = server->startClient("xclip", {"-selection", "primary", "-quiet"});
        EXPECT_NE(xclip, nullptr);
        if (!xclip) return XCB_WINDOW_NONE;
        xclip->write(text);
        xclip->closeWriteChannel();
        EXPECT_TRUE(QTest::qWaitFor([&] { return primaryOwner() != before; }, 10000));
        return primaryOwner();
    }

    QPoint fieldPoint(qreal fraction) {
        return field->mapToScene(QPointF(field->width() * fraction, field->height() / 2)).toPoint();
    }

    static inline kelvo::testing::XvfbServer *server = nullptr;
    FakeHistoryBackend backend;
    QQuickView view;
    QQuickItem *field = nullptr;
};

TEST_F(SearchFieldSelectionTest, MiddleClickPastesNothingAndSelectingLeavesPrimaryWithItsOwner) {
    const xcb_window_t owner = offerPrimary("someone else's");
    ASSERT_NE(owner, XCB_WINDOW_NONE);
    QTest::mouseClick(&view, Qt::LeftButton, {}, fieldPoint(0.5));
    QTest::mouseClick(&view, Qt::MiddleButton, {}, fieldPoint(0.5));
    QCoreApplication::processEvents();
    EXPECT_EQ(field->property("text").toString(), "");
    EXPECT_EQ(backend.searchQuery(), "");

    backend.setSearchQuery("hello world");
    QTest::mouseClick(&view, Qt::LeftButton, {}, fieldPoint(0.5));
    ASSERT_EQ(field->property("text").toString(), "hello world");
    // Drag over the text, double click a word, select all with the keyboard.
    QTest::mousePress(&view, Qt::LeftButton, {}, fieldPoint(0.0));
    QTest::mouseMove(&view, fieldPoint(0.9));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, fieldPoint(0.9));
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryOwner(), owner) << "drag";
    QTest::mouseDClick(&view, Qt::LeftButton, {}, fieldPoint(0.05));
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryOwner(), owner) << "double click";
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryOwner(), owner) << "select all";
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, fieldPoint(0.05));
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryOwner(), owner) << "shift click";
}

} // namespace
