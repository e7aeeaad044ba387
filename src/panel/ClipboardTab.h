#pragma once

#include <QString>

#include <array>
#include <optional>

namespace kelvo {

// The two tabs of the history panel.
enum class ClipboardTab { history, pinned };

inline constexpr std::array<ClipboardTab, 2> kAllClipboardTabs{ClipboardTab::history, ClipboardTab::pinned};

inline QString rawValue(ClipboardTab tab)
{
    return tab == ClipboardTab::pinned ? QStringLiteral("pinned") : QStringLiteral("history");
}

// Only the exact raw values name a tab.
inline std::optional<ClipboardTab> clipboardTabFromRawValue(const QString &raw)
{
    if (raw == QLatin1String("history"))
        return ClipboardTab::history;
    if (raw == QLatin1String("pinned"))
        return ClipboardTab::pinned;
    return std::nullopt;
}

} // namespace kelvo
