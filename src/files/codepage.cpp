#include "files/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace xcpy {
namespace {

// One iconv descriptor per conversion call, released on every path.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~IconvHandle() { iconv_close(cd_); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

Conversion convert(std::string_view input, const char* to, const char* from) {
    IconvHandle cd(to, from);
    Conversion result;
    // Code page 932 needs at most two bytes per character and UTF-8 at most three for the
    // characters it holds; four per input byte leaves room in both directions.
    result.text.resize(input.size() * 4 + 4);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = result.text.data();
    std::size_t outLeft = result.text.size();
    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                const std::size_t used = result.text.size() - outLeft;
                result.text.resize(result.text.size() * 2);
                out = result.text.data() + used;
                outLeft = result.text.size() - used;
                continue;
            }
            // EILSEQ or EINVAL: an invalid or incomplete sequence stops the conversion.
            result.errorOffset = input.size() - inLeft;
            break;
        }
    }
    result.text.resize(result.text.size() - outLeft);
    return result;
}

} // namespace

Conversion utf8ToCp932(std::string_view utf8) {
    return convert(utf8, "CP932", "UTF-8");
}

Conversion cp932ToUtf8(std::string_view cp932) {
    return convert(cp932, "UTF-8", "CP932");
}

bool startsWithUtf8Bom(std::string_view bytes) {
    return bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

Conversion checkedUtf8(std::string_view utf8) {
    return convert(utf8, "UTF-8", "UTF-8");
}

} // namespace xcpy
