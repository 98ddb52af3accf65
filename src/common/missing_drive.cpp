#include "common/missing_drive.h"

#include "common/mount_table.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace xcpy {
namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// Where desktops and users mount removable drives, one folder per drive.
bool isMountFolder(const std::string& folder) {
    if (folder == "/media" || folder == "/mnt" || folder == "/run/media")
        return true;
    const std::string parent = parentOf(folder);
    return parent == "/media" || parent == "/run/media"; // /media/USER, /run/media/USER
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

std::optional<MissingDrive> missingDriveOf(const std::string& path, const DriveFacts& facts) {
    const std::string target = absoluteNormalPath(path);

    // The innermost table entry the destination lies in; a mount inside it that is there now
    // holds the destination whatever the entry's state.
    std::string entry;
    for (const std::string& point : facts.fstabPoints)
        if (isAtOrBelow(target, point) && point.size() > entry.size())
            entry = point;
    if (!entry.empty() && !contains(facts.mountPoints, entry)) {
        const bool deeperMount =
            std::any_of(facts.mountPoints.begin(), facts.mountPoints.end(), [&](const auto& p) {
                return p.size() > entry.size() && isAtOrBelow(target, p);
            });
        if (!deeperMount)
            return MissingDrive{entry, true};
    }

    // The folders a copy would make start below the nearest existing one.
    std::string nearest = target;
    while (nearest != "/" && !facts.exists(nearest))
        nearest = parentOf(nearest);
    if (contains(facts.mountPoints, nearest))
        return std::nullopt;
    if (nearest != target && isMountFolder(nearest))
        return MissingDrive{nearest, false};
    // A drive's own folder left behind empty: copying into it would fill the system disk.
    if (!isMountFolder(nearest) && isMountFolder(parentOf(nearest)) && facts.isEmpty &&
        facts.isEmpty(nearest))
        return MissingDrive{nearest, false};
    return std::nullopt;
}

DriveFacts systemDriveFacts() {
    DriveFacts facts;
    facts.fstabPoints = fstabMountPoints();
    for (Mount& mount : currentMounts())
        facts.mountPoints.push_back(std::move(mount.point));
    // A folder that cannot be looked at (no permission) may well exist: only a plain "not
    // there" counts as missing, so no drive is refused for want of rights.
    facts.exists = [](const std::string& folder) {
        struct stat st {};
        return ::stat(folder.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
    };
    facts.isEmpty = [](const std::string& folder) {
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (!dir)
            return false; // unreadable: it may hold anything
        while (const dirent* entry = ::readdir(dir.get()))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                return false;
        return true;
    };
    return facts;
}

std::optional<MissingDrive> missingDriveOf(const std::string& path) {
    return missingDriveOf(path, systemDriveFacts());
}

} // namespace xcpy
