// The history store and the paste-back working through the X11 services on a
// private Xvfb: quick copies made with xclip, what other programs see of a
// write, and a paste whose target has lost the focus.

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
#include <thread>

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
    // Starts `xclip -i` with `text` and lets the event loop run until it
    // has returned (its background copy goes on owning the clipboard).
    void copyWithXclip(const QByteArray &text)
    {
        QProcess xclip;
        xclip.setProcessEnvironment(server().environment());
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                              QStringLiteral("-i")});
        ASSERT_TRUE(xclip.waitForStarted(5000));
        xclip.write(text);
        xclip.closeWriteChannel();
        ASSERT_TRUE(XvfbServer::waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 5000));
    }
};

// On its own connection and thread: asks the new owner for TARGETS at every
// owner change of CLIPBOARD and keeps what each answer held.
class TargetsWatcher {
public:
    explicit TargetsWatcher(const QString &display)
    {
        c_ = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        clipboard_ = atom("CLIPBOARD");
        targets_ = atom("TARGETS");
        property_ = atom("WATCHER_TARGETS");
        std::free(xcb_xfixes_query_version_reply(c_, xcb_xfixes_query_version(c_, 5, 0), nullptr));
        xfixesEvent_ = xcb_get_extension_data(c_, &xcb_xfixes_id)->first_event;
        xcb_xfixes_select_selection_input(c_, window_, clipboard_,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        thread_ = std::thread([this] { run(); });
    }
    ~TargetsWatcher()
    {
        stop_ = true;
        thread_.join();
        xcb_disconnect(c_);
    }
    // The number of targets of each answer, -1 for a refusal.
    std::vector<int> answers() const
    {
        std::lock_guard lock(mutex_);
        return answers_;
    }
    int ownerChanges() const { return ownerChanges_; }

private:
    xcb_atom_t atom(const char *name)
    {
        auto *r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, quint16(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }
    void run()
    {
        while (!stop_) {
            xcb_generic_event_t *e = xcb_poll_for_event(c_);
            if (!e) {
                pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
                poll(&p, 1, 20);
                continue;
            }
            const quint8 type = e->response_type & 0x7f;
            if (type == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
                ++ownerChanges_;
                xcb_convert_selection(c_, window_, clipboard_, targets_, property_, XCB_CURRENT_TIME);
                xcb_flush(c_);
            } else if (type == XCB_SELECTION_NOTIFY) {
                auto *n = reinterpret_cast<xcb_selection_notify_event_t *>(e);
                int count = -1;
                if (n->property != XCB_ATOM_NONE) {
                    auto *r = xcb_get_property_reply(
                        c_, xcb_get_property(c_, 1, window_, property_, XCB_ATOM_ATOM, 0, 1024), nullptr);
                    count = r ? xcb_get_property_value_length(r) / 4 : -1;
                    std::free(r);
                }
                std::lock_guard lock(mutex_);
                answers_.push_back(count);
            }
            std::free(e);
        }
    }

    xcb_connection_t *c_ = nullptr;
    xcb_window_t window_ = 0;
    xcb_atom_t clipboard_ = 0, targets_ = 0, property_ = 0;
    quint8 xfixesEvent_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> ownerChanges_{0};
    mutable std::mutex mutex_;
    std::vector<int> answers_;
    std::thread thread_;
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
    explicit KeyWindow(const QString &display) : c_(xcb_connect(display.toLocal8Bit().constData(), nullptr))
    {
        xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window = xcb_generate_id(c_);
        const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
        const char wmClass[] = "keywindow\0KeyWindow";
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof wmClass, wmClass);
        xcb_map_window(c_, window);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~KeyWindow() { xcb_disconnect(c_); }
    // Key presses received so far, as "<state>+<keycode>".
    QStringList presses()
    {
        while (xcb_generic_event_t *e = xcb_poll_for_event(c_)) {
            if ((e->response_type & 0x7f) == XCB_KEY_PRESS) {
                auto *k = reinterpret_cast<xcb_key_press_event_t *>(e);
                if (k->detail != 37 && k->detail != 105) // not Control itself
                    received.append(QStringLiteral("%1+%2").arg(k->state & XCB_MOD_MASK_CONTROL).arg(k->detail));
            }
            std::free(e);
        }
        return received;
    }
    xcb_window_t window = 0;

private:
    xcb_connection_t *c_;
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
