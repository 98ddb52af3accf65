#include "support.h"

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace xcpycmd::test {
namespace {

// The drives Windows users carry, as images mounted through FUSE: no kernel module needed,
// but root and /dev/fuse are.
struct Drive {
    const char* name;
    const char* format; // %s: the image
    const char* mount;  // %s %s: the image, the mount point
    std::vector<const char*> tools;
};

const Drive kDrives[] = {
    {"NTFS", "mkfs.ntfs -F -Q %s", "ntfs-3g %s %s", {"mkfs.ntfs", "ntfs-3g"}},
    {"FAT", "mkfs.vfat %s", "fusefat -o rw+ %s %s", {"mkfs.vfat", "fusefat"}},
};

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string fill(const char* format, const std::string& a, const std::string& b = "") {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, format, a.c_str(), b.c_str());
    return buffer;
}

class Drives : public TempTree {
protected:
    void SetUp() override {
        TempTree::SetUp();
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
            GTEST_SKIP() << "needs root and /dev/fuse to mount file system images";
        for (const Drive& drive : kDrives)
            for (const char* tool : drive.tools)
                if (!run(std::string("command -v ") + tool))
                    GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh)";
    }
    void TearDown() override {
        if (!mounted.empty())
            unmount();
        TempTree::TearDown();
    }
    // Formats a fresh image and mounts it at "mnt"; false when FUSE refuses the mount (a
    // container without the right to mount).
    bool mount(const Drive& drive) {
        const std::string image = path(std::string(drive.name) + ".img");
        fs::create_directories(path("mnt"));
        write(std::string(drive.name) + ".img", "");
        if (::truncate(image.c_str(), 32 << 20) != 0 || !run(fill(drive.format, image))) {
            ADD_FAILURE() << "cannot make the " << drive.name << " image";
            return false;
        }
        if (!run(fill(drive.mount, image, path("mnt"))))
            return false;
        mounted = path("mnt");
        return true;
    }
    void unmount() {
        if (!run("fusermount -u " + mounted) && !run("umount " + mounted))
            run("umount -l " + mounted);
        mounted.clear();
    }
    std::string mounted;
};

TEST_F(Drives, SecondNewerOnlyRunCopiesOnlyWhatChanged) {
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
    for (const Drive& drive : kDrives) {
        SCOPED_TRACE(drive.name);
        if (!mount(drive))
            GTEST_SKIP() << "FUSE refused to mount the " << drive.name << " image here";
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
        unmount();
    }
}

} // namespace
} // namespace xcpycmd::test
