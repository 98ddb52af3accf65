#include "interpreter/file_decision.h"

#include "interpreter/time_step.h"

namespace xcpycmd {

long TimeSteps::of(dev_t device, int dirFd) {
    auto step = steps_.find(device);
    if (step == steps_.end())
        step = steps_.emplace(device, timeStepOf(dirFd, mayWrite_)).first;
    return step->second;
}

bool isCopyOutdated(const struct stat& source, const struct stat& copy, int dstFd,
                    TimeSteps& steps) {
    const bool sameSize = source.st_size == copy.st_size;
    // Differences past every file system's step need no step to be judged.
    if (isNewerAtStep(source.st_mtim, copy.st_mtim, kCoarsestTimeStep))
        return true;
    if (isNewerAtStep(copy.st_mtim, source.st_mtim, kCoarsestTimeStep))
        return false;
    const bool sourceNewer = isNewerAtStep(source.st_mtim, copy.st_mtim, 1);
    if (!sourceNewer && sameSize)
        return false;
    if (!sourceNewer && !isNewerAtStep(copy.st_mtim, source.st_mtim, 1))
        return true; // the very same time, another size
    const long step = steps.of(copy.st_dev, dstFd);
    if (isNewerAtStep(source.st_mtim, copy.st_mtim, step))
        return true;
    return !sameSize && !isNewerAtStep(copy.st_mtim, source.st_mtim, step);
}

FileVerdict decideFile(const XCopyOptions& o, const struct stat& source, const struct stat* target,
                       const std::function<bool()>& outdated) {
    if (o.sinceDate && source.st_mtime < *o.sinceDate)
        return FileVerdict::Skip;
    if (!target)
        return o.existingOnly ? FileVerdict::Skip : FileVerdict::Copy;
    if (o.newerOnly && !outdated())
        return FileVerdict::Skip;
    if (S_ISDIR(target->st_mode))
        return FileVerdict::FolderInTheWay;
    if (target->st_dev == source.st_dev && target->st_ino == source.st_ino)
        return FileVerdict::SameFile;
    if (!o.overwriteReadOnly && !o.listOnly && S_ISREG(target->st_mode) &&
        (target->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return FileVerdict::ReadOnly;
    return FileVerdict::Copy;
}

} // namespace xcpycmd
