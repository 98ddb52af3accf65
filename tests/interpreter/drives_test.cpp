#include "interpreter/file_system_kind.h"
#include "interpreter/time_step.h"
#include "support.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace xcpycmd::test {
namespace {

// Runs `command` and returns its exit status and what it printed.
std::pair<int, std::string> output(const std::string& command) {
    std::pair<int, std::string> result{-1, ""};
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        result.second.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.first = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The end of a long report, where its errors are.
std::string ending(const std::string& text) {
    return text.size() > 2000 ? "..." + text.substr(text.size() - 2000) : text;
}

// fusefat writes the FAT and the clean mark after the unmount has returned: it runs in the
// foreground here, so that its end, after which the image is complete, can be awaited. On a
// damaged folder it may spin for good, with the copy waiting on it: past `limit` it is killed,
// which fails every request still waiting.
class FuseFat {
public:
    FuseFat(const std::string& image, const std::string& point, std::chrono::seconds limit)
        : point_(point) {
        struct stat before {};
        ::stat(point.c_str(), &before);
        posix_spawn_file_actions_t quiet; // it reports every request on stderr
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"fusefat", "-f", "-o", "rw+", image.c_str(), point.c_str(), nullptr};
        if (posix_spawnp(&pid_, "fusefat", &quiet, nullptr, const_cast<char* const*>(argv),
                         environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&quiet);
        for (int i = 0; pid_ > 0 && i < 1000 && !mounted_; ++i) {
            struct stat now {};
            mounted_ = ::stat(point.c_str(), &now) == 0 && now.st_dev != before.st_dev;
            if (!mounted_)
                ::usleep(10'000);
        }
        if (pid_ > 0)
            watchdog_ = std::thread([this, limit] {
                std::unique_lock hold(lock_);
                if (!ended_.wait_for(hold, limit, [this] { return ending_; })) {
                    stalled_ = true;
                    ::kill(pid_, SIGKILL);
                }
            });
    }
    ~FuseFat() { unmount(); }
    bool mounted() const { return mounted_; }
    bool stalled() const { return stalled_; }
    void unmount() {
        if (pid_ <= 0)
            return;
        {
            const std::lock_guard hold(lock_);
            ending_ = true;
        }
        ended_.notify_one();
        watchdog_.join();
        const bool unmounted =
            mounted_ && !stalled_ && (run("fusermount -u " + point_) || run("umount " + point_));
        if (!unmounted) {
            if (mounted_)
                run("umount -l " + point_);
            ::kill(pid_, SIGKILL);
        }
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        mounted_ = false;
    }

private:
    std::string point_;
    pid_t pid_ = -1;
    bool mounted_ = false;
    std::mutex lock_;
    std::condition_variable ended_;
    bool ending_ = false;
    std::atomic<bool> stalled_{false};
    std::thread watchdog_;
};

using Drives = TempTree;

// The drives Windows users carry, as images mounted through FUSE: no kernel module needed, but
// root and /dev/fuse are.
TEST_F(Drives, SecondNewerOnlyRunCopiesOnlyWhatChanged) {
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "needs root and /dev/fuse to mount file system images";
    for (const char* tool : {"mkfs.ntfs", "ntfs-3g", "mkfs.vfat", "fusefat"})
        if (!run(std::string("command -v ") + tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh)";
    const struct {
        std::string name, format, mount; // the commands take the image, then the mount point
        long step;                       // of its times, known without writing a scratch file
        bool inPlace;
    } drives[] = {{"NTFS", "mkfs.ntfs -F -Q ", "ntfs-3g ", 100, false},
                  {"FAT", "mkfs.vfat ", "fusefat -o rw+ ", 2'000'000'000, true}};
    // Odd seconds with nanoseconds: no FAT or NTFS time holds them exactly.
    const std::time_t base = 1'700'000'001;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "src/sub/f" + std::to_string(i) + ".txt";
        write(name, "content " + std::to_string(i));
        const timespec times[2] = {{base + 2 * i, 123'456'789}, {base + 2 * i, 123'456'789}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(name).c_str(), times, 0), 0);
    }
    const std::string line = q("src") + " " + q("mnt/backup") + " /D /E /I /Y";
    std::time_t touched = base + 100;
    fs::create_directories(path("mnt"));
    for (const auto& drive : drives) {
        SCOPED_TRACE(drive.name);
        const std::string image = path(drive.name + ".img");
        write(drive.name + ".img", "");
        ASSERT_EQ(::truncate(image.c_str(), 32 << 20), 0);
        ASSERT_TRUE(run(drive.format + image));
        if (!run(drive.mount + image + " " + path("mnt")))
            GTEST_SKIP() << "FUSE refused to mount the " << drive.name << " image here";
        const Mounted mounted{path("mnt")};
        // A drive known by its type, where no scratch file can tell the step: never compared
        // exactly, which would copy everything again on every run.
        const int dir = ::open(path("mnt").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_EQ(timeStepOf(dir, false), drive.step);
        EXPECT_EQ(fileSystemKindOf(dir).writeInPlace, drive.inPlace);
        ::close(dir);
        auto r = xcopy(line);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("4 個のファイルをコピーしました"), std::string::npos) << r.out;
        EXPECT_EQ(read("mnt/backup/sub/f3.txt"), "content 3");
        r = xcopy(line);
        EXPECT_NE(r.out.find("0 個のファイルをコピーしました"), std::string::npos) << r.out;
        write("src/sub/f1.txt", "changed");
        setTime("src/sub/f1.txt", touched += 10);
        r = xcopy(line);
        EXPECT_NE(r.out.find("1 個のファイルをコピーしました"), std::string::npos) << r.out;
        EXPECT_EQ(read("mnt/backup/sub/f1.txt"), "changed");
    }
}

using FatImage = WithWorkers;
INSTANTIATE_TEST_SUITE_P(Workers, FatImage, ::testing::Values(1, 4));

// A folder of many files copied to a FAT16 image through fusefat, as onto a small stick. The
// folder's entries spread over many of its clusters, and this driver writes the removal of an
// entry set that crosses into the folder's next cluster over whatever follows the first cluster on
// the disk, mostly another file's data; a rename removes the old name, and replacing a file
// removes the replaced one. Every copy must hold its source's bytes, new and when replaced by a
// newer source, and the file system must stay sound.
TEST_P(FatImage, ManyFilesCopiedThroughFusefatStayIntact) {
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "needs root and /dev/fuse to mount file system images";
    for (const char* tool : {"mkfs.vfat", "fsck.vfat", "fusefat", "fusermount"})
        if (!run(std::string("command -v ") + tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh)";
    // Names of one to four directory entries each, so that entry sets start at every offset.
    constexpr int kFiles = 300;
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        const std::string number = std::to_string(1000 + i);
        const std::string name[] = {"F" + number + ".TXT", "report_" + number + ".txt",
                                    "minutes of the meeting no " + number + ".txt",
                                    "a rather long name for a file, number " + number + ".dat"};
        names.push_back(name[i % 4]);
    }
    std::mt19937 random(7);
    auto writeSources = [&](std::time_t base) {
        for (int i = 0; i < kFiles; ++i) {
            std::string bytes(random() % 12000, '\0');
            for (char& c : bytes)
                c = static_cast<char>(random());
            write("src/folder/" + names[i], bytes);
            // Odd seconds with nanoseconds: FAT keeps neither.
            const timespec times[2] = {{base + 2 * i, 123'456'789}, {base + 2 * i, 123'456'789}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path("src/folder/" + names[i]).c_str(), times, 0), 0);
        }
    };
    const std::string image = path("fat16.img");
    write("fat16.img", "");
    ASSERT_EQ(::truncate(image.c_str(), 64 << 20), 0);
    ASSERT_TRUE(run("mkfs.vfat " + image));
    fs::create_directories(path("mnt"));
    // About half a minute when sound; the limit only ends a driver that spins on a damaged folder.
    FuseFat fuse(image, path("mnt"), std::chrono::minutes(5));
    if (!fuse.mounted())
        GTEST_SKIP() << "FUSE refused to mount the FAT image here";
    const std::string line = q("src") + " " + q("mnt/backup") + " /D /E /I /Y";
    auto intact = [&] {
        int differing = 0;
        for (const std::string& name : names)
            differing += read("mnt/backup/folder/" + name) != read("src/folder/" + name);
        return differing;
    };
    const std::string all = std::to_string(kFiles) + " 個のファイルをコピーしました";

    ASSERT_NO_FATAL_FAILURE(writeSources(1'700'000'001));
    auto r = xcopy(line);
    EXPECT_EQ(r.status, 0) << ending(r.out);
    EXPECT_NE(r.out.find(all), std::string::npos) << ending(r.out);
    ASSERT_EQ(intact(), 0) << "a damaged folder is not driven further";
    r = xcopy(line);
    EXPECT_NE(r.out.find("0 個のファイルをコピーしました"), std::string::npos) << ending(r.out);

    ASSERT_NO_FATAL_FAILURE(writeSources(1'800'000'001));
    r = xcopy(line);
    EXPECT_EQ(r.status, 0) << ending(r.out);
    EXPECT_NE(r.out.find(all), std::string::npos) << ending(r.out);
    EXPECT_EQ(intact(), 0);
    r = xcopy(line);
    EXPECT_NE(r.out.find("0 個のファイルをコピーしました"), std::string::npos) << ending(r.out);

    fuse.unmount();
    EXPECT_FALSE(fuse.stalled()) << "fusefat was stopped after spinning for minutes";
    const auto [status, report] = output("fsck.vfat -n " + image);
    EXPECT_EQ(status, 0) << ending(report);
}

} // namespace
} // namespace xcpycmd::test
