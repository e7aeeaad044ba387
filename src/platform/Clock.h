#pragma once

#include <QtGlobal>

namespace kelvo {

// Seconds since 2001-01-01 00:00:00 UTC, with fraction.
using Timestamp = double;
inline constexpr double kUnixToReferenceOffset = 978307200.0;

class Clock {
public:
    virtual ~Clock() = default;
    // Wall-clock time.
    virtual Timestamp now() const = 0;
    // Monotonic milliseconds, for intervals and caches.
    virtual qint64 monotonicMs() const = 0;
};

} // namespace kelvo
