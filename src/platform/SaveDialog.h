#pragma once

#include <QString>

#include <optional>

namespace kelvo {

// The modal save dialog restricted to PNG files.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // Runs modally; nullopt when the user cancels or no location results.
    virtual std::optional<QString> choosePNGLocation(const QString &proposedName) = 0;
};

} // namespace kelvo
