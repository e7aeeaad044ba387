#include "history/ClipboardManager.h"

#include "history/TextSearch.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QPointer>

#include <cmath>

namespace kelvo {

namespace {
const QString kMaxHistoryCountKey = QStringLiteral("maxHistoryCount");
const QString kCapturePausedKey = QStringLiteral("capturePaused");
const QString kIgnoredApplicationsKey = QStringLiteral("ignoredApplications");
// A fetch that has not answered after this long is given up, so that an
// owner that never answers cannot stop capture for good.
constexpr qint64 kFetchGiveUpMs = 5000;

bool isTextual(ClipboardContent::Kind kind)
{
    return kind == ClipboardContent::Kind::Text || kind == ClipboardContent::Kind::RichText;
}

void logIgnored(const QString &application)
{
    logLine(QStringLiteral("[Kelvo] 已忽略来自排除的应用的复制: ") + application);
}

// Platform string equality: canonically equivalent sequences are equal.
bool sameText(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

// A snapshot that offers a picture: reading it may mean decoding (and
// re-encoding) the picture, and its entry needs a thumbnail. Both are too
// slow for the main thread.
bool offersImage(const PasteboardContents &contents)
{
    const auto types = contents.types();
    if (!types)
        return false;
    for (const QString &type : *types)
        if (type == PasteboardType::PNG || type == PasteboardType::TIFF || type.startsWith(QLatin1String("image/")))
            return true;
    return false;
}

// An image's stored bytes, when they can still be read and are a PNG.
std::optional<QByteArray> readPNG(const ClipboardContent &content)
{
    std::optional<QByteArray> png = content.readData();
    if (!png || !png->startsWith("\x89PNG\r\n\x1a\n"))
        return std::nullopt;
    return png;
}
} // namespace

ClipboardManager::ClipboardManager(const HistoryServices &services, QObject *parent)
    : QObject(parent), services_(services), faults_(services.notifications),
      reader_(services.types, services.styledText)
{
    file_ = std::make_shared<HistoryFile>(services_.files, makeStorageURL(services_.files));
    lastChangeCount_ = services_.pasteboard.changeCount();

    const qint64 unixSeconds = qint64(std::trunc(services_.clock.now() + kUnixToReferenceOffset));
    QList<ClipboardItem> loaded =
        file_->load(QStringLiteral("clipboard_history.json.corrupt-%1").arg(unixSeconds));
    if (const std::optional<QString> backup = file_->pendingBackupPath())
        faults_.report(Fault::LoadFailed, *backup);
    QList<QByteArray> keys;
    keys.reserve(loaded.size());
    for (const ClipboardItem &entry : loaded)
        keys.append(searchKey(entry.content));
    assignItems(std::move(loaded), std::move(keys));

    capturePaused_ = services_.preferences.boolean(kCapturePausedKey);
    readIgnoredApplications();
    connect(&services_.preferences, &PreferencesStore::changed, this, &ClipboardManager::preferencesChanged);
    enforceHistoryLimit();
    startMonitoring();
    QPointer<ClipboardManager> self(this);
    services_.pasteboard.setChangeHandler([self] {
        if (self)
            self->checkPasteboard();
    });
    services_.pasteboard.setConnectionHandler([self](bool working) {
        if (!self)
            return;
        if (working)
            self->faults_.recovered(Fault::ClipboardLost);
        else
            self->faults_.report(Fault::ClipboardLost);
    });
}

ClipboardManager::~ClipboardManager()
{
    services_.pasteboard.setChangeHandler({});
    services_.pasteboard.setReadGate({});
    services_.pasteboard.setConnectionHandler({});
    for (TaskHandle *task : {&timer_, &pendingSave_, &limitDebounce_})
        if (*task)
            (*task)->cancel();
}

// ---- published state -------------------------------------------------------

void ClipboardManager::assignItems(QList<ClipboardItem> items, QList<QByteArray> keys)
{
    Q_ASSERT(items.size() == keys.size());
    emit itemsAboutToChange();
    items_ = std::move(items);
    searchKeys_ = std::move(keys);
    emit itemsChanged();
}

void ClipboardManager::setSearchQuery(const QString &query)
{
    emit searchQueryAboutToChange();
    searchQuery_ = query;
    emit searchQueryChanged();
}

// ---- queries ---------------------------------------------------------------

QList<ClipboardItem> ClipboardManager::filteredItems(ClipboardTab tab) const
{
    const bool wantPinned = tab == ClipboardTab::pinned;
    QList<ClipboardItem> result;
    if (searchQuery_.isEmpty()) {
        for (const ClipboardItem &entry : items_)
            if (entry.isPinned == wantPinned)
                result.append(entry);
        return result;
    }
    const QByteArray needle = searchNeedle(searchQuery_);
    for (qsizetype i = 0; i < items_.size(); ++i) {
        const ClipboardItem &entry = items_.at(i);
        const QByteArray &key = searchKeys_.at(i);
        if (entry.isPinned == wantPinned && !key.isNull() && containsBytes(key, needle))
            result.append(entry);
    }
    return result;
}

std::optional<ClipboardItem> ClipboardManager::item(const QUuid &id) const
{
    for (const ClipboardItem &entry : items_)
        if (entry.id == id)
            return entry;
    return std::nullopt;
}

// ---- operations ------------------------------------------------------------

void ClipboardManager::togglePin(const QUuid &id)
{
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_.at(i).id != id)
            continue;
        QList<ClipboardItem> next = items_;
        next[i].isPinned = !next[i].isPinned;
        assignItems(std::move(next), searchKeys_);
        saveHistory();
        return;
    }
}

