#include "interpreter/file_read.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace xcpycmd {

bool readWholeFile(const std::string& path, std::string& bytes, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : 0;
            ::close(fd);
            return n == 0;
        }
    }
}

} // namespace xcpycmd
