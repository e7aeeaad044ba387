#pragma once

#include <QString>

#include <optional>

namespace kelvo {

// Starting the program when the user logs in.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    // nullopt on success, else a description of the failure.
    virtual std::optional<QString> setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

} // namespace kelvo