void ClipboardManager::removeItem(const QUuid &id)
{
    QList<ClipboardItem> next;
    QList<QByteArray> keys;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_.at(i).id == id)
            continue;
        next.append(items_.at(i));
        keys.append(searchKeys_.at(i));
    }
    assignItems(std::move(next), std::move(keys));
    saveHistory();
}

void ClipboardManager::clearHistory()
{
    QList<ClipboardItem> next;
    QList<QByteArray> keys;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (!items_.at(i).isPinned)
            continue;
        next.append(items_.at(i));
        keys.append(searchKeys_.at(i));
    }
    assignItems(std::move(next), std::move(keys));
    saveHistory();
}

void ClipboardManager::clearPinned()
{
    QList<ClipboardItem> next;
    QList<QByteArray> keys;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_.at(i).isPinned)
            continue;
        next.append(items_.at(i));
        keys.append(searchKeys_.at(i));
    }
    assignItems(std::move(next), std::move(keys));
    saveHistory();
}

void ClipboardManager::moveToFront(const QUuid &id)
{
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_.at(i).id != id)
            continue;
        QList<ClipboardItem> next = items_;
        QList<QByteArray> keys = searchKeys_;
        ClipboardItem entry = next.takeAt(i);
        QByteArray key = keys.takeAt(i);
        entry.timestamp = services_.clock.now();
        next.prepend(std::move(entry));
        keys.prepend(std::move(key));
        assignItems(std::move(next), std::move(keys));
        saveHistory();
        return;
    }
}

bool ClipboardManager::isDuplicateOfLatest(const ClipboardContent &content) const
{
    if (items_.isEmpty())
        return false;
    const ClipboardContent &latest = items_.first().content;
    if (isTextual(latest.kind()) && isTextual(content.kind()))
        return sameText(latest.string(), content.string());
    if (latest.kind() != content.kind())
        return false;
    switch (content.kind()) {
    case ClipboardContent::Kind::Url:
        return sameText(latest.string(), content.string());
    case ClipboardContent::Kind::Image:
        return latest.dataField() == content.dataField();
    case ClipboardContent::Kind::Raw:
        return latest.payloads() == content.payloads();
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::RichText:
        break;
    }
    return false;
}

void ClipboardManager::addCapturedItem(ClipboardItem entry)
{
    if (isDuplicateOfLatest(entry.content))
        return;
    QList<ClipboardItem> next = items_;
    QList<QByteArray> keys = searchKeys_;
    keys.prepend(searchKey(entry.content));
    next.prepend(std::move(entry));
    assignItems(std::move(next), std::move(keys));
    enforceHistoryLimit();
    saveHistory();
}

void ClipboardManager::enforceHistoryLimit()
{
    qint64 limit = services_.preferences.integer(kMaxHistoryCountKey);
    if (limit <= 0)
        limit = kDefaultHistoryLimit;
    QList<ClipboardItem> next;
    QList<QByteArray> keys;
    qint64 unpinned = 0;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        const ClipboardItem &entry = items_.at(i);
        if (!entry.isPinned) {
            if (unpinned >= limit)
                continue;
            ++unpinned;
        }
        next.append(entry);
        keys.append(searchKeys_.at(i));
    }
    assignItems(std::move(next), std::move(keys));
}

