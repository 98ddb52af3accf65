#include "common/write_cause.h"

#include <QFileInfo>

#include <cerrno>

namespace xcpy {

WriteCause writeCauseOf(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
        return WriteCause::MissingFolder;
    case EACCES:
    case EPERM:
        return WriteCause::NoPermission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return WriteCause::DiskFull;
    case EROFS:
        return WriteCause::ReadOnlyFileSystem;
    default:
        return WriteCause::Other;
    }
}

QString nearestExistingFolder(QString path) {
    while (!QFileInfo::exists(path)) {
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
}

} // namespace xcpy
