#pragma once

#include "panel/HistoryListModel.h"

#include <QObject>
#include <QString>

namespace kelvo {

// Everything the history view (HistoryView.qml) reads and calls: the list of
// the active tab, the search text, the shared selection state and the store
// operations behind the buttons and the context menu. The program's backend
// forwards to ClipboardManager and SelectionState; the view tests use an
// in-memory one.
class HistoryViewBackend : public QObject {
    Q_OBJECT
    Q_PROPERTY(kelvo::HistoryListModel *model READ model CONSTANT)
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY selectedIndexChanged)
    Q_PROPERTY(QString activeTab READ activeTab WRITE setActiveTab NOTIFY activeTabChanged)
    Q_PROPERTY(bool shouldFocusSearch READ shouldFocusSearch WRITE setShouldFocusSearch NOTIFY shouldFocusSearchChanged)
    Q_PROPERTY(int presentationToken READ presentationToken NOTIFY presentationTokenChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(QString searchKeys READ searchKeys NOTIFY searchKeysChanged)
public:
    explicit HistoryViewBackend(QObject *parent = nullptr) : QObject(parent) { m_model.setParent(this); }

    HistoryListModel *model() { return &m_model; }

    virtual QString searchQuery() const = 0;
    virtual void setSearchQuery(const QString &query) = 0;
    virtual int selectedIndex() const = 0;
    virtual void setSelectedIndex(int index) = 0;
    virtual QString activeTab() const = 0; // "history" or "pinned"
    virtual void setActiveTab(const QString &tab) = 0;
    virtual bool shouldFocusSearch() const = 0;
    virtual void setShouldFocusSearch(bool focus) = 0;
    virtual int presentationToken() const = 0;
    virtual bool reduceMotion() const { return false; }
    // The keys that go to the search field, as the desktop names them; the
    // field's placeholder shows them.
    QString searchKeys() const { return m_searchKeys; }
    void setSearchKeys(const QString &keys)
    {
        if (keys == m_searchKeys)
            return;
        m_searchKeys = keys;
        emit searchKeysChanged();
    }

    Q_INVOKABLE virtual void togglePin(const QString &id) = 0;
    Q_INVOKABLE virtual void removeItem(const QString &id) = 0;
    Q_INVOKABLE virtual void clearHistory() = 0;
    Q_INVOKABLE virtual void clearPinned() = 0;
    Q_INVOKABLE virtual void paste(const QString &id) = 0;
    Q_INVOKABLE virtual void pastePlainText(const QString &id) = 0;
    Q_INVOKABLE virtual void saveImageAsPNG(const QString &id) = 0;
    Q_INVOKABLE virtual void openSettings() = 0;
    // Ctrl+V in the search field: reads the clipboard's text without waiting
    // for its owner and answers with searchPasteReady().
    Q_INVOKABLE virtual void requestSearchPaste() = 0;
    // Seconds on the program's clock; the cards time double clicks with it.
    Q_INVOKABLE virtual double currentTime() const = 0;
    // Tells a screen reader that `item` (the selected card) has the focus,
    // while the keyboard stays where it is (the panel routes the keys).
    Q_INVOKABLE static void announceFocus(QObject *item);

signals:
    void searchQueryChanged();
    void selectedIndexChanged();
    void activeTabChanged();
    void shouldFocusSearchChanged();
    void presentationTokenChanged();
    void reduceMotionChanged();
    void searchKeysChanged();
    // The clipboard's text made fit for the one-line search field.
    void searchPasteReady(const QString &text);

protected:
    HistoryListModel m_model;
    QString m_searchKeys = QStringLiteral("Ctrl+F");
};

// Clipboard text as the search field takes it: line breaks and tabs become
// spaces, and at most kMaxSearchPasteLength characters are kept, so that a
// huge copied text does not turn every keystroke into a long search.
inline constexpr qsizetype kMaxSearchPasteLength = 1000;
QString textForSearchPaste(const QString &text);

} // namespace kelvo
