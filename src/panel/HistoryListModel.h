#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QString>
#include <QVector>

namespace kelvo {

class ThumbnailImageProvider;

// What a card shows of one history entry; built from a ClipboardItem by the
// view's backend, so the model itself knows nothing of payloads.
struct HistoryRow {
    QString id;           // the entry's UUID, braces-free
    QString kind;         // "text", "richText", "image", "url", "raw"
    QString previewText;  // preview, or the text itself when the preview is empty
    QString urlString;    // url entries only
    QString infoLabel;
    QString timeAgoText;
    QString sourceAppName; // already "未知来源" when absent or empty
    bool isPinned = false;
    QByteArray thumbnailPNG; // image entries: the stored thumbnail, may be empty

    bool operator==(const HistoryRow &) const = default;
};

// The list of the active tab as QML sees it. setRows() turns a new list into
// the smallest run of removals, moves and insertions it can find cheaply, so
// that the strip keeps its scroll position and the delegates of entries that
// stay (and their click state) survive an update.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        KindRole,
        PreviewTextRole,
        UrlStringRole,
        InfoLabelRole,
        TimeAgoTextRole,
        SourceAppNameRole,
        IsPinnedRole,
        HasThumbnailRole,
        ThumbnailSourceRole,
        KindIconRole,
    };

    explicit HistoryListModel(QObject *parent = nullptr);

    // The thumbnails of the rows are handed to this provider with every new
    // list (and those of rows gone are dropped from it).
    void setThumbnailProvider(ThumbnailImageProvider *provider);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    const QVector<HistoryRow> &rows() const { return m_rows; }
    void setRows(const QVector<HistoryRow> &rows);

    // Symbol name of the kind icon of a card footer.
    static QString kindIcon(const QString &kind);

signals:
    // Emitted once per setRows() when the length differs, after all rows
    // are in place (observers never see an intermediate length).
    void countChanged();

private:
    QString thumbnailSource(const HistoryRow &row) const;

    QVector<HistoryRow> m_rows;
    ThumbnailImageProvider *m_thumbnails = nullptr;
    quint64 m_revision = 0;
};

} // namespace kelvo
