#pragma once

#include "interpreter/batch.h"
#include "interpreter/console.h"

#include <string_view>
#include <vector>

namespace xcpycmd {

// Exit statuses of an XCOPY command.
enum XCopyStatus : int {
    kCopyDone = 0,
    kNoFilesFound = 1,
    kNotAnswered = 2, // a question met the end of input: as when the user breaks the copy off
    kBadCommand = 4,  // bad switches, syntax, a missing source, a refused copy
    kWriteFailed = 5,
};

// Runs one XCOPY command with the given arguments; questions are answered from the console's
// input. Reads COPYCMD from the environment. Returns the exit status.
int runXCopy(const std::vector<Arg>& args, Console& console);

// File name matching with * and ?, ignoring the case of ASCII letters. "*.*" matches every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);

} // namespace xcpycmd
