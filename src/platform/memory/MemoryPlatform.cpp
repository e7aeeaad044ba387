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

void MemoryPasteboard::clearContents()
{
    writeLog.append(QStringLiteral("clear"));
    current = std::make_shared<MemoryContents>();
    current->itemList = QList<std::shared_ptr<const PasteboardItemReader>>{};
    ++changeCount_;
}

void MemoryPasteboard::declareTypes(const QStringList &types)
{
    writeLog.append(QStringLiteral("declare ") + types.join(QLatin1Char(',')));
    auto next = std::make_shared<MemoryContents>();
    next->typeList = types;
    auto item = std::make_shared<MemoryItem>();
    item->typeList = types;
    next->itemList = QList<std::shared_ptr<const PasteboardItemReader>>{item};
    current = next;
    ++changeCount_;
}

static MemoryItem *firstItem(MemoryContents &contents)
{
    if (!contents.itemList || contents.itemList->isEmpty())
        return nullptr;
    return const_cast<MemoryItem *>(dynamic_cast<const MemoryItem *>(contents.itemList->first().get()));
}

// Setting a type that was not declared adds it, as a cleared clipboard
// accepts any type.
static void offerType(MemoryContents &contents, const QString &type)
{
    if (!contents.typeList)
        contents.typeList = QStringList();
    if (!contents.typeList->contains(type))
        contents.typeList->append(type);
    if (!contents.itemList || contents.itemList->isEmpty())
        contents.itemList = QList<std::shared_ptr<const PasteboardItemReader>>{std::make_shared<MemoryItem>()};
    if (auto *item = firstItem(contents); item && !item->typeList.contains(type))
        item->typeList.append(type);
}

bool MemoryPasteboard::setString(const QString &string, const QString &type)
{
    writeLog.append(QStringLiteral("string ") + type);
    offerType(*current, type);
    current->strings.insert(type, string);
    current->data.insert(type, string.toUtf8());
    if (auto *item = firstItem(*current)) {
        item->strings.insert(type, string);
        item->data.insert(type, string.toUtf8());
    }
    return true;
}

bool MemoryPasteboard::setData(const QByteArray &data, const QString &type)
{
    writeLog.append(QStringLiteral("data ") + type);
    offerType(*current, type);
    current->data.insert(type, data);
    if (auto *item = firstItem(*current))
        item->data.insert(type, data);
    return true;
}

bool MemoryPasteboard::writeObjects(const QList<PasteboardWriteItem> &items)
{
    writeLog.append(QStringLiteral("items %1").arg(items.size()));
    current = std::make_shared<MemoryContents>();
    QList<std::shared_ptr<const PasteboardItemReader>> list;
    QStringList all;
    for (const auto &reps : items) {
        auto item = std::make_shared<MemoryItem>();
        for (const auto &rep : reps) {
            item->typeList.append(rep.type);
            item->data.insert(rep.type, rep.data);
            if (!all.contains(rep.type)) {
                all.append(rep.type);
                current->data.insert(rep.type, rep.data);
            }
        }
        list.append(item);
    }
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
