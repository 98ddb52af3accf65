#pragma once

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace xcpy::test {

// A FUSE file system served by one of the scripts here, `python3 script mountPoint args...`:
// failing_fs.py, whose flushes to disk fail as a pulled stick's or a full disk's do, or
// silent_share.py, whose lookups block as those of a share that stopped answering. Needs root and
// /dev/fuse; `unavailable` says why it could not be mounted. Whatever happens, it is unmounted and
// its process ended when this object goes. Plain POSIX, so any test program can use it.
class FuseScript {
public:
    FuseScript(const char* script, const std::string& mountPoint,
               const std::vector<std::string>& options)
        : mountPoint_(mountPoint) {
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0) {
            unavailable = "needs root and /dev/fuse to mount a FUSE file system";
            return;
        }
        std::vector<std::string> args{"/usr/bin/python3", script, mountPoint};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            unavailable = "no pipe for the file system's output";
            return;
        }
        server_ = ::fork();
        if (server_ == 0) {
            // Its own session: a kill of the test's process group leaves it alive to unmount.
            ::setsid();
            ::dup2(out[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        // Kept open while the file system runs, so that nothing it prints fails.
        output_ = out[0];
        if (!said("ready", 10000))
            unavailable = "the FUSE file system did not mount (see its messages above)";
    }

    // Whether the file system has printed `word`, waiting for it up to `milliseconds`.
    bool said(const std::string& word, int milliseconds = 0) {
        pollfd output{output_, POLLIN, 0};
        char buffer[256];
        ssize_t n = 0;
        while (said_.find(word) == std::string::npos && ::poll(&output, 1, milliseconds) == 1 &&
               (n = ::read(output_, buffer, sizeof buffer)) > 0)
            said_.append(buffer, static_cast<std::size_t>(n));
        return said_.find(word) != std::string::npos;
    }

    ~FuseScript() {
        // A lazy unmount needs no answer from the file system; ending its process then fails
        // whatever still waits on it.
        const std::string umount = "umount -l '" + mountPoint_ + "' 2>/dev/null";
        [[maybe_unused]] const int ignored = std::system(umount.c_str());
        if (server_ > 0) {
            ::kill(server_, SIGKILL);
            ::waitpid(server_, nullptr, 0);
        }
        if (output_ >= 0)
            ::close(output_);
    }

    FuseScript(const FuseScript&) = delete;
    FuseScript& operator=(const FuseScript&) = delete;

    pid_t server() const { return server_; }

    std::string unavailable;

private:
    std::string mountPoint_;
    pid_t server_ = -1;
    int output_ = -1;
    std::string said_;
};

} // namespace xcpy::test
