#include "interpreter/safe_copy.h"

#include "interpreter/time_step.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace xcpycmd {
namespace {

// The temporary file each copying thread is writing, for the signal handler: slot 0 is the
// walking thread's, the others the workers'.
struct TempSlot {
    std::atomic<int> active{0};
    int dir = -1;
    char name[64] = {};
};
TempSlot g_slots[kMaxCopyThreads + 1];
thread_local unsigned t_slot = 0;

// Threads between registering a temporary file and knowing it exists or not: the handler waits
// for them, so no file is created after it has removed the registered ones.
std::atomic<int> g_creating{0};
thread_local volatile std::sig_atomic_t t_creating = 0;
std::atomic<bool> g_dying{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

unsigned long g_throttleKib = 0;

// Files from this size on are copied in two halves at once when several threads copy.
constexpr off_t kSplitBytes = 32 << 20;
std::atomic<bool> g_splitLargeFiles{false};

void onInterrupt(int sig) {
    g_dying.store(true);
    for (int i = 0; i < 200 && g_creating.load() > t_creating; ++i) {
        timespec pause{0, 5'000'000};
        ::nanosleep(&pause, nullptr);
    }
    for (TempSlot& slot : g_slots)
        if (slot.active.load())
            ::unlinkat(slot.dir, slot.name, 0);
    static const char note[] = "\n中断しました。\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, note, sizeof note - 1);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

// Registers `name` in dir as this thread's temporary file and creates it with `create`
// (returning a negative value with errno on failure); a failed file is unregistered.
template <class Create> int createRegistered(int dir, const std::string& name, Create create) {
    TempSlot& slot = g_slots[t_slot];
    t_creating = 1;
    g_creating.fetch_add(1);
    if (g_dying.load()) {
        for (;;) // the process ends in a moment; this thread must not make another file
            ::pause();
    }
    std::snprintf(slot.name, sizeof slot.name, "%s", name.c_str());
    slot.dir = dir;
    slot.active.store(1);
    const int result = create();
    const int error = errno;
    if (result < 0)
        slot.active.store(0);
    g_creating.fetch_sub(1);
    t_creating = 0;
    errno = error;
    return result;
}

void clearTemp() {
    g_slots[t_slot].active.store(0);
}

// ".xcpycmd-tmp-<pid>-<random>": the process id lets a later run tell a leftover from the
// file of a run that is still going.
std::string makeTempName() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = std::string(kTempPrefix) + std::to_string(::getpid()) + "-";
    for (int i = 0; i < 8; ++i)
        name += letters[random() % (sizeof letters - 1)];
    return name;
}

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

bool copyLink(int srcDir, const char* srcName, int dstDir, const char* dstName, CopyError& error) {
    struct stat st {};
    if (::fstatat(srcDir, srcName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        error = {CopyStage::OpenSource, errno};
        return false;
    }
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlinkat(srcDir, srcName, target.data(), target.size());
    if (n < 0) {
        error = {CopyStage::ReadSource, errno};
        return false;
    }
    target.resize(static_cast<std::size_t>(n));
    std::string temp;
    for (;;) {
        temp = makeTempName();
        if (createRegistered(dstDir, temp, [&] {
                return ::symlinkat(target.c_str(), dstDir, temp.c_str());
            }) == 0)
            break;
        const int e = errno;
        if (e != EEXIST) {
            error = {CopyStage::CreateTemp, e};
            return false;
        }
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(dstDir, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (::renameat(dstDir, temp.c_str(), dstDir, dstName) != 0) {
        error = {CopyStage::Rename, errno};
        ::unlinkat(dstDir, temp.c_str(), 0);
        clearTemp();
        return false;
    }
    clearTemp();
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

} // namespace

bool copyFileSafely(int srcDir, const char* srcName, bool asLink, int dstDir, const char* dstName,
                    bool targetMissing, mode_t mode, CopyError& error) {
    if (asLink)
        return copyLink(srcDir, srcName, dstDir, dstName, error);

    // O_NONBLOCK: should the name have become a pipe since it was looked at, opening must not
    // hang; it is refused below.
    const int in = ::openat(srcDir, srcName, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
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
    int out = -1;
    bool unnamed = false;
    // No one can open a nameless file, so it may get its final permissions at once.
    const bool modeAtCreation = (mode & processUmask()) == 0;
    if (targetMissing) {
        out = ::openat(dstDir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, modeAtCreation ? mode : 0600);
        unnamed = out >= 0;
    }
    std::string temp;
    while (!unnamed) {
        temp = makeTempName();
        out = createRegistered(dstDir, temp, [&] {
            return ::openat(dstDir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        });
        if (out >= 0)
            break;
        const int e = errno;
        if (e != EEXIST) {
            ::close(in);
            error = {CopyStage::CreateTemp, e};
            return false;
        }
    }

    CopyStage stage = CopyStage::Write;
    int failure = copyData(in, out, st.st_size, stage);
    ::close(in);
    if (failure == 0) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        const bool modeSet = unnamed && modeAtCreation;
        if ((!modeSet && ::fchmod(out, mode) != 0 && !isRefusedPermission(errno)) ||
            ::futimens(out, times) != 0) {
            failure = errno;
            stage = CopyStage::Finish;
        }
    }
    bool linked = false;
    if (unnamed && failure == 0) {
        failure = linkUnnamed(out, dstDir, dstName);
        linked = failure == 0;
        stage = CopyStage::Rename;
    }
    // close reports late write errors of some file systems (network shares, quotas).
    if (::close(out) != 0 && failure == 0) {
        failure = errno;
        stage = CopyStage::Write;
        if (linked)
            ::unlinkat(dstDir, dstName, 0);
    }
    if (!unnamed && failure == 0) {
        if (::renameat(dstDir, temp.c_str(), dstDir, dstName) == 0) {
            keepTimeAfterRename(dstDir, dstName, st);
        } else {
            failure = errno;
            stage = CopyStage::Rename;
        }
    }
    if (failure != 0) {
        if (!unnamed)
            ::unlinkat(dstDir, temp.c_str(), 0);
        clearTemp();
        error = {stage, failure};
        return false;
    }
    clearTemp();
    return true;
}

void removeLeftoverTemporaries(int dir) {
    // Read straight from the folder's own descriptor: no second open of the folder, which
    // costs a round trip on FUSE and network file systems. Nothing else reads its entries.
    if (::lseek(dir, 0, SEEK_SET) != 0)
        return;
    alignas(8) char buffer[32768];
    const std::size_t prefixLength = std::strlen(kTempPrefix);
    for (;;) {
        const ssize_t n = ::getdents64(dir, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (std::strncmp(entry->d_name, kTempPrefix, prefixLength) != 0)
                continue;
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name + prefixLength, &end, 10);
            if (end == entry->d_name + prefixLength || *end != '-' || pid <= 0)
                continue;
            const bool running =
                pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
            if (!running)
                ::unlinkat(dir, entry->d_name, 0);
        }
    }
}

void installInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&action.sa_mask, sig);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(sig, &action, nullptr);
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

void registerCopyThread(unsigned slot) {
    t_slot = slot;
}

void setCopyThrottle(unsigned long kibPerSecond) {
    g_throttleKib = kibPerSecond;
}

} // namespace xcpycmd
