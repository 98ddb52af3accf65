#include "interpreter/plan_walk.h"

#include "interpreter/copy_pool.h"
#include "interpreter/file_decision.h"
#include "interpreter/temp_files.h"
#include "interpreter/xcopy.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace xcpycmd {

namespace {

// A folder's identity on the path from the root, to pass over a folder that contains itself.
struct Ancestor {
    dev_t dev;
    ino_t ino;
    std::shared_ptr<const Ancestor> parent;

    bool isOrContains(const struct stat& st) const {
        for (const Ancestor* a = this; a; a = a->parent.get())
            if (a->dev == st.st_dev && a->ino == st.st_ino)
                return true;
        return false;
    }
};

// One open folder and its counterpart in the destination (-1 when it has none). Subfolders
// waiting to be walked keep it open, so that they are opened by name in it.
struct OpenFolder {
    DIR* dir = nullptr;
    int srcFd = -1;
    int dstFd = -1;
    std::string shown;
    std::shared_ptr<const Ancestor> path;

    OpenFolder() = default;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder() {
        if (dir)
            ::closedir(dir);
        if (dstFd >= 0)
            ::close(dstFd);
    }
};

// A subfolder found but not yet entered.
struct PendingFolder {
    std::shared_ptr<const OpenFolder> parent;
    std::string name;
    std::string shown;
    dev_t dev;
    ino_t ino;
};

// Walks folders from a shared stack on several threads; each thread counts on its own and the
// counts are added when the stack is empty and no thread can add to it any more. Taking the
// newest folder first keeps the stack, and the folders held open, about as small as one walk's.
class Planner {
public:
    Planner(const PlanScope& scope, unsigned threads)
        : s_(scope), o_(scope.options), threads_(threads) {}

    PlanResult run();

private:
    bool matches(const char* name) const {
        return s_.literalName ? s_.pattern == name : wildcardMatch(s_.pattern, name);
    }
    void work();
    void walk(const std::shared_ptr<const OpenFolder>& folder, PlanResult& amount,
              std::vector<PendingFolder>& found);
    std::shared_ptr<const OpenFolder> enter(const PendingFolder& pending);
    void visit(const std::shared_ptr<const OpenFolder>& folder, const char* name,
               PlanResult& amount, std::vector<PendingFolder>& found);
    void countFile(const OpenFolder& folder, const char* name, const struct stat& st,
                   PlanResult& amount);
    void tell();

    const PlanScope& s_;
    const XCopyOptions& o_;
    const unsigned threads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<PendingFolder> pending_;
    unsigned busy_ = 0;
    PlanResult amount_;
    std::mutex newerMutex_; // the /D test remembers file system steps as it goes
    // Counts of the threads' folders walked to the end, and when they were last told.
    std::atomic<std::int64_t> scannedFiles_{0};
    std::atomic<std::int64_t> scannedBytes_{0};
    std::mutex tellMutex_;
    std::chrono::steady_clock::time_point lastTold_ = std::chrono::steady_clock::now();
};

PlanResult Planner::run() {
    const int fd = ::open(s_.sourceDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    auto root = std::make_shared<OpenFolder>();
    struct stat st {};
    root->dir = ::fdopendir(fd);
    if (!root->dir || ::fstat(fd, &st) != 0) {
        if (!root->dir)
            ::close(fd);
        return {};
    }
    root->srcFd = fd;
    root->dstFd = ::open(s_.destDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    root->shown = s_.shownSource;
    root->path = std::make_shared<const Ancestor>(Ancestor{st.st_dev, st.st_ino, nullptr});
    std::vector<PendingFolder> found;
    if (s_.literalName && !s_.recursive) {
        visit(root, s_.pattern.c_str(), amount_, found);
        return amount_;
    }
    walk(root, amount_, found);
    root.reset();
    pending_ = std::move(found);
    if (pending_.empty())
        return amount_;
    std::vector<std::jthread> helpers;
    try {
        for (unsigned i = 1; i < threads_; ++i)
            helpers.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // Fewer threads only make the walk slower; the ones started share the whole tree.
    }
    work();
    helpers.clear();
    return amount_;
}

void Planner::work() {
    PlanResult amount;
    std::vector<PendingFolder> found;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !pending_.empty() || busy_ == 0; });
        if (pending_.empty())
            break;
        PendingFolder next = std::move(pending_.back());
        pending_.pop_back();
        ++busy_;
        lock.unlock();
        if (const auto folder = enter(next))
            walk(folder, amount, found);
        next.parent.reset(); // closes the parent once its last waiting subfolder is open
        lock.lock();
        --busy_;
        for (PendingFolder& f : found)
            pending_.push_back(std::move(f));
        found.clear();
        changed_.notify_all();
    }
    amount_.copy.files += amount.copy.files;
    amount_.copy.bytes += amount.copy.bytes;
    amount_.found += amount.found;
}

