#pragma once

#include "interpreter/batch.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace xcpycmd {

struct XCopyOptions {
    std::string source;
    std::string destination;              // empty: the current folder
    bool newerOnly = false;               // /D
    std::optional<std::time_t> sinceDate; // /D:m-d-y, local midnight
    bool subfolders = false;              // /S (and /E)
    bool emptyFolders = false;            // /E
    bool assumeFolder = false;            // /I
    bool overwriteWithoutAsking = false;  // /Y, /-Y, or COPYCMD
    bool continueOnError = false;         // /C
    bool quiet = false;                   // /Q
    bool fullNames = false;               // /F
    bool listOnly = false;                // /L
    bool askEach = false;                 // /P
    bool waitFirst = false;               // /W
    bool treeOnly = false;                // /T
    bool existingOnly = false;            // /U
    bool overwriteReadOnly = false;       // /R
    bool keepAttributes = false;          // /K
    bool copyLinks = false;               // /B
    std::vector<std::string> excludeFiles;
    bool help = false; // /?
};

struct XCopyParse {
    XCopyOptions options;
    std::string error; // empty when the arguments are sound

    bool ok() const { return error.empty(); }
};

// Reads the arguments of one XCOPY command. `copycmd` is the COPYCMD default (/Y or /-Y), which
// a switch on the command line overrides.
XCopyParse parseXCopyArguments(const std::vector<Arg>& args, const char* copycmd);

} // namespace xcpycmd
