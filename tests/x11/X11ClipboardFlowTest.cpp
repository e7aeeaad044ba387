// The history store working through the X11 clipboard on a private Xvfb:
// copies that follow each other while the last one is still being read,
// and what other programs see of a write.

#include "XcbTestClient.h"
#include "XvfbFixture.h"

#include "history/ClipboardManager.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStyledTextConverter.h"
#include "platform/x11/X11Pasteboard.h"

#include <QTemporaryDir>

#include <xcb/xfixes.h>

#include <atomic>
#include <mutex>

using namespace kelvo;
using kelvo::testing::XvfbServer;

namespace {

// A main loop whose repeating timers never fire: the history store then
// hears of a copy only through the clipboard's change events.
struct LoopWithoutTicks : QtMainLoop {
    TaskHandle every(int, std::function<void()>) override { return {}; }
};

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
    LoopWithoutTicks loop;
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

class X11ClipboardFlowTest : public kelvo::testing::XvfbTest {};

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

TEST_F(X11ClipboardFlowTest, CopiesMadeWhileTheLastIsReadAreRecordedOnceEachInOrder)
{
    X11HistoryRig rig(display());
    auto manager = rig.make();
    // Each copy replaces the last as soon as its text was read: the change
    // arrives while that read is still on its way to the store.
    std::vector<kelvo::testing::Targets> copies;
    QStringList copied;
    for (int i = 1; i <= 12; ++i) {
        copied.prepend(QStringLiteral("quick copy %1").arg(i));
        copies.push_back({{"UTF8_STRING", copied.first().toUtf8()}});
    }
    kelvo::testing::TestOwner owner(display(), copies);
    EXPECT_TRUE(XvfbServer::waitUntil([&] { return manager->items().size() >= 12; }, 15000));
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
    xclipCopy("after the writes");
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
