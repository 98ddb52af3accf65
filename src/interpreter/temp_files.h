#pragma once

#include "interpreter/folder_handle.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace xcpycmd {

// Long temporary names start with this; a file of that name in a destination folder is a
// leftover of a copy that was killed, or the file of a copy still going.
inline constexpr const char* kTempPrefix = ".xcpycmd-tmp-";

// A new temporary name of this process, ".xcpycmd-tmp-PID.START-RANDOM": START is the process's
// start time, so that a later process given the same id cannot pass for it.
std::string newTempName();

// Whether `name` is a temporary name of this program.
bool isTempName(const char* name);

// True for the names a folder walk passes over: "." and "..", and our own temporary files,
// which are no data.
inline bool isSkippedInWalk(const char* name) {
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        return true;
    return isTempName(name);
}

// Removes temporary files that ended runs of this program left in the folder `dir`; a file of a
// run that is still going is left alone.
void removeLeftoverTemporaries(int dir);

// The named temporary files that exist now, so that an interrupt can remove them before the
// process ends. Signals are per process, so there is one list per process.
class TempRegistry {
public:
    static TempRegistry& instance();

    // Creates the temporary `name` in `dir` with `create` (a descriptor, or -1 with errno) and
    // lists it; returns the descriptor, or -1 with errno (EINTR when the process is ending).
    int create(const std::shared_ptr<const FolderHandle>& dir, const std::string& name,
               const std::function<int()>& create);
    // The temporary was renamed or removed.
    void forget(const FolderHandle& dir, const std::string& name);
    // Stops new temporaries, waits briefly for those being created and removes all listed.
    void removeAllForExit();

private:
    TempRegistry() = default;
    struct Impl;
    Impl& impl();
};

} // namespace xcpycmd
