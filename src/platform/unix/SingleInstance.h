#pragma once

#include <QString>

namespace kelvo {

// One running program per user session: an exclusive lock on a file in the
// runtime directory. The lock belongs to the open file description, so the
// kernel releases it when the process ends in any way (crash, SIGKILL), and a
// stale lock file never blocks the next start.
class SingleInstanceLock {
public:
    // `lockPath` empty: `defaultLockPath()`.
    explicit SingleInstanceLock(QString lockPath = QString());
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;

    // True when this process now holds the lock (or already did). False when
    // another process holds it, or the file cannot be opened.
    bool tryLock();
    bool isLocked() const { return fd_ >= 0; }
    // Process id recorded by the holder, 0 when unknown.
    qint64 holderPid() const;
    QString path() const { return path_; }

    // $XDG_RUNTIME_DIR/kelvo.lock, or a per-user file in the temporary
    // directory when the session has no runtime directory.
    static QString defaultLockPath();

private:
    QString path_;
    int fd_ = -1;
};

} // namespace kelvo
