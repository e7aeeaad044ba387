#pragma once

// What the history must hold after each step of the day, by the program's
// own rules: newest first, a copy equal to the newest entry dropped, at most
// `limit` unpinned entries (pinned ones never dropped), a paste moving its
// entry to the front.

#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace kelvo::soak {

struct Expected {
    QString kind;    // "text", "richText", "url", "image"
    QString text;    // the plain text or address; "" for a picture
    qint64 size = 0; // a picture's PNG size
    bool pinned = false;
};

class HistoryModel {
public:
    const QList<Expected> &entries() const { return entries_; }
    qint64 limit() const { return limit_; }
    void setLimit(qint64 limit);

    // A copy as capture records it; false when it equals the newest entry.
    bool copied(const Expected &entry);
    void moveToFront(qsizetype index);
    void setPinned(qsizetype index, bool pinned);
    void remove(qsizetype index);

    // Index in entries() of the n-th (0-based) entry of a tab, -1 if none.
    qsizetype indexInTab(bool pinned, qsizetype n) const;
    qsizetype countInTab(bool pinned) const;

    // Whether the program's list of a tab (its D-Bus List) shows exactly the
    // model's: same kinds in the same order, the same texts.
    bool shows(bool pinned, const QList<QVariantMap> &listed, QString *why) const;

private:
    void applyLimit();

    QList<Expected> entries_;
    qint64 limit_ = 50;
};

} // namespace kelvo::soak
