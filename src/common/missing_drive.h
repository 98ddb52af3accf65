#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A destination on a drive that is not there. On Windows a missing drive letter fails at once;
// here the folder would quietly be made on the system disk, so it is refused instead.
namespace xcpy {

struct MissingDrive {
    std::string folder;     // the mount folder or mount point that has no drive
    bool fromFstab = false; // a mount point of the system table, not mounted
};

// What the rule needs to know about the system.
struct DriveFacts {
    std::vector<std::string> fstabPoints; // absolute, normal
    std::vector<std::string> mountPoints; // mounted now
    std::function<bool(const std::string&)> exists;
    std::function<bool(const std::string&)> isEmpty; // an existing folder with nothing in it
};

// The missing drive of the destination folder `path`, when a copy to it would make folders
// directly inside a folder where removable drives are mounted (/media, /media/USER,
// /run/media/USER, /mnt) that holds no drive there, or into an empty folder inside one that no
// drive is mounted on (what an automounter leaves when a stick goes), or when it lies at or below
// a mount point of /etc/fstab that is not mounted. Nothing when the destination is fine.
std::optional<MissingDrive> missingDriveOf(const std::string& path, const DriveFacts& facts);
// The system's tables now, and its folders as they are when asked; read once for many paths.
DriveFacts systemDriveFacts();
// The same with the system's tables and folders now.
std::optional<MissingDrive> missingDriveOf(const std::string& path);

} // namespace xcpy
