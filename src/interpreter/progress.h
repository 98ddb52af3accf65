#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace xcpycmd {

// Names the inherited file descriptor on which a window that runs us wants progress lines.
inline constexpr const char* kProgressVariable = "XCPYCMD_PROGRESS_FD";

// Files and bytes of one XCOPY line.
struct CopyAmount {
    std::int64_t files = 0;
    std::int64_t bytes = 0;
};

// Writes machine-readable progress, one line per event, ASCII, LF:
//   line K N       the batch runs its K-th of N XCOPY lines
//   plan F B       that line is going to copy F files of B bytes
//   done F B       F files of B bytes of that line are copied (sent a few times a second
//                  and once when the line ends)
//   end S          that line has ended with exit status S; what it copied is on the disk
//   wait           we are about to block for the user's input (a question, a key)
//   resume         the input has come (or the input has ended)
// A preview (xcpycmd /plan) writes nothing to the disk and tells for each XCOPY line:
//   line K N       as above
//   scan F B       F files of B bytes to copy found so far (a few times a second)
//   plan F B       the line would copy F files of B bytes now
//   found M        its pattern and exclusions select M files, copied or not
//   refused WHY    the line would copy nothing: source-missing, source-unreadable,
//                  drive-missing, bad-command, no-files
// The channel is a courtesy: when its reader goes away, nothing more is written to it.
class ProgressWriter {
public:
    explicit ProgressWriter(int fd) : fd_(fd) {}

    // The writer for the descriptor named by kProgressVariable, or null when there is none.
    static std::unique_ptr<ProgressWriter> fromEnvironment();

    void lineStarted(int number, int count);
    void planned(const CopyAmount& amount);
    void fileDone(std::int64_t bytes);
    // After the line's last "done": its result is final.
    void lineEnded(int status);
    void waitingForInput();
    void inputReceived();
    void scanned(const CopyAmount& sofar);
    void found(std::int64_t files);
    void refused(const char* reason);

private:
    void sendDone();
    void send(const std::string& text);

    int fd_;
    bool isSocket_ = true;
    bool broken_ = false; // the reader went away
    CopyAmount done_;
    timespec lastDone_{};
};

} // namespace xcpycmd
