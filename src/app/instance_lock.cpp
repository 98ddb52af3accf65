#include "app/instance_lock.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace xcpy {

QString instanceLockPath(const QString& runtimeFolder, const QString& tempFolder,
                         const QString& baseName, uint userId) {
    if (!runtimeFolder.isEmpty())
        return QDir(runtimeFolder).filePath(baseName + QStringLiteral(".lock"));
    return QDir(tempFolder).filePath(QStringLiteral("%1-%2.lock").arg(baseName).arg(userId));
}

InstanceLock::InstanceLock(const QString& path) : lock_(path) {
    if (lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError)
        return;
    // The file is there and was not taken as stale. It stands for a running instance only when
    // it is this user's and names a live process; a stale file that could not be removed, or one
    // of another user, does not keep the program from starting.
    qint64 pid = 0;
    if (QFileInfo(path).ownerId() != ::geteuid() || !lock_.getLockInfo(&pid, nullptr, nullptr))
        return;
    heldByAnotherInstance_ = pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace xcpy
