// How an entry becomes a row of the history view.
#include "app/PanelViewBackend.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(HistoryRowTest, TextEntryWithoutPreviewShowsTheTextItself)
{
    const QString longText = QString("line\n").repeated(1000);
    struct Case {
        ClipboardContent content;
        QString preview;
        QString expected;
    };
    const Case cases[] = {
        {ClipboardContent::text("hello there"), "", "hello there"},
        {ClipboardContent::richText("bold words", "{\\rtf1 bold words}"), "", "bold words"},
        {ClipboardContent::text(longText), "", longText.left(kMaxRowTextLength)},
        {ClipboardContent::text("hello there"), "hello", "hello"},
        {ClipboardContent::url("https://example.com/a"), "", ""}, // the card shows the address
    };
    for (const Case &c : cases) {
        ClipboardItem item = ClipboardItem::make(c.content, std::nullopt, QString("Mousepad"), {}, 0);
        item.preview = c.preview;
        EXPECT_EQ(historyRowFor(item, 0).previewText, c.expected) << qPrintable(c.expected.left(20));
    }
}
