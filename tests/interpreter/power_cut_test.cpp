#include "support.h"

#include <algorithm>
#include <random>

namespace xcpycmd::test {
namespace {

// A copy to an ext4 stick whose power is cut. The stick is an image file loop-mounted from a btrfs
// image, so that a reflink copy of it is an exact picture of what the stick's disk held at one
// instant: what the loop device has written, without ext4's page cache. Such a picture, repaired
// by e2fsck and mounted, is what the user finds after a cut at that instant. Nothing here may
// sync the stick before a picture is taken.
class PowerCut : public Binary {
protected:
    void SetUp() override {
        Binary::SetUp();
        if (const std::string why = cannotMount(false, {"mkfs.btrfs", "mkfs.ext4", "e2fsck"});
            !why.empty())
            GTEST_SKIP() << why;
        for (const char* folder : {"disk", "stick", "picture"})
            fs::create_directories(path(folder));
        // In memory where possible: the flushes the copy asks for then stop at the picture's
        // disk instead of reaching this machine's own, which keeps the test quick.
        diskImage_ = fs::is_directory("/dev/shm") ? "/dev/shm/" : path("");
        diskImage_ += "xcpycmd-disk-XXXXXX";
        const int image = ::mkstemp(diskImage_.data());
        ASSERT_GE(image, 0);
        ASSERT_EQ(::ftruncate(image, 512 << 20), 0);
        ::close(image);
        ASSERT_TRUE(run("mkfs.btrfs -q " + diskImage_));
        if (!run("mount -o loop " + diskImage_ + " " + q("disk")))
            GTEST_SKIP() << "cannot mount a btrfs image through a loop device here";
        disk_ = std::make_unique<Mounted>(path("disk"));
        write("disk/stick.img", "");
        ASSERT_EQ(::truncate(path("disk/stick.img").c_str(), 128 << 20), 0);
        ASSERT_TRUE(run("mkfs.ext4 -q -F " + q("disk/stick.img")));
        // Mounted as a desktop mounts a stick: default options.
        ASSERT_TRUE(run("mount -o loop " + q("disk/stick.img") + " " + q("stick")));
        stick_ = std::make_unique<Mounted>(path("stick"));
        makeSource();
    }
    void TearDown() override {
        stick_.reset();
        disk_.reset();
        if (!diskImage_.empty())
            ::unlink(diskImage_.c_str());
        Binary::TearDown();
    }

    struct SourceFile {
        std::string name;
        std::string bytes;
        timespec time;
    };

    // A few hundred small files in nested folders, a few larger ones and an empty folder, with
    // odd seconds and nanoseconds for times.
    void makeSource() {
        std::mt19937 random(7);
        const auto add = [&](const std::string& name, std::size_t size) {
            SourceFile file{name, std::string(size, '\0'), {}};
            for (char& c : file.bytes)
                c = static_cast<char>(random());
            const auto i = static_cast<std::time_t>(source_.size());
            file.time = {1'600'000'001 + 2 * i, 100'000'001 + 2'000 * i};
            write("src/" + name, file.bytes);
            setTime("src/" + name, file.time.tv_sec, file.time.tv_nsec);
            source_.push_back(std::move(file));
        };
        for (int i = 0; i < 300; ++i)
            add("d" + std::to_string(i % 6) + (i % 4 ? "/" : "/e" + std::to_string(i % 3) + "/") +
                    "f" + std::to_string(i) + ".bin",
                1 + static_cast<std::size_t>(i) * 7919 % 12000);
        for (int i = 1; i <= 3; ++i)
            add("large/l" + std::to_string(i) + ".bin", (std::size_t{192} << 10) * i + 77);
        fs::create_directories(path("src/d0/empty"));
    }

    std::string batchTo(const std::string& destination) const {
        return "XCopy.exe " + q("src") + " " + q(destination) + " /D /E /I /Y\r\n";
    }

    // ext4 commits its journal every 5 seconds on its own; fsyncing an unrelated file commits it
    // now, and with it every name and time made so far, but writes no other file's data.
    void commitJournal() {
        const int fd = ::open(path("stick/.tick").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "t", 1), 1);
        ASSERT_EQ(::fsync(fd), 0);
        ::close(fd);
    }

    // The stick's disk as it is now; returns the picture's image.
    std::string takePicture() {
        const std::string image = path("disk/picture" + std::to_string(pictures_++) + ".img");
        EXPECT_TRUE(run("cp --reflink=always " + q("disk/stick.img") + " \"" + image + "\""));
        return image;
    }

