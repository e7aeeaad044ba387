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

    // What PRIMARY holds, as another client reads it (nothing when the
    // owner does not answer in time).
    QByteArray primaryText() { return server->run("xclip", {"-selection", "primary", "-o"}, {}, 5000).out; }

    // xclip owns PRIMARY and answers every request with `text`.
    bool offerPrimary(const QByteArray &text) {
        QProcess *xclip = server->startClient("xclip", {"-selection", "primary", "-quiet"});
        if (!xclip) return false;
        xclip->write(text);
        xclip->closeWriteChannel();
        return QTest::qWaitFor([&] { return primaryText() == text; }, 10000);
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
    const QByteArray owner = "someone else's";
    ASSERT_TRUE(offerPrimary(owner));
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
    EXPECT_EQ(primaryText(), owner) << "drag";
    QTest::mouseDClick(&view, Qt::LeftButton, {}, fieldPoint(0.05));
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryText(), owner) << "double click";
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryText(), owner) << "select all";
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, fieldPoint(0.05));
    QCoreApplication::processEvents();
    EXPECT_EQ(primaryText(), owner) << "shift click";
}

} // namespace
