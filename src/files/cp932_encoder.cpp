#include "files/cp932_encoder.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>
#include <utility>
#include <vector>

namespace xcpy {
namespace {

// Code page 932 form of every BMP character: one byte as 0x00XX, two bytes as 0xLLTT (the lead
// byte is at least 0x81, so the two never mix); 0 means none. U+0000 is handled apart.
// iconv also maps a few characters one way only (U+00A5 to the backslash byte, U+301C to the
// byte pair that reads back as U+FF5E, ...). Writing those would change a folder's name, so they
// count as having no form here; what they would read back as is kept for the message.
class EncodeTable {
public:
    EncodeTable() {
        iconv_t cd = iconv_open("CP932", "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert UTF-8 to CP932");
        codes_.fill(0);
        std::array<std::uint16_t, 0x10000> decoded = decodeTable();
        for (char32_t c = 1; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            char in[3];
            std::size_t inLeft = 0;
            if (c < 0x80) {
                in[inLeft++] = static_cast<char>(c);
            } else if (c < 0x800) {
                in[inLeft++] = static_cast<char>(0xC0 | (c >> 6));
                in[inLeft++] = static_cast<char>(0x80 | (c & 0x3F));
            } else {
                in[inLeft++] = static_cast<char>(0xE0 | (c >> 12));
                in[inLeft++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                in[inLeft++] = static_cast<char>(0x80 | (c & 0x3F));
            }
            unsigned char out[8];
            char* inPtr = in;
            char* outPtr = reinterpret_cast<char*>(out);
            std::size_t outLeft = sizeof out;
            const std::size_t status = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
            const std::size_t produced = sizeof out - outLeft;
            if (status == static_cast<std::size_t>(-1) || inLeft != 0) {
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            std::uint16_t code = 0;
            if (produced == 1)
                code = out[0];
            else if (produced == 2)
                code = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
            if (code == 0)
                continue;
            if (decoded[code] == c)
                codes_[c] = code;
            else
                lookalikes_.emplace_back(c, decoded[code]);
        }
        iconv_close(cd);
    }

    std::uint16_t code(char16_t unit) const { return codes_[unit]; }

    char32_t lookalike(char32_t c) const {
        for (const auto& [from, to] : lookalikes_) {
            if (from == c)
                return to;
        }
        return 0;
    }

private:
    // The character each one- or two-byte code reads back as (0: not a character).
    static std::array<std::uint16_t, 0x10000> decodeTable() {
        std::array<std::uint16_t, 0x10000> table{};
        iconv_t cd = iconv_open("UTF-16LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert CP932 to UTF-16");
        for (std::uint32_t code = 1; code < 0x10000; ++code) {
            if (code > 0xFF && (code >> 8) < 0x81)
                continue;
            char in[2];
            std::size_t inLeft = 0;
            if (code > 0xFF)
                in[inLeft++] = static_cast<char>(code >> 8);
            in[inLeft++] = static_cast<char>(code & 0xFF);
            unsigned char out[8];
            char* inPtr = in;
            char* outPtr = reinterpret_cast<char*>(out);
            std::size_t outLeft = sizeof out;
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
                inLeft != 0 || sizeof out - outLeft != 2) {
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            table[code] = static_cast<std::uint16_t>(out[0] | out[1] << 8);
        }
        iconv_close(cd);
        return table;
    }

    std::array<std::uint16_t, 0x10000> codes_;
    std::vector<std::pair<char32_t, char32_t>> lookalikes_;
};

const EncodeTable& encodeTable() {
    static const EncodeTable table;
    return table;
}

} // namespace

std::optional<qsizetype> appendCp932(QStringView text, QByteArray& out) {
    const EncodeTable& table = encodeTable();
    const qsizetype start = out.size();
    // Two bytes per unit at most; write through a pointer and cut back afterwards.
    out.resize(start + 2 * text.size());
    char* cursor = out.data() + start;
    std::optional<qsizetype> failedAt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const std::uint16_t code = table.code(unit);
        if (code == 0 && unit != 0) {
            failedAt = i;
            break;
        }
        if (code > 0xFF)
            *cursor++ = static_cast<char>(code >> 8);
        *cursor++ = static_cast<char>(code & 0xFF);
    }
    out.resize(cursor - out.data());
    return failedAt;
}

char32_t cp932Lookalike(char32_t c) {
    return encodeTable().lookalike(c);
}

char32_t characterAt(QStringView text, qsizetype index) {
    const QChar unit = text[index];
    if (unit.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(unit, text[index + 1]);
    return unit.unicode();
}

} // namespace xcpy
