#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>

namespace kelvo::gnome {

class ShellExtension;

// The clipboard of a GNOME Wayland session, where Mutter lets no program
// outside the compositor watch it. The extension reports every change that
// another program makes (never the primary selection) with its MIME types;
// each is read at once: one pipe per type, whose read ends are drained on a
// worker thread within the limits of the X11 and Wayland reads, while the
// extension copies the bytes into the write ends. Reads land in the order
// of the changes, each counted once.
//
// Kelvo's writes go through `writer`, the X11 clipboard of the shell's
// Xwayland, which Mutter offers Wayland programs with every type (a write
// of several types at once is out of an extension's reach). Each write also
// offers ownWriteMarker(), by which the change it makes is known as Kelvo's
// own and never read back.
class GnomePasteboard final : public QObject, public Pasteboard {
public:
    GnomePasteboard(ShellExtension &shell, std::unique_ptr<Pasteboard> writer, QObject *parent = nullptr);
    ~GnomePasteboard() override;

    static const QString &ownWriteMarker();

    qint64 changeCount() const override { return count_; }
    // The content of the latest change (before the first one, what the
    // writer's clipboard holds).
    void fetchContents(ContentsCallback callback) override;
    void setChangeHandler(std::function<void()> handler) override { changeHandler_ = std::move(handler); }
    // The extension reports every change of another program's.
    bool reportsChanges() const override { return true; }
    // Asked as a change is reported: a refused one is counted with no
    // content, and the extension is never asked for its bytes.
    void setReadGate(std::function<bool(qint64 count)> gate) override { readGate_ = std::move(gate); }
    bool write(const QList<PasteboardWriteItem> &items) override;

    // Time allowed for one whole read.
    void setFetchTimeLimit(int milliseconds) { fetchLimitMs_ = milliseconds; }

private:
    struct Read;
    void changed(quint64 serial, const QStringList &mimeTypes);
    void deliverReads();

    ShellExtension &shell_;
    std::unique_ptr<Pasteboard> writer_;
    qint64 count_ = 0;
    std::shared_ptr<const PasteboardContents> latest_;
    // Reads under way, oldest first.
    std::deque<std::shared_ptr<Read>> reads_;
    std::function<void()> changeHandler_;
    std::function<bool(qint64)> readGate_;
    int fetchLimitMs_ = 2000;
};

} // namespace kelvo::gnome
