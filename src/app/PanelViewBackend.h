#pragma once

#include "panel/HistoryViewBackend.h"
#include "panel/SelectionState.h"

#include <functional>

namespace kelvo {

// The history view's backend in the program: selection and tab come from
// the shared SelectionState, the list and the store operations from the
// history store through the hooks the program wires in.
class PanelViewBackend : public HistoryViewBackend {
    Q_OBJECT
public:
    struct Hooks {
        // The rows of a tab ("history" / "pinned") with the search applied.
        std::function<QVector<HistoryRow>(const QString &tab, const QString &query)> rows;
        std::function<void(const QString &id)> togglePin;
        std::function<void(const QString &id)> removeItem;
        std::function<void()> clearHistory;
        std::function<void()> clearPinned;
        std::function<void(const QString &id, bool plainText)> paste;
        std::function<void(const QString &id)> saveImageAsPNG;
        std::function<void()> openSettings;
        std::function<double()> now;
    };

    PanelViewBackend(SelectionState &selection, Hooks hooks, QObject *parent = nullptr);

    // Re-reads the list from the store (after every change of the store).
    void refresh();
    // Called by each presentation of the panel.
    void present();

    QString searchQuery() const override { return m_query; }
    void setSearchQuery(const QString &query) override;
    int selectedIndex() const override { return int(m_selection.selectedIndex()); }
    void setSelectedIndex(int index) override { m_selection.setSelectedIndex(index); }
    QString activeTab() const override { return m_selection.activeTabRawValue(); }
    void setActiveTab(const QString &tab) override { m_selection.setActiveTabRawValue(tab); }
    bool shouldFocusSearch() const override { return m_selection.shouldFocusSearch(); }
    void setShouldFocusSearch(bool focus) override { m_selection.setShouldFocusSearch(focus); }
    int presentationToken() const override { return m_token; }

    void togglePin(const QString &id) override;
    void removeItem(const QString &id) override;
    void clearHistory() override;
    void clearPinned() override;
    void paste(const QString &id) override;
    void pastePlainText(const QString &id) override;
    void saveImageAsPNG(const QString &id) override;
    void openSettings() override;
    double currentTime() const override;

private:
    SelectionState &m_selection;
    Hooks m_hooks;
    QString m_query;
    int m_token = 0;
};

} // namespace kelvo
