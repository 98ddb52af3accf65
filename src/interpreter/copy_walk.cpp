#include "interpreter/copy_walk.h"

#include "interpreter/messages.h"
#include "interpreter/xcopy.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace xcpycmd {

namespace fs = std::filesystem;
using messages::errorText;

namespace {

// Deeper folders are refused with an error: no real tree comes near, and each level holds two
// open folders.
constexpr std::size_t kMaxDepth = 1024;

// Names read and looked at ahead, on all threads at once: an unchanged rerun spends its time
// in fstatat.
constexpr std::size_t kBatchSize = 64;

} // namespace

// What fstatat said about a name: errno, or 0 and the status.
struct CopyWalk::Looked {
    int error = -1; // -1: not looked at
    struct stat st {};
};

// A name read from a source folder, with its status and its counterpart's, looked at ahead.
struct CopyWalk::Entry {
    std::string name;
    Looked source;
    Looked target;
};

// One folder of the walk, with its counterpart in the destination.
struct CopyWalk::Level {
    Level* parent = nullptr;
    std::string name; // in the parent folder
    FileId id{};
    DIR* dir = nullptr;
    int srcFd = -1;
    mode_t srcMode = 0755;
    // Lengths of the walk's shown source and destination paths up to this folder: the paths of
    // the levels are prefixes of each other, so one string each holds them all.
    std::size_t srcLength = 0;
    std::size_t dstLength = 0;
    int dstFd = -1; // -1 while the destination folder does not exist (yet)
    dev_t dstDevice = 0;
    bool dstCreated = false;
    bool dstFailed = false;
    std::vector<Entry> batch; // read from dir, to visit from batch[next] on
    std::size_t next = 0;
    bool read = false; // dir has no more names

    // Owners of the descriptors above, shared with the copies in flight.
    std::shared_ptr<const FolderHandle> src;
    std::shared_ptr<const FolderHandle> dst;

    void adoptDestination(int fd) {
        dstFd = fd;
        if (fd < 0)
            return;
        dst = std::make_shared<FolderHandle>(fd);
        struct stat st {};
        if (::fstat(fd, &st) == 0)
            dstDevice = st.st_dev;
    }
};

CopyWalk::CopyWalk(const XCopyOptions& options, const LineScope& scope, Console& console,
                   LineReport& report, Excluded excluded, CopyCommitter* committer)
    : o_(options), s_(scope), con_(console), report_(report), excluded_(std::move(excluded)),
      committer_(committer), pool_(committer ? committer->pool() : ownPool_),
      steps_(!options.listOnly), overwriteAll_(options.overwriteWithoutAsking) {}

CopyWalk::~CopyWalk() = default;

// Leftovers of a killed run go as soon as the walk comes by, copied into or not; not where no
// name may be removed.
void CopyWalk::sweepLeftovers(Level& level) {
    if (level.dstFd >= 0 && committer_ &&
        !committer_->kindOf(level.dstDevice, level.dstFd).writeInPlace)
        removeLeftoverTemporaries(level.dstFd);
}

bool CopyWalk::matches(const char* name) const {
    return s_.literalName ? s_.pattern == name : wildcardMatch(s_.pattern, name);
}

std::string CopyWalk::dstPath(const Level& level) const {
    return level.parent ? dstPath_.substr(0, level.dstLength) : s_.destRoot;
}

// An error of the walk comes after the names of the copies before it, as it would copying one
// file at a time.
void CopyWalk::failInOrder(int status, const std::string& message) {
    if (committer_)
        committer_->settle();
    report_.error(status, message);
}

bool CopyWalk::ensureDestination(Level& level) {
    // The missing folders from the nearest existing one down to this one, made top down.
    std::vector<Level*> missing;
    for (Level* l = &level; l && l->dstFd < 0; l = l->parent) {
        if (l->dstFailed)
            return false;
        missing.push_back(l);
    }
    return std::all_of(missing.rbegin(), missing.rend(),
                       [this](Level* l) { return makeDestination(*l); });
}