    // Repairs and mounts the picture as the user would after the cut, and checks that every file
    // under its final name with the source's time holds the source's bytes; with `complete`,
    // that every file and folder is there. Then a /D run on the picture must complete the copy.
    void examine(const std::string& image, bool complete) {
        const int fsck = std::system(("e2fsck -fy \"" + image + "\" >/dev/null 2>&1").c_str());
        ASSERT_TRUE(WIFEXITED(fsck) && WEXITSTATUS(fsck) < 4) << "e2fsck left errors";
        ASSERT_TRUE(run("mount -o loop \"" + image + "\" " + q("picture")));
        const Mounted picture{path("picture")};

        const auto [named, wrong] = differing(false);
        EXPECT_EQ(wrong, std::vector<std::string>{})
            << "files there carry the source's time but not its bytes";
        if (complete) {
            EXPECT_EQ(named, source_.size()) << "files missing after the result was reported";
            EXPECT_TRUE(fs::is_directory(path("picture/dst/d0/empty")));
        }
        EXPECT_EQ(runBatch(batchTo("picture/dst")).status, 0) << read("out.txt");
        EXPECT_EQ(differing(true).second, std::vector<std::string>{}) << "after a /D rerun";
    }

    // How many of the source's files the picture holds, and those that differ from the source:
    // of the files with the source's time, or with `all` of every file, missing ones too.
    std::pair<std::size_t, std::vector<std::string>> differing(bool all) {
        std::size_t named = 0;
        std::vector<std::string> differ;
        for (const SourceFile& file : source_) {
            struct stat st {};
            const bool there = ::stat(path("picture/dst/" + file.name).c_str(), &st) == 0;
            const bool sourceTime = there && sameTime(st.st_mtim, file.time);
            named += there;
            if ((all || sourceTime) &&
                !(sourceTime && read("picture/dst/" + file.name) == file.bytes))
                differ.push_back(file.name);
        }
        return {named, differ};
    }

    static bool sameTime(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }

    std::vector<SourceFile> source_;

private:
    std::string diskImage_;
    std::unique_ptr<Mounted> disk_;
    std::unique_ptr<Mounted> stick_;
    int pictures_ = 0;
};

TEST_F(PowerCut, CutAfterTheResultFindsEveryFileWhole) {
    const auto r = runBatch(batchTo("stick/dst"));
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_NE(r.out.find(std::to_string(source_.size()) + " 個のファイルをコピーしました"),
              std::string::npos)
        << r.out;
    // Cut at once, and cut once the journal has been committed: seconds later, as a user
    // pulls the stick after reading the result.
    const std::string atOnce = takePicture();
    commitJournal();
    const std::string later = takePicture();
    for (const auto& [picture, when] : {std::pair(atOnce, "right after the result"),
                                        std::pair(later, "after the next journal commit")}) {
        SCOPED_TRACE(std::string("cut ") + when);
        examine(picture, true);
    }
}

TEST_F(PowerCut, CutDuringARunLeavesNoFileWithTheSourcesTimeAndOtherBytes) {
    // An older backup of every fourth file is on the stick's disk before the run replaces it.
    for (std::size_t i = 0; i < source_.size(); i += 4) {
        write("stick/dst/" + source_[i].name, "an older copy");
        setTime("stick/dst/" + source_[i].name, 1'500'000'000);
    }
    const int stick = ::open(path("stick").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::syncfs(stick), 0);
    ::close(stick);

    // Slowed to 256 KiB/s per file, so the run lasts a few seconds; a picture every quarter of
    // a second, each after a journal commit, as ext4 makes one every few seconds.
    write("run.bat", batchTo("stick/dst"));
    const pid_t pid =
        start("/c " + q("run.bat"), "", "export XCPYCMD_THROTTLE_KIB=256 XCPYCMD_WORKERS=4");
    std::vector<std::string> pictures;
    int status = 0;
    auto next = std::chrono::steady_clock::now();
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= next) {
            commitJournal();
            pictures.push_back(takePicture());
            next += std::chrono::milliseconds(250);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(exitStatus(status), 0) << read("out.txt");
    ASSERT_GE(pictures.size(), 3u) << "the run ended before the pictures could catch it";
    // Five of them, from the first to the last, however long the run took.
    const std::size_t examined = std::min<std::size_t>(pictures.size(), 5);
    for (std::size_t k = 0; k < examined; ++k) {
        const std::size_t i = k * (pictures.size() - 1) / (examined - 1);
        SCOPED_TRACE("cut " + std::to_string(i * 250) + " ms into the run");
        examine(pictures[i], false);
    }
}

} // namespace
} // namespace xcpycmd::test
