#include "common/mount_table.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace xcpy {
namespace {

// Mount tables write blanks, tabs, newlines and backslashes as octal escapes ("\040").
std::string unescape(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string_view::npos) {
                text += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                          (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        std::size_t end = line.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = line.size();
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

template <class Each> void forEachLine(std::string_view text, Each each) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        each(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string readWhole(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::vector<Mount> parseMountInfo(std::string_view text) {
    std::vector<Mount> mounts;
    forEachLine(text, [&](std::string_view line) {
        // id parent major:minor root mount-point options [optional fields] - type source ...
        const std::vector<std::string_view> fields = fieldsOf(line);
        std::size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (separator + 2 >= fields.size())
            return;
        Mount mount{unescape(fields[4]), std::string(fields[separator + 1]),
                    unescape(fields[separator + 2])};
        unsigned major = 0;
        unsigned minor = 0;
        if (std::sscanf(std::string(fields[2]).c_str(), "%u:%u", &major, &minor) == 2)
            mount.device = makedev(major, minor);
        mounts.push_back(std::move(mount));
    });
    return mounts;
}

std::vector<Mount> currentMounts() {
    return parseMountInfo(readWhole("/proc/self/mountinfo"));
}

std::vector<std::string> parseFstabMountPoints(std::string_view text) {
    std::vector<std::string> points;
    forEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> fields = fieldsOf(line);
        if (fields.size() < 3 || fields[0].starts_with('#'))
            return;
        std::string point = absoluteNormalPath(unescape(fields[1]));
        if (fields[1].starts_with('/') && point != "/" && fields[2] != "swap")
            points.push_back(std::move(point));
    });
    return points;
}

std::vector<std::string> fstabMountPoints() {
    return parseFstabMountPoints(readWhole("/etc/fstab"));
}

std::string absoluteNormalPath(std::string_view path) {
    std::string full;
    if (!path.starts_with('/')) {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer))
            full = buffer;
        full += '/';
    }
    full += path;
    std::vector<std::string_view> parts;
    std::string_view rest = full;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string normal;
    for (std::string_view part : parts) {
        normal += '/';
        normal += part;
    }
    return normal.empty() ? "/" : normal;
}

bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (folder == "/")
        return true;
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

const Mount* mountOfDevice(const std::vector<Mount>& mounts, dev_t device) {
    const Mount* found = nullptr;
    for (const Mount& mount : mounts)
        if (mount.device == device && (!found || mount.point.size() > found->point.size()))
            found = &mount;
    return found;
}

} // namespace xcpy