bool CopyWalk::makeDestination(Level& level) {
    int error = 0;
    if (level.parent) {
        if (::mkdirat(level.parent->dstFd, level.name.c_str(), (level.srcMode & 07777) | S_IRWXU) ==
            0) {
            level.dstCreated = true;
            report_.folderMade();
            if (committer_)
                committer_->folderMade(level.parent->dstDevice, level.parent->dst, dstPath(level));
        } else if (errno != EEXIST) {
            error = errno;
        }
        if (error == 0) {
            level.adoptDestination(::openat(level.parent->dstFd, level.name.c_str(),
                                            O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            error = level.dstFd < 0 ? errno : 0;
        }
    } else {
        std::error_code ec;
        if (fs::create_directories(s_.destRoot, ec)) {
            level.dstCreated = true;
            report_.folderMade();
        }
        error = ec.value();
        if (!ec) {
            level.adoptDestination(::open(s_.destRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            error = level.dstFd < 0 ? errno : 0;
        }
        if (error == 0 && level.dstCreated && committer_) {
            // Its entry lives in the folder above.
            const std::string above = fs::absolute(s_.destRoot).lexically_normal().parent_path();
            const int fd = ::open(above.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st {};
            if (fd >= 0 && ::fstat(fd, &st) == 0)
                committer_->folderMade(st.st_dev, std::make_shared<FolderHandle>(fd), s_.destRoot);
            else if (fd >= 0)
                ::close(fd);
        }
    }
    if (error != 0) {
        level.dstFailed = true;
        failInOrder(kWriteFailed,
                    "フォルダーを作成できません - " + dstPath(level) + ": " + errorText(error));
        return false;
    }
    return true;
}

// Depth first without recursion: the tree's depth decides only the size of levels_.
void CopyWalk::run(int rootFd, const struct stat& rootSt) {
    auto root = std::make_unique<Level>();
    root->dir = ::fdopendir(rootFd);
    if (!root->dir) {
        ::close(rootFd);
        report_.error(kBadCommand,
                      "パスが見つかりません - " + s_.baseDir + ": " + errorText(errno));
        return;
    }
    root->id = {rootSt.st_dev, rootSt.st_ino};
    root->srcFd = rootFd;
    root->src = std::make_shared<FolderHandle>(root->dir);
    root->srcMode = rootSt.st_mode;
    srcPath_ = s_.shownBase;
    dstPath_ = s_.destIsFile ? std::string() : (s_.dest.back() == '/' ? s_.dest : s_.dest + "/");
    root->srcLength = srcPath_.size();
    root->dstLength = dstPath_.size();
    root->adoptDestination(::open(s_.destRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    sweepLeftovers(*root);
    if (o_.emptyFolders && !o_.listOnly && !o_.existingOnly)
        ensureDestination(*root);

    if (s_.singleFile && !s_.recursive) {
        if (!stopped())
            visitEntry(*root, s_.pattern.c_str(), {}, {});
        return;
    }
    ancestors_.insert(root->id);
    levels_.push_back(std::move(root));
    while (!levels_.empty()) {
        Level& level = *levels_.back();
        if (stopped() || (level.next == level.batch.size() && !readBatch(level))) {
            leaveFolder();
            continue;
        }
        Entry& entry = level.batch[level.next++];
        visitEntry(level, entry.name.c_str(), entry.source, entry.target);
        if (committer_)
            committer_->poll();
    }
}

// Reads the next names of the level's folder and looks at them; false at the end.
bool CopyWalk::readBatch(Level& level) {
    level.batch.clear();
    level.next = 0;
    const std::size_t size = pool_.parallel() ? kBatchSize : 1;
    while (!level.read && level.batch.size() < size) {
        errno = 0;
        const dirent* entry = ::readdir(level.dir);
        if (!entry) {
            if (errno != 0)
                failInOrder(kBadCommand, "フォルダーを読めません - " +
                                             srcPath_.substr(0, level.srcLength) + ": " +
                                             errorText(errno));
            level.read = true;
            break;
        }
        const char* name = entry->d_name;
        if (isSkippedInWalk(name))
            continue;
        level.batch.push_back({name, {}, {}});
    }
    if (pool_.parallel())
        lookAhead(level);
    return !level.batch.empty();
}

// Looks at the batch's names and at the destination's files of the same names, spread over
// the threads. The copy's counterparts are looked at only where they are looked at one by one
// too; a destination file that every match goes to changes while the batch is visited.
void CopyWalk::lookAhead(Level& level) {
    const bool targets = level.dstFd >= 0 && !level.dstCreated && !s_.destIsFile;
    pool_.forEach(level.batch.size(), [&](std::size_t i) {
        Entry& entry = level.batch[i];
        const char* name = entry.name.c_str();
        entry.source.error =
            ::fstatat(level.srcFd, name, &entry.source.st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
        if (targets && entry.source.error == 0 && S_ISREG(entry.source.st.st_mode) && matches(name))
            entry.target.error =
                ::fstatat(level.dstFd, name, &entry.target.st, AT_SYMLINK_NOFOLLOW) == 0 ? 0
                                                                                         : errno;
    });
}

void CopyWalk::leaveFolder() {
    ancestors_.erase(levels_.back()->id);
    levels_.pop_back();
    if (!levels_.empty()) {
        srcPath_.resize(levels_.back()->srcLength);
        dstPath_.resize(levels_.back()->dstLength);
    }
}

void CopyWalk::visitEntry(Level& level, const char* name, const Looked& source,
                          const Looked& target) {
    struct stat st = source.st;
    const int error = source.error >= 0                                             ? source.error
                      : ::fstatat(level.srcFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0
                                                                                    : errno;
    if (error != 0) {
        if (error != ENOENT) // gone since the folder was read: nothing to copy
            failInOrder(kBadCommand,
                        "ファイルを調べられません - " + srcPath_ + name + ": " + errorText(error));
        return;
    }
    bool viaLink = false;
    if (S_ISLNK(st.st_mode)) {
        if (o_.copyLinks) {
            visitFile(level, name, st, true, {});
            return;
        }
        if (::fstatat(level.srcFd, name, &st, 0) != 0) {
            const int linkError = errno;
            if (matches(name))
                con_.errorLine((linkError == ELOOP
                                    ? "シンボリック リンクがループしているため飛ばします - "
                                    : "リンク先がないため飛ばします - ") +
                               srcPath_ + name);
            return;
        }
        viaLink = true;
    }
    if (S_ISDIR(st.st_mode)) {
        if (s_.recursive)
            enterFolder(level, name, st, viaLink);
    } else if (S_ISREG(st.st_mode)) {
        visitFile(level, name, st, false, target);
    } else if (matches(name)) {
        con_.line("パイプ、デバイス、ソケットなどの特殊ファイルは飛ばします - " + srcPath_ + name);
    }
}

void CopyWalk::enterFolder(Level& level, const char* name, const struct stat& st, bool viaLink) {
    const std::string path = srcPath_ + name + "/";
    if (excluded_(path))
        return;
    const FileId id{st.st_dev, st.st_ino};
    if (ancestors_.contains(id)) {
        con_.errorLine("フォルダーがループしているため、その先へは進みません - " + path);
        return;
    }
    if (levels_.size() >= kMaxDepth) {
        failInOrder(kBadCommand, "フォルダーの階層が深すぎるため (" + std::to_string(kMaxDepth) +
                                     " 階層まで)、その先へは進みません - " + path);
        return;
    }
    if (viaLink && !s_.destCanonical.empty()) {
        std::error_code ec;
        const fs::path real = fs::canonical(path, ec);
        if (!ec && (real == s_.destCanonical || isBelow(real, s_.destCanonical) ||
                    isBelow(s_.destCanonical, real))) {
            con_.errorLine("コピー先に重なるフォルダーを指すリンクのため飛ばします - " + path);
            return;
        }
    }
    const int fd = ::openat(level.srcFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        failInOrder(kBadCommand, "フォルダーを開けません - " + path + ": " + errorText(errno));
        return;
    }
    auto child = std::make_unique<Level>();
    child->parent = &level;
    child->name = name;
    child->id = id;
    child->dir = ::fdopendir(fd);
    if (!child->dir) {
        ::close(fd);
        failInOrder(kBadCommand, "フォルダーを開けません - " + path + ": " + errorText(errno));
        return;
    }
    child->srcFd = fd;
    child->src = std::make_shared<FolderHandle>(child->dir);
    child->srcMode = st.st_mode;
    if (level.dstFd >= 0)
        child->adoptDestination(::openat(level.dstFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // With /U only files already in the destination count: a folder it lacks has none.
    if (o_.existingOnly && child->dstFd < 0)
        return;
    srcPath_ = path;
    dstPath_ += name;
    dstPath_ += '/';
    child->srcLength = srcPath_.size();
    child->dstLength = dstPath_.size();
    Level& entered = *child;
    ancestors_.insert(id);
    levels_.push_back(std::move(child));
    sweepLeftovers(entered);
    if (o_.emptyFolders && !o_.listOnly && !o_.existingOnly && !ensureDestination(entered))
        leaveFolder();
}

void CopyWalk::visitFile(Level& level, const char* name, const struct stat& st, bool asLink,
                         const Looked& looked) {
    if (!matches(name))
        return;
    const std::string srcPath = srcPath_ + name;
    if (excluded_(srcPath))
        return;
    report_.fileFound();
    if (o_.treeOnly) {
        if (!o_.listOnly)
            ensureDestination(level);
        return;
    }
    // Decided before the destination is looked at, which may fail for a file /D:date skips.
    if (o_.sinceDate && st.st_mtime < *o_.sinceDate)
        return;

    const char* targetName = s_.destIsFile ? s_.destFileName.c_str() : name;
    struct stat target {};
    bool exists = false;
    // A folder this run created holds only what it copied there, all under other names.
    if (level.dstFd >= 0 && (s_.destIsFile || !level.dstCreated)) {
        target = looked.st;
        const int error = looked.error >= 0 ? looked.error
                          : ::fstatat(level.dstFd, targetName, &target, AT_SYMLINK_NOFOLLOW) == 0
                              ? 0
                              : errno;
        if (error == 0) {
            exists = true;
        } else if (error != ENOENT) {
            failInOrder(kWriteFailed, "コピー先を調べられません - " + dstPath_ + targetName + ": " +
                                          errorText(error));
            return;
        }
    }
    const std::string dstPath = s_.destIsFile ? o_.destination : dstPath_ + name;
    const FileVerdict verdict = decideFile(o_, st, exists ? &target : nullptr,
                                           [&] { return isOutdated(st, target, level.dstFd); });
    switch (verdict) {
    case FileVerdict::Skip:
        return;
    case FileVerdict::FolderInTheWay:
        failInOrder(kWriteFailed,
                    "同じ名前のフォルダーがあるため、ファイルをコピーできません - " + dstPath);
        return;
    case FileVerdict::SameFile:
        failInOrder(kBadCommand, "ファイルをそれ自体にコピーすることはできません - " + srcPath);
        return;
    case FileVerdict::ReadOnly:
        failInOrder(kWriteFailed,
                    "読み取り専用のファイルは上書きしません (/R で上書きできます) - " + dstPath);
        return;
    case FileVerdict::Copy:
        break;
    }
    if (o_.listOnly) {
        report_.copied(srcPath, dstPath, st.st_size);
        return;
    }
    // A question comes after the names of the files before it.
    const bool asks = o_.askEach || (exists && !overwriteAll_);
    if (asks && committer_)
        committer_->settle();
    if (o_.askEach) {
        const auto answer = con_.ask(srcPath + " をコピーしますか (Y/N)? ", "YN");
        if (!answer)
            report_.notAnswered(srcPath);
        if (answer != 'Y')
            return;
    }
    if (exists && !overwriteAll_) {
        const auto answer = con_.ask(dstPath + " を上書きしますか (Yes/No/All)? ", "YNA");
        if (!answer)
            report_.notAnswered(srcPath);
        if (!answer || *answer == 'N')
            return;
        if (*answer == 'A')
            overwriteAll_ = true;
    }
    if (!ensureDestination(level))
        return;
    mode_t mode = st.st_mode & 07777;
    if (!o_.keepAttributes)
        mode |= S_IWUSR; // like clearing a read-only attribute
    committer_->add({level.src, level.dst, level.dstDevice, name, targetName, asLink, !exists, mode,
                     srcPath, dstPath, st.st_size});
    // Every match goes to the one destination file in turn, so that the last one stays: the
    // next one must see this one in place.
    if (s_.destIsFile)
        committer_->settle();
}

} // namespace xcpycmd
