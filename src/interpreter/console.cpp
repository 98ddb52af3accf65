#include "interpreter/console.h"

#include "interpreter/progress.h"

#include <cctype>
#include <cerrno>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace xcpycmd {

namespace {

// Tells the window that runs us that we block for the user from here to the end of the scope,
// so the time spent waiting is not counted as copying.
class InputWait {
public:
    explicit InputWait(ProgressWriter* progress) : progress_(progress) {
        if (progress_)
            progress_->waitingForInput();
    }
    ~InputWait() {
        if (progress_)
            progress_->inputReceived();
    }
    InputWait(const InputWait&) = delete;
    InputWait& operator=(const InputWait&) = delete;

private:
    ProgressWriter* progress_;
};

} // namespace

void Console::checkOutput(std::ostream& stream) {
    if (!stream && errno == EPIPE && outputLost_)
        outputLost_();
}

void Console::line(std::string_view text) {
    out_ << text << '\n' << std::flush;
    checkOutput(out_);
}

void Console::errorLine(std::string_view text) {
    out_ << std::flush;
    err_ << text << '\n' << std::flush;
    checkOutput(err_);
}

void Console::write(std::string_view text) {
    out_ << text << std::flush;
    checkOutput(out_);
}

std::optional<char> Console::ask(std::string_view question, std::string_view choices) {
    const InputWait waiting(progress_);
    for (;;) {
        write(question);
        int c = in_.get();
        // Line ends and blanks left over from an earlier answer are not an answer.
        while (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            c = in_.get();
        if (c == std::char_traits<char>::eof()) {
            in_.clear(std::ios::eofbit);
            line("");
            return std::nullopt;
        }
        // The rest of a typed line belongs to this answer; take it only when it is already
        // there, so a single key press does not wait for more.
        while (in_.rdbuf()->in_avail() > 0) {
            const int next = in_.get();
            if (next == '\n' || next == std::char_traits<char>::eof())
                break;
        }
        const char answer = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (choices.find(answer) != std::string_view::npos) {
            line(std::string(1, answer));
            return answer;
        }
        line("");
    }
}

bool Console::waitKey() {
    const InputWait waiting(progress_);
    if (in_.get() == std::char_traits<char>::eof()) {
        in_.clear(std::ios::eofbit);
        return false;
    }
    return true;
}

FdInputBuffer::int_type FdInputBuffer::underflow() {
    for (;;) {
        const ssize_t n = ::read(fd_, &byte_, 1);
        if (n == 1) {
            setg(&byte_, &byte_, &byte_ + 1);
            return traits_type::to_int_type(byte_);
        }
        if (n < 0 && errno == EINTR)
            continue;
        return traits_type::eof();
    }
}

std::streamsize FdInputBuffer::showmanyc() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & POLLIN))
        return 1;
    return 0;
}

} // namespace xcpycmd
