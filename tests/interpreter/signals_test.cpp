#include "support.h"
#include "support/fuse_script.h"

namespace xcpycmd::test {
namespace {

using namespace std::chrono_literals;

// Signals and readers that go away: what ends a run, and what must not.
class Signals : public Binary {
protected:
    void SetUp() override {
        Binary::SetUp();
        for (int i = 0; i < 8; ++i)
            write("src/f" + std::to_string(i) + ".bin", std::string(256 << 10, 'a' + i));
        write("run.bat", "XCopy.exe " + q("src") + " " + q("dst") + " /E /I /Y\r\n");
    }
    bool allCopied() const {
        for (int i = 0; i < 8; ++i)
            if (read("dst/f" + std::to_string(i) + ".bin") != std::string(256 << 10, 'a' + i))
                return false;
        return true;
    }
};

// A hangup the starter ignores and a progress reader gone before the first line cost only
// the progress: the run goes on to the end.
TEST_F(Signals, anInheritedIgnoreOfHangupAndAGoneProgressReaderKeepTheRunGoing) {
    int channel[2];
    ASSERT_EQ(::pipe2(channel, O_CLOEXEC), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGHUP, SIG_IGN);
        ::dup2(channel[1], 3);
        ::setenv("XCPYCMD_PROGRESS_FD", "3", 1);
        ::setenv("XCPYCMD_WORKERS", "1", 1);
        ::setenv("XCPYCMD_THROTTLE_KIB", "1024", 1);
        const std::string out = path("out.txt");
        ::freopen(out.c_str(), "w", stdout);
        ::execl(kBinary.c_str(), "xcpycmd", "/c", path("run.bat").c_str(), nullptr);
        ::_exit(127);
    }
    ::close(channel[1]);
    ::close(channel[0]);
    waitUntilRunning();
    ::kill(pid, SIGHUP);
    const int status = wait(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << read("out.txt");
    EXPECT_TRUE(allCopied());
}

// A destination whose server stopped answering holds the run in the kernel, in a wait that
// only a fatal signal breaks; SIGTERM ends it there as it would end a running copy.
TEST_F(Signals, terminationEndsARunBlockedOnADestinationThatDoesNotAnswer) {
    fs::create_directories(path("share"));
    const xcpy::test::FuseScript share(XCPY_SILENT_SHARE, path("share"), {"30"});
    if (!share.unavailable.empty())
        GTEST_SKIP() << share.unavailable;
    // Its requests now wait unread, as for a server that went away. A thread of it that has not
    // stopped yet could still take a request, which then holds the run in the kernel for good.
    ::kill(share.server(), SIGSTOP);
    const std::string tasks = "/proc/" + std::to_string(share.server()) + "/task";
    EXPECT_TRUE(waitUntil([&] {
        for (const auto& task : fs::directory_iterator(tasks)) {
            const std::string stat = read(task.path() / "stat");
            if (stat.find(") T") == std::string::npos)
                return false;
        }
        return true;
    }));
    write("run.bat", "XCopy.exe " + q("src") + " " + q("share/backup") + " /E /I /Y\r\n");
    const pid_t pid = start("/c " + q("run.bat"));
    // Sent once the run waits in the kernel for the share: for its answer, or for the share to
    // take requests at all when it stopped before it was ready.
    EXPECT_TRUE(waitUntil([&] {
        const std::string where = read("/proc/" + std::to_string(pid) + "/wchan");
        return where == "request_wait_answer" || where == "fuse_get_req";
    }));
    const auto sent = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    int status = 0;
    if (!waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        wait(pid);
    }
    const auto took = std::chrono::steady_clock::now() - sent;
    ::kill(share.server(), SIGCONT);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_LT(took, 3s);
}

TEST_F(Binary, oneWorkerCopiesOneFileAtATimeAndKeepsFewFoldersOpen) {
    // More folders than the descriptors allowed: each must be let go once its copies are done.
    for (int i = 0; i < 300; ++i)
        write("src/d" + std::to_string(i) + "/f.txt", std::to_string(i));
    const std::string batch = "XCopy.exe " + q("src") + " " + q("dst") + " /E /I /Y\r\n";
    for (const char* workers : {"1", "4"}) {
        SCOPED_TRACE(std::string(workers) + " workers");
        fs::remove_all(path("dst"));
        const auto r =
            runBatch(batch, "", std::string("ulimit -n 128; export XCPYCMD_WORKERS=") + workers);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("300 個のファイルをコピーしました"), std::string::npos) << r.out;
    }

    // The workers asked for are the threads copying.
    for (int i = 0; i < 4; ++i)
        write("big/f" + std::to_string(i) + ".bin", std::string(512 << 10, 'x'));
    write("run.bat", "XCopy.exe " + q("big") + " " + q("bigcopy") + " /E /I /Y\r\n");
    for (const auto& [workers, copying] : {std::pair{"1", 0}, std::pair{"4", 4}}) {
        fs::remove_all(path("bigcopy"));
        const pid_t pid =
            start("/c " + q("run.bat"), "",
                  std::string("export XCPYCMD_THROTTLE_KIB=1024 XCPYCMD_WORKERS=") + workers);
        waitUntilRunning();
        int threads = 0; // one worker copies in the walking thread itself
        for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
            std::ifstream name(task.path() / "comm");
            std::string comm;
            std::getline(name, comm);
            threads += comm == "xcpycmd-copy";
        }
        EXPECT_EQ(threads, copying) << workers << " workers";
        wait(pid);
    }
}

} // namespace
} // namespace xcpycmd::test
