#include "support.h"
#include "support/fuse_script.h"

namespace xcpycmd::test {
namespace {

using FailingDisk = TempTree;

// A stick pulled during the copy, a failing disk, a file system that finds out late that it has
// no room: writing the file succeeds, making it durable does not. That file is a write error,
// is not counted, and never stands under its name with the source's time; the others arrive.
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

} // namespace
} // namespace xcpycmd::test