void ClipboardManager::preferencesChanged()
{
    // Pausing takes effect at once; only the limit waits for the burst to
    // end. Resuming takes what is on the clipboard now as seen: it was
    // copied during the pause.
    const bool paused = services_.preferences.boolean(kCapturePausedKey);
    if (capturePaused_ && !paused)
        lastChangeCount_ = services_.pasteboard.changeCount();
    capturePaused_ = paused;
    readIgnoredApplications();
    if (limitDebounce_)
        limitDebounce_->cancel();
    QPointer<ClipboardManager> self(this);
    limitDebounce_ = services_.mainLoop.after(kPreferenceDebounceMs, [self] {
        if (self) {
            self->limitDebounce_.reset();
            self->enforceHistoryLimit();
        }
    });
}

// ---- capture ---------------------------------------------------------------

void ClipboardManager::readIgnoredApplications()
{
    QStringList ignored;
    if (const std::optional<QVariant> stored = services_.preferences.object(kIgnoredApplicationsKey))
        for (const QString &id : stored->toStringList())
            if (!id.trimmed().isEmpty())
                ignored.append(id.trimmed());
    const bool gateWanted = !ignored.isEmpty();
    const bool gateSet = !ignoredApplications_.isEmpty();
    ignoredApplications_ = std::move(ignored);
    if (gateWanted == gateSet)
        return;
    // Only with applications to ignore does a copy that is read as soon as
    // it is reported wait for this thread's word first.
    if (!gateWanted) {
        services_.pasteboard.setReadGate({});
        return;
    }
    QPointer<ClipboardManager> self(this);
    services_.pasteboard.setReadGate([self](qint64 count) {
        const std::optional<QString> ignored = self ? self->ignoredSource() : std::nullopt;
        if (!ignored)
            return true;
        self->refusedCount_ = count;
        logIgnored(*ignored);
        return false;
    });
}

void ClipboardManager::noteIgnoredChange()
{
    if (ignoredApplications_.isEmpty() || capturePaused_)
        return;
    const qint64 count = services_.pasteboard.changeCount();
    if (count != lastChangeCount_ && count != refusedCount_ && ignoredSource())
        ignoredCount_ = count;
}

std::optional<QString> ClipboardManager::ignoredSource() const
{
    if (ignoredApplications_.isEmpty())
        return std::nullopt;
    const std::optional<ApplicationIdentity> source = services_.applications.clipboardSource();
    if (!source)
        return std::nullopt;
    for (const QString &id : ignoredApplications_)
        if (source->matches(id))
            return id;
    return std::nullopt;
}

void ClipboardManager::startMonitoring()
{
    if (timer_)
        timer_->cancel();
    timer_.reset();
    if (services_.pasteboard.reportsChanges())
        return;
    QPointer<ClipboardManager> self(this);
    MainLoop &loop = services_.mainLoop;
    timer_ = loop.every(kPollIntervalMs, [self, &loop] {
        loop.post([self] {
            if (self)
                self->checkPasteboard();
        });
    });
}

