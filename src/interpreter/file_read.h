#pragma once

#include <string>

namespace xcpycmd {

// Appends the whole file to bytes. On failure returns false with the errno value in error.
bool readWholeFile(const std::string& path, std::string& bytes, int& error);

} // namespace xcpycmd
