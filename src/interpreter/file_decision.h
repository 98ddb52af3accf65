#pragma once

#include "interpreter/xcopy_options.h"

#include <functional>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>

namespace xcpycmd {

// What a run does with a source file that its pattern and exclusions selected.
enum class FileVerdict {
    Copy,
    Skip,           // /D:date, /D, /U
    FolderInTheWay, // the destination name is a folder
    SameFile,       // the destination is the source itself
    ReadOnly,       // a read-only destination without /R
};

// The time steps of the destination file systems, measured or looked up once per device.
class TimeSteps {
public:
    explicit TimeSteps(bool mayWrite) : mayWrite_(mayWrite) {}
    long of(dev_t device, int dirFd);

private:
    bool mayWrite_;
    std::unordered_map<dev_t, long> steps_;
};

// Whether /D copies `source` over `copy` in the folder `dstFd`: the source is newer at the
// destination's time step, or the copy has the source's time but another size (left by a cut,
// another tool or a failed copy), so it cannot be the source's bytes.
bool isCopyOutdated(const struct stat& source, const struct stat& copy, int dstFd,
                    TimeSteps& steps);

// The run's decision for one file; `target` is null where the destination has no such name.
// `outdated` is the /D test, asked only when /D and the target exist.
FileVerdict decideFile(const XCopyOptions& options, const struct stat& source,
                       const struct stat* target, const std::function<bool()>& outdated);

} // namespace xcpycmd
