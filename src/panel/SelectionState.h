#pragma once

#include "panel/ClipboardTab.h"

#include <QObject>
#include <QString>
#include <QUuid>

namespace kelvo {

// The selection shared by the application delegate (which gets the panel's
// key callbacks) and the history view (which draws the cards). Every
// assignment of a field emits its change signal, also when the value does
// not change, so that the view re-reads it. Main thread only.
class SelectionState : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY selectedIndexChanged)
    Q_PROPERTY(bool shouldFocusSearch READ shouldFocusSearch WRITE setShouldFocusSearch NOTIFY shouldFocusSearchChanged)
    Q_PROPERTY(QString pendingChars READ pendingChars WRITE setPendingChars NOTIFY pendingCharsChanged)
    // The raw value of the active tab ("history" or "pinned").
    Q_PROPERTY(QString activeTab READ activeTabRawValue WRITE setActiveTabRawValue NOTIFY activeTabChanged)
    Q_PROPERTY(QUuid panelPresentationToken READ panelPresentationToken WRITE setPanelPresentationToken NOTIFY
                   panelPresentationTokenChanged)
public:
    explicit SelectionState(QObject *parent = nullptr);

    qint64 selectedIndex() const { return selectedIndex_; }
    void setSelectedIndex(qint64 index);
    bool shouldFocusSearch() const { return shouldFocusSearch_; }
    void setShouldFocusSearch(bool focus);
    QString pendingChars() const { return pendingChars_; }
    void setPendingChars(const QString &chars);
    ClipboardTab activeTab() const { return activeTab_; }
    void setActiveTab(ClipboardTab tab);
    QString activeTabRawValue() const { return rawValue(activeTab_); }
    // Strings that name no tab are ignored.
    void setActiveTabRawValue(const QString &raw);
    QUuid panelPresentationToken() const { return token_; }
    void setPanelPresentationToken(const QUuid &token);

    // One card to the left / right within a list of `itemCount` entries;
    // no wrap-around, nothing at all for an empty list, and no change
    // signal when the index stays where it is.
    Q_INVOKABLE void moveLeft(qint64 itemCount);
    Q_INVOKABLE void moveRight(qint64 itemCount);
    // First card, no focus request, no pending text, history tab. The
    // presentation token is kept.
    Q_INVOKABLE void reset();

signals:
    void selectedIndexChanged();
    void shouldFocusSearchChanged();
    void pendingCharsChanged();
    void activeTabChanged();
    void panelPresentationTokenChanged();

private:
    qint64 selectedIndex_ = 0;
    bool shouldFocusSearch_ = false;
    QString pendingChars_;
    ClipboardTab activeTab_ = ClipboardTab::history;
    QUuid token_;
};

} // namespace kelvo
