#include "interpreter/time_step.h"

#include "interpreter/file_system_kind.h"
#include "interpreter/temp_files.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace xcpycmd {
namespace {

constexpr long long kSecond = 1'000'000'000;
constexpr long kFatStep = kCoarsestTimeStep;
constexpr long kExFatStep = 10'000'000;
constexpr long kNtfsStep = 100;

long long nanos(const timespec& t) {
    return static_cast<long long>(t.tv_sec) * kSecond + t.tv_nsec;
}

// Sets an odd second with odd nanoseconds on a scratch file in the folder and reads back what
// the file system kept; 0 when no scratch file can be made there.
long measuredStep(int dirFd) {
    int fd = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    std::string name;
    if (fd < 0) {
        name = newTempName();
        fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return 0;
    }
    const timespec wanted{1'000'000'001, 123'456'789}; // an odd second: no FAT time
    const timespec times[2] = {wanted, wanted};
    struct stat st {};
    const bool ok = ::futimens(fd, times) == 0 && ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!name.empty())
        ::unlinkat(dirFd, name.c_str(), 0);
    return ok ? timeStepFromStored(wanted, st.st_mtim) : 0;
}

} // namespace

long timeStepFromStored(const timespec& wanted, const timespec& stored) {
    const long long kept = nanos(stored);
    long long off = nanos(wanted) - kept;
    if (off < 0)
        off = -off;
    if (off == 0)
        return 1;
    // The coarsest step the kept time lies on that also explains the difference: a file system
    // rounding 1.123456789 s to 1.1234567 s works at 100 ns, to 0 s or 2 s at 2 s.
    for (const long step : {kFatStep, 1'000'000'000L, kExFatStep, 1'000L, kNtfsStep})
        if (kept % step == 0 && off < step)
            return step;
    return kFatStep;
}

long timeStepOf(int dirFd, bool mayWrite) {
    const FileSystemKind kind = fileSystemKindOf(dirFd);
    // No scratch name may come and go where copies are written in place.
    const long step = mayWrite && !kind.writeInPlace ? measuredStep(dirFd) : 0;
    if (step > 0)
        return step;
    // A type that does not tell its step may round times: compared at the coarsest step, a copy
    // that is up to date is never taken for an older one.
    return kind.timeStep > 0 ? kind.timeStep : kCoarsestTimeStep;
}

bool isNewerAtStep(const timespec& source, const timespec& stored, long step) {
    return nanos(source) - nanos(stored) >= step;
}

} // namespace xcpycmd
