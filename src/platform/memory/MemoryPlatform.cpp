#include "platform/memory/MemoryPlatform.h"

namespace kelvo::memory {

std::optional<QString> MemoryItem::stringForType(const QString &type) const
{
    auto it = strings.find(type);
    if (it == strings.end())
        return std::nullopt;
    return *it;
}

std::optional<QByteArray> MemoryItem::dataForType(const QString &type) const
{
    auto it = data.find(type);
    if (it == data.end())
        return std::nullopt;
    return *it;
}

std::optional<QString> MemoryContents::stringForType(const QString &type) const
{
    auto it = strings.find(type);
    if (it == strings.end())
        return std::nullopt;
    return *it;
}

std::optional<QByteArray> MemoryContents::dataForType(const QString &type) const
{
    auto it = data.find(type);
    if (it == data.end())
        return std::nullopt;
    return *it;
}

std::shared_ptr<MemoryContents> MemoryContents::withData(const QList<std::pair<QString, QByteArray>> &flavours,
                                                         const QStringList &textTypes)
{
    auto contents = std::make_shared<MemoryContents>();
    auto item = std::make_shared<MemoryItem>();
    QStringList types;
    for (const auto &[type, bytes] : flavours) {
        types.append(type);
        contents->data.insert(type, bytes);
        item->data.insert(type, bytes);
        if (textTypes.contains(type)) {
            contents->strings.insert(type, QString::fromUtf8(bytes));
            item->strings.insert(type, QString::fromUtf8(bytes));
        }
    }
    item->typeList = types;
    contents->typeList = types;
    contents->itemList = QList<std::shared_ptr<const PasteboardItemReader>>{item};
    return contents;
}

void MemoryPasteboard::fetchContents(ContentsCallback callback)
{
    ++fetchCount;
    std::shared_ptr<const PasteboardContents> snapshot;
    if (!fetchFails_)
        snapshot = current;
    if (deferLoop_)
        deferLoop_->post([callback = std::move(callback), snapshot] { callback(snapshot); });
    else
        callback(snapshot);
}

void MemoryPasteboard::copy(std::shared_ptr<MemoryContents> contents)
{
    current = std::move(contents);
    ++changeCount_;
}

bool MemoryPasteboard::write(const QList<PasteboardWriteItem> &items)
{
    if (refuseWrites)
        return false;
    QStringList described;
    current = std::make_shared<MemoryContents>();
    QList<std::shared_ptr<const PasteboardItemReader>> list;
    QStringList all;
    for (const auto &reps : items) {
        auto item = std::make_shared<MemoryItem>();
        for (const auto &rep : reps) {
            item->typeList.append(rep.type);
            item->data.insert(rep.type, rep.data);
            item->strings.insert(rep.type, QString::fromUtf8(rep.data));
            if (!all.contains(rep.type)) {
                all.append(rep.type);
                current->data.insert(rep.type, rep.data);
                current->strings.insert(rep.type, QString::fromUtf8(rep.data));
            }
        }
        described.append(item->typeList.join(QLatin1Char(',')));
        list.append(item);
    }
    writeLog.append((QStringLiteral("write ") + described.join(QStringLiteral(" | "))).trimmed());
    current->typeList = all;
    current->itemList = list;
    ++changeCount_;
    return true;
}

std::optional<QVariant> MemoryPreferences::object(const QString &key) const
{
    auto it = values.find(key);
    if (it == values.end())
        return std::nullopt;
    return *it;
}

void MemoryPreferences::setValue(const QString &key, const QVariant &value)
{
    values.insert(key, value);
    emit changed();
}

void MemoryPreferences::remove(const QString &key)
{
    values.remove(key);
    emit changed();
}

} // namespace kelvo::memory
