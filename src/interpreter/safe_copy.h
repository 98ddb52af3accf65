#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace xcpycmd {

// Temporary files start with this; a file of that name in a destination folder is a leftover
// of a copy that was killed.
inline constexpr const char* kTempPrefix = ".xcpycmd-tmp-";

// True for the names a folder walk passes over: "." and "..", and our own temporary files,
// which are no data.
inline bool isSkippedInWalk(const char* name) {
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        return true;
    return std::string_view(name).starts_with(kTempPrefix);
}

enum class CopyStage { OpenSource, ReadSource, CreateTemp, Write, Finish, Rename };

struct CopyError {
    CopyStage stage;
    int error; // errno
};

// Copies srcName (relative to srcDir) to dstName (relative to dstDir) through a temporary file
// in dstDir that is renamed over dstName only when complete: a failure or an interrupt leaves
// an older dstName untouched. The copy gets the source's modification time and the permission
// bits `mode`, unless the destination cannot hold permissions (FAT, NTFS, network shares),
// which is no failure. With asLink a symbolic link is copied as a link. targetMissing tells that
// dstName did not exist when looked at. Returns false with `error` set on failure.
bool copyFileSafely(int srcDir, const char* srcName, bool asLink, int dstDir, const char* dstName,
                    bool targetMissing, mode_t mode, CopyError& error);

// Removes temporary files that killed runs of this program left in dir; a file of a run that
// is still going is left alone.
void removeLeftoverTemporaries(int dir);

// Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the temporary files being written before
// the program ends.
void installInterruptCleanup();

// The process's file creation mask; first called before any worker thread starts.
mode_t processUmask();

// Copying threads besides the walking one, at most.
inline constexpr unsigned kMaxCopyThreads = 64;

// Whether large files are copied in two halves at once: only where the copy runs on several
// threads anyway, so one worker copies exactly as one thread always did.
void splitLargeFiles(bool split);

// Tells the calling worker thread its own place (1 to kMaxCopyThreads) for the temporary file
// it writes; the walking thread has place 0.
void registerCopyThread(unsigned slot);

// Limits the copy rate to this many KiB per second (0: no limit), e.g. to spare a slow network
// share. XCPYCMD_THROTTLE_KIB sets it for a run; the interrupt tests use it to catch a copy
// halfway.
void setCopyThrottle(unsigned long kibPerSecond);

} // namespace xcpycmd
