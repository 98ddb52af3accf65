#include "interpreter/safe_copy.h"

#include "interpreter/time_step.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace xcpycmd {
namespace {

unsigned long g_throttleKib = 0;

// Files from this size on are copied in two halves at once when several threads copy.
constexpr off_t kSplitBytes = 32 << 20;
std::atomic<bool> g_splitLargeFiles{false};

bool isErrorOfFallback(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF;
}

// FAT, exFAT, NTFS and network shares refuse permissions they cannot hold; the data and the
// time are what a copy promises, so such a refusal is no failure.
bool isRefusedPermission(int error) {
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP;
}

void throttle(std::size_t bytes) {
    if (g_throttleKib == 0)
        return;
    const double seconds = static_cast<double>(bytes) / (static_cast<double>(g_throttleKib) * 1024);
    timespec wait{
        static_cast<time_t>(seconds),
        static_cast<long>((seconds - static_cast<double>(static_cast<time_t>(seconds))) * 1e9)};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

// Copies bytes [from, to) of in to the same place in out, or from `from` to the end of in when
// `to` is negative; on failure sets `stage` to the side that failed and returns errno.
int copyRange(int in, int out, off_t from, off_t to, CopyStage& stage) {
    static const std::size_t bufferSize = 256 * 1024;
    const std::size_t chunk = g_throttleKib ? 64 * 1024 : 1u << 30;
    bool useCopyRange = true;
    off_t at = from;
    for (;;) {
        if (to >= 0 && at >= to)
            return 0;
        const std::size_t want =
            to >= 0 ? static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(chunk), to - at))
                    : chunk;
        if (useCopyRange) {
            // The kernel moves the bytes: a reflink on btrfs and xfs, a server-side copy on
            // NFS 4.2 and SMB 3, no trip through this process's memory elsewhere.
            loff_t inAt = at;
            loff_t outAt = at;
            const ssize_t n = ::copy_file_range(in, &inAt, out, &outAt, want, 0);
            if (n > 0) {
                at += n;
                throttle(static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0)
                return 0;
            if (errno == EINTR)
                continue;
            if (!isErrorOfFallback(errno)) {
                stage = CopyStage::Write;
                return errno;
            }
            useCopyRange = false;
        }
        thread_local std::unique_ptr<char[]> buffer(new char[bufferSize]);
        const ssize_t n = ::pread(in, buffer.get(), std::min(want, bufferSize), at);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            stage = CopyStage::ReadSource;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w =
                ::pwrite(out, buffer.get() + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                stage = CopyStage::Write;
                return errno;
            }
            done += w;
        }
        at += n;
        throttle(static_cast<std::size_t>(n));
    }
}

// Copies the data; on failure sets `stage` to the side that failed and returns errno. `size` is
// the source's size when it was opened: the copy ends there without another call to find the
// end, unless the size is 0 (empty, or a file that does not tell its size). A large file is
// copied in two halves at once where the copy runs on several threads anyway.
int copyData(int in, int out, off_t size, CopyStage& stage) {
    if (!g_splitLargeFiles || g_throttleKib || size < kSplitBytes)
        return copyRange(in, out, 0, size > 0 ? size : -1, stage);
    const off_t half = size / 2 / (1 << 20) * (1 << 20);
    CopyStage helperStage = CopyStage::Write;
    int helperError = 0;
    std::thread helper;
    try {
        helper = std::thread([&] { helperError = copyRange(in, out, half, size, helperStage); });
    } catch (const std::system_error&) { // no thread to spare: one after the other
        return copyRange(in, out, 0, size, stage);
    }
    int error = copyRange(in, out, 0, half, stage);
    helper.join();
    if (error == 0 && helperError != 0) {
        error = helperError;
        stage = helperStage;
    }
    return error;
}

