#pragma once

#include "history/ClipboardManager.h"
#include "panel/HistoryViewBackend.h"
#include "panel/SelectionState.h"

#include <functional>

namespace kelvo {

// The source badge of an entry whose application is not known.
QString unknownSourceName();

// One entry as the history view shows it at `now`, its texts in the user's
// language.
inline constexpr qsizetype kMaxRowTextLength = 2000;
HistoryRow historyRowFor(const ClipboardItem &item, Timestamp now);

// The history view's backend in the program: the list and the search text
// come from the history store, selection and tab from the shared
// SelectionState; pasting and the settings button go to the delegate.
class PanelViewBackend : public HistoryViewBackend {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(const ClipboardItem &item, bool plainText)> paste;
        std::function<void()> openSettings;
        std::function<Timestamp()> now; // the program's clock
        // Reads the clipboard's text and hands it to the callback on the main
        // thread, never waiting there for the owner; nothing when unreadable.
        std::function<void(std::function<void(const QString &)>)> readClipboardText;
        // Whether the desktop asks for reduced motion; read at each showing.
        std::function<bool()> reduceMotion;
    };

    PanelViewBackend(ClipboardManager &manager, SelectionState &selection, Hooks hooks, QObject *parent = nullptr);

    // Re-reads the list of the active tab from the store.
    void refresh();
    // One refresh in the next turn of the event loop for any number of
    // changes made in this one.
    void scheduleRefresh();

    QString searchQuery() const override { return m_manager.searchQuery(); }
    void setSearchQuery(const QString &query) override;
    int selectedIndex() const override { return int(m_selection.selectedIndex()); }
    void setSelectedIndex(int index) override { m_selection.setSelectedIndex(index); }
    QString activeTab() const override { return m_selection.activeTabRawValue(); }
    void setActiveTab(const QString &tab) override { m_selection.setActiveTabRawValue(tab); }
    bool shouldFocusSearch() const override { return m_selection.shouldFocusSearch(); }
    void setShouldFocusSearch(bool focus) override { m_selection.setShouldFocusSearch(focus); }
    int presentationToken() const override { return m_token; }
    bool reduceMotion() const override { return m_reduceMotion; }

    void togglePin(const QString &id) override;
    void removeItem(const QString &id) override;
    void clearHistory() override;
    void clearPinned() override;
    void paste(const QString &id) override;
    void pastePlainText(const QString &id) override;
    void saveImageAsPNG(const QString &id) override;
    void openSettings() override;
    void requestSearchPaste() override;
    double currentTime() const override;

private:
    std::optional<ClipboardItem> find(const QString &id) const;

    ClipboardManager &m_manager;
    SelectionState &m_selection;
    Hooks m_hooks;
    int m_token = 0;
    bool m_refreshPending = false;
    bool m_reduceMotion = false;
};

} // namespace kelvo
