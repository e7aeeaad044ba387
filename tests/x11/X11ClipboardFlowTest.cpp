// The history store and the paste-back working through the X11 services on a
// private Xvfb: quick copies made with xclip, what other programs see of a
// write, and a paste whose target has lost the focus.

#include "XcbTestClient.h"
#include "XvfbFixture.h"

#include "history/ClipboardManager.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStyledTextConverter.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11SyntheticKeyboard.h"
#include "system/PasteBack.h"

#include <QTemporaryDir>

#include <xcb/xfixes.h>

#include <atomic>
#include <mutex>

using namespace kelvo;
using kelvo::testing::XvfbServer;

namespace {

// Every service of a history store, with the real X11 clipboard.
struct X11HistoryRig {
    explicit X11HistoryRig(const QString &display) : pasteboard(nullptr, display) {}
    QTemporaryDir dir;
    x11::X11Pasteboard pasteboard;
    memory::MemoryApplications applications;
    MimeTypeRegistry types;
    QtStyledTextConverter styledText;
    LocalFileSystem files{dir.path()};
    SystemClock clock;
    QtMainLoop loop;
    SerialBackgroundQueue background;
    memory::MemoryPreferences preferences;
    memory::MemorySaveDialog saveDialog;

    std::unique_ptr<ClipboardManager> make()
    {
        return std::make_unique<ClipboardManager>(HistoryServices{pasteboard, applications, types, styledText, files,
                                                                  clock, loop, background, preferences, saveDialog});
    }
};

std::string texts(const QList<ClipboardItem> &items)
{
    QStringList list;
    for (const ClipboardItem &item : items)
        list.append(item.content.string());
    return list.join(QStringLiteral(", ")).toStdString();
}

class X11ClipboardFlowTest : public kelvo::testing::XvfbTest {
protected:
    // Runs `xclip -i` with `text` (its background copy goes on owning the
    // clipboard).
    void copyWithXclip(const QByteArray &text)
    {
        ASSERT_EQ(server().run("xclip", {"-selection", "clipboard", "-i"}, text).exitCode, 0);
    }
};

// On its own connection and thread: asks the new owner for TARGETS at every
// owner change of CLIPBOARD and keeps what each answer held.
class TargetsWatcher {
public:
    explicit TargetsWatcher(const QString &display) : c_(display)
    {
        xcb_connection_t *x = c_.get();
        const xcb_atom_t clipboard = c_.atom("CLIPBOARD"), targets = c_.atom("TARGETS"),
                         property = c_.atom("WATCHER_TARGETS");
        kelvo::testing::WindowOptions options;
        options.inputOnly = true;
        const xcb_window_t window = kelvo::testing::makeWindow(c_, options);
        std::free(xcb_xfixes_query_version_reply(x, xcb_xfixes_query_version(x, 5, 0), nullptr));
        const quint8 ownerChange = xcb_get_extension_data(x, &xcb_xfixes_id)->first_event + XCB_XFIXES_SELECTION_NOTIFY;
        xcb_xfixes_select_selection_input(x, window, clipboard, XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        c_.sync();
        thread_.emplace(x, [=, this](xcb_generic_event_t *e) {
            const quint8 type = e->response_type & 0x7f;
            if (type == ownerChange) {
                ++ownerChanges_;
                xcb_convert_selection(x, window, clipboard, targets, property, XCB_CURRENT_TIME);
                xcb_flush(x);
            } else if (type == XCB_SELECTION_NOTIFY) {
                int count = -1;
                if (reinterpret_cast<xcb_selection_notify_event_t *>(e)->property != XCB_ATOM_NONE) {
                    auto *r = xcb_get_property_reply(x, xcb_get_property(x, 1, window, property, XCB_ATOM_ATOM, 0, 1024),
                                                     nullptr);
                    count = r ? xcb_get_property_value_length(r) / 4 : -1;
                    std::free(r);
                }
                std::lock_guard lock(mutex_);
                answers_.push_back(count);
            }
        });
    }
    // The number of targets of each answer, -1 for a refusal.
    std::vector<int> answers() const
    {
        std::lock_guard lock(mutex_);
        return answers_;
    }
    int ownerChanges() const { return ownerChanges_; }

private:
    x11::X11Connection c_;
    std::atomic<int> ownerChanges_{0};
    mutable std::mutex mutex_;
    std::vector<int> answers_;
    std::optional<kelvo::testing::EventThread> thread_;
};

} // namespace

TEST_F(X11ClipboardFlowTest, TwelveQuickCopiesGiveTwelveEntriesInOrder)
{
    X11HistoryRig rig(display());
    copyWithXclip("there at start");
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return rig.pasteboard.changeCount() > 0; }, 5000));
    auto manager = rig.make();

    QStringList copied;
    for (int i = 1; i <= 12; ++i) {
        copied.prepend(QStringLiteral("quick copy %1").arg(i));
        copyWithXclip(copied.first().toUtf8());
        XvfbServer::spin(150); // the pace of a quick user, one copy every 150 ms: the time is the subject
    }
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return manager->items().size() >= 12; }, 10000));
    EXPECT_EQ(texts(manager->items()), copied.join(QStringLiteral(", ")).toStdString());
}

