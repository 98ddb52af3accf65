#pragma once

#include <QString>

// Why a file could not be written, shared by every writer so that each names causes alike.
namespace xcpy {

enum class WriteCause { MissingFolder, NoPermission, DiskFull, ReadOnlyFileSystem, Other };

// ENOENT/ENOTDIR missing folder, EACCES/EPERM no permission, ENOSPC/EDQUOT/EFBIG disk full
// (a file-size limit counts as full), EROFS read-only file system; anything else Other.
WriteCause writeCauseOf(int errorNumber);

// The nearest folder of path that exists: where a folder that could not be made was refused.
QString nearestExistingFolder(QString path);

} // namespace xcpy
