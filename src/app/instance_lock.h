#pragma once

#include <QLockFile>
#include <QString>

namespace xcpy {

// The lock file that lets one instance of the program run per user: in the user's runtime folder,
// else in the shared temporary folder under a name that carries the user id.
QString instanceLockPath(const QString& runtimeFolder, const QString& tempFolder,
                         const QString& baseName, uint userId);

// Takes the instance lock for as long as it lives. Only a lock that another running instance of
// this user holds counts as taken; a lock that cannot be made at all (a read-only folder, a file
// of another user) lets the program start without one.
class InstanceLock {
public:
    explicit InstanceLock(const QString& path);

    bool heldByAnotherInstance() const { return heldByAnotherInstance_; }

private:
    QLockFile lock_;
    bool heldByAnotherInstance_ = false;
};

} // namespace xcpy
