#include "Day.h"

#include "HistoryModel.h"
#include "Screenshots.h"
#include "Subject.h"

#include "model/HistoryCodec.h"
#include "platform/Pasteboard.h"
#include "platform/qt/QtPlatform.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pasteboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>

#include <memory>
#include <vector>

namespace kelvo::soak {

namespace {

QTextStream out(stdout);

struct Ran {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end within `limitMs` (killed after), the event loop
// turning meanwhile: the program may be reading the clipboard this process
// owns.
Ran launch(const QString &program, const QStringList &args, const QByteArray &input = {}, int limitMs = 20000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(limitMs))
        return {};
    if (!input.isNull())
        p.write(input);
    p.closeWriteChannel();
    if (!waitUntil([&] { return p.state() == QProcess::NotRunning; }, limitMs)) {
        p.kill();
        p.waitForFinished(3000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// org.freedesktop.Notifications, as the desktop's notification service:
// records the summary of each notification.
class NotificationRecorder : public QDBusVirtualObject {
public:
    QStringList summaries;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        if (m.member() != QLatin1String("Notify"))
            return false;
        summaries << m.arguments().value(3).toString();
        return bus.send(m.createReply(QVariantList{quint32(summaries.size())}));
    }
};

// An owner of CLIPBOARD that never answers (its connection is never read).
class SilentOwner {
public:
    SilentOwner() : x_(QString())
    {
        window_ = xcb_generate_id(x_.get());
        xcb_create_window(x_.get(), XCB_COPY_FROM_PARENT, window_, x_.root(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(x_.get(), window_, x_.atom("CLIPBOARD"), XCB_CURRENT_TIME);
        x_.sync();
    }

private:
    x11::X11Connection x_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

struct Sample {
    double minute = 0;
    qint64 residentKb = 0;
    int openFiles = 0;
    qint64 cpuTicks = 0; // of the whole run, every process
    int copies = 0;
    int screenshots = 0;
};

const QString kIgnoredProgram = QStringLiteral("secret-keeper");

class Day {
public:
    Day(const QString &program, int minutes, quint32 seed)
        : program_(program), kelvo_(program, QStringLiteral("kelvo.log")), rng_(seed), runMs_(qint64(minutes) * 60000)
    {
    }

    int run(int idleSeconds);

private:
    double progress() const { return double(clock_.elapsed()) / double(runMs_); }
    bool fail(const QString &why)
    {
        if (failure_.isEmpty())
            failure_ = why;
        return false;
    }
    QString historyPath() const { return dataDir() + QStringLiteral("/clipboard_history.json"); }
    QString dataDir() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kelvo");
    }

    bool start();
    bool restart(bool kill);
    bool listed(int limitMs = 30000);
    bool saved(int limitMs = 30000);
    bool settled() { return listed() && saved() && fileHoldsModel(); }
    bool fileHoldsModel();
    void sample();
    int logCount(const QString &line) const;

    // Steps.
    bool copyText();
    bool copyUrl();
    bool copyWithXclip(const QString &kind, const QString &text);
    bool copyAgain();
    bool copyHtml();
    bool copyPicture(bool screenshot);
    bool pasteFromPanel();
    bool searchAndPaste();
    bool pasteFromCommandLine();
    bool pinOrUnpin();
    bool deleteOne();
    bool copyFromIgnored();
    bool injectFault();

    bool showPanel();
    bool panelHidden();
    bool clipboardHolds(const Expected &entry);
    // A paste of the model's entry `index` was made: it moves first.
    bool pasted(qsizetype index, const char *step);
    QString word() { return QStringLiteral("w%1").arg(rng_.bounded(100000)); }

    QString program_;
    Subject kelvo_;
    x11::X11Pasteboard owner_;
    HistoryModel model_;
    QRandomGenerator rng_;
    qint64 runMs_;
    QElapsedTimer clock_;
    NotificationRecorder notices_;
    int expectedNotices_ = 0;
    QString failure_;
    int serial_ = 0;
    QSet<qint64> imageSizes_;
    QHash<qint64, QByteArray> imageSnippets_; // some Base64 text of each picture, to find it in the file
    std::vector<std::unique_ptr<QProcess>> ignoredCopies_;
    int fault_ = 0;
    qint64 finishedTicks_ = 0; // CPU ticks of the processes that ended
    QList<Sample> samples_;
    qint64 nextSampleMs_ = 0;
    QString lastStep_;
    QHash<QString, int> stepCounts_;
};

int Day::logCount(const QString &line) const
{
    QFile log(QStringLiteral("kelvo.log"));
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count(line.toUtf8())) : 0;
}

bool Day::start()
{
    if (!kelvo_.start(30000))
        return fail(QStringLiteral("kelvo did not start"));
    return true;
}

bool Day::restart(bool kill)
{
    if (!saved())
        return false;
    finishedTicks_ += kelvo_.cpuTicks();
    if (kill)
        kelvo_.kill();
    else if (!kelvo_.quit(15000))
        return fail(QStringLiteral("kelvo did not quit"));
    // Now and then a new limit, as the settings window stores it while the
    // program is down; the history is cut to it at start.
    if (rng_.bounded(3) == 0) {
        const qint64 limit = QList<qint64>{20, 30, 50}.at(rng_.bounded(3));
        QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/Kelvo/Kelvo.conf"),
                  QSettings::IniFormat)
            .setValue(QStringLiteral("maxHistoryCount"), limit);
        model_.setLimit(limit);
    }
    if (!start() || !listed())
        return false;
    // Cutting to the limit is saved with the next change.
    return copyText();
}

bool Day::listed(int limitMs)
{
    QString why;
    const bool same = waitUntil(
        [&] {
            const auto history = kelvo_.list(false);
            const auto pinned = kelvo_.list(true);
            return history && pinned && model_.shows(false, *history, &why) && model_.shows(true, *pinned, &why);
        },
        limitMs);
    return same || fail(QStringLiteral("after %1: %2").arg(lastStep_, why));
}

bool Day::saved(int limitMs)
{
    const bool done = waitUntil(
        [&] {
            const auto status = kelvo_.status();
            return status && status->value(QStringLiteral("historySaved")).toBool();
        },
        limitMs);
    return done || fail(QStringLiteral("after %1: the history was not saved").arg(lastStep_));
}

bool Day::fileHoldsModel()
{
    LocalFileSystem files(QDir::rootPath());
    QString error;
    const auto file = files.open(historyPath(), &error);
    QList<ClipboardItem> items;
    if (!file || !file->scan([&](QByteArrayView bytes) { return decodeHistory(bytes, &items, &error, file); }))
        return fail(QStringLiteral("after %1: the history file is not valid: %2").arg(lastStep_, error));
    const QList<Expected> &expected = model_.entries();
    if (items.size() != expected.size())
        return fail(QStringLiteral("after %1: the file holds %2 entries, %3 expected")
                        .arg(lastStep_)
                        .arg(items.size())
                        .arg(expected.size()));
    const auto kindOf = [](ClipboardContent::Kind kind) {
        switch (kind) {
        case ClipboardContent::Kind::Text: return QStringLiteral("text");
        case ClipboardContent::Kind::RichText: return QStringLiteral("richText");
        case ClipboardContent::Kind::Url: return QStringLiteral("url");
        case ClipboardContent::Kind::Image: return QStringLiteral("image");
        case ClipboardContent::Kind::Raw: break;
        }
        return QStringLiteral("raw");
    };
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ClipboardItem &item = items.at(i);
        const Expected &e = expected.at(i);
        const bool image = e.kind == QLatin1String("image");
        if (kindOf(item.content.kind()) != e.kind || item.isPinned != e.pinned ||
            (image ? item.content.dataSize() != e.size : item.content.string() != e.text))
            return fail(QStringLiteral("after %1: file entry %2 is %3 '%4' (%5 bytes, pinned %6), expected %7 '%8' "
                                       "(%9 bytes, pinned %10)")
                            .arg(lastStep_)
                            .arg(i + 1)
                            .arg(kindOf(item.content.kind()), item.content.string())
                            .arg(item.content.dataSize())
                            .arg(item.isPinned)
                            .arg(e.kind, e.text)
                            .arg(e.size)
                            .arg(e.pinned));
    }
    return true;
}

void Day::sample()
{
    Sample s;
    s.minute = clock_.elapsed() / 60000.0;
    s.residentKb = kelvo_.residentKb();
    s.openFiles = kelvo_.openFiles();
    s.cpuTicks = finishedTicks_ + kelvo_.cpuTicks();
    s.copies = stepCounts_.value("copy") + stepCounts_.value("screenshot");
    s.screenshots = stepCounts_.value("screenshot");
    samples_.append(s);
}

// ---- copies ----------------------------------------------------------------

bool Day::copyText()
{
    return copyWithXclip(QStringLiteral("text"), QStringLiteral("soak-%1- %2 %3").arg(++serial_).arg(word(), word()));
}

bool Day::copyUrl()
{
    return copyWithXclip(QStringLiteral("url"), QStringLiteral("https://example.org/soak/%1/%2").arg(++serial_).arg(word()));
}

bool Day::copyWithXclip(const QString &kind, const QString &text)
{
    lastStep_ = QStringLiteral("copying %1 with xclip").arg(kind);
    if (launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-i"}, text.toUtf8()).exitCode != 0)
        return fail(QStringLiteral("xclip failed"));
    model_.copied({kind, text, 0, false});
    ++stepCounts_["copy"];
    return settled();
}

bool Day::copyAgain()
{
    // The same text as the newest entry: no new entry.
    const QList<Expected> &all = model_.entries();
    if (all.isEmpty() || all.first().kind != QLatin1String("text"))
        return copyText();
    lastStep_ = QStringLiteral("copying the newest text again");
    if (launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-i"}, all.first().text.toUtf8()).exitCode != 0)
        return fail(QStringLiteral("xclip failed"));
    if (model_.copied(all.first()))
        return fail(QStringLiteral("the model took a duplicate"));
    ++stepCounts_["copy"];
    // Nothing changes: the program has seen the copy once the next one lands.
    return copyText();
}

bool Day::copyHtml()
{
    lastStep_ = QStringLiteral("copying rich text from this process");
    const int n = ++serial_;
    const QString text = QStringLiteral("soak-%1- rich %2").arg(n).arg(word());
    const QByteArray html = QStringLiteral("<p><b>soak-%1-</b> rich <i>%2</i></p>").arg(n).arg(text.section(' ', 2)).toUtf8();
    owner_.write({{{PasteboardType::HTML, html}, {PasteboardType::String, text.toUtf8()}}});
    model_.copied({QStringLiteral("richText"), text, 0, false});
    ++stepCounts_["copy"];
    return settled();
}

bool Day::copyPicture(bool screenshot)
{
    lastStep_ = screenshot ? QStringLiteral("copying a 4K screenshot") : QStringLiteral("copying a picture");
    QByteArray png;
    for (quint32 variant = 0; png.isEmpty() || imageSizes_.contains(png.size()); ++variant) {
        if (screenshot) {
            png = screenshotPNG(rng_.generate() + variant);
        } else {
            QImage image(40 + int(rng_.bounded(160)), 30 + int(rng_.bounded(120)), QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, qRgb(x * 3 + variant, y * 5, int(rng_.bounded(40))));
            png = pngOf(image);
        }
    }
    imageSizes_.insert(png.size());
    // Text from the middle of its Base64, as the history file holds it.
    if (png.size() > 6000)
        imageSnippets_.insert(png.size(), png.mid(3000, 1500).toBase64().mid(4, 1000));
    owner_.write({{{PasteboardType::PNG, png}}});
    model_.copied({QStringLiteral("image"), QString(), png.size(), false});
    ++stepCounts_[screenshot ? "screenshot" : "copy"];
    return settled();
}

bool Day::copyFromIgnored()
{
    lastStep_ = QStringLiteral("copying from the ignored application");
    const int seen = logCount(QStringLiteral("已忽略来自排除的应用的复制: ") + kIgnoredProgram);
    auto keeper = std::make_unique<QProcess>();
    keeper->start(QDir::current().filePath(kIgnoredProgram), {"-quiet", "-verbose", "-selection", "clipboard", "-i"});
    if (!keeper->waitForStarted(10000))
        return fail(QStringLiteral("the ignored program did not start"));
    keeper->write(QStringLiteral("soak secret %1").arg(++serial_).toUtf8());
    keeper->closeWriteChannel();
    if (!waitUntil([&] { return logCount(QStringLiteral("已忽略来自排除的应用的复制: ") + kIgnoredProgram) > seen; },
                   20000))
        return fail(QStringLiteral("the ignored application's copy was not seen as ignored"));
    if (keeper->readAllStandardOutput().contains("request number 2"))
        return fail(QStringLiteral("the ignored application was asked for its copy"));
    keeper->kill();
    keeper->waitForFinished(5000);
    ++stepCounts_["ignored"];
    return settled();
}

// ---- pastes ----------------------------------------------------------------

bool Day::showPanel()
{
    if (launch(QStringLiteral("xdotool"), {"key", "super+shift+v"}).exitCode != 0)
        return fail(QStringLiteral("xdotool failed"));
    // Up, in front, its fade-in over (keys during a fade are not routed).
    const bool ready = waitUntil(
        [&] {
            const QByteArray panel =
                launch(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Kelvo$"}).out.split('\n').value(0);
            return !panel.isEmpty() &&
                   launch(QStringLiteral("xdotool"), {"getactivewindow"}).out.trimmed() == panel &&
                   launch(QStringLiteral("xprop"), {"-id", QString::fromLatin1(panel), "_NET_WM_WINDOW_OPACITY"})
                       .out.trimmed()
                       .endsWith("= 4294967295");
        },
        15000);
    return ready || fail(QStringLiteral("the panel did not come up"));
}

bool Day::panelHidden()
{
    const bool hidden = waitUntil(
        [&] { return launch(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Kelvo$"}).exitCode != 0; },
        15000);
    return hidden || fail(QStringLiteral("the panel stayed up"));
}

bool Day::clipboardHolds(const Expected &entry)
{
    const bool holds = waitUntil(
        [&] {
            if (entry.kind == QLatin1String("image"))
                return launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"}).out.size() ==
                       entry.size;
            return launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-o"}).out == entry.text.toUtf8();
        },
        15000);
    return holds || fail(QStringLiteral("after %1: the clipboard does not hold the pasted entry").arg(lastStep_));
}

bool Day::pasteFromPanel()
{
    const qsizetype count = std::min<qsizetype>(9, model_.countInTab(false));
    if (count == 0)
        return copyText();
    lastStep_ = QStringLiteral("pasting from the panel with Ctrl+digit");
    const qsizetype n = rng_.bounded(int(count));
    if (!showPanel())
        return false;
    launch(QStringLiteral("xdotool"), {"key", QStringLiteral("ctrl+%1").arg(n + 1)});
    if (!panelHidden())
        return false;
    return pasted(model_.indexInTab(false, n), "panel paste");
}

bool Day::searchAndPaste()
{
    // A text entry of the history tab, found by its own token.
    QList<qsizetype> texts;
    for (qsizetype n = 0; n < model_.countInTab(false); ++n)
        if (model_.entries().at(model_.indexInTab(false, n)).kind == QLatin1String("text"))
            texts.append(model_.indexInTab(false, n));
    if (texts.isEmpty())
        return copyText();
    lastStep_ = QStringLiteral("searching in the panel and pasting");
    const qsizetype index = texts.at(rng_.bounded(int(texts.size())));
    const Expected found = model_.entries().at(index);
    const QString token = found.text.section(' ', 0, 0); // "soak-17-"
    if (!showPanel())
        return false;
    launch(QStringLiteral("xdotool"), {"key", "ctrl+f"});
    launch(QStringLiteral("xdotool"), {"type", "--delay", "30", token});
    launch(QStringLiteral("xdotool"), {"key", "Return"});
    if (!panelHidden())
        return false;
    return pasted(index, "search");
}

bool Day::pasteFromCommandLine()
{
    const bool pinned = model_.countInTab(true) > 0 && rng_.bounded(4) == 0;
    const qsizetype count = model_.countInTab(pinned);
    if (count == 0)
        return copyText();
    lastStep_ = QStringLiteral("kelvo paste");
    const qsizetype n = rng_.bounded(int(count));
    QStringList args{QStringLiteral("paste"), QString::number(n + 1)};
    if (pinned)
        args << QStringLiteral("--pinned");
    const Ran ran = launch(program_, args);
    if (ran.exitCode != 0)
        return fail(QStringLiteral("kelvo %1 exited %2: %3").arg(args.join(' ')).arg(ran.exitCode).arg(ran.err));
    return pasted(model_.indexInTab(pinned, n), "command-line paste");
}

bool Day::pasted(qsizetype index, const char *step)
{
    const Expected entry = model_.entries().at(index);
    model_.moveToFront(index);
    ++stepCounts_[QLatin1String(step)];
    return clipboardHolds(entry) && settled();
}

// ---- edits -----------------------------------------------------------------

bool Day::pinOrUnpin()
{
    const qsizetype pinned = model_.countInTab(true);
    const bool unpin = pinned > 0 && (pinned >= 6 || rng_.bounded(3) == 0);
    const qsizetype count = model_.countInTab(!unpin ? false : true);
    if (count == 0)
        return copyText();
    // Pictures are pinned first, so that some live through the whole day.
    qsizetype n = rng_.bounded(int(count));
    if (!unpin)
        for (qsizetype i = 0; i < count; ++i)
            if (model_.entries().at(model_.indexInTab(false, i)).kind == QLatin1String("image") && rng_.bounded(2))
                n = i;
    lastStep_ = unpin ? QStringLiteral("unpinning") : QStringLiteral("pinning");
    QString error;
    if (!kelvo_.call(unpin ? QStringLiteral("Unpin") : QStringLiteral("Pin"), {QString::number(n + 1), unpin}, &error))
        return fail(lastStep_ + QStringLiteral(": ") + error);
    model_.setPinned(model_.indexInTab(unpin, n), !unpin);
    ++stepCounts_["pin"];
    return settled();
}

bool Day::deleteOne()
{
    const bool pinned = model_.countInTab(true) > 2 && rng_.bounded(3) == 0;
    const qsizetype count = model_.countInTab(pinned);
    if (count == 0)
        return copyText();
    lastStep_ = QStringLiteral("deleting");
    const qsizetype n = rng_.bounded(int(count));
    QString error;
    if (!kelvo_.call(QStringLiteral("Delete"), {QString::number(n + 1), pinned}, &error))
        return fail(QStringLiteral("Delete: ") + error);
    model_.remove(model_.indexInTab(pinned, n));
    ++stepCounts_["delete"];
    return settled();
}

// ---- faults ----------------------------------------------------------------

bool Day::injectFault()
{
    const auto noticed = [&](const QString &what) {
        ++expectedNotices_;
        return waitUntil([&] { return notices_.summaries.size() >= expectedNotices_; }, 20000) ||
               fail(QStringLiteral("no notice of %1").arg(what));
    };
    switch (fault_++ % 4) {
    case 0: { // bytes of a picture changed in place in the history file
        lastStep_ = QStringLiteral("pasting a picture whose bytes were changed in the file");
        qsizetype index = -1;
        for (qsizetype i = 0; i < model_.entries().size() && index < 0; ++i)
            if (imageSnippets_.contains(model_.entries().at(i).size))
                index = i;
        if (index < 0)
            return copyPicture(true) && injectFault();
        const Expected damaged = model_.entries().at(index);
        if (!saved())
            return false;
        QFile file(historyPath());
        if (!file.open(QIODevice::ReadWrite))
            return fail(QStringLiteral("the history file cannot be opened"));
        const qint64 at = file.readAll().indexOf(imageSnippets_.value(damaged.size));
        if (at < 0)
            return fail(QStringLiteral("the picture's text is not in the history file"));
        file.seek(at);
        file.write("!!!!");
        file.close();
        qsizetype n = 0;
        for (qsizetype i = 0; i < index; ++i)
            n += model_.entries().at(i).pinned == damaged.pinned;
        const QByteArray before = launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"}).out;
        QStringList args{QStringLiteral("paste"), QString::number(n + 1)};
        if (damaged.pinned)
            args << QStringLiteral("--pinned");
        const Ran ran = launch(program_, args);
        if (ran.exitCode != 1 || ran.err.isEmpty())
            return fail(QStringLiteral("kelvo paste of damaged bytes exited %1 with '%2'").arg(ran.exitCode).arg(ran.err));
        if (launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"}).out != before)
            return fail(QStringLiteral("a paste that could not be made changed the clipboard"));
        if (!noticed(QStringLiteral("bytes that cannot be read")))
            return false;
        // The next save leaves the entry out, and the history drops it.
        model_.remove(index);
        imageSnippets_.remove(damaged.size);
        ++stepCounts_["fault"];
        return copyText();
    }
    case 1: { // a save that fails: the data directory is a file
        lastStep_ = QStringLiteral("a save that fails");
        if (!saved())
            return false;
        const QString away = dataDir() + QStringLiteral(".away");
        if (!QDir().rename(dataDir(), away))
            return fail(QStringLiteral("the data directory cannot be moved"));
        QFile blocker(dataDir());
        blocker.open(QIODevice::WriteOnly);
        blocker.close();
        const QString text = QStringLiteral("soak-%1- while saves fail").arg(++serial_);
        launch(QStringLiteral("xclip"), {"-selection", "clipboard", "-i"}, text.toUtf8());
        model_.copied({QStringLiteral("text"), text, 0, false});
        const bool told = listed() && noticed(QStringLiteral("a failed save"));
        QFile::remove(dataDir());
        QDir().rename(away, dataDir());
        ++stepCounts_["fault"];
        return told && copyText(); // saved again: every entry reaches the file
    }
    case 2: { // an owner that never hands over its copy
        lastStep_ = QStringLiteral("a copy whose owner never answers");
        auto silent = std::make_unique<SilentOwner>();
        if (!noticed(QStringLiteral("a copy not read in time")))
            return false;
        silent.reset();
        ++stepCounts_["fault"];
        return copyText();
    }
    default: { // the clipboard's X connection closed by the server
        lastStep_ = QStringLiteral("the X connection of the clipboard closed");
        if (!pasteFromCommandLine()) // the program owns the clipboard now
            return false;
        const int reconnected = logCount(QStringLiteral("剪贴板的 X 连接已断开, 已重新连接"));
        x11::X11Connection x;
        xcb_get_selection_owner_reply_t *owner =
            xcb_get_selection_owner_reply(x.get(), xcb_get_selection_owner(x.get(), x.atom("CLIPBOARD")), nullptr);
        if (!owner || owner->owner == XCB_WINDOW_NONE) {
            std::free(owner);
            return fail(QStringLiteral("the program does not own the clipboard after a paste"));
        }
        xcb_kill_client(x.get(), owner->owner);
        std::free(owner);
        x.sync();
        // Made again at once: the log says so, no notice is due.
        if (!waitUntil([&] { return logCount(QStringLiteral("剪贴板的 X 连接已断开, 已重新连接")) > reconnected; }, 20000))
            return fail(QStringLiteral("the closed connection was not made again"));
        ++stepCounts_["fault"];
        return copyText();
    }
    }
}

int Day::run(int idleSeconds)
{
    clock_.start();
    // The notification service of the session.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &notices_) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
        return fail(QStringLiteral("the notification service could not be registered")), 1;
    // The ignored application: xclip under another name, ignored before the
    // program runs (the command writes the preferences file itself).
    QFile::remove(kIgnoredProgram);
    QFile::copy(QStandardPaths::findExecutable(QStringLiteral("xclip")), kIgnoredProgram);
    if (launch(program_, {"ignore", "add", kIgnoredProgram}).exitCode != 0)
        return fail(QStringLiteral("kelvo ignore add failed")), 1;
    bool ok = start() && listed();
    const qint64 restartsUntilMs = runMs_ * 27 / 100; // restarts only early: one process for the rest
    qint64 nextScreenshotMs = 0, nextRestartMs = runMs_ / 12, nextFaultMs = runMs_ / 10;
    const qint64 screenshotEveryMs = std::max<qint64>(runMs_ / 120, 12000);
    const qint64 restartEveryMs = std::max<qint64>(restartsUntilMs / 6, 10000);
    const qint64 faultEveryMs = std::max<qint64>(runMs_ / 16, 12000);
    bool killNext = true;
    sample();
    while (ok && clock_.elapsed() < runMs_) {
        const qint64 now = clock_.elapsed();
        if (now >= nextSampleMs_) {
            sample();
            nextSampleMs_ = now + std::max<qint64>(runMs_ / 30, 5000);
        }
        if (now >= nextScreenshotMs) {
            ok = copyPicture(true);
            nextScreenshotMs = now + screenshotEveryMs;
        } else if (now >= nextRestartMs && now < restartsUntilMs) {
            lastStep_ = killNext ? QStringLiteral("SIGKILL and start") : QStringLiteral("quit and start");
            ok = restart(killNext);
            ++stepCounts_[killNext ? "kill" : "quit"];
            killNext = !killNext;
            nextRestartMs = now + restartEveryMs;
        } else if (now >= nextFaultMs) {
            ok = injectFault();
            nextFaultMs = now + faultEveryMs;
        } else {
            const int roll = int(rng_.bounded(100));
            ok = roll < 36   ? copyText()
                 : roll < 42 ? copyUrl()
                 : roll < 46 ? copyAgain()
                 : roll < 54 ? copyHtml()
                 : roll < 59 ? copyPicture(false)
                 : roll < 66 ? pasteFromPanel()
                 : roll < 71 ? searchAndPaste()
                 : roll < 77 ? pasteFromCommandLine()
                 : roll < 87 ? pinOrUnpin()
                 : roll < 92 ? deleteOne()
                             : copyFromIgnored();
        }
    }
    if (ok)
        ok = settled() && (notices_.summaries.size() == expectedNotices_ ||
                           fail(QStringLiteral("%1 notices, %2 expected: %3")
                                    .arg(notices_.summaries.size())
                                    .arg(expectedNotices_)
                                    .arg(notices_.summaries.join(" / "))));
    sample();

    // Idle at the end: wake-ups and CPU over a quiet stretch.
    std::optional<Quiet> quiet;
    qint64 idleTicks = 0;
    if (ok && idleSeconds > 0) {
        const auto threads = kelvo_.threadTimes();
        const qint64 ticks = kelvo_.cpuTicks();
        waitUntil([] { return false; }, idleSeconds * 1000);
        quiet = quietBetween(threads, kelvo_.threadTimes());
        idleTicks = kelvo_.cpuTicks() - ticks;
    }

    // The report.
    out << "minute\tresident_mb\topen_files\tcpu_s\tcopies\tscreenshots" << Qt::endl;
    for (const Sample &s : std::as_const(samples_))
        out << QString::number(s.minute, 'f', 1) << '\t' << QString::number(s.residentKb / 1024.0, 'f', 1) << '\t'
            << s.openFiles << '\t' << QString::number(s.cpuTicks / 100.0, 'f', 2) << '\t' << s.copies << '\t'
            << s.screenshots << Qt::endl;
    out << "steps:";
    for (auto it = stepCounts_.cbegin(); it != stepCounts_.cend(); ++it)
        out << ' ' << it.key() << ' ' << it.value() << ';';
    out << Qt::endl;
    // The reference: the first sample at a third of the run (ten minutes of
    // thirty), after every restart.
    const Sample *reference = nullptr;
    for (const Sample &s : std::as_const(samples_))
        if (!reference && s.minute * 60000 >= runMs_ / 3.0)
            reference = &s;
    if (reference && samples_.size() > 1) {
        const Sample &last = samples_.last();
        const double ratio = double(last.residentKb) / double(reference->residentKb);
        out << QStringLiteral("resident set: %1 MB at minute %2 (reference), %3 MB at the end: %4 x (target <= 1.1: %5)")
                   .arg(reference->residentKb / 1024.0, 0, 'f', 1)
                   .arg(reference->minute, 0, 'f', 1)
                   .arg(last.residentKb / 1024.0, 0, 'f', 1)
                   .arg(ratio, 0, 'f', 3)
                   .arg(ratio <= 1.1 ? "met" : "not met")
            << Qt::endl;
        out << QStringLiteral("open files: %1 at the reference, %2 at the end (target: flat: %3)")
                   .arg(reference->openFiles)
                   .arg(last.openFiles)
                   .arg(last.openFiles <= reference->openFiles ? "met" : "not met")
            << Qt::endl;
        if (last.openFiles > reference->openFiles + 5)
            fail(QStringLiteral("open files grew from %1 to %2").arg(reference->openFiles).arg(last.openFiles));
    }
    if (quiet) {
        const double wakeups = double(quiet->wakeups) / idleSeconds, cpuMs = quiet->cpuNanoseconds / 1e6;
        out << QStringLiteral("idle %1 s at the end: %2 wake-ups a second (%3 threads ended, each counted as one), "
                              "%4 ms CPU, %5 clock ticks (targets 0 and < 10 ms: %6)")
                   .arg(idleSeconds)
                   .arg(wakeups, 0, 'f', 2)
                   .arg(quiet->endedThreads)
                   .arg(cpuMs, 0, 'f', 1)
                   .arg(idleTicks)
                   .arg(quiet->wakeups == 0 && cpuMs < 10 && idleTicks == 0 ? "met" : "not met")
            << Qt::endl;
    }
    out << QStringLiteral("notices: %1 of %2 injected faults told; entries from the ignored application: 0 of %3 "
                          "copies; lost or corrupted entries: %4")
               .arg(notices_.summaries.size())
               .arg(expectedNotices_)
               .arg(stepCounts_.value("ignored"))
               .arg(failure_.isEmpty() ? "0" : "see below")
        << Qt::endl;
    if (kelvo_.isRunning())
        kelvo_.quit(15000);
    if (!failure_.isEmpty()) {
        out << "FAIL: " << failure_ << Qt::endl;
        return 1;
    }
    out << "day: ok" << Qt::endl;
    return 0;
}

} // namespace

int day(const QString &program, int minutes, quint32 seed, int idleSeconds)
{
    Day d(program, minutes, seed);
    return d.run(idleSeconds);
}

} // namespace kelvo::soak
