#pragma once

#include "history/FaultNotices.h"
#include "history/HistoryFile.h"
#include "history/PasteboardReader.h"
#include "model/ClipboardItem.h"
#include "panel/ClipboardTab.h"
#include "platform/Applications.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/Preferences.h"
#include "platform/SaveDialog.h"
#include "platform/Scheduler.h"
#include "platform/StyledText.h"
#include "platform/TypeRegistry.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <deque>
#include <memory>
#include <optional>

namespace kelvo {

// The services the history store works through. All of them outlive the
// store.
struct HistoryServices {
    Pasteboard &pasteboard;
    Applications &applications;
    const TypeRegistry &types;
    const StyledTextConverter &styledText;
    FileSystem &files;
    Clock &clock;
    MainLoop &mainLoop;
    BackgroundQueue &background;
    PreferencesStore &preferences;
    SaveDialog &saveDialog;
    // Where the user is told of faults; none: only the log.
    Notifications *notifications = nullptr;
};

// The clipboard history: the list of entries (newest first) with its
// operations, the clipboard poll that feeds it, the history file behind it,
// the writers that put an entry back on the clipboard and image export.
// Lives on the main thread.
//
// `items` and `searchQuery` are published: every assignment, also one that
// changes nothing, is announced by the AboutToChange signal before and the
// Changed signal after.
class ClipboardManager : public QObject {
    Q_OBJECT
public:
    // Resolves the history file (migrating a legacy directory), takes the
    // clipboard's current content as seen, loads the history, follows
    // preference changes, applies the limit and starts polling.
    explicit ClipboardManager(const HistoryServices &services, QObject *parent = nullptr);
    // Stops polling and drops a save that has not started (see
    // flushPendingSave()).
    ~ClipboardManager() override;

    static constexpr int kPollIntervalMs = 500;
    static constexpr std::size_t kMaxCapturesInFlight = 4;
    static constexpr int kSaveDelayMs = 120;
    static constexpr int kPreferenceDebounceMs = 500;
    static constexpr qint64 kDefaultHistoryLimit = 50;

    const QList<ClipboardItem> &items() const { return items_; }
    const QString &searchQuery() const { return searchQuery_; }
    void setSearchQuery(const QString &query);
    qint64 lastChangeCount() const { return lastChangeCount_; }
    void setLastChangeCount(qint64 count) { lastChangeCount_ = count; }
    const QString &storageURL() const { return file_->path(); }
    // The stored preference "capturePaused": while it is true, copies are
    // not recorded, but the change count is still followed.
    bool isCapturePaused() const { return capturePaused_; }
    // The stored preference "ignoredApplications": copies made while one of
    // these applications is the clipboard's source (see
    // Applications::clipboardSource) are never read, not even asked for.
    // Each is a desktop entry id, a window class or a program name.
    const QStringList &ignoredApplications() const { return ignoredApplications_; }

    // Entries of one tab that match the search query, in list order.
    QList<ClipboardItem> filteredItems(ClipboardTab tab) const;
    // The entry with this id, if any.
    std::optional<ClipboardItem> item(const QUuid &id) const;

    void togglePin(const QUuid &id);
    void removeItem(const QUuid &id);
    void clearHistory();
    void clearPinned();
    void moveToFront(const QUuid &id);

    // A finished capture: dropped when it equals the newest entry, else
    // inserted first; then the limit and a save.
    void addCapturedItem(ClipboardItem item);
    bool isDuplicateOfLatest(const ClipboardContent &content) const;
    void enforceHistoryLimit();

    // Capture: every change the clipboard reports is read at once. Only a
    // clipboard that reports no changes is polled, every kPollIntervalMs;
    // where changes are reported nothing runs while nothing happens, and a
    // report that went missing is caught by the next checkPasteboard() of
    // the program (when the panel is shown, after a resume from suspend).
    void startMonitoring();
    void checkPasteboard();
    bool isPolling() const { return timer_ != nullptr; }
    const PasteboardReader &reader() const { return reader_; }

