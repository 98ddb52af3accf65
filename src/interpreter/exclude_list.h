#pragma once

#include "interpreter/substring_matcher.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace xcpycmd {

// The /EXCLUDE: lists of one XCOPY line. Each line that is not blank excludes every file or
// folder whose shown path contains it, ASCII letters compared without case; '\' in a line
// stands for '/', and folders are matched with a '/' at the end.
class ExcludeList {
public:
    // Totals over all lists of one XCOPY line. A real list holds tens or hundreds of lines;
    // these keep a mistaken one from taking the memory of the machine.
    static constexpr std::size_t kMaxLines = 1'000'000;
    static constexpr std::size_t kMaxBytes = 16u << 20;

    // Reads the list files (UTF-8 with or without a byte-order mark, or code page 932; CR LF or
    // LF line ends). False with a message in Japanese when a file cannot be read or decoded or
    // when the lists hold more than the limits above.
    bool load(const std::vector<std::string>& files, std::string& error);

    bool excludes(std::string_view shownPath) const { return matcher_.foundIn(shownPath); }

private:
    SubstringMatcher matcher_;
};

} // namespace xcpycmd
