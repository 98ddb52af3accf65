#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The mounted file systems and the mount points the system table lists, as plain data shared by
// the window and the command interpreter.
namespace xcpy {

struct Mount {
    std::string point;  // absolute, escapes decoded
    std::string type;   // "ext4", "vfat", "fuse.fusefat", "fuseblk", ...
    std::string source; // the device or share
    dev_t device = 0;   // as stat reports it for files on this mount
};

// The mounts of a table in the form of /proc/self/mountinfo.
std::vector<Mount> parseMountInfo(std::string_view text);
// This process's mounts now; empty when the table cannot be read.
std::vector<Mount> currentMounts();

// The mount points of a table in the form of /etc/fstab: swap, "none" and "/" are left out.
std::vector<std::string> parseFstabMountPoints(std::string_view text);
// The mount points of /etc/fstab now; empty when it cannot be read.
std::vector<std::string> fstabMountPoints();

// `path` made absolute against the current folder, with ".", ".." and repeated slashes
// resolved by its text alone: the folders need not exist.
std::string absoluteNormalPath(std::string_view path);

// Whether `path` is `folder` or lies below it; both absolute and normal.
bool isAtOrBelow(std::string_view path, std::string_view folder);

// The mount that files of `device` live on, or null; the innermost when several share it.
const Mount* mountOfDevice(const std::vector<Mount>& mounts, dev_t device);

} // namespace xcpy