    // Puts an entry back on the clipboard with all its formats (or, for
    // rich text, as plain text only), records the clipboard's new change
    // count so that the poll does not capture it, and moves it first.
    // False when its bytes can no longer be produced or the clipboard
    // refuses the write: then nothing is written, the clipboard keeps what
    // it held and the user is told; an entry whose bytes are gone leaves
    // the history, one the clipboard refused stays where it is.
    bool writeToPasteboard(const ClipboardItem &item);
    bool writePlainTextToPasteboard(const ClipboardItem &item);
    // What such a write puts on the clipboard, as one whole; nullopt when
    // bytes kept in the history file can no longer be read from it (or an
    // image's bytes are no PNG).
    static std::optional<QList<PasteboardWriteItem>> writeItems(const ClipboardItem &item, bool plainTextOnly);
    static QList<PasteboardWriteItem> rawWriteItems(const QList<PasteboardItemPayload> &payloads);

    // Asks for a location and writes an image entry's stored PNG there.
    void saveImageAsPNG(const ClipboardItem &item);

    // The faults the user has been told of; shared with the program's other
    // paths (paste-back, the command line).
    FaultNotices &faults() { return faults_; }

    // Persistence. saveHistory() schedules the debounced write of the whole
    // list; flushPendingSave() writes a scheduled one now, on this thread
    // (at quit and on a termination signal).
    void saveHistory();
    void flushPendingSave();
    bool hasPendingSave() const { return pendingSave_ != nullptr; }
    // Whether the file holds the list as it is now: the newest save has been
    // written (and no change waits for one).
    bool isSaved() const { return writtenGeneration_ == saveGeneration_; }

signals:
    void itemsAboutToChange();
    void itemsChanged();
    void searchQueryAboutToChange();
    void searchQueryChanged();

private:
    void assignItems(QList<ClipboardItem> items, QList<QByteArray> keys);
    void didFetch(const std::shared_ptr<const PasteboardContents> &contents,
                  const std::optional<RunningApplication> &app, quint64 writeSerial);
    // A snapshot that offers a picture is classified and its entry built on
    // the background queue; the result comes back here, on this thread.
    void buildOffThread(quint64 serial);
    void didBuild(quint64 serial, std::optional<ClipboardItem> entry);
    bool isStillWanted(quint64 writeSerial) const;
    bool write(const ClipboardItem &item, bool plainTextOnly);
    // The outcome of a save, on this thread.
    void saved(quint64 generation, const HistoryWrite &outcome);
    void removeUnreadable(const QList<QUuid> &ids, bool save);
    void keepBytesIn(const HistoryWrite &outcome);
    void preferencesChanged();
    void readIgnoredApplications();
    // The ignored application the clipboard's content comes from, if any.
    std::optional<QString> ignoredSource() const;
    // Marks a change not yet looked at whose source is ignored.
    void noteIgnoredChange();

    HistoryServices services_;
    FaultNotices faults_;
    PasteboardReader reader_;
    std::shared_ptr<HistoryFile> file_;

    QList<ClipboardItem> items_;
    // Lower-cased search text of each entry, index for index with items_.
    QList<QByteArray> searchKeys_;
    QString searchQuery_;
    qint64 lastChangeCount_ = 0;
    bool capturePaused_ = false;
    QStringList ignoredApplications_;
    // The change count of the last copy the read gate kept from being read.
    qint64 refusedCount_ = -1;
    // The latest change left unread because its source is ignored. A read
    // of an earlier change that lands after it is dropped: the window system
    // may have let the ignored program serve it (X11 hands a request to
    // whoever owns the clipboard when it arrives).
    qint64 ignoredCount_ = -1;

    TaskHandle timer_;
    TaskHandle pendingSave_;
    TaskHandle limitDebounce_;
    quint64 saveGeneration_ = 0;
    quint64 writtenGeneration_ = 0;

    // Clipboard reads under way, oldest first; each is recorded once it
    // and every older one have answered.
    struct PendingCapture {
        quint64 serial = 0;
        qint64 count = 0; // the change it reads
        std::optional<RunningApplication> app; // frontmost when the change was seen
        quint64 writeSerial = 0;
        qint64 startedMs = 0;
        bool done = false;
        std::shared_ptr<const PasteboardContents> contents;
        // Set while the entry is built off this thread; `built` then holds
        // what came back (nothing when the snapshot yields no entry).
        bool building = false;
        bool isBuilt = false;
        std::optional<ClipboardItem> built;
    };
    void recordFinishedCaptures();
    std::deque<PendingCapture> captures_;
    quint64 fetchSerial_ = 0;
    // Counts this program's own clipboard writes.
    quint64 ownWriteSerial_ = 0;
};

} // namespace kelvo
