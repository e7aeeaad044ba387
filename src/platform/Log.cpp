#include "platform/Log.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace kelvo {
namespace {
QMutex sinkMutex;
std::function<void(const QString &)> &sink()
{
    static std::function<void(const QString &)> s;
    return s;
}
} // namespace

void logLine(const QString &line)
{
    QMutexLocker lock(&sinkMutex);
    if (sink()) {
        sink()(line);
        return;
    }
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setLogSink(std::function<void(const QString &)> s)
{
    QMutexLocker lock(&sinkMutex);
    sink() = std::move(s);
}

} // namespace kelvo
