#include "interpreter/progress.h"
#include "support.h"

#include <unistd.h>

namespace xcpycmd::test {
namespace {

class Progress : public TempTree {
protected:
    using Lines = std::vector<std::string>;
    struct Run {
        int status;
        std::string out;
        Lines progress; // "line", "plan" and the last "done" of each line
    };

    std::string copyLine(const char* from, const char* to, const std::string& switches) const {
        return "XCopy.exe " + q(from) + " " + q(to) + " " + switches + "\r\n";
    }

    // Runs a batch text in-process, with a progress channel on a pipe when `channel` is set.
    Run runBatch(const std::string& text, bool channel, const std::string& input = "") const {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        ProgressWriter writer(fds[1]);
        std::istringstream in(input);
        std::ostringstream out;
        Console console(in, out, out);
        if (channel)
            console.setProgress(&writer);
        const int status = runBatchText(text, console);
        ::close(fds[1]);
        std::string bytes;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
        ::close(fds[0]);

        Lines lines;
        std::istringstream stream(bytes);
        for (std::string line; std::getline(stream, line);) {
            // Only the last "done" of a line says what it copied; earlier ones may come or not.
            if (line.starts_with("done ") && !lines.empty() && lines.back().starts_with("done "))
                lines.back() = line;
            else
                lines.push_back(line);
        }
        return {status, out.str(), lines};
    }
};

TEST_F(Progress, smallTree_plannedEqualsDonePerLineAndNormalOutputUnchanged) {
    write("a/one.txt", "12345");
    write("a/sub/two.txt", "1234567");
    write("a/skip.tmp", "xx");
    write("a/deep/x/y/three.txt", "123");
    write("b/only.txt", "1234567890");
    write("ex.txt", "skip\n");
    const std::string batch = "@echo off\r\n" +
                              copyLine("a", "d1", "/E /I /EXCLUDE:" + path("ex.txt")) +
                              "REM not a copy\r\n" + copyLine("b", "d2", "/D /E /I");
    const Run with = runBatch(batch, true);
    EXPECT_EQ(with.status, 0) << with.out;
    EXPECT_EQ(with.progress,
              (Lines{"line 1 2", "plan 3 15", "done 3 15", "line 2 2", "plan 1 10", "done 1 10"}));

    // Without the channel the same run prints the same text and writes no progress.
    fs::remove_all(root / "d1");
    fs::remove_all(root / "d2");
    const Run without = runBatch(batch, false);
    EXPECT_EQ(without.out, with.out);
    EXPECT_TRUE(without.progress.empty());

    // The second line's /D now finds everything up to date: nothing planned, nothing done.
    fs::remove_all(root / "d1");
    EXPECT_EQ(runBatch(batch, true).progress,
              (Lines{"line 1 2", "plan 3 15", "done 3 15", "line 2 2", "plan 0 0", "done 0 0"}));
}

TEST_F(Progress, wideTreeWithFolderLoop_plannedEqualsDone) {
    // Enough folders for every walking thread to get some; a link back to the top is passed over.
    for (int i = 0; i < 40; ++i)
        write("w/s" + std::to_string(i) + "/f.txt", std::string(i + 1, 'x'));
    fs::create_directory_symlink("..", root / "w/s7/up");
    write("u/s3/f.txt", "old");
    write("u/s9/f.txt", "old");
    const Run run = runBatch(copyLine("w", "d", "/E /I") + copyLine("w", "u", "/S /U /Y"), true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.progress, (Lines{"line 1 2", "plan 40 820", "done 40 820", "line 2 2",
                                   "plan 2 14", "done 2 14"}));
}

TEST_F(Progress, overwriteAnsweredNo_doneFallsShortOfPlan) {
    write("src/a.txt", "aaaa");
    write("src/b.txt", "bbbbbb");
    write("dst/a.txt", "old");
    write("dst/b.txt", "old");
    const Run run = runBatch(copyLine("src", "dst", "/-Y"), true, "N\nN\n");
    EXPECT_EQ(run.progress, (Lines{"line 1 1", "plan 2 10", "done 0 0"})) << run.out;
    EXPECT_EQ(read("dst/a.txt"), "old");
}

} // namespace
} // namespace xcpycmd::test
