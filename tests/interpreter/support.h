#pragma once

#include "interpreter/batch.h"
#include "interpreter/console.h"
#include "interpreter/progress.h"
#include "interpreter/xcopy.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace xcpycmd::test {

namespace fs = std::filesystem;

// Runs a shell command with its output discarded; true when it succeeded.
inline bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Why a test that mounts images cannot run here, "" when it can: it needs root, with `fuse`
// /dev/fuse too, and the `tools`.
inline std::string cannotMount(bool fuse, const std::vector<std::string>& tools) {
    if (::geteuid() != 0 || (fuse && ::access("/dev/fuse", R_OK | W_OK) != 0))
        return fuse ? "needs root and /dev/fuse to mount file systems" : "needs root to mount";
    for (const std::string& tool : tools)
        if (!run("command -v " + tool))
            return tool + " is not installed (tools/install-deps.sh)";
    return "";
}

// Polls `done` for up to ten seconds; true once it held.
inline bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Unmounts a file system mounted for a test when it goes.
struct Mounted {
    std::string point;
    ~Mounted() {
        if (!run("umount " + point))
            run("umount -l " + point);
    }
};

// A fresh temporary folder per test, removed afterwards.
class TempTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "xcpycmd-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        ::unsetenv("COPYCMD");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    std::string path(const std::string& relative) const { return (root / relative).string(); }
    // Quoted absolute path, for command lines.
    std::string q(const std::string& relative) const { return "\"" + path(relative) + "\""; }

    void write(const std::string& relative, const std::string& content) const {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << content;
    }
    std::string read(const std::string& relative) const {
        std::ostringstream text;
        text << std::ifstream(root / relative, std::ios::binary).rdbuf();
        return text.str();
    }
    bool exists(const std::string& relative) const {
        return fs::exists(fs::symlink_status(root / relative));
    }
    void setTime(const std::string& relative, std::time_t seconds, long nanoseconds = 0) const {
        const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(relative).c_str(), times, 0), 0);
    }
    // Temporary files of the copy engine anywhere below the root.
    int temporaries() const {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            count += entry.path().filename().string().starts_with(".xcpycmd-tmp-");
        return count;
    }

    struct Result {
        int status;
        std::string out;
    };
    // Runs one XCOPY command line in-process; `input` answers its questions.
    Result xcopy(const std::string& line, const std::string& input = "") const {
        std::istringstream in(input);
        std::ostringstream out;
        Console console(in, out, out);
        const int status = runXCopy(splitArguments(line), console);
        return {status, out.str()};
    }
    // Runs a batch text in-process with its progress channel written to the file `channel`.
    Result batchWithProgress(const std::string& text, const std::string& channel,
                             const std::string& input = "", bool preview = false) const {
        const int fd =
            ::open(path(channel).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        ProgressWriter writer(fd);
        std::istringstream in(input);
        std::ostringstream out;
        Console console(in, out, out);
        console.setProgress(&writer);
        console.setPreview(preview);
        const int status = runBatchText(text, console);
        ::close(fd);
        return {status, out.str()};
    }

    fs::path root;
};

// Runs the real xcpycmd program, built next to the tests.
class Binary : public TempTree {
protected:
    static inline const std::string kBinary = std::string(XCPY_BIN_DIR) + "/xcpycmd";

    // Starts xcpycmd through /bin/sh with `args`, `input` as its standard input and its output
    // in out.txt; `shell` runs first in the same shell (variables, limits).
    pid_t start(const std::string& args, const std::string& input = "",
                const std::string& shell = "") {
        write("in.txt", input);
        const std::string command = shell + "\nexec " + kBinary + " " + args + " <" + q("in.txt") +
                                    " >" + q("out.txt") + " 2>&1";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
            ::_exit(127);
        }
        return pid;
    }
    int wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }
    // The exit status of a process that wait() returned, or 128 + the signal that ended it.
    static int exitStatus(int status) {
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Waits until a run started here has shown its first line, and a little more.
    void waitUntilRunning() {
        waitUntil([&] { return read("out.txt").find("XCopy.exe") != std::string::npos; });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // Runs a batch text through the real program; returns its exit status and output.
    Result runBatch(const std::string& text, const std::string& input = "",
                    const std::string& shell = "") {
        write("run.bat", text);
        const int status = wait(start("/c " + q("run.bat"), input, shell));
        return {exitStatus(status), read("out.txt")};
    }
};

// The lines of `out` that start with `prefix`: the names a copy showed, in order.
inline std::vector<std::string> namesIn(const std::string& out, const std::string& prefix) {
    std::vector<std::string> names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(prefix))
            names.push_back(line);
    return names;
}

// Copy tests run with the walking thread copying alone and with four workers.
class WithWorkers : public TempTree, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        TempTree::SetUp();
        ::setenv("XCPYCMD_WORKERS", std::to_string(GetParam()).c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XCPYCMD_WORKERS");
        TempTree::TearDown();
    }
};

} // namespace xcpycmd::test
