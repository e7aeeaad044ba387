#include "panel/HistoryViewBackend.h"

#include <QAccessible>

namespace kelvo {

QString textForSearchPaste(const QString &text)
{
    QString line;
    line.reserve(std::min(text.size(), kMaxSearchPasteLength));
    bool lastWasBreak = false;
    for (const QChar c : text) {
        if (line.size() >= kMaxSearchPasteLength)
            break;
        // CR LF and other break pairs become one space.
        const bool isBreak = c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        if (isBreak) {
            if (!lastWasBreak)
                line.append(u' ');
        } else {
            line.append(c == u'\t' ? QChar(u' ') : c);
        }
        lastWasBreak = isBreak;
    }
    // A surrogate pair cut in half at the limit would show as a box.
    if (!line.isEmpty() && line.back().isHighSurrogate())
        line.chop(1);
    return line;
}

void HistoryViewBackend::announceFocus(QObject *item)
{
    if (!item)
        return;
    QAccessibleEvent event(item, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

} // namespace kelvo
