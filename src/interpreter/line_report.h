#pragma once

#include "interpreter/console.h"
#include "interpreter/safe_copy.h"
#include "interpreter/xcopy_options.h"

#include <string>
#include <sys/types.h>

namespace xcpycmd {

// Exit statuses of an XCOPY command.
enum XCopyStatus : int {
    kCopyDone = 0,
    kNoFilesFound = 1,
    kNotAnswered = 2, // a question met the end of input: as when the user breaks the copy off
    kBadCommand = 4,  // bad switches, syntax, a missing source, a refused copy
    kWriteFailed = 5,
};

// What one XCOPY line says and counts: the names it copied, its errors, its status and the
// count at its end.
class LineReport {
public:
    LineReport(const XCopyOptions& options, Console& console) : o_(options), con_(console) {}

    // An error of the line: shown, the status raised; without /C the line stops.
    void error(int status, const std::string& message);
    // A file that could not be copied, by the stage that failed.
    void copyFailed(const std::string& srcPath, const std::string& dstPath, const CopyError& error);
    // A question met the end of input: the file is not copied, and the run must not look like
    // a success to the scheduler that started it.
    void notAnswered(const std::string& path);
    // A file that is copied (with /L: that would be copied): its name is listed and counted.
    void copied(const std::string& srcPath, const std::string& dstPath, off_t bytes);

    void fileFound() { ++found_; }
    void folderMade() { ++foldersMade_; }
    bool stopped() const { return stopped_; }
    long found() const { return found_; }
    int status() const { return status_; }
    std::string summary() const;

private:
    const XCopyOptions& o_;
    Console& con_;
    int status_ = kCopyDone;
    bool stopped_ = false;
    long found_ = 0;
    long copied_ = 0;
    long foldersMade_ = 0;
};

} // namespace xcpycmd
