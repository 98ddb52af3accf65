#include "interpreter/plan_walk.h"

#include "interpreter/safe_copy.h"
#include "interpreter/xcopy.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xcpycmd {

namespace {

// One open folder of the walk and its counterpart in the destination (-1 when it has none).
struct Folder {
    DIR* dir = nullptr;
    int srcFd = -1;
    int dstFd = -1;
    std::string shown;
    dev_t dev = 0;
    ino_t ino = 0;

    Folder() = default;
    Folder(Folder&& other) noexcept { *this = std::move(other); }
    Folder& operator=(Folder&& other) noexcept {
        std::swap(dir, other.dir);
        std::swap(srcFd, other.srcFd);
        std::swap(dstFd, other.dstFd);
        shown = std::move(other.shown);
        dev = other.dev;
        ino = other.ino;
        return *this;
    }
    ~Folder() {
        if (dir)
            ::closedir(dir);
        if (dstFd >= 0)
            ::close(dstFd);
    }
};

class Planner {
public:
    explicit Planner(const PlanScope& scope) : s_(scope), o_(scope.options) {}

    CopyAmount run();

private:
    bool matches(const char* name) const {
        return s_.literalName ? s_.pattern == name : wildcardMatch(s_.pattern, name);
    }
    void visit(const Folder& folder, const char* name);
    void enter(const Folder& folder, const char* name, const struct stat& st);
    void countFile(const Folder& folder, const char* name, const struct stat& st);

    const PlanScope& s_;
    const XCopyOptions& o_;
    std::vector<Folder> stack_;
    CopyAmount amount_;
};

CopyAmount Planner::run() {
    const int fd = ::open(s_.sourceDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    Folder root;
    struct stat st {};
    root.dir = ::fdopendir(fd);
    if (!root.dir || ::fstat(fd, &st) != 0) {
        if (!root.dir)
            ::close(fd);
        return {};
    }
    root.srcFd = fd;
    root.dstFd = ::open(s_.destDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    root.shown = s_.shownSource;
    root.dev = st.st_dev;
    root.ino = st.st_ino;
    if (s_.literalName && !s_.recursive) {
        visit(root, s_.pattern.c_str());
        return amount_;
    }
    stack_.push_back(std::move(root));
    while (!stack_.empty()) {
        const dirent* entry = ::readdir(stack_.back().dir);
        if (!entry) {
            stack_.pop_back();
            continue;
        }
        const char* name = entry->d_name;
        if (isSkippedInWalk(name))
            continue;
        visit(stack_.back(), name);
    }
    return amount_;
}

void Planner::visit(const Folder& folder, const char* name) {
    struct stat st {};
    if (::fstatat(folder.srcFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISLNK(st.st_mode)) {
        if (o_.copyLinks) {
            countFile(folder, name, st);
            return;
        }
        if (::fstatat(folder.srcFd, name, &st, 0) != 0)
            return;
    }
    if (S_ISDIR(st.st_mode)) {
        if (s_.recursive)
            enter(folder, name, st);
    } else if (S_ISREG(st.st_mode)) {
        countFile(folder, name, st);
    }
}

void Planner::enter(const Folder& folder, const char* name, const struct stat& st) {
    std::string shown = folder.shown + name + "/";
    if (s_.excluded(shown))
        return;
    const bool loop = std::any_of(stack_.begin(), stack_.end(), [&](const Folder& f) {
        return f.dev == st.st_dev && f.ino == st.st_ino;
    });
    if (loop)
        return;
    Folder child;
    child.dstFd =
        folder.dstFd < 0 ? -1 : ::openat(folder.dstFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // With /U only files already in the destination count: a folder it lacks has none.
    if (o_.existingOnly && child.dstFd < 0)
        return;
    const int fd = ::openat(folder.srcFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    child.dir = ::fdopendir(fd);
    if (!child.dir) {
        ::close(fd);
        return;
    }
    child.srcFd = fd;
    child.shown = std::move(shown);
    child.dev = st.st_dev;
    child.ino = st.st_ino;
    stack_.push_back(std::move(child));
}

void Planner::countFile(const Folder& folder, const char* name, const struct stat& st) {
    if (!matches(name) || o_.treeOnly || s_.excluded(folder.shown + name))
        return;
    if (o_.sinceDate && st.st_mtime < *o_.sinceDate)
        return;
    const char* target = s_.destFileName.empty() ? name : s_.destFileName.c_str();
    struct stat existing {};
    const bool exists =
        folder.dstFd >= 0 && ::fstatat(folder.dstFd, target, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (o_.existingOnly && !exists)
        return;
    if (exists) {
        if (o_.newerOnly && !s_.newer(st, existing, folder.dstFd))
            return;
        if (S_ISDIR(existing.st_mode) ||
            (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino))
            return;
        if (!o_.overwriteReadOnly && !o_.listOnly && S_ISREG(existing.st_mode) &&
            (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return;
    }
    ++amount_.files;
    amount_.bytes += st.st_size;
}

} // namespace

CopyAmount planCopy(const PlanScope& scope) {
    return Planner(scope).run();
}

} // namespace xcpycmd
