#include "HistoryModel.h"

namespace kelvo::soak {

namespace {
bool textual(const QString &kind)
{
    return kind == QLatin1String("text") || kind == QLatin1String("richText");
}
} // namespace

void HistoryModel::setLimit(qint64 limit)
{
    limit_ = limit;
    applyLimit();
}

bool HistoryModel::copied(const Expected &entry)
{
    if (!entries_.isEmpty()) {
        const Expected &newest = entries_.first();
        const bool same = (textual(newest.kind) && textual(entry.kind)) || newest.kind == entry.kind;
        if (same && newest.text == entry.text && newest.size == entry.size)
            return false;
    }
    entries_.prepend(entry);
    applyLimit();
    return true;
}

void HistoryModel::moveToFront(qsizetype index)
{
    entries_.prepend(entries_.takeAt(index));
}

void HistoryModel::setPinned(qsizetype index, bool pinned)
{
    entries_[index].pinned = pinned;
}

void HistoryModel::remove(qsizetype index)
{
    entries_.removeAt(index);
}

void HistoryModel::applyLimit()
{
    qint64 unpinned = 0;
    QList<Expected> kept;
    for (const Expected &e : std::as_const(entries_)) {
        if (!e.pinned && unpinned++ >= limit_)
            continue;
        kept.append(e);
    }
    entries_ = kept;
}

qsizetype HistoryModel::indexInTab(bool pinned, qsizetype n) const
{
    for (qsizetype i = 0; i < entries_.size(); ++i)
        if (entries_.at(i).pinned == pinned && n-- == 0)
            return i;
    return -1;
}

qsizetype HistoryModel::countInTab(bool pinned) const
{
    return std::count_if(entries_.begin(), entries_.end(), [&](const Expected &e) { return e.pinned == pinned; });
}

bool HistoryModel::shows(bool pinned, const QList<QVariantMap> &listed, QString *why) const
{
    QList<Expected> tab;
    for (const Expected &e : entries_)
        if (e.pinned == pinned)
            tab.append(e);
    if (tab.size() != listed.size()) {
        QStringList seen, wanted;
        for (const QVariantMap &l : listed)
            seen << l.value(QStringLiteral("kind")).toString() + u':' + l.value(QStringLiteral("preview")).toString();
        for (const Expected &e : tab)
            wanted << e.kind + u':' + (e.text.isEmpty() ? QString::number(e.size) : e.text);
        *why = QStringLiteral("%1 tab: %2 entries listed, %3 expected\nlisted:   %4\nexpected: %5")
                   .arg(pinned ? "pinned" : "history")
                   .arg(listed.size())
                   .arg(tab.size())
                   .arg(seen.join(QStringLiteral(" | ")), wanted.join(QStringLiteral(" | ")));
        return false;
    }
    for (qsizetype i = 0; i < tab.size(); ++i) {
        const QString kind = listed.at(i).value(QStringLiteral("kind")).toString();
        const QString preview = listed.at(i).value(QStringLiteral("preview")).toString();
        if (kind != tab.at(i).kind || (tab.at(i).kind != QLatin1String("image") && preview != tab.at(i).text)) {
            *why = QStringLiteral("%1 tab, entry %2: listed %3 '%4', expected %5 '%6'")
                       .arg(pinned ? "pinned" : "history")
                       .arg(i + 1)
                       .arg(kind, preview, tab.at(i).kind, tab.at(i).text);
            return false;
        }
    }
    return true;
}

} // namespace kelvo::soak
