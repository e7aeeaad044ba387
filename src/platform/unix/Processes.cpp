#include "platform/unix/Processes.h"

#include <QFile>
#include <QFileInfo>

namespace kelvo {

QString programOfProcess(qint64 pid)
{
    if (pid <= 0)
        return {};
    const QString target = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (!target.isEmpty())
        return QFileInfo(target).fileName();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
}

} // namespace kelvo
