#pragma once

// Every service of a history store but the clipboard and the applications,
// which a test against a real display server brings along: real files,
// clock and background queue, and a main loop whose repeating timers never
// fire, so that the store hears of a copy only through the clipboard's
// change reports.

#include "history/ClipboardManager.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStyledTextConverter.h"

#include <QTemporaryDir>

#include <memory>

namespace kelvo::testing {

struct HistoryRig {
    struct LoopWithoutTicks : QtMainLoop {
        TaskHandle every(int, std::function<void()>) override { return {}; }
    };

    QTemporaryDir dir;
    MimeTypeRegistry types;
    QtStyledTextConverter styledText;
    LocalFileSystem files{dir.path()};
    SystemClock clock;
    LoopWithoutTicks loop;
    SerialBackgroundQueue background;
    memory::MemoryPreferences preferences;
    memory::MemorySaveDialog saveDialog;

    std::unique_ptr<ClipboardManager> make(Pasteboard &pasteboard, Applications &applications)
    {
        return std::make_unique<ClipboardManager>(HistoryServices{pasteboard, applications, types, styledText, files,
                                                                  clock, loop, background, preferences, saveDialog});
    }
};

} // namespace kelvo::testing
