#include "app/PanelViewBackend.h"

#include "model/DisplayTexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>

namespace kelvo {

namespace {

QString kindName(ClipboardContent::Kind kind)
{
    switch (kind) {
    case ClipboardContent::Kind::Text: return QStringLiteral("text");
    case ClipboardContent::Kind::RichText: return QStringLiteral("richText");
    case ClipboardContent::Kind::Image: return QStringLiteral("image");
    case ClipboardContent::Kind::Url: return QStringLiteral("url");
    case ClipboardContent::Kind::Raw: return QStringLiteral("raw");
    }
    return QStringLiteral("text");
}

} // namespace

QString unknownSourceName() { return QCoreApplication::translate("PanelViewBackend", "未知来源"); }

HistoryRow historyRowFor(const ClipboardItem &item, Timestamp now)
{
    HistoryRow row;
    row.id = item.id.toString(QUuid::WithoutBraces);
    row.kind = kindName(item.content.kind());
    row.previewText = localizedPreview(item.content.kind(), item.preview);
    const bool isText = item.content.kind() == ClipboardContent::Kind::Text ||
                        item.content.kind() == ClipboardContent::Kind::RichText;
    // A stored entry may come without its preview: the card shows the text
    // itself then (a prefix will do: the card shows six lines at most).
    if (isText && row.previewText.isEmpty())
        row.previewText = item.content.string().left(kMaxRowTextLength);
    if (item.content.kind() == ClipboardContent::Kind::Url)
        row.urlString = item.content.string();
    row.infoLabel = localizedInfoLabel(item.content.kind(), item.infoLabel);
    row.timeAgoText = timeAgoText(item, now);
    row.sourceAppName = item.sourceAppName && !item.sourceAppName->isEmpty() ? *item.sourceAppName
                                                                               : unknownSourceName();
    row.isPinned = item.isPinned;
    if (item.previewImagePNGData)
        row.thumbnailPNG = *item.previewImagePNGData;
    return row;
}

PanelViewBackend::PanelViewBackend(ClipboardManager &manager, SelectionState &selection, Hooks hooks,
                                   QObject *parent)
    : HistoryViewBackend(parent), m_manager(manager), m_selection(selection), m_hooks(std::move(hooks))
{
    connect(&m_selection, &SelectionState::selectedIndexChanged, this, &HistoryViewBackend::selectedIndexChanged);
    connect(&m_selection, &SelectionState::shouldFocusSearchChanged, this,
            &HistoryViewBackend::shouldFocusSearchChanged);
    connect(&m_selection, &SelectionState::activeTabChanged, this, [this] {
        scheduleRefresh();
        emit activeTabChanged();
    });
    connect(&m_selection, &SelectionState::panelPresentationTokenChanged, this, [this] {
        if (const bool reduce = m_hooks.reduceMotion && m_hooks.reduceMotion(); reduce != m_reduceMotion) {
            m_reduceMotion = reduce;
            emit reduceMotionChanged();
        }
        ++m_token;
        scheduleRefresh();
        emit presentationTokenChanged();
    });
    connect(&m_manager, &ClipboardManager::itemsChanged, this, &PanelViewBackend::scheduleRefresh);
    m_reduceMotion = m_hooks.reduceMotion && m_hooks.reduceMotion();
    connect(&m_manager, &ClipboardManager::searchQueryChanged, this, [this] {
        scheduleRefresh();
        emit searchQueryChanged();
    });
    refresh();
}

void PanelViewBackend::scheduleRefresh()
{
    // Showing the panel resets the tab, the token and the search at once:
    // rebuild the rows once for all of them, in the next turn.
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &PanelViewBackend::refresh, Qt::QueuedConnection);
}

void PanelViewBackend::refresh()
{
    m_refreshPending = false;
    const Timestamp now = currentTime();
    QVector<HistoryRow> rows;
    const QList<ClipboardItem> items = m_manager.filteredItems(m_selection.activeTab());
    rows.reserve(items.size());
    for (const ClipboardItem &item : items)
        rows.append(historyRowFor(item, now));
    m_model.setRows(rows);
}

void PanelViewBackend::setSearchQuery(const QString &query)
{
    if (query != m_manager.searchQuery())
        m_manager.setSearchQuery(query);
}

std::optional<ClipboardItem> PanelViewBackend::find(const QString &id) const
{
    return m_manager.item(QUuid::fromString(id));
}

void PanelViewBackend::togglePin(const QString &id) { m_manager.togglePin(QUuid::fromString(id)); }
void PanelViewBackend::removeItem(const QString &id) { m_manager.removeItem(QUuid::fromString(id)); }
void PanelViewBackend::clearHistory() { m_manager.clearHistory(); }
void PanelViewBackend::clearPinned() { m_manager.clearPinned(); }

void PanelViewBackend::paste(const QString &id)
{
    if (auto item = find(id); item && m_hooks.paste)
        m_hooks.paste(*item, false);
}

void PanelViewBackend::pastePlainText(const QString &id)
{
    if (auto item = find(id); item && m_hooks.paste)
        m_hooks.paste(*item, true);
}

void PanelViewBackend::saveImageAsPNG(const QString &id)
{
    if (auto item = find(id))
        m_manager.saveImageAsPNG(*item);
}

void PanelViewBackend::openSettings()
{
    if (m_hooks.openSettings)
        m_hooks.openSettings();
}

double PanelViewBackend::currentTime() const
{
    if (m_hooks.now)
        return m_hooks.now();
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - kUnixToReferenceOffset;
}

void PanelViewBackend::requestSearchPaste()
{
    if (!m_hooks.readClipboardText)
        return;
    QPointer<PanelViewBackend> self(this);
    m_hooks.readClipboardText([self](const QString &text) {
        if (!self)
            return;
        const QString line = textForSearchPaste(text);
        if (!line.isEmpty())
            emit self->searchPasteReady(line);
    });
}

} // namespace kelvo
