#pragma once

#include "interpreter/batch.h"
#include "interpreter/console.h"
#include "interpreter/line_report.h"

#include <string>
#include <string_view>
#include <vector>

namespace xcpycmd {

// Runs one XCOPY command with the given arguments; questions are answered from the console's
// input. Reads COPYCMD from the environment. Returns the exit status (XCopyStatus), once what
// the line copied is on the destination's disk. In the console's preview mode nothing is
// written: the line's plan goes to the progress channel.
int runXCopy(const std::vector<Arg>& args, Console& console);

// Refuses an XCOPY line with `message` before it runs, as a bad command line: nothing is
// copied, and a preview tells "refused bad-command". Returns kBadCommand.
int refuseXCopy(const std::string& message, Console& console);

// File name matching with * and ?, ignoring the case of ASCII letters. "*.*" matches every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);

} // namespace xcpycmd
