#pragma once

#include "interpreter/folder_handle.h"
#include "interpreter/temp_files.h"

#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace xcpycmd {

enum class CopyStage { OpenSource, ReadSource, CreateTemp, Write, Finish, Flush, Rename };

struct CopyError {
    CopyStage stage;
    int error; // errno
};

// How a copy's data is sent to the disk as it is written.
enum class Flush {
    None,  // memory only: nothing to send
    Start, // start writing it out at once; a sync of the whole file system waits for it later
    Whole, // the file's own fsync, before it counts as written
};

// What to copy where, as the walk decided it.
struct CopyRequest {
    int srcDir = -1;
    const char* srcName = nullptr;
    bool asLink = false; // copy a symbolic link as a link
    std::shared_ptr<const FolderHandle> dstDir;
    const char* dstName = nullptr;
    bool targetMissing = false; // the final name did not exist when looked at
    mode_t mode = 0644;
    bool writeInPlace = false; // no name may be removed in the destination folder
    Flush flush = Flush::None;
};

// A complete copy that does not carry its final name yet: a nameless file kept open, or a named
// temporary in the destination folder; or a copy written in place under its final name. It
// already has the source's time and the permissions.
struct WrittenCopy {
    int fd = -1;          // open until committed or discarded; -1 for a link or a copy in place
    std::string tempName; // empty for a nameless file
    bool inPlace = false;
    struct stat source {};

    WrittenCopy() = default;
    WrittenCopy(WrittenCopy&& other) noexcept { *this = std::move(other); }
    WrittenCopy& operator=(WrittenCopy&& other) noexcept;
    ~WrittenCopy(); // closes a copy left uncommitted; a named temporary stays for discard()
};

// Copies the source into a new copy that no one can take for the real file yet: a failure or an
// interrupt leaves an older file of the final name untouched. The copy gets the source's
// modification time and the permission bits `mode`, unless the destination cannot hold
// permissions (FAT, NTFS, network shares), which is no failure. Returns false with `error` set.
// Written in place, the final name holds an old time (1980) until the copy is complete, so a
// copy cut short is taken as older than its source by the next /D run; the older file is lost.
bool writeCopy(const CopyRequest& request, WrittenCopy& copy, CopyError& error);

// Makes the written data durable on its own (fsync); errno on failure, 0 otherwise.
int flushCopy(const WrittenCopy& copy);

// Gives a written copy its final name in its folder, over an existing file of that name (a copy
// written in place has it already).
bool commitCopy(const std::shared_ptr<const FolderHandle>& dstDir, const char* dstName,
                WrittenCopy& copy, CopyError& error);

// Throws a written copy away.
void discardCopy(const std::shared_ptr<const FolderHandle>& dstDir, WrittenCopy& copy);

// The process's file creation mask; first called before any worker thread starts.
mode_t processUmask();

// Whether large files are copied in two halves at once: only where the copy runs on several
// threads anyway, so one worker copies exactly as one thread always did.
void splitLargeFiles(bool split);

// Limits the copy rate to this many KiB per second (0: no limit), e.g. to spare a slow network
// share. XCPYCMD_THROTTLE_KIB sets it for a run; the interrupt tests use it to catch a copy
// halfway.
void setCopyThrottle(unsigned long kibPerSecond);

} // namespace xcpycmd
