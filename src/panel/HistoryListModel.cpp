#include "panel/HistoryListModel.h"

#include "panel/PanelImageProviders.h"

#include <QSet>

namespace kelvo {

HistoryListModel::HistoryListModel(QObject *parent) : QAbstractListModel(parent) {}

void HistoryListModel::setThumbnailProvider(ThumbnailImageProvider *provider) {
    m_thumbnails = provider;
}

int HistoryListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_rows.size();
}

QString HistoryListModel::kindIcon(const QString &kind) {
    if (kind == QLatin1String("richText")) return QStringLiteral("doc.richtext");
    if (kind == QLatin1String("image")) return QStringLiteral("photo");
    if (kind == QLatin1String("url")) return QStringLiteral("link");
    if (kind == QLatin1String("raw")) return QStringLiteral("tray.full");
    return QStringLiteral("doc.text");
}

QString HistoryListModel::thumbnailSource(const HistoryRow &row) const {
    if (row.thumbnailPNG.isEmpty()) return {};
    // The hash makes a changed thumbnail of the same entry a new URL, so the
    // image cache never serves a stale picture.
    return QStringLiteral("image://kelvothumb/%1/%2").arg(row.id).arg(qHash(row.thumbnailPNG));
}

QVariant HistoryListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size()) return {};
    const HistoryRow &row = m_rows.at(index.row());
    switch (role) {
    case IdRole: return row.id;
    case KindRole: return row.kind;
    case PreviewTextRole: return row.previewText;
    case UrlStringRole: return row.urlString;
    case InfoLabelRole: return row.infoLabel;
    case TimeAgoTextRole: return row.timeAgoText;
    case SourceAppNameRole: return row.sourceAppName;
    case IsPinnedRole: return row.isPinned;
    case HasThumbnailRole: return !row.thumbnailPNG.isEmpty();
    case ThumbnailSourceRole: return thumbnailSource(row);
    case KindIconRole: return kindIcon(row.kind);
    default: return {};
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const {
    return {
        {IdRole, "itemId"},
        {KindRole, "kind"},
        {PreviewTextRole, "previewText"},
        {UrlStringRole, "urlString"},
        {InfoLabelRole, "infoLabel"},
        {TimeAgoTextRole, "timeAgoText"},
        {SourceAppNameRole, "sourceAppName"},
        {IsPinnedRole, "isPinned"},
        {HasThumbnailRole, "hasThumbnail"},
        {ThumbnailSourceRole, "thumbnailSource"},
        {KindIconRole, "kindIcon"},
    };
}

void HistoryListModel::setRows(const QVector<HistoryRow> &rows) {
    const int oldCount = m_rows.size();
    if (m_thumbnails) {
        QHash<QString, QByteArray> thumbnails;
        for (const HistoryRow &row : rows)
            if (!row.thumbnailPNG.isEmpty()) thumbnails.insert(row.id, row.thumbnailPNG);
        m_thumbnails->setThumbnails(std::move(thumbnails));
    }

    // 1. Drop the rows whose entry is gone (from the back, so indices stay valid).
    QSet<QString> wanted;
    for (const HistoryRow &row : rows) wanted.insert(row.id);
    for (int i = m_rows.size() - 1; i >= 0; --i) {
        if (!wanted.contains(m_rows.at(i).id)) {
            beginRemoveRows({}, i, i);
            m_rows.removeAt(i);
            endRemoveRows();
        }
    }

    // 2. Walk the new list: keep, move up or insert each entry at its place.
    for (int i = 0; i < rows.size(); ++i) {
        const HistoryRow &row = rows.at(i);
        if (i < m_rows.size() && m_rows.at(i).id == row.id) {
            if (!(m_rows.at(i) == row)) {
                m_rows[i] = row;
                emit dataChanged(index(i), index(i));
            }
            continue;
        }
        int found = -1;
        for (int j = i + 1; j < m_rows.size(); ++j) {
            if (m_rows.at(j).id == row.id) {
                found = j;
                break;
            }
        }
        if (found >= 0) {
            beginMoveRows({}, found, found, {}, i);
            m_rows.move(found, i);
            endMoveRows();
            if (!(m_rows.at(i) == row)) {
                m_rows[i] = row;
                emit dataChanged(index(i), index(i));
            }
        } else {
            beginInsertRows({}, i, i);
            m_rows.insert(i, row);
            endInsertRows();
        }
    }

    // 3. Whatever is left behind holds duplicates of ids placed above.
    if (m_rows.size() > rows.size()) {
        beginRemoveRows({}, rows.size(), m_rows.size() - 1);
        m_rows.resize(rows.size());
        endRemoveRows();
    }
    ++m_revision;
    if (m_rows.size() != oldCount) emit countChanged();
}

} // namespace kelvo
