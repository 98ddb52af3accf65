#pragma once

#include <ctime>

namespace xcpycmd {

// The step, in nanoseconds, at which the file system of the open folder `dirFd` stores
// modification times: 2 s on FAT, 10 ms or 2 s on exFAT, 100 ns on NTFS, 1 s where whole seconds
// are kept, 1 where nanoseconds are. It is measured by setting a time on a nameless (or, where
// the file system has none, temporary) file in the folder and reading back what was stored;
// where no such file can be made, the file system's type decides, and where the type does not
// tell, the coarsest step is taken. Without mayWrite only the type decides.
long timeStepOf(int dirFd, bool mayWrite);

// No file system stores times more coarsely (FAT's 2 s).
inline constexpr long kCoarsestTimeStep = 2'000'000'000;

// 1980-01-01, the oldest time FAT can hold: a copy that carries it is older than any source.
inline constexpr time_t kOldestFatTime = 315'532'800;

// The step that a file system keeping `stored` for the requested time `wanted` works at.
long timeStepFromStored(const timespec& wanted, const timespec& stored);

// Whether source is newer than a copy whose time was stored at `step`: a stored time equal to
// the source's at that step (rounded down or up) is the same time.
bool isNewerAtStep(const timespec& source, const timespec& stored, long step);

} // namespace xcpycmd
