#pragma once

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
    // User-space FAT drivers damage a folder when they remove a name whose directory entries
    // cross from one of its clusters into the next: no name is ever removed there, so copies are
    // written in place instead of renamed (FAT32 and the kernel's driver are safe, but cannot be
    // told apart from outside in every case).
    bool writeInPlace = false;
    long timeStep = 0; // nanoseconds of its modification times; 0 when the type does not tell
};

// What the file system of the open folder `dirFd` is, by its type; user-space file systems by
// the name they were mounted with or by the signature of the device or image they hold.
FileSystemKind fileSystemKindOf(int dirFd);

} // namespace xcpycmd