TEST_F(X11ClipboardFlowTest, AWriteIsOneOwnerChangeThatNeverOffersAnEmptyList)
{
    X11HistoryRig rig(display());
    auto manager = rig.make();
    TargetsWatcher watcher(display());

    const ClipboardItem rich = ClipboardItem::make(ClipboardContent::richText("Bold words", "{\\rtf1 Bold words}"),
                                                   QByteArray("<p><b>Bold</b> words</p>"), std::nullopt, QImage(),
                                                   rig.clock.now());
    const ClipboardItem png = ClipboardItem::make(ClipboardContent::image(QByteArray("\x89PNG", 4)), std::nullopt,
                                                  std::nullopt, QImage(), rig.clock.now());
    int writes = 0;
    for (const ClipboardItem &item : {rich, rich, png}) {
        manager->writeToPasteboard(item);
        ++writes;
        ASSERT_TRUE(XvfbServer::waitUntil([&] { return int(watcher.answers().size()) >= writes; }, 5000));
    }
    // Owner changes arrive in order: once xclip's copy is seen, a second
    // owner change of any write would have been seen before it.
    copyWithXclip("after the writes");
    ASSERT_TRUE(XvfbServer::waitUntil([&] { return watcher.answers().size() >= 4 && !manager->items().isEmpty(); },
                                      5000));
    EXPECT_EQ(watcher.ownerChanges(), 4);
    const std::vector<int> answers = watcher.answers();
    ASSERT_EQ(answers.size(), 4u);
    // TARGETS itself, the 5 text targets, text/rtf and application/rtf, text/html.
    EXPECT_EQ(answers[0], 9);
    EXPECT_EQ(answers[1], 9);
    EXPECT_EQ(answers[2], 2); // TARGETS, image/png
    EXPECT_EQ(texts(manager->items()), "after the writes") << "own writes are not captured";
}

namespace {

// A top-level window without _NET_WM_PID (as many X programs leave it) that
// records the key presses it receives.
class KeyWindow {
public:
    explicit KeyWindow(const QString &display) : c_(display)
    {
        kelvo::testing::WindowOptions options;
        options.eventMask = XCB_EVENT_MASK_KEY_PRESS;
        options.wmClass = QByteArray("keywindow\0KeyWindow\0", 20);
        window = kelvo::testing::makeWindow(c_, options);
    }
    // Key presses received so far, as "<state>+<keycode>".
    QStringList presses()
    {
        while (xcb_generic_event_t *e = xcb_poll_for_event(c_.get())) {
            auto *k = reinterpret_cast<xcb_key_press_event_t *>(e);
            if ((e->response_type & 0x7f) == XCB_KEY_PRESS && k->detail != 37 && k->detail != 105) // not Control
                received.append(QStringLiteral("%1+%2").arg(k->state & XCB_MOD_MASK_CONTROL).arg(k->detail));
            std::free(e);
        }
        return received;
    }
    xcb_window_t window = 0;

private:
    x11::X11Connection c_;
    QStringList received;
};

class X11PasteTargetTest : public X11ClipboardFlowTest {
protected:
    bool wantsWindowManager() const override { return true; }
};

} // namespace

TEST_F(X11PasteTargetTest, PasteLandsInTheWindowThatWasInFrontWhenThePanelOpened)
{
    KeyWindow first(display());
    KeyWindow second(display());
    ASSERT_TRUE(activateByXdotool(first.window));
    x11::X11Applications applications(display());
    const std::optional<RunningApplication> previous = applications.frontmostApplication();
    ASSERT_TRUE(previous);
    ASSERT_EQ(previous->windowHandle, first.window);

    // Another window of no known process takes the focus before the paste.
    ASSERT_TRUE(activateByXdotool(second.window));

    X11HistoryRig rig(display());
    auto manager = rig.make();
    manager->addCapturedItem(ClipboardItem::make(ClipboardContent::text("pasted"), std::nullopt, std::nullopt,
                                                 QImage(), rig.clock.now()));
    x11::X11SyntheticKeyboard keyboard(display());
    PasteBack paste(PasteBackServices{applications, keyboard, rig.loop, rig.clock});
    const ClipboardItem item = manager->items().first(); // a copy: the write reorders the list
    paste.pasteToPreviousApp(item, *manager, previous);

    const QString controlV = QStringLiteral("%1+55").arg(XCB_MOD_MASK_CONTROL);
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return first.presses() == QStringList{controlV}; }, 5000))
        << "first: " << first.presses().join(' ').toStdString();
    EXPECT_TRUE(second.presses().isEmpty()) << "second: " << second.presses().join(' ').toStdString();
}
