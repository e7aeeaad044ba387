#pragma once

#include "panel/HistoryViewBackend.h"
#include "panel/SelectionState.h"

#include <QBuffer>
#include <QImage>
#include <QStringList>

namespace kelvo::test {

// An in-memory backend for the view tests: a flat list of rows split into
// the two tabs by their pin flag, a substring search, a settable clock, and
// a log of the store calls the view makes. Selection, tab and focus request
// live in the program's own SelectionState, which announces every
// assignment, also of the same value.
class FakeHistoryBackend : public HistoryViewBackend {
    Q_OBJECT
public:
    FakeHistoryBackend() {
        connect(&selection, &SelectionState::selectedIndexChanged, this, &HistoryViewBackend::selectedIndexChanged);
        connect(&selection, &SelectionState::shouldFocusSearchChanged, this,
                &HistoryViewBackend::shouldFocusSearchChanged);
        connect(&selection, &SelectionState::activeTabChanged, this, [this] {
            publish();
            emit activeTabChanged();
        });
    }

    SelectionState selection;
    QVector<HistoryRow> all;
    QStringList calls;
    double now = 1000.0;

    void publish() {
        QVector<HistoryRow> rows;
        for (const HistoryRow &row : all) {
            if (row.isPinned != (selection.activeTab() == ClipboardTab::pinned)) continue;
            if (!m_query.isEmpty() && !row.previewText.contains(m_query, Qt::CaseInsensitive)) continue;
            rows.append(row);
        }
        m_model.setRows(rows);
    }
    void present() {
        ++m_token;
        emit presentationTokenChanged();
    }

    QString searchQuery() const override { return m_query; }
    void setSearchQuery(const QString &q) override {
        if (q == m_query) return;
        m_query = q;
        emit searchQueryChanged();
        publish();
    }
    int selectedIndex() const override { return int(selection.selectedIndex()); }
    void setSelectedIndex(int i) override { selection.setSelectedIndex(i); }
    QString activeTab() const override { return selection.activeTabRawValue(); }
    void setActiveTab(const QString &tab) override { selection.setActiveTabRawValue(tab); }
    bool shouldFocusSearch() const override { return selection.shouldFocusSearch(); }
    void setShouldFocusSearch(bool f) override { selection.setShouldFocusSearch(f); }
    int presentationToken() const override { return m_token; }

    void togglePin(const QString &id) override { calls << "togglePin " + id; }
    void removeItem(const QString &id) override {
        removeWhere("removeItem " + id, [&](const HistoryRow &row) { return row.id == id; });
    }
    void clearHistory() override {
        removeWhere("clearHistory", [](const HistoryRow &row) { return !row.isPinned; });
    }
    void clearPinned() override {
        removeWhere("clearPinned", [](const HistoryRow &row) { return row.isPinned; });
    }
    void paste(const QString &id) override { calls << "paste " + id; }
    void requestSearchPaste() override { calls << "requestSearchPaste"; }
    void pastePlainText(const QString &id) override { calls << "pastePlainText " + id; }
    void saveImageAsPNG(const QString &id) override { calls << "saveImageAsPNG " + id; }
    void openSettings() override { calls << "openSettings"; }
    double currentTime() const override { return now; }

private:
    void removeWhere(const QString &call, const std::function<bool(const HistoryRow &)> &match) {
        calls << call;
        all.removeIf(match);
        publish();
    }
    QString m_query;
    int m_token = 0;
};

inline HistoryRow makeRow(const QString &id, const QString &kind, bool pinned = false) {
    HistoryRow row;
    row.id = id;
    row.kind = kind;
    row.previewText = "entry " + id;
    row.urlString = kind == QLatin1String("url") ? "https://example.com/" + id : QString();
    row.infoLabel = "5 字符";
    row.timeAgoText = "刚刚";
    row.sourceAppName = "Mousepad";
    row.isPinned = pinned;
    return row;
}

// Rows "0", "1", ... of one kind.
inline QVector<HistoryRow> makeRows(int n, const QString &kind = "text") {
    QVector<HistoryRow> out;
    for (int i = 0; i < n; ++i) out.append(makeRow(QString::number(i), kind));
    return out;
}

inline QByteArray solidPng(int width, int height, const QColor &colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace kelvo::test
