#pragma once

#include <QString>

namespace kelvo {

// The file name of a local process's program ("keepassxc"): the target of
// /proc/PID/exe, else, for another user's process, the name the kernel
// keeps for it. "" when the process is unknown or gone.
QString programOfProcess(qint64 pid);

} // namespace kelvo
