#include "app/PanelViewBackend.h"

#include <QDateTime>

namespace kelvo {

PanelViewBackend::PanelViewBackend(SelectionState &selection, Hooks hooks, QObject *parent)
    : HistoryViewBackend(parent), m_selection(selection), m_hooks(std::move(hooks)) {
    connect(&m_selection, &SelectionState::selectedIndexChanged, this, &HistoryViewBackend::selectedIndexChanged);
    connect(&m_selection, &SelectionState::shouldFocusSearchChanged, this,
            &HistoryViewBackend::shouldFocusSearchChanged);
    connect(&m_selection, &SelectionState::activeTabChanged, this, [this] {
        refresh();
        emit activeTabChanged();
    });
    connect(&m_selection, &SelectionState::panelPresentationTokenChanged, this, [this] {
        ++m_token;
        emit presentationTokenChanged();
    });
}

void PanelViewBackend::refresh() {
    m_model.setRows(m_hooks.rows ? m_hooks.rows(activeTab(), m_query) : QVector<HistoryRow>{});
}

void PanelViewBackend::present() {
    refresh();
}

void PanelViewBackend::setSearchQuery(const QString &query) {
    if (query == m_query) return;
    m_query = query;
    emit searchQueryChanged();
    refresh();
}

void PanelViewBackend::togglePin(const QString &id) { if (m_hooks.togglePin) m_hooks.togglePin(id); refresh(); }
void PanelViewBackend::removeItem(const QString &id) { if (m_hooks.removeItem) m_hooks.removeItem(id); refresh(); }
void PanelViewBackend::clearHistory() { if (m_hooks.clearHistory) m_hooks.clearHistory(); refresh(); }
void PanelViewBackend::clearPinned() { if (m_hooks.clearPinned) m_hooks.clearPinned(); refresh(); }
void PanelViewBackend::paste(const QString &id) { if (m_hooks.paste) m_hooks.paste(id, false); }
void PanelViewBackend::pastePlainText(const QString &id) { if (m_hooks.paste) m_hooks.paste(id, true); }
void PanelViewBackend::saveImageAsPNG(const QString &id) { if (m_hooks.saveImageAsPNG) m_hooks.saveImageAsPNG(id); }
void PanelViewBackend::openSettings() { if (m_hooks.openSettings) m_hooks.openSettings(); }

double PanelViewBackend::currentTime() const {
    if (m_hooks.now) return m_hooks.now();
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

} // namespace kelvo
