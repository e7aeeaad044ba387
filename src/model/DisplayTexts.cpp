#include "model/DisplayTexts.h"

#include <QCoreApplication>

#include <limits>
#include <optional>

namespace kelvo {

namespace {

QString translated(const char *source) { return QCoreApplication::translate("ClipboardItem", source); }

// `stored` read as `pattern` with a count in place of "%n", in the user's
// language; nullopt when it does not read so.
std::optional<QString> countText(const char *pattern, const QString &stored)
{
    const QString source = QString::fromUtf8(pattern);
    const qsizetype at = source.indexOf(QLatin1String("%n"));
    const QString before = source.left(at), after = source.mid(at + 2);
    if (stored.size() <= before.size() + after.size() || !stored.startsWith(before) || !stored.endsWith(after))
        return std::nullopt;
    const QString digits = stored.mid(before.size(), stored.size() - before.size() - after.size());
    bool ok = false;
    const qint64 count = digits.toLongLong(&ok);
    if (!ok || count < 0 || count > std::numeric_limits<int>::max() || digits != QString::number(count))
        return std::nullopt;
    return QCoreApplication::translate("ClipboardItem", pattern, nullptr, int(count));
}

} // namespace

QString derivedCountText(const char *pattern, qint64 count)
{
    return QString::fromUtf8(pattern).replace(QLatin1String("%n"), QString::number(count));
}

QString localizedInfoLabel(ClipboardContent::Kind kind, const QString &stored)
{
    switch (kind) {
    case ClipboardContent::Kind::Text:
    case ClipboardContent::Kind::RichText:
    case ClipboardContent::Kind::Url:
        return countText(derived::kCharacters, stored).value_or(stored);
    case ClipboardContent::Kind::Image:
        return stored == QString::fromUtf8(derived::kImage) ? translated(derived::kImage) : stored;
    case ClipboardContent::Kind::Raw:
        return countText(derived::kFormats, stored).value_or(stored);
    }
    return stored;
}

QString localizedPreview(ClipboardContent::Kind kind, const QString &stored)
{
    // Text previews are the copied text itself; an image's size in pixels
    // and bytes reads the same in every language.
    if (kind == ClipboardContent::Kind::Image && stored == QString::fromUtf8(derived::kImage))
        return translated(derived::kImage);
    if (kind == ClipboardContent::Kind::Raw && stored == QString::fromUtf8(derived::kRawContent))
        return translated(derived::kRawContent);
    return stored;
}

} // namespace kelvo