void ClipboardManager::checkPasteboard()
{
    // A read that has not answered in time is given up, so that an owner
    // that never answers cannot hold back the reads queued behind it.
    if (!captures_.empty()) {
        const qint64 now = services_.clock.monotonicMs();
        while (!captures_.empty() && !captures_.front().done && now - captures_.front().startedMs >= kFetchGiveUpMs) {
            captures_.pop_front();
            logLine(QStringLiteral("[Kelvo] 剪贴板内容未能及时读出, 本次复制未记录"));
            faults_.report(Fault::CopyNotRead);
        }
        recordFinishedCaptures();
    }
    const qint64 count = services_.pasteboard.changeCount();
    if (count == lastChangeCount_)
        return;
    // Several reads may be under way (a slow owner does not hold up the
    // next copy), but never without bound: the change is then left for a
    // later event or tick.
    if (captures_.size() >= kMaxCapturesInFlight)
        return;
    lastChangeCount_ = count;
    // While paused the change is taken as seen and nothing is read, so that
    // resuming does not record what was copied during the pause.
    if (capturePaused_)
        return;
    // A copy from an ignored application is taken as seen; its owner is
    // never asked for the content.
    if (count == refusedCount_) {
        ignoredCount_ = count;
        return; // refused by the read gate, and logged there
    }
    if (const std::optional<QString> ignored = ignoredSource()) {
        ignoredCount_ = count;
        logIgnored(*ignored);
        return;
    }

    PendingCapture capture;
    capture.serial = ++fetchSerial_;
    capture.count = count;
    capture.app = services_.applications.frontmostApplication();
    // This program's own windows (the panel, a hidden panel that kept the
    // focus, the settings) are never the source of a copy.
    if (capture.app && capture.app->processIdentifier == QCoreApplication::applicationPid())
        capture.app.reset();
    capture.writeSerial = ownWriteSerial_;
    capture.startedMs = services_.clock.monotonicMs();
    captures_.push_back(std::move(capture));
    const quint64 serial = fetchSerial_;
    QPointer<ClipboardManager> self(this);
    services_.pasteboard.fetchContents([self, serial](std::shared_ptr<const PasteboardContents> contents) {
        if (!self)
            return;
        for (PendingCapture &pending : self->captures_) {
            if (pending.serial == serial) {
                pending.done = true;
                pending.contents = std::move(contents);
                // A copy made meanwhile is looked at before this read is
                // recorded, so that an ignored one is known by then.
                self->noteIgnoredChange();
                if (pending.contents && self->isStillWanted(pending.writeSerial)
                    && offersImage(*pending.contents) && !PasteboardReader::isConcealed(*pending.contents))
                    self->buildOffThread(serial);
                self->recordFinishedCaptures();
                // A change left waiting while every read was taken.
                self->checkPasteboard();
                return;
            }
        }
        // An answer that was given up on.
    });
}

void ClipboardManager::recordFinishedCaptures()
{
    // Reads may answer out of order; entries are added in the order of the
    // copies.
    while (!captures_.empty() && captures_.front().done && !captures_.front().building) {
        PendingCapture capture = std::move(captures_.front());
        captures_.pop_front();
        if (capture.count < ignoredCount_) {
            logLine(QStringLiteral("[Kelvo] 读取期间排除的应用复制了新内容, 本次复制未记录"));
            continue;
        }
        if (!capture.isBuilt)
            didFetch(capture.contents, capture.app, capture.writeSerial);
        else if (capture.built && isStillWanted(capture.writeSerial))
            addCapturedItem(std::move(*capture.built));
    }
}

bool ClipboardManager::isStillWanted(quint64 writeSerial) const
{
    // This program wrote the clipboard while the read was under way (what
    // arrived may already be that write), or capture was paused meanwhile.
    return writeSerial == ownWriteSerial_ && !capturePaused_;
}

void ClipboardManager::buildOffThread(quint64 serial)
{
    for (PendingCapture &pending : captures_) {
        if (pending.serial != serial)
            continue;
        pending.building = true;
        // The task holds everything it reads: the snapshot, a copy of the
        // reader (whose services outlive this store), the source.
        const std::optional<QString> name = pending.app ? pending.app->localizedName : std::nullopt;
        const QImage icon = pending.app ? pending.app->icon : QImage();
        const Timestamp now = services_.clock.now();
        MainLoop &loop = services_.mainLoop;
        QPointer<ClipboardManager> self(this);
        services_.background.after(0, [reader = reader_, contents = pending.contents, name, icon, now, &loop, self,
                                       serial] {
            std::optional<ClipboardItem> entry;
            if (auto captured = reader.readPasteboard(*contents, name))
                entry = ClipboardItem::make(std::move(captured->content), std::move(captured->html), name, icon, now);
            loop.post([self, serial, entry = std::move(entry)]() mutable {
                if (self)
                    self->didBuild(serial, std::move(entry));
            });
        });
        return;
    }
}

void ClipboardManager::didBuild(quint64 serial, std::optional<ClipboardItem> entry)
{
    for (PendingCapture &pending : captures_) {
        if (pending.serial != serial)
            continue;
        pending.building = false;
        pending.isBuilt = true;
        pending.built = std::move(entry);
        pending.contents.reset();
        recordFinishedCaptures();
        // A change left waiting while every slot was taken.
        checkPasteboard();
        return;
    }
}

