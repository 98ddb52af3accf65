#pragma once

#include <string>

namespace xcpycmd::messages {

inline constexpr const char* kPressAnyKey = "続行するには、どれかキーを押してください . . . ";

// A Japanese description of an errno value.
std::string errorText(int error);

} // namespace xcpycmd::messages
