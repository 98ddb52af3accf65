#include "interpreter/progress.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace xcpycmd {

namespace {

// Progress of a line is sent at most this often; the reader redraws a few times a second.
constexpr long kDoneIntervalNs = 100'000'000;

timespec now() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return t;
}

long nanosBetween(const timespec& from, const timespec& to) {
    return (to.tv_sec - from.tv_sec) * 1'000'000'000L + (to.tv_nsec - from.tv_nsec);
}

} // namespace

std::unique_ptr<ProgressWriter> ProgressWriter::fromEnvironment() {
    const char* value = std::getenv(kProgressVariable);
    if (!value || !*value)
        return nullptr;
    char* end = nullptr;
    const long fd = std::strtol(value, &end, 10);
    if (*end != '\0' || fd < 0 || fd > 65535 || ::fcntl(static_cast<int>(fd), F_GETFD) < 0)
        return nullptr;
    return std::make_unique<ProgressWriter>(static_cast<int>(fd));
}

void ProgressWriter::lineStarted(int number, int count) {
    done_ = {};
    lastDone_ = now();
    send("line " + std::to_string(number) + ' ' + std::to_string(count) + '\n');
}

void ProgressWriter::planned(const CopyAmount& amount) {
    send("plan " + std::to_string(amount.files) + ' ' + std::to_string(amount.bytes) + '\n');
}

void ProgressWriter::fileDone(std::int64_t bytes) {
    ++done_.files;
    done_.bytes += bytes;
    const timespec t = now();
    if (nanosBetween(lastDone_, t) >= kDoneIntervalNs) {
        lastDone_ = t;
        sendDone();
    }
}

void ProgressWriter::lineEnded(int status) {
    sendDone();
    send("end " + std::to_string(status) + '\n');
}

void ProgressWriter::waitingForInput() {
    send("wait\n");
}

void ProgressWriter::inputReceived() {
    send("resume\n");
}

void ProgressWriter::scanned(const CopyAmount& sofar) {
    send("scan " + std::to_string(sofar.files) + ' ' + std::to_string(sofar.bytes) + '\n');
}

void ProgressWriter::found(std::int64_t files) {
    send("found " + std::to_string(files) + '\n');
}

void ProgressWriter::refused(const char* reason) {
    send(std::string("refused ") + reason + '\n');
}

void ProgressWriter::sendDone() {
    send("done " + std::to_string(done_.files) + ' ' + std::to_string(done_.bytes) + '\n');
}

// A reader that went away costs the progress, never the copy: after a failed write nothing more
// is sent. On a socket the write raises no SIGPIPE; on a pipe xcpycmd ignores SIGPIPE.
void ProgressWriter::send(const std::string& text) {
    if (broken_)
        return;
    std::size_t sent = 0;
    while (sent < text.size()) {
        const char* data = text.data() + sent;
        const std::size_t size = text.size() - sent;
        const ssize_t n =
            isSocket_ ? ::send(fd_, data, size, MSG_NOSIGNAL) : ::write(fd_, data, size);
        if (n < 0 && errno == ENOTSOCK) {
            isSocket_ = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            broken_ = true;
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

} // namespace xcpycmd
