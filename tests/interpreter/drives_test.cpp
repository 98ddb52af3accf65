#include "interpreter/file_system_kind.h"
#include "interpreter/time_step.h"
#include "support.h"

namespace xcpycmd::test {
namespace {

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
        TempNameStyle temporaries;
    } drives[] = {{"NTFS", "mkfs.ntfs -F -Q ", "ntfs-3g ", 100, TempNameStyle::Long},
                  {"FAT", "mkfs.vfat ", "fusefat -o rw+ ", 2'000'000'000, TempNameStyle::Short}};
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
        EXPECT_EQ(fileSystemKindOf(dir).tempNames, drive.temporaries);
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

} // namespace
} // namespace xcpycmd::test
