#include "platform/MimeSnapshot.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QStringDecoder>

namespace kelvo {

namespace {

struct Alias {
    QString type;
    QStringList mimes;
};

const QList<Alias> &aliasTable()
{
    static const QList<Alias> table = {
        {PasteboardType::String,
         {QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain;charset=utf-8"),
          QStringLiteral("text/plain"), QStringLiteral("STRING"), QStringLiteral("TEXT")}},
        {PasteboardType::RTF, {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")}},
        {PasteboardType::HTML, {QStringLiteral("text/html")}},
        {PasteboardType::PNG, {QStringLiteral("image/png")}},
        {PasteboardType::TIFF, {QStringLiteral("image/tiff")}},
        {PasteboardType::FileURL, {QStringLiteral("text/uri-list")}},
        {PasteboardType::PDF, {QStringLiteral("application/pdf")}},
    };
    return table;
}

constexpr qint64 kMaxImagePixels = qint64(16384) * 16384;

class SnapshotItem final : public PasteboardItemReader {
public:
    explicit SnapshotItem(std::shared_ptr<const MimeSnapshot> s) : s_(std::move(s)) {}
    QStringList types() const override { return s_->typeList; }
    std::optional<QString> stringForType(const QString &type) const override { return s_->stringForType(type); }
    std::optional<QByteArray> dataForType(const QString &type) const override { return s_->dataForType(type); }

private:
    std::shared_ptr<const MimeSnapshot> s_;
};

class SnapshotContents final : public PasteboardContents {
public:
    explicit SnapshotContents(std::shared_ptr<const MimeSnapshot> s) : s_(std::move(s)) {}
    std::optional<QStringList> types() const override { return s_->typeList; }
    std::optional<QString> stringForType(const QString &type) const override { return s_->stringForType(type); }
    std::optional<QByteArray> dataForType(const QString &type) const override { return s_->dataForType(type); }
    std::optional<QList<std::shared_ptr<const PasteboardItemReader>>> items() const override
    {
        QList<std::shared_ptr<const PasteboardItemReader>> list;
        if (!s_->typeList.isEmpty())
            list.append(std::make_shared<SnapshotItem>(s_));
        return list;
    }
    std::optional<QStringList> textObjects() const override
    {
        if (auto s = s_->stringForType(PasteboardType::String))
            return QStringList{*s};
        return std::nullopt;
    }
    std::optional<QByteArray> imagePNG() const override { return s_->imagePNG(); }

private:
    std::shared_ptr<const MimeSnapshot> s_;
};

} // namespace

QStringList mimeTypesForType(const QString &type)
{
    for (const Alias &a : aliasTable())
        if (a.type == type)
            return a.mimes;
    return {type};
}

QString typeForMimeType(const QString &mime)
{
    for (const Alias &a : aliasTable())
        if (a.mimes.contains(mime))
            return a.type;
    return mime;
}

bool isMetaMimeType(const QString &mime)
{
    static const QStringList meta = {
        QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"), QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"), QStringLiteral("DELETE"), QStringLiteral("INCR"),
        QStringLiteral("INSERT_SELECTION"), QStringLiteral("INSERT_PROPERTY"), QStringLiteral("ATOM_PAIR"),
        QStringLiteral("CLIENT_WINDOW"), QStringLiteral("HOST_NAME"), QStringLiteral("LENGTH"),
        QStringLiteral("LIST_LENGTH"), QStringLiteral("NAME"), QStringLiteral("OWNER_OS"),
        QStringLiteral("PROCESS"), QStringLiteral("TASK"), QStringLiteral("USER"),
        QStringLiteral("_QT_SELECTION"), QStringLiteral("_GTK_TEXT_BUFFER_CONTENTS")};
    return meta.contains(mime);
}

void MimeSnapshot::chooseTypes(const QStringList &offered)
{
    // The first MIME type of the table's order wins, whatever order the
    // source offered them in; types keep the order of their first offer.
    for (const QString &mime : offered) {
        if (mime.isEmpty() || isMetaMimeType(mime))
            continue;
        const QString type = typeForMimeType(mime);
        if (mimeOf.contains(type))
            continue;
        QString best = mime;
        for (const QString &candidate : mimeTypesForType(type))
            if (offered.contains(candidate)) {
                best = candidate;
                break;
            }
        typeList.append(type);
        mimeOf.insert(type, best);
    }
}

std::optional<QString> MimeSnapshot::stringForType(const QString &type) const
{
    const auto it = data.constFind(type);
    if (it == data.constEnd())
        return std::nullopt;
    const QString mime = mimeOf.value(type);
    if (mime == QLatin1String("STRING"))
        return QString::fromLatin1(*it);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString s = utf8(*it);
    if (utf8.hasError() && (mime == QLatin1String("TEXT") || mime == QLatin1String("text/plain")))
        return QString::fromLatin1(*it);
    return s;
}

std::optional<QByteArray> MimeSnapshot::dataForType(const QString &type) const
{
    const auto it = data.constFind(type);
    if (it == data.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QByteArray> MimeSnapshot::imagePNG() const
{
    static const char *const order[] = {"image/png", "image/tiff", "image/bmp", "image/jpeg", "image/gif", "image/webp"};
    for (const char *mime : order) {
        const auto it = mimeData.constFind(QString::fromLatin1(mime));
        if (it == mimeData.constEnd() || it->isEmpty())
            continue;
        QBuffer buffer;
        buffer.setData(*it);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, QByteArray(mime).mid(6));
        reader.setAllocationLimit(1024);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > kMaxImagePixels)
            continue;
        const QImage image = reader.read();
        if (image.isNull())
            continue;
        if (qstrcmp(mime, "image/png") == 0)
            return *it;
        QByteArray png;
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        if (image.save(&out, "PNG"))
            return png;
    }
    return std::nullopt;
}

std::shared_ptr<const MimeSnapshot> snapshotOfWrite(const PasteboardWriteItem &representations)
{
    auto snapshot = std::make_shared<MimeSnapshot>();
    for (const PasteboardWriteRepresentation &r : representations) {
        if (snapshot->data.contains(r.type))
            continue;
        const QString mime = mimeTypesForType(r.type).first();
        snapshot->typeList.append(r.type);
        snapshot->mimeOf.insert(r.type, mime);
        snapshot->data.insert(r.type, r.data);
        snapshot->mimeData.insert(mime, r.data);
    }
    return snapshot;
}

std::shared_ptr<const PasteboardContents> contentsOf(std::shared_ptr<const MimeSnapshot> snapshot)
{
    return std::make_shared<SnapshotContents>(std::move(snapshot));
}

} // namespace kelvo
