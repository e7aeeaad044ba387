#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace kelvo {

// One item of the clipboard as the read side sees it: its ordered types and
// the text or bytes of each.
class PasteboardItemReader {
public:
    virtual ~PasteboardItemReader() = default;
    virtual QStringList types() const = 0;
    virtual std::optional<QString> stringForType(const QString &type) const = 0;
    virtual std::optional<QByteArray> dataForType(const QString &type) const = 0;
};

// The clipboard's content at one moment. Capture classifies a snapshot of
// this kind, so that a slow clipboard owner is only waited for while the
// snapshot is fetched, never while the content is examined.
class PasteboardContents {
public:
    virtual ~PasteboardContents() = default;
    // Types of the clipboard as a whole, in order; nullopt when unreadable.
    virtual std::optional<QStringList> types() const = 0;
    virtual std::optional<QString> stringForType(const QString &type) const = 0;
    virtual std::optional<QByteArray> dataForType(const QString &type) const = 0;
    // The ordered items; nullopt when they cannot be read.
    virtual std::optional<QList<std::shared_ptr<const PasteboardItemReader>>> items() const = 0;
    // The texts the clipboard can produce as text objects; nullopt when none.
    virtual std::optional<QStringList> textObjects() const = 0;
    // An image from whatever image flavour the clipboard holds, as PNG bytes
    // (the offered bytes themselves when they are a decodable PNG); nullopt
    // when no flavour decodes or encoding fails.
    virtual std::optional<QByteArray> imagePNG() const = 0;
};

// One (type, bytes) flavour written back as part of an item.
struct PasteboardWriteRepresentation {
    QString type;
    QByteArray data;
};
using PasteboardWriteItem = QList<PasteboardWriteRepresentation>;

// The general clipboard.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Changes whenever any program, this one included, writes the clipboard.
    // After a write through this interface it already reports the new value.
    virtual qint64 changeCount() const = 0;

    // Fetches the current content. The callback runs on the main thread, in
    // this call or a later turn of the event loop; it receives nullptr when
    // the content could not be read in time.
    using ContentsCallback = std::function<void(std::shared_ptr<const PasteboardContents>)>;
    virtual void fetchContents(ContentsCallback callback) = 0;

    // Calls `handler` on the main thread soon after another program has
    // taken the clipboard, so that capture can read each copy at once
    // instead of waiting for its next poll; an empty handler stops it.
    // Where the window system reports no changes this does nothing and
    // capture relies on polling alone.
    virtual void setChangeHandler(std::function<void()> handler) { (void)handler; }
    // Whether changes are reported through the change handler (then nothing
    // needs to look at the clipboard while nothing happens).
    virtual bool reportsChanges() const { return false; }

    // Where another program's copy is read as soon as it is reported, before
    // anyone asks (Wayland's data-control), `gate` is asked first, on the
    // main thread, with the change count of that copy: false counts the
    // change but never asks its owner for the content (fetchContents then
    // answers nullptr for it). An empty gate lets every copy be read.
    virtual void setReadGate(std::function<bool(qint64 count)> gate) { (void)gate; }

    // Calls `handler` on the main thread with false when the connection
    // through which the clipboard is watched and written is lost and cannot
    // be made again, and with true once it works again; an empty handler
    // stops it.
    virtual void setConnectionHandler(std::function<void(bool working)> handler) { (void)handler; }

    // Replaces the whole content in one step: the items (each an ordered
    // list of (type, bytes), text as UTF-8) are assembled first and the
    // clipboard is taken once, so that no reader ever sees a half-written
    // clipboard and a write is exactly one change. An empty list leaves an
    // empty clipboard. False when the clipboard could not be taken.
    virtual bool write(const QList<PasteboardWriteItem> &items) = 0;
};

// Type identifiers used by capture and paste-back.
namespace PasteboardType {
inline const QString String = QStringLiteral("public.utf8-plain-text");
inline const QString RTF = QStringLiteral("public.rtf");
inline const QString RTFD = QStringLiteral("com.apple.flat-rtfd");
inline const QString HTML = QStringLiteral("public.html");
inline const QString TabularText = QStringLiteral("public.utf8-tab-separated-values-text");
inline const QString PNG = QStringLiteral("public.png");
inline const QString TIFF = QStringLiteral("public.tiff");
inline const QString FileURL = QStringLiteral("public.file-url");
inline const QString URL = QStringLiteral("public.url");
inline const QString PDF = QStringLiteral("com.adobe.pdf");
inline const QString Color = QStringLiteral("com.apple.cocoa.pasteboard.color");
inline const QString Font = QStringLiteral("com.apple.cocoa.pasteboard.character-formatting");
inline const QString Sound = QStringLiteral("com.apple.cocoa.pasteboard.sound");
} // namespace PasteboardType

} // namespace kelvo
