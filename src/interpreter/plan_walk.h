#pragma once

#include "interpreter/progress.h"
#include "interpreter/xcopy_options.h"

#include <functional>
#include <string>
#include <sys/stat.h>

namespace xcpycmd {

// What one XCOPY line walks, as its copy engine has resolved the command line.
struct PlanScope {
    const XCopyOptions& options;
    std::string sourceDir;    // the folder walked
    std::string shownSource;  // its path as shown and matched by exclusions ("" or ends in '/')
    std::string destDir;      // its counterpart, which need not exist
    std::string destFileName; // not empty: every file goes to this one name in destDir
    std::string pattern;
    bool literalName = false; // the pattern names one file exactly
    bool recursive = false;
    std::function<bool(const std::string&)> excluded; // shown path; folders end in '/'
    // For /D: whether the copy in the destination folder `dstFd` is outdated.
    std::function<bool(const struct stat& source, const struct stat& copy, int dstFd)> outdated;
    // When set, told the files and bytes found so far a few times a second.
    std::function<void(const CopyAmount& sofar)> scanned;
};

struct PlanResult {
    CopyAmount copy;        // what the line is going to copy
    std::int64_t found = 0; // the files its pattern and exclusions select, copied or not
};

// The files and bytes the line is going to copy: the copy's own decision for each file
// (pattern, exclusions, /D, /U, /R, /T, ...) without reading or writing any of them and without
// a word on the console. Files a question may still turn down are counted. The folders are
// shared among as many threads as the copy will use, which sit idle meanwhile.
PlanResult planCopy(const PlanScope& scope);

} // namespace xcpycmd