void ClipboardManager::didFetch(const std::shared_ptr<const PasteboardContents> &contents,
                                const std::optional<RunningApplication> &app, quint64 writeSerial)
{
    if (!contents) {
        // Not readable in time: nothing is recorded.
        logLine(QStringLiteral("[Kelvo] 剪贴板内容未能及时读出, 本次复制未记录"));
        faults_.report(Fault::CopyNotRead);
        return;
    }
    faults_.recovered(Fault::CopyNotRead);
    if (!isStillWanted(writeSerial))
        return;
    if (PasteboardReader::isConcealed(*contents))
        return;
    const std::optional<QString> name = app ? app->localizedName : std::nullopt;
    auto captured = reader_.readPasteboard(*contents, name);
    if (!captured)
        return;
    addCapturedItem(ClipboardItem::make(std::move(captured->content), std::move(captured->html), name,
                                        app ? app->icon : QImage(), services_.clock.now()));
}

// ---- clipboard writers -----------------------------------------------------

bool ClipboardManager::writeToPasteboard(const ClipboardItem &item)
{
    return write(item, false);
}

bool ClipboardManager::writePlainTextToPasteboard(const ClipboardItem &item)
{
    return write(item, true);
}

bool ClipboardManager::write(const ClipboardItem &item, bool plainTextOnly)
{
    // `item` may live in the list that moving it to the front replaces.
    const QUuid id = item.id;
    const std::optional<QList<PasteboardWriteItem>> items = writeItems(item, plainTextOnly);
    if (!items) {
        logLine(QStringLiteral("[Kelvo] 条目内容已无法从历史文件读出, 剪贴板保持不变: ")
                + id.toString(QUuid::WithoutBraces));
        // Its bytes are gone: the entry goes now, not only at the next save,
        // so that it holds no place under the limit meanwhile.
        removeUnreadable({id}, true);
        return false;
    }
    Pasteboard &pasteboard = services_.pasteboard;
    ++ownWriteSerial_;
    const bool written = pasteboard.write(*items);
    lastChangeCount_ = pasteboard.changeCount();
    if (!written) {
        logLine(QStringLiteral("[Kelvo] 剪贴板拒绝了写入"));
        faults_.report(Fault::ClipboardRefused);
        return false;
    }
    faults_.recovered(Fault::ClipboardRefused);
    faults_.recovered(Fault::EntryUnreadable);
    moveToFront(id);
    return true;
}

std::optional<QList<PasteboardWriteItem>> ClipboardManager::writeItems(const ClipboardItem &item,
                                                                      bool plainTextOnly)
{
    const ClipboardContent &content = item.content;
    const PasteboardWriteRepresentation string{PasteboardType::String, content.string().toUtf8()};
    switch (content.kind()) {
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::Url:
        return QList<PasteboardWriteItem>{{string}};
    case ClipboardContent::Kind::RichText: {
        if (plainTextOnly)
            return QList<PasteboardWriteItem>{{string}};
        const std::optional<QByteArray> rtf = content.readData();
        if (!rtf)
            return std::nullopt;
        // Markup without bytes is no markup at all.
        if (item.richTextHTMLData && !item.richTextHTMLData->isEmpty())
            return QList<PasteboardWriteItem>{
                {{PasteboardType::HTML, *item.richTextHTMLData}, {PasteboardType::RTF, *rtf}, string}};
        return QList<PasteboardWriteItem>{{{PasteboardType::RTF, *rtf}, string}};
    }
    case ClipboardContent::Kind::Image: {
        const std::optional<QByteArray> png = readPNG(content);
        if (!png)
            return std::nullopt;
        return QList<PasteboardWriteItem>{{{PasteboardType::PNG, *png}}};
    }
    case ClipboardContent::Kind::Raw:
        return rawWriteItems(content.payloads());
    }
    return QList<PasteboardWriteItem>{};
}

QList<PasteboardWriteItem> ClipboardManager::rawWriteItems(const QList<PasteboardItemPayload> &payloads)
{
    QList<PasteboardWriteItem> list;
    for (const PasteboardItemPayload &payload : payloads) {
        if (payload.representations.isEmpty())
            continue;
        PasteboardWriteItem writeItem;
        writeItem.reserve(payload.representations.size());
        for (const PasteboardRepresentation &rep : payload.representations)
            writeItem.append(PasteboardWriteRepresentation{rep.type, rep.data});
        list.append(std::move(writeItem));
    }
    return list;
}

// ---- image export ----------------------------------------------------------