// Some FAT drivers stamp a renamed file with the time of the rename; the copy must keep the
// source's time, or every /D run would take the old file as newer than the source.
void keepTimeAfterRename(int dstDir, const char* dstName, const struct stat& source) {
    struct stat kept {};
    if (::fstatat(dstDir, dstName, &kept, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (isNewerAtStep(kept.st_mtim, source.st_mtim, kCoarsestTimeStep) ||
        isNewerAtStep(source.st_mtim, kept.st_mtim, kCoarsestTimeStep)) {
        const timespec times[2] = {source.st_atim, source.st_mtim};
        ::utimensat(dstDir, dstName, times, AT_SYMLINK_NOFOLLOW);
    }
}

// Creates a named temporary in dstDir with `create`, under a fresh name; -1 with errno on failure.
template <class Create>
int createTemporary(const std::shared_ptr<const FolderHandle>& dstDir, std::string& name,
                    Create create) {
    for (;;) {
        name = newTempName();
        const int result =
            TempRegistry::instance().create(dstDir, name, [&] { return create(name); });
        if (result >= 0 || errno != EEXIST)
            return result;
    }
}

bool writeLink(const CopyRequest& request, WrittenCopy& copy, CopyError& error) {
    struct stat st {};
    if (::fstatat(request.srcDir, request.srcName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        error = {CopyStage::OpenSource, errno};
        return false;
    }
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlinkat(request.srcDir, request.srcName, target.data(), target.size());
    if (n < 0) {
        error = {CopyStage::ReadSource, errno};
        return false;
    }
    target.resize(static_cast<std::size_t>(n));
    const int dir = request.dstDir->fd();
    std::string temp;
    if (createTemporary(request.dstDir, temp, [&](const std::string& name) {
            return ::symlinkat(target.c_str(), dir, name.c_str());
        }) != 0) {
        error = {CopyStage::CreateTemp, errno};
        return false;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(dir, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    copy.tempName = std::move(temp);
    copy.source = st;
    return true;
}

// Gives the unnamed file `fd` the name dstName; errno on failure.
int linkUnnamed(int fd, int dstDir, const char* dstName) {
    if (::linkat(fd, "", dstDir, dstName, AT_EMPTY_PATH) == 0)
        return 0;
    // Without the capability for AT_EMPTY_PATH the descriptor's /proc entry does the same.
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, procPath, dstDir, dstName, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno;
}

// Opens the final name for writing in place, emptied and marked old: create it where it is
// missing, else truncate it by its path (an open with O_TRUNC keeps the freed clusters in some
// FAT drivers' hands); its time is set before the open, as such drivers rewrite the entry that
// they read at the open with every write. -1 with errno on failure.
int openInPlace(int dir, const char* name) {
    const int made = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (made >= 0) {
        ::close(made);
    } else {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d/", dir);
        if (errno != EEXIST || ::truncate((std::string(path) + name).c_str(), 0) != 0)
            return -1;
    }
    const timespec old[2] = {{kOldestFatTime, 0}, {kOldestFatTime, 0}};
    if (::utimensat(dir, name, old, 0) != 0)
        return -1;
    return ::openat(dir, name, O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

} // namespace

WrittenCopy& WrittenCopy::operator=(WrittenCopy&& other) noexcept {
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = std::exchange(other.fd, -1);
        tempName = std::move(other.tempName);
        inPlace = other.inPlace;
        source = other.source;
    }
    return *this;
}

WrittenCopy::~WrittenCopy() {
    if (fd >= 0)
        ::close(fd);
}

bool writeCopy(const CopyRequest& request, WrittenCopy& copy, CopyError& error) {
    if (request.asLink)
        return writeLink(request, copy, error);

    // O_NONBLOCK: should the name have become a pipe since it was looked at, opening must not
    // hang; it is refused below.
    const int in =
        ::openat(request.srcDir, request.srcName, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0) {
        error = {CopyStage::OpenSource, errno};
        return false;
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = {CopyStage::OpenSource, S_ISREG(st.st_mode) ? errno : EINVAL};
        ::close(in);
        return false;
    }

    // A new file is written unnamed and linked in under its name when complete: it is never
    // seen half-written, and even a hard kill leaves nothing behind. Where the file system
    // cannot do that, and to replace an existing file, a named temporary file is renamed.
    const int dir = request.dstDir->fd();
    const mode_t mode = request.mode;
    // No one can open a nameless file, so it may get its final permissions at once.
    const bool modeAtCreation = (mode & processUmask()) == 0;
    int out = -1;
    if (request.writeInPlace) {
        out = openInPlace(dir, request.dstName);
        if (out < 0) {
            error = {CopyStage::CreateTemp, errno};
            ::close(in);
            return false;
        }
        copy.inPlace = true;
    } else if (request.targetMissing) {
        out = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, modeAtCreation ? mode : 0600);
    }
    const bool unnamed = out >= 0 && !copy.inPlace;
    std::string temp;
    if (out < 0) {
        out = createTemporary(request.dstDir, temp, [&](const std::string& name) {
            return ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        });
        if (out < 0) {
            error = {CopyStage::CreateTemp, errno};
            ::close(in);
            return false;
        }
    }
    copy.fd = out;
    copy.tempName = std::move(temp);
    copy.source = st;

    CopyStage stage = CopyStage::Write;
    int failure = copyData(in, out, st.st_size, stage);
    ::close(in);
    // Errors show in the sync that waits for it.
    if (failure == 0 && request.flush == Flush::Start)
        ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
    if (failure == 0) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        const bool modeSet = unnamed && modeAtCreation;
        if ((!modeSet && ::fchmod(out, mode) != 0 && !isRefusedPermission(errno)) ||
            ::futimens(out, times) != 0) {
            failure = errno;
            stage = CopyStage::Finish;
        }
    }
    if (failure == 0 && request.flush == Flush::Whole && (failure = flushCopy(copy)) != 0)
        stage = CopyStage::Flush;
    // A copy in place is done once it is closed: a late write error shows there.
    if (copy.inPlace && ::close(std::exchange(copy.fd, -1)) != 0 && failure == 0) {
        failure = errno;
        stage = CopyStage::Write;
    }
    if (failure != 0) {
        discardCopy(request.dstDir, copy);
        error = {stage, failure};
        return false;
    }
    return true;
}

int flushCopy(const WrittenCopy& copy) {
    if (copy.fd < 0)
        return 0;
    while (::fsync(copy.fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

bool commitCopy(const std::shared_ptr<const FolderHandle>& dstDir, const char* dstName,
                WrittenCopy& copy, CopyError& error) {
    if (copy.inPlace)
        return true;
    const int dir = dstDir->fd();
    if (copy.tempName.empty()) {
        int failure = linkUnnamed(copy.fd, dir, dstName);
        CopyStage stage = CopyStage::Rename;
        // close reports late write errors of some file systems (network shares, quotas).
        if (::close(std::exchange(copy.fd, -1)) != 0 && failure == 0) {
            failure = errno;
            stage = CopyStage::Write;
            ::unlinkat(dir, dstName, 0);
        }
        if (failure != 0) {
            error = {stage, failure};
            return false;
        }
        return true;
    }
    if (copy.fd >= 0 && ::close(std::exchange(copy.fd, -1)) != 0) {
        error = {CopyStage::Write, errno};
        discardCopy(dstDir, copy);
        return false;
    }
    if (::renameat(dir, copy.tempName.c_str(), dir, dstName) != 0) {
        error = {CopyStage::Rename, errno};
        discardCopy(dstDir, copy);
        return false;
    }
    TempRegistry::instance().forget(*dstDir, copy.tempName);
    copy.tempName.clear();
    if (!S_ISLNK(copy.source.st_mode))
        keepTimeAfterRename(dir, dstName, copy.source);
    return true;
}

void discardCopy(const std::shared_ptr<const FolderHandle>& dstDir, WrittenCopy& copy) {
    if (copy.fd >= 0)
        ::close(std::exchange(copy.fd, -1));
    if (!copy.tempName.empty()) {
        ::unlinkat(dstDir->fd(), copy.tempName.c_str(), 0);
        TempRegistry::instance().forget(*dstDir, copy.tempName);
        copy.tempName.clear();
    }
}

mode_t processUmask() {
    // umask can only be read by setting it; this runs before any worker thread exists.
    static const mode_t mask = [] {
        const mode_t current = ::umask(022);
        ::umask(current);
        return current;
    }();
    return mask;
}

void splitLargeFiles(bool split) {
    g_splitLargeFiles = split;
}

void setCopyThrottle(unsigned long kibPerSecond) {
    g_throttleKib = kibPerSecond;
}

} // namespace xcpycmd
