#include "interpreter/file_read.h"

#include "interpreter/messages.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xcpycmd {

ReadOutcome readCommandFile(const std::string& path, std::string& bytes, std::string& reason) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer before it can be refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        reason = messages::errorText(errno);
        return ReadOutcome::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = messages::errorText(errno);
        ::close(fd);
        return ReadOutcome::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "通常のファイルではありません";
        ::close(fd);
        return ReadOutcome::Refused;
    }
    const std::string tooLarge =
        "ファイルが大きすぎます (" + std::to_string(kMaxCommandFileBytes >> 20) + " MB まで)";
    if (static_cast<std::size_t>(st.st_size) > kMaxCommandFileBytes) {
        reason = tooLarge;
        ::close(fd);
        return ReadOutcome::Refused;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
            if (bytes.size() > kMaxCommandFileBytes) { // it grew while being read
                reason = tooLarge;
                ::close(fd);
                return ReadOutcome::Refused;
            }
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0)
                reason = messages::errorText(errno);
            ::close(fd);
            return n == 0 ? ReadOutcome::Read : ReadOutcome::Failed;
        }
    }
}

} // namespace xcpycmd
