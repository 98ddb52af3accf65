#include "interpreter/file_system_kind.h"

#include "common/mount_table.h"
#include "interpreter/time_step.h"

#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace xcpycmd {
namespace {

constexpr long kExactStep = 1;
constexpr long kFatStep = kCoarsestTimeStep;
constexpr long kExFatStep = 10'000'000;
constexpr long kNtfsStep = 100;

// Magic numbers the kernel headers may lack.
constexpr unsigned long kExFatMagic = 0x2011BAB0;
constexpr unsigned long kNtfs3Magic = 0x7366746e;
constexpr unsigned long kNtfsMagic = 0x5346544e;
constexpr unsigned long kCifsMagic = 0xFF534D42;
constexpr unsigned long kSmb2Magic = 0xFE534D42;
constexpr unsigned long kF2fsMagic = 0xF2F52010;
constexpr unsigned long kJfsMagic = 0x3153464a;
constexpr unsigned long kBcachefsMagic = 0xca451a4e;

enum class Format { Unknown, Fat, ExFat, Ntfs };

Format formatOfName(const std::string& type) {
    // "fuse.fusefat", "fuse.exfat", "fuseblk.ntfs-3g", ...: the part after the dot names it.
    const std::size_t dot = type.find('.');
    const std::string name = dot == std::string::npos ? type : type.substr(dot + 1);
    if (name.find("exfat") != std::string::npos)
        return Format::ExFat;
    if (name.find("fat") != std::string::npos || name == "msdos")
        return Format::Fat;
    if (name.find("ntfs") != std::string::npos)
        return Format::Ntfs;
    return Format::Unknown;
}

// The signature in the first sector of a block device or disk image, where it can be read.
Format formatOfDevice(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !(S_ISBLK(st.st_mode) || S_ISREG(st.st_mode)))
        return Format::Unknown;
    const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Format::Unknown;
    char sector[512] = {};
    const ssize_t n = ::pread(fd, sector, sizeof sector, 0);
    ::close(fd);
    if (n < 90)
        return Format::Unknown;
    if (std::memcmp(sector + 3, "NTFS    ", 8) == 0)
        return Format::Ntfs;
    if (std::memcmp(sector + 3, "EXFAT   ", 8) == 0)
        return Format::ExFat;
    if (std::memcmp(sector + 54, "FAT", 3) == 0 || std::memcmp(sector + 82, "FAT32", 5) == 0)
        return Format::Fat;
    return Format::Unknown;
}

Format formatOfUserSpace(int dirFd) {
    struct stat st {};
    if (::fstat(dirFd, &st) != 0)
        return Format::Unknown;
    const std::vector<xcpy::Mount> mounts = xcpy::currentMounts();
    const xcpy::Mount* mount = xcpy::mountOfDevice(mounts, st.st_dev);
    if (!mount)
        return Format::Unknown;
    // "fuse.fusefat" says it; "fuseblk" or a plain "fuse" (ntfs-3g on an image) does not.
    const Format byName = formatOfName(mount->type);
    return byName != Format::Unknown ? byName : formatOfDevice(mount->source);
}

FileSystemKind kindOfFormat(Format format, Durability durability, bool userSpace = false) {
    switch (format) {
    case Format::Fat:
        return {durability, userSpace, kFatStep};
    case Format::ExFat:
        return {durability, false, kExFatStep};
    case Format::Ntfs:
        return {durability, false, kNtfsStep};
    case Format::Unknown:
        break;
    }
    return {durability, false, 0};
}

} // namespace

FileSystemKind fileSystemKindOf(int dirFd) {
    struct statfs fs {};
    if (::fstatfs(dirFd, &fs) != 0)
        return {};
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case kF2fsMagic:
    case kJfsMagic:
    case REISERFS_SUPER_MAGIC:
    case kBcachefsMagic:
        return {Durability::SyncFileSystem, false, kExactStep};
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return {Durability::None, false, kExactStep};
    case MSDOS_SUPER_MAGIC:
        return kindOfFormat(Format::Fat, Durability::SyncFileSystem);
    case kExFatMagic:
        return kindOfFormat(Format::ExFat, Durability::SyncFileSystem);
    case kNtfs3Magic:
    case kNtfsMagic:
        return kindOfFormat(Format::Ntfs, Durability::SyncFileSystem);
    case kCifsMagic:
    case kSmb2Magic:
        return kindOfFormat(Format::Ntfs, Durability::SyncEachFile);
    case FUSE_SUPER_MAGIC:
        return kindOfFormat(formatOfUserSpace(dirFd), Durability::SyncEachFile, true);
    default:
        return {};
    }
}

} // namespace xcpycmd
