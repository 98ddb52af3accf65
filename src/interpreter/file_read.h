#pragma once

#include <cstddef>
#include <string>

namespace xcpycmd {

// No batch or exclude file a person writes comes near this; a larger one is a mistake (a device,
// a disk image) that would only eat memory.
inline constexpr std::size_t kMaxCommandFileBytes = 16u << 20;

enum class ReadOutcome {
    Read,
    Failed,  // could not be opened or read: `reason` describes the error
    Refused, // not a regular file, or larger than kMaxCommandFileBytes
};

// Reads a whole batch or exclude file into bytes. Anything but a regular file of at most
// kMaxCommandFileBytes is refused without reading, so a FIFO cannot hang the run and a device
// cannot fill memory. On failure `reason` says why, in Japanese.
ReadOutcome readCommandFile(const std::string& path, std::string& bytes, std::string& reason);

} // namespace xcpycmd
