#pragma once

#include <QString>

#include <optional>

namespace kelvo {

// What the uniform type registry knows of one type identifier.
struct TypeConformance {
    bool text = false;
    bool image = false;
    bool url = false;
};

class TypeRegistry {
public:
    virtual ~TypeRegistry() = default;
    // nullopt when the registry does not know the identifier.
    virtual std::optional<TypeConformance> lookup(const QString &identifier) const = 0;
};

} // namespace kelvo
