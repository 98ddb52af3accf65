#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string_view>

namespace xcpycmd {

class ProgressWriter;

// The streams a command talks through. Every line is flushed at once: the reader is usually
// a console window behind a pipe that should show progress as it happens.
class Console {
public:
    Console(std::istream& in, std::ostream& out, std::ostream& err)
        : in_(in), out_(out), err_(err) {}

    void line(std::string_view text);
    void errorLine(std::string_view text);
    // Writes text without a line end, for questions and the progress of a pause.
    void write(std::string_view text);

    // Asks until the answer is one of `choices` (upper-case letters) and returns that letter,
    // or nullopt at the end of input. An answer is a single key or a line; case is ignored.
    std::optional<char> ask(std::string_view question, std::string_view choices);
    // Waits for one byte of input. False at the end of input.
    bool waitKey();

    // The progress channel of a window that runs us; null when nobody asked for one.
    ProgressWriter* progress() const { return progress_; }
    void setProgress(ProgressWriter* progress) { progress_ = progress; }

    // A preview plans the XCOPY lines and tells the plan on the progress channel; it writes
    // nothing, asks nothing and runs no other command.
    bool preview() const { return preview_; }
    void setPreview(bool preview) { preview_ = preview; }

    // Called when the output's reader went away (a broken pipe).
    void onOutputLost(void (*lost)()) { outputLost_ = lost; }

private:
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    ProgressWriter* progress_ = nullptr;
    bool preview_ = false;
    void (*outputLost_)() = nullptr;

    void checkOutput(std::ostream& stream);
};

// Unbuffered reading of a file descriptor, one byte per read, so nothing typed ahead is held
// back and in_avail() tells whether more bytes are waiting without blocking.
class FdInputBuffer : public std::streambuf {
public:
    explicit FdInputBuffer(int fd) : fd_(fd) {}

protected:
    int_type underflow() override;
    std::streamsize showmanyc() override;

private:
    int fd_;
    char byte_ = 0;
};

} // namespace xcpycmd
