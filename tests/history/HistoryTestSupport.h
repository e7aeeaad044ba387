#pragma once

#include "history/ClipboardManager.h"
#include "model/HistoryCodec.h"
#include "platform/Log.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/VirtualTime.h"
#include "platform/qt/QtPlatform.h"

#include "model/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

namespace kelvo::test {

// A styled-text reader with a transparent toy format, so that the tests
// see exactly which conversion was used:
//   RTF  "{\rtf1 <text>}"  -> <text>
//   RTFD "rtfd:<text>"     -> <text>, RTF "{\rtf1 <text>}"
//   HTML "<...>"           -> the characters outside tags, RTF "{\rtf1 <that>}"
// Anything else, and HTML containing "norft", is unreadable or yields no RTF.
class FakeStyledText : public StyledTextConverter {
public:
    std::optional<StyledText> read(const QByteArray &data, StyledDocumentType type) const override
    {
        switch (type) {
        case StyledDocumentType::RTF:
            if (!data.startsWith("{\\rtf1 ") || !data.endsWith("}"))
                return std::nullopt;
            return StyledText{QString::fromUtf8(data.mid(7, data.size() - 8)), data};
        case StyledDocumentType::RTFD:
            if (!data.startsWith("rtfd:"))
                return std::nullopt;
            return StyledText{QString::fromUtf8(data.mid(5)), "{\\rtf1 " + data.mid(5) + "}"};
        case StyledDocumentType::HTML: {
            if (!data.startsWith("<"))
                return std::nullopt;
            QString plain;
            bool inTag = false;
            for (QChar c : QString::fromUtf8(data)) {
                if (c == u'<')
                    inTag = true;
                else if (c == u'>')
                    inTag = false;
                else if (!inTag)
                    plain.append(c);
            }
            StyledText styled{plain, std::nullopt};
            if (!data.contains("nortf"))
                styled.rtf = "{\\rtf1 " + plain.toUtf8() + "}";
            return styled;
        }
        }
        return std::nullopt;
    }
};

// Real files in a temporary directory, with switches for failures and a
// hook that runs inside each history write.
class TestFileSystem : public LocalFileSystem {
public:
    using LocalFileSystem::LocalFileSystem;
    FileError move(const QString &from, const QString &to) override
    {
        if (failMoves)
            return QStringLiteral("move refused");
        return LocalFileSystem::move(from, to);
    }
    FileError writeAtomically(const QString &path, const QByteArray &data, bool privateMode) override
    {
        ++writes;
        if (duringWrite)
            duringWrite(data);
        if (failWrites)
            return QStringLiteral("disk full");
        return LocalFileSystem::writeAtomically(path, data, privateMode);
    }

    bool failWrites = false;
    bool failMoves = false;
    std::function<void(const QByteArray &)> duringWrite;
    std::atomic<int> writes = 0;
};

// Collects log lines for the lifetime of the object.
class LogCapture {
public:
    LogCapture()
    {
        setLogSink([this](const QString &line) { lines.append(line); });
    }
    ~LogCapture() { setLogSink(nullptr); }
    QStringList lines;
};

inline std::shared_ptr<memory::MemoryContents> textContents(const QString &text)
{
    return memory::MemoryContents::withData({{PasteboardType::String, text.toUtf8()}}, {PasteboardType::String});
}

// Every service a ClipboardManager needs, in memory or in a temporary
// directory, on virtual time.
struct HistoryRig {
    QTemporaryDir dir;
    TestFileSystem files{dir.path()};
    memory::MemoryPasteboard pasteboard;
    memory::MemoryApplications applications;
    memory::MemoryTypeRegistry types;
    FakeStyledText styledText;
    memory::VirtualTime time;
    memory::VirtualBackgroundQueue background{time};
    memory::MemoryPreferences preferences;
    memory::MemorySaveDialog saveDialog;
    memory::MemoryNotifications notifications;
    BackgroundQueue *backgroundOverride = nullptr;
    Pasteboard *pasteboardOverride = nullptr;

    HistoryRig()
    {
        types.known.insert(QStringLiteral("text/plain"), TypeConformance{true, false, false});
        types.known.insert(QStringLiteral("image/png"), TypeConformance{false, true, false});
    }

    HistoryServices services()
    {
        return HistoryServices{pasteboardOverride ? *pasteboardOverride : pasteboard, applications, types, styledText, files, time, time,
                               backgroundOverride ? *backgroundOverride : background, preferences, saveDialog,
                               &notifications};
    }
    std::unique_ptr<ClipboardManager> make() { return std::make_unique<ClipboardManager>(services()); }

    QString dataDir() const { return dir.path() + QStringLiteral("/Kelvo"); }
    QString historyPath() const { return dataDir() + QStringLiteral("/clipboard_history.json"); }

    // A foreign copy followed by one poll tick.
    void copyAndPoll(ClipboardManager &manager, std::shared_ptr<memory::MemoryContents> contents)
    {
        pasteboard.copy(std::move(contents));
        manager.checkPasteboard();
    }

    QList<ClipboardItem> readHistoryFile() const
    {
        QString error;
        QList<ClipboardItem> items;
        const auto bytes = files.read(historyPath(), &error);
        EXPECT_TRUE(bytes.has_value()) << error.toStdString();
        if (bytes) {
            EXPECT_TRUE(decodeHistory(*bytes, &items, &error)) << error.toStdString();
        }
        return items;
    }

    // Puts a history file in place, bypassing the counting and the failure
    // switches; `dir` defaults to the data directory.
    void writeHistoryFile(const QList<ClipboardItem> &items, const QString &dir = {})
    {
        writeRawHistoryFile(encodeHistory(items), dir);
    }
    void writeRawHistoryFile(const QByteArray &bytes, QString dir = {})
    {
        if (dir.isEmpty())
            dir = dataDir();
        (void)files.createDirectories(dir, true);
        ASSERT_FALSE(files.LocalFileSystem::writeAtomically(dir + QStringLiteral("/clipboard_history.json"), bytes, true));
    }
};

inline ClipboardItem entry(const ClipboardContent &content, bool pinned = false, Timestamp when = 1000)
{
    ClipboardItem item = ClipboardItem::make(content, std::nullopt, std::nullopt, QImage(), when);
    item.isPinned = pinned;
    return item;
}

inline ClipboardItem textEntry(const QString &text, bool pinned = false)
{
    return entry(ClipboardContent::text(text), pinned);
}

inline QStringList texts(const QList<ClipboardItem> &items)
{
    QStringList out;
    for (const auto &item : items)
        out.append(item.content.string());
    return out;
}

} // namespace kelvo::test
