#pragma once

#include "interpreter/console.h"
#include "interpreter/xcopy_options.h"

#include <filesystem>
#include <string>

namespace xcpycmd {

// What one XCOPY line copies where, resolved from its source and destination as typed.
struct LineScope {
    std::string baseDir;      // the folder walked
    std::string shownBase;    // its path as shown ("" or ends in '/')
    std::string pattern;      // of the names copied
    bool literalName = false; // the source named one file: match it exactly
    bool singleFile = false;
    bool recursive = false;
    std::string dest;        // as typed, "." when empty
    bool destIsFile = false; // every match goes to the one file destFileName
    std::string destFileName;
    std::string destRoot;                // the destination folder
    std::filesystem::path destCanonical; // empty when it could not be resolved
};

// Why a line copies nothing before its walk: the status, and a word for programs that preview
// a run ("source-missing", "source-unreadable", "drive-missing", "bad-command", "no-files",
// "not-answered").
struct LineRefusal {
    int status = 0;
    const char* reason = "";
    bool showCount = false; // the line still ends with its (empty) count
};

// Whether `inner` lies below `outer`, by their text.
bool isBelow(const std::filesystem::path& inner, const std::filesystem::path& outer);

// Resolves the line's source and destination; asks whether a missing destination is a file
// or a folder, except in a preview, which takes what the source suggests. On refusal the line's
// messages are shown and `refusal` says why.
bool resolveLine(const XCopyOptions& options, Console& console, bool preview, LineScope& scope,
                 LineRefusal& refusal);

} // namespace xcpycmd
