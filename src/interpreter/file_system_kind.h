#pragma once

#include "interpreter/temp_files.h"

#include <sys/types.h>

namespace xcpycmd {

// How copies on a file system are made durable before their names appear.
enum class Durability {
    None,           // memory only (tmpfs): nothing survives a power cut anyway
    SyncFileSystem, // a local disk: one syncfs makes a whole group of copies durable
    SyncEachFile,   // network and user-space file systems: only a file's own fsync reaches them
};

struct FileSystemKind {
    Durability durability = Durability::SyncEachFile;
    TempNameStyle tempNames = TempNameStyle::Long;
    long timeStep = 0; // nanoseconds of its modification times; 0 when the type does not tell
};

// What the file system of the open folder `dirFd` is, by its type; user-space file systems by
// the name they were mounted with or by the signature of the device or image they hold.
FileSystemKind fileSystemKindOf(int dirFd);

} // namespace xcpycmd
