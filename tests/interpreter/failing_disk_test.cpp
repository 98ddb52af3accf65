#include "support.h"
#include "support/fuse_script.h"

#include <optional>

namespace xcpycmd::test {
namespace {

using FailingDisk = TempTree;

// A stick pulled during the copy, a failing disk, a file system that finds out late that it has
// no room: writing the file succeeds, making it durable or naming it does not. That file is a write
// error, is not counted, and never stands under its name with the source's time; the others arrive.
TEST_F(FailingDisk, AFileThatCannotBeMadeDurableIsAWriteErrorAndNotCopied) {
    const std::time_t base = 1'700'000'001;
    const char* const good[] = {"a.txt", "sub/b.txt", "sub/deeper/c.txt"};
    for (int i = 0; i < 3; ++i) {
        write(std::string("src/") + good[i], "fine " + std::to_string(i));
        setTime(std::string("src/") + good[i], base + 2 * i);
    }
    write("src/sub/bad.txt", "DOOMED: its flush to disk fails");
    setTime("src/sub/bad.txt", base + 10);

    const struct {
        std::string failing, error, message;
        bool olderCopy; // an older copy of the failing file is there before the run
    } cases[] = {
        {"fsync", "EIO", "入出力エラーが起きました", false},
        {"fsync", "ENOSPC", "ディスクに空きがありません", true},
        {"flush", "ENOSPC", "ディスクに空きがありません", false},
        {"rename", "EIO", "入出力エラーが起きました", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing + " fails with " + c.error);
        fs::remove_all(path("back"));
        fs::create_directories(path("back"));
        fs::create_directories(path("mnt"));
        if (c.olderCopy) {
            write("back/dst/sub/bad.txt", "older copy");
            setTime("back/dst/sub/bad.txt", base - 100);
        }
        const xcpy::test::FuseScript disk(
            XCPY_FAILING_FS, path("mnt"),
            {path("back"), "--fail", c.failing, "--error", c.error, "--starting-with", "DOOMED"});
        if (!disk.unavailable.empty())
            GTEST_SKIP() << disk.unavailable;

        // The progress counts only what arrived, never the file that failed.
        const auto r = batchWithProgress(
            "XCopy.exe " + q("src") + " " + q("mnt/dst") + " /D /E /I /Y /C\r\n", "progress");
        const std::string progress = read("progress");
        EXPECT_TRUE(progress.starts_with("line 1 1\nplan 4 ")) << progress;
        EXPECT_TRUE(progress.ends_with("done 3 18\nend 5\n")) << progress;
        EXPECT_EQ(r.status, 5) << r.out;
        EXPECT_NE(r.out.find("書き込めません - " + path("mnt/dst/sub/bad.txt") + ": " + c.message),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("3 個のファイルをコピーしました"), std::string::npos) << r.out;

        struct stat st {};
        if (::stat(path("mnt/dst/sub/bad.txt").c_str(), &st) == 0) {
            EXPECT_NE(st.st_mtim.tv_sec, base + 10) << "the failed copy stands under its name";
            if (c.olderCopy) {
                EXPECT_EQ(read("mnt/dst/sub/bad.txt"), "older copy");
            }
        } else {
            EXPECT_FALSE(c.olderCopy) << "the older copy was lost";
        }
        for (int i = 0; i < 3; ++i) {
            const std::string name = std::string("mnt/dst/") + good[i];
            EXPECT_EQ(read(name), "fine " + std::to_string(i)) << name;
            ASSERT_EQ(::stat(path(name).c_str(), &st), 0) << name;
            EXPECT_EQ(st.st_mtim.tv_sec, base + 2 * i) << name;
        }
        EXPECT_EQ(temporaries(), 0);
    }
}

// A real full disk: the copy names the cause as a full disk, and nothing half written stays.
TEST_F(FailingDisk, aFullDiskIsReportedAsFull) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small memory file system";
    fs::create_directories(path("disk"));
    if (!run("mount -t tmpfs -o size=64k tmpfs " + q("disk")))
        GTEST_SKIP() << "a tmpfs could not be mounted here";
    const Mounted mounted{path("disk")};
    write("src/big.bin", std::string(256 << 10, 'x'));
    const auto r = xcopy(q("src") + " " + q("disk/dst") + " /E /I /Y");
    EXPECT_EQ(r.status, 5) << r.out;
    EXPECT_NE(
        r.out.find("書き込めません - " + path("disk/dst/big.bin") + ": ディスクに空きがありません"),
        std::string::npos)
        << r.out;
    EXPECT_FALSE(exists("disk/dst/big.bin"));
    EXPECT_EQ(temporaries(), 0);
}

// A local disk that fails under the copy: an image whose backing store runs out, so that writing
// back the copies' data fails while its folders, written when it was made, still take names.
// After the repair every file listed is whole, and no name holds other bytes.
TEST_F(FailingDisk, aLocalDiskFailingUnderTheCopyKeepsWhatWasListedAndNamesNothingElse) {
    if (const std::string why = cannotMount(false, {"mkfs.ext4", "e2fsck"}); !why.empty())
        GTEST_SKIP() << why;
    fs::create_directories(path("store"));
    fs::create_directories(path("disk"));
    if (!run("mount -t tmpfs -o size=12m tmpfs " + q("store")))
        GTEST_SKIP() << "a tmpfs could not be mounted here";
    const Mounted store{path("store")};
    ASSERT_TRUE(run("truncate -s 96M " + q("store/disk.img") +
                    " && mkfs.ext4 -q -O ^has_journal -E lazy_itable_init=0 " +
                    q("store/disk.img")));
    ASSERT_TRUE(run("mount -o loop " + q("store/disk.img") + " " + q("disk")));
    std::optional<Mounted> disk;
    disk.emplace(path("disk"));

    const auto content = [](int i) {
        return std::string(1 << 20, static_cast<char>('a' + i % 26));
    };
    for (int i = 0; i < 3; ++i)
        write("first/f" + std::to_string(i), content(i));
    for (int i = 0; i < 30; ++i)
        write("second/f" + std::to_string(i), content(i + 3));
    const auto r =
        batchWithProgress("XCopy.exe " + q("first") + " " + q("disk/first") + " /E /I /Y\r\n" +
                              "XCopy.exe " + q("second") + " " + q("disk/second") + " /E /I /Y\r\n",
                          "progress");
    EXPECT_EQ(r.status, 5) << r.out;
    EXPECT_NE(r.out.find("3 個のファイルをコピーしました"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("書き込めません - " + path("disk/second/")), std::string::npos) << r.out;
    const std::vector<std::string> listed = namesIn(r.out, path("second/f"));
    EXPECT_LT(listed.size(), 30u) << r.out;

    // What the owner finds after repairing the disk with room to spare.
    disk.reset();
    ASSERT_TRUE(run("mount -o remount,size=256m " + q("store")));
    std::system(("e2fsck -fy " + q("store/disk.img") + " >/dev/null 2>&1").c_str());
    ASSERT_TRUE(run("mount -o loop " + q("store/disk.img") + " " + q("disk")));
    disk.emplace(path("disk"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(read("disk/first/f" + std::to_string(i)), content(i)) << i;
    for (int i = 0; i < 30; ++i) {
        const std::string name = "disk/second/f" + std::to_string(i);
        if (exists(name)) {
            EXPECT_EQ(read(name), content(i + 3)) << name << " stands with other bytes";
        } else {
            EXPECT_EQ(
                std::count(listed.begin(), listed.end(), path("second/f" + std::to_string(i))), 0)
                << name << " was listed but is not there";
        }
    }
}

} // namespace
} // namespace xcpycmd::test
