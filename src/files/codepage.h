#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Conversion between UTF-8 and code page 932 (Windows-31J), the code page of the list and
// batch files that Japanese Windows systems read and write.
namespace xcpy {

struct Conversion {
    std::string text;
    // Byte offset in the input of the first sequence that could not be converted.
    std::optional<std::size_t> errorOffset;

    bool ok() const { return !errorOffset.has_value(); }
};

// UTF-8 to code page 932. A character that code page 932 cannot hold is an error.
Conversion utf8ToCp932(std::string_view utf8);

// Code page 932 to UTF-8. A byte sequence that is not valid code page 932 is an error.
Conversion cp932ToUtf8(std::string_view cp932);

// True when the bytes start with the UTF-8 byte-order mark EF BB BF.
bool startsWithUtf8Bom(std::string_view bytes);

// UTF-8 validation, for files that announce themselves as UTF-8 with a byte-order mark.
Conversion checkedUtf8(std::string_view utf8);

} // namespace xcpy
