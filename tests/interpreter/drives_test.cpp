#include "interpreter/file_system_kind.h"
#include "interpreter/time_step.h"
#include "support.h"

#include <random>

namespace xcpycmd::test {
namespace {

// The end of a long report, where its errors are.
std::string ending(const std::string& text) {
    return text.size() > 2000 ? "..." + text.substr(text.size() - 2000) : text;
}

// The time step and the way of writing that a drive is known by, where no scratch file can tell
// the step: never compared exactly, which would copy everything again on every run.
void expectKnownDrive(const std::string& folder, long step, bool inPlace) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(timeStepOf(dir, false), step);
    EXPECT_EQ(fileSystemKindOf(dir).writeInPlace, inPlace);
    ::close(dir);
}

// fusefat writes the FAT and the clean mark after the unmount has returned: it runs in the
// foreground here, so that its end, after which the image is complete, can be awaited. On a
// damaged folder it may spin for good, with the copy waiting on it: past the limit `timeout`
// stops it, which fails every request still waiting.
class FuseFat {
public:
    FuseFat(const std::string& image, const std::string& point, int limitSeconds) : point_(point) {
        struct stat before {};
        ::stat(point.c_str(), &before);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY); // it reports every request
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            const std::string limit = std::to_string(limitSeconds);
            ::execlp("timeout", "timeout", "-k", "5", limit.c_str(), "fusefat", "-f", "-o", "rw+",
                     image.c_str(), point.c_str(), nullptr);
            ::_exit(127);
        }
        struct stat now {};
        for (int i = 0; i < 1000 && !mounted_; ++i, ::usleep(10'000))
            mounted_ = ::stat(point.c_str(), &now) == 0 && now.st_dev != before.st_dev;
    }
    ~FuseFat() { unmount(); }
    bool mounted() const { return mounted_; }
    // Unmounts and waits for the driver's end; false when it was killed for spinning.
    bool unmount() {
        if (pid_ <= 0)
            return true;
        if (!mounted_ || !(run("fusermount -u " + point_) || run("umount " + point_))) {
            run("umount -l " + point_);
            ::kill(pid_, SIGTERM); // handed on to fusefat, and a kill after five seconds
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        mounted_ = false;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
        return code != 124 && code != 128 + SIGKILL; // the ends `timeout` gives a driver it stops
    }

private:
    std::string point_;
    pid_t pid_ = -1;
    bool mounted_ = false;
};

using Drives = TempTree;

// An NTFS drive as Windows users carry it, an image mounted through FUSE: no kernel module
// needed, but root and /dev/fuse are.
TEST_F(Drives, SecondNewerOnlyRunCopiesOnlyWhatChanged) {
    if (const std::string why = cannotMount(true, {"mkfs.ntfs", "ntfs-3g"}); !why.empty())
        GTEST_SKIP() << why;
    // Odd seconds with nanoseconds: no NTFS time holds them exactly.
    const std::time_t base = 1'700'000'001;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "src/sub/f" + std::to_string(i) + ".txt";
        write(name, "content " + std::to_string(i));
        setTime(name, base + 2 * i, 123'456'789);
    }
    const std::string line = q("src") + " " + q("mnt/backup") + " /D /E /I /Y";
    fs::create_directories(path("mnt"));
    ASSERT_TRUE(run("truncate -s 32M " + q("ntfs.img") + " && mkfs.ntfs -F -Q " + q("ntfs.img")));
    if (!run("ntfs-3g " + q("ntfs.img") + " " + q("mnt")))
        GTEST_SKIP() << "FUSE refused to mount the NTFS image here";
    const Mounted mounted{path("mnt")};
    expectKnownDrive(path("mnt"), 100, false);
    auto r = xcopy(line);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("4 個のファイルをコピーしました"), std::string::npos) << r.out;
    EXPECT_EQ(read("mnt/backup/sub/f3.txt"), "content 3");
    r = xcopy(line);
    EXPECT_NE(r.out.find("0 個のファイルをコピーしました"), std::string::npos) << r.out;
    write("src/sub/f1.txt", "changed");
    setTime("src/sub/f1.txt", base + 110);
    r = xcopy(line);
    EXPECT_NE(r.out.find("1 個のファイルをコピーしました"), std::string::npos) << r.out;
    EXPECT_EQ(read("mnt/backup/sub/f1.txt"), "changed");
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
    const std::string why =
        cannotMount(true, {"mkfs.vfat", "fsck.vfat", "fusefat", "fusermount", "timeout"});
    if (!why.empty())
        GTEST_SKIP() << why;
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
    const auto writeSources = [&](std::time_t base) {
        for (int i = 0; i < kFiles; ++i) {
            std::string bytes(random() % 12000, '\0');
            for (char& c : bytes)
                c = static_cast<char>(random());
            write("src/folder/" + names[i], bytes);
            setTime("src/folder/" + names[i], base + 2 * i, 123'456'789); // FAT keeps neither
        }
    };
    const std::string image = path("fat16.img");
    ASSERT_TRUE(run("truncate -s 64M " + image + " && mkfs.vfat " + image));
    fs::create_directories(path("mnt"));
    // About half a minute when sound; the limit only ends a driver that spins on a damaged folder.
    FuseFat fuse(image, path("mnt"), 300);
    if (!fuse.mounted())
        GTEST_SKIP() << "FUSE refused to mount the FAT image here";
    expectKnownDrive(path("mnt"), 2'000'000'000, true);
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

    EXPECT_TRUE(fuse.unmount()) << "fusefat was stopped after spinning for minutes";
    const int fsck =
        std::system(("fsck.vfat -n " + image + " >" + q("fsck.txt") + " 2>&1").c_str());
    EXPECT_EQ(fsck, 0) << ending(read("fsck.txt"));
}

} // namespace
} // namespace xcpycmd::test
