#pragma once

#include <QString>

#include <functional>

namespace kelvo {

// One line on standard output, flushed at once.
void logLine(const QString &line);

// Tests capture the lines instead; pass nullptr to restore standard output.
void setLogSink(std::function<void(const QString &)> sink);

} // namespace kelvo
