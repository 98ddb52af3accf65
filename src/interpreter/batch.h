#pragma once

#include "interpreter/console.h"

#include <string>
#include <string_view>
#include <vector>

namespace xcpycmd {

// One argument of a command line. A quoted argument is always a path, never a switch.
struct Arg {
    std::string text;
    bool quoted = false;

    bool operator==(const Arg&) const = default;
};

// Replaces "%%" by "%" and "%NAME%" by the environment variable NAME (empty when it is not
// set; the name is matched exactly first, then ignoring case). Batch parameters (%0 to %9,
// %*) are empty: a batch run here has none.
std::string expandVariables(std::string_view line);

// Splits the arguments of a command: blanks separate them, double quotes group a text with
// blanks into one argument.
std::vector<Arg> splitArguments(std::string_view text);

// Decodes a batch file: UTF-8 when it starts with a byte-order mark, code page 932 otherwise.
// On failure returns false and a message in `error`.
bool decodeBatchFile(std::string_view bytes, std::string& text, std::string& error);

// Runs the lines of a decoded batch text. Returns the highest exit status of its XCOPY lines.
// A line holding a NUL byte is refused with a message, as an unknown command is; an XCOPY line
// refused so counts as one with a bad command line (4).
int runBatchText(std::string_view text, Console& console);

// Reads, decodes and runs a batch file. Exit status 1 when it cannot be read or decoded, 4 when
// it is no regular file or too large to be one.
int runBatchFile(const std::string& path, Console& console);

} // namespace xcpycmd