void ClipboardManager::saveImageAsPNG(const ClipboardItem &item)
{
    if (item.content.kind() != ClipboardContent::Kind::Image)
        return;
    const qint64 unixSeconds = qint64(std::trunc(services_.clock.now() + kUnixToReferenceOffset));
    const QString proposed = QStringLiteral("kelvo-%1.png").arg(unixSeconds);
    const std::optional<QString> location = services_.saveDialog.choosePNGLocation(proposed);
    if (!location || location->isEmpty())
        return;
    // Bytes that cannot be read back make no file at all, not an empty one.
    const std::optional<QByteArray> png = readPNG(item.content);
    if (!png) {
        logLine(QStringLiteral("保存图片失败: ") + QStringLiteral("the picture can no longer be read from the history file"));
        faults_.report(Fault::ExportFailed);
        return;
    }
    if (const FileError error = services_.files.writeAtomically(*location, *png, false)) {
        logLine(QStringLiteral("保存图片失败: ") + *error);
        faults_.report(Fault::ExportFailed, QStringLiteral("%1 (%2)").arg(*location, *error));
        return;
    }
    faults_.recovered(Fault::ExportFailed);
}

// ---- persistence -----------------------------------------------------------

void ClipboardManager::saveHistory()
{
    if (pendingSave_)
        pendingSave_->cancel();
    // The copy shares every entry's strings and bytes with the list; the
    // background write encodes it without touching the main thread's list.
    const QList<ClipboardItem> snapshot = items_;
    const quint64 generation = ++saveGeneration_;
    std::shared_ptr<HistoryFile> file = file_;
    MainLoop &loop = services_.mainLoop;
    QPointer<ClipboardManager> self(this);
    pendingSave_ = services_.background.after(kSaveDelayMs, [file, snapshot, generation, &loop, self] {
        HistoryWrite outcome = file->write(snapshot, generation);
        loop.post([self, generation, outcome = std::move(outcome)] {
            if (self)
                self->saved(generation, outcome);
        });
    });
}

void ClipboardManager::flushPendingSave()
{
    if (!pendingSave_)
        return;
    pendingSave_->cancel();
    pendingSave_.reset();
    // A write already running on the background queue finishes first (the
    // file serializes writes); this one carries the newest generation.
    const quint64 generation = ++saveGeneration_;
    saved(generation, file_->write(items_, generation));
}

void ClipboardManager::saved(quint64 generation, const HistoryWrite &outcome)
{
    switch (outcome.result) {
    case HistoryWrite::Result::Failed:
        faults_.report(Fault::SaveFailed, outcome.error);
        return;
    case HistoryWrite::Result::Superseded:
        return;
    case HistoryWrite::Result::Written:
        // Outcomes arrive in the order of the writes.
        writtenGeneration_ = std::max(writtenGeneration_, generation);
        faults_.recovered(Fault::SaveFailed);
        keepBytesIn(outcome);
        if (!outcome.unreadable.isEmpty())
            removeUnreadable(outcome.unreadable, false); // the file left them out already
        return;
    }
}

void ClipboardManager::keepBytesIn(const HistoryWrite &outcome)
{
    // Large bytes are read from the file just written, as those loaded at
    // start are: a captured picture then costs its thumbnail, not its PNG,
    // and the files written before are closed once nothing reads from them.
    // The entries show the same, so observers are not told.
    if (!outcome.file)
        return;
    QHash<QUuid, const EncodeReport::Field *> written;
    for (const EncodeReport::Field &field : outcome.fields)
        written.insert(field.id, &field);
    for (qsizetype i = 0; i < items_.size(); ++i) {
        const EncodeReport::Field *field = written.value(items_.at(i).id);
        if (field && items_.at(i).content.dataSize() == field->size)
            items_[i].content.replaceDataField(ByteField(outcome.file, field->offset, field->textSize, field->size));
    }
}

void ClipboardManager::removeUnreadable(const QList<QUuid> &ids, bool save)
{
    // Their bytes are gone from the file: the file no longer lists them, and
    // neither does the history.
    QList<ClipboardItem> next;
    QList<QByteArray> keys;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (ids.contains(items_.at(i).id))
            continue;
        next.append(items_.at(i));
        keys.append(searchKeys_.at(i));
    }
    faults_.report(Fault::EntryUnreadable);
    if (next.size() == items_.size())
        return;
    assignItems(std::move(next), std::move(keys));
    if (save)
        saveHistory();
}

} // namespace kelvo