std::shared_ptr<const OpenFolder> Planner::enter(const PendingFolder& pending) {
    const OpenFolder& parent = *pending.parent;
    auto child = std::make_shared<OpenFolder>();
    child->dstFd = parent.dstFd < 0 ? -1
                                    : ::openat(parent.dstFd, pending.name.c_str(),
                                               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // With /U only files already in the destination count: a folder it lacks has none.
    if (o_.existingOnly && child->dstFd < 0)
        return nullptr;
    const int fd = ::openat(parent.srcFd, pending.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    child->dir = ::fdopendir(fd);
    if (!child->dir) {
        ::close(fd);
        return nullptr;
    }
    child->srcFd = fd;
    child->shown = pending.shown;
    child->path = std::make_shared<const Ancestor>(Ancestor{pending.dev, pending.ino, parent.path});
    return child;
}

void Planner::walk(const std::shared_ptr<const OpenFolder>& folder, PlanResult& amount,
                   std::vector<PendingFolder>& found) {
    const PlanResult before = amount;
    while (const dirent* entry = ::readdir(folder->dir)) {
        if (!isSkippedInWalk(entry->d_name))
            visit(folder, entry->d_name, amount, found);
    }
    if (s_.scanned) {
        scannedFiles_ += amount.copy.files - before.copy.files;
        scannedBytes_ += amount.copy.bytes - before.copy.bytes;
        tell();
    }
}

// Tells the counts so far, at most a few times a second, from whichever thread comes by.
void Planner::tell() {
    constexpr auto kInterval = std::chrono::milliseconds(250);
    const std::unique_lock lock(tellMutex_, std::try_to_lock);
    const auto now = std::chrono::steady_clock::now();
    if (!lock.owns_lock() || now - lastTold_ < kInterval)
        return;
    lastTold_ = now;
    s_.scanned({scannedFiles_.load(), scannedBytes_.load()});
}

void Planner::visit(const std::shared_ptr<const OpenFolder>& folder, const char* name,
                    PlanResult& amount, std::vector<PendingFolder>& found) {
    struct stat st {};
    if (::fstatat(folder->srcFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISLNK(st.st_mode)) {
        if (o_.copyLinks) {
            countFile(*folder, name, st, amount);
            return;
        }
        if (::fstatat(folder->srcFd, name, &st, 0) != 0)
            return;
    }
    if (S_ISDIR(st.st_mode)) {
        if (!s_.recursive)
            return;
        std::string shown = folder->shown + name + "/";
        if (s_.excluded(shown) || folder->path->isOrContains(st))
            return;
        found.push_back({folder, name, std::move(shown), st.st_dev, st.st_ino});
    } else if (S_ISREG(st.st_mode)) {
        countFile(*folder, name, st, amount);
    }
}

void Planner::countFile(const OpenFolder& folder, const char* name, const struct stat& st,
                        PlanResult& amount) {
    if (!matches(name) || s_.excluded(folder.shown + name))
        return;
    ++amount.found;
    if (o_.treeOnly)
        return;
    const char* target = s_.destFileName.empty() ? name : s_.destFileName.c_str();
    struct stat existing {};
    const bool exists =
        folder.dstFd >= 0 && ::fstatat(folder.dstFd, target, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    const FileVerdict verdict = decideFile(o_, st, exists ? &existing : nullptr, [&] {
        const std::lock_guard lock(newerMutex_);
        return s_.outdated(st, existing, folder.dstFd);
    });
    if (verdict != FileVerdict::Copy)
        return;
    ++amount.copy.files;
    amount.copy.bytes += st.st_size;
}

} // namespace

PlanResult planCopy(const PlanScope& scope) {
    return Planner(scope, copyWorkerCount()).run();
}

} // namespace xcpycmd
