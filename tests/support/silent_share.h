#pragma once

#include "support/fuse_script.h"

#include <QTemporaryDir>

namespace xcpy::test {

// A mounted file system whose every lookup below its root blocks, as a network share that stopped
// answering does. `unavailable` says why it could not be mounted.
class SilentShare {
public:
    QString path(const QString& name) const { return mountPoint_.filePath(name); }
    // Whether it holds a lookup: the caller then waits in the system until the share goes.
    bool holdsALookup() { return fuse_.said("held"); }

private:
    QTemporaryDir mountPoint_;
    FuseScript fuse_{XCPY_SILENT_SHARE, mountPoint_.path().toStdString(), {}};

public:
    const QString unavailable = QString::fromStdString(fuse_.unavailable);
};

} // namespace xcpy::test
