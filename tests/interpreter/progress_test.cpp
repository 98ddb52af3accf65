#include "support.h"

namespace xcpycmd::test {
namespace {

using Progress = TempTree;

TEST_F(Progress, eachLinePlansAndEndsWithItsStatus_andDoneMatchesUnlessAnswersSkipFiles) {
    // Enough folders for every walking thread to get some; a link back to the top is passed over.
    for (int i = 0; i < 40; ++i)
        write("w/s" + std::to_string(i) + "/f.txt", std::string(i + 1, 'x'));
    fs::create_directory_symlink("..", root / "w/s7/up");
    write("u/s3/f.txt", "old");
    write("u/s9/f.txt", "old");
    write("ex.txt", "s39\n");
    const auto line = [&](const char* from, const char* to, const std::string& switches) {
        return "XCopy.exe " + q(from) + " " + q(to) + " " + switches + "\r\n";
    };
    // Files changed on or after a day: all of w but s5, which is older. A line's end gives its
    // own status; the batch returns the highest.
    setTime("w/s5/f.txt", 1'000'000);
    const auto r = batchWithProgress(line("w", "d", "/E /I /EXCLUDE:" + path("ex.txt")) +
                                         line("missing", "d", "/E") + line("w", "u", "/S /U /Y") +
                                         line("w", "d", "/D /E") + line("w/s0", "d/s0", "/-Y") +
                                         line("w", "since", "/D:1-1-2000 /E /I") + "PAUSE\r\n",
                                     "progress", "N\n");
    EXPECT_EQ(r.status, 4) << r.out;

    std::vector<std::string> progress;
    std::istringstream lines(read("progress"));
    for (std::string text; std::getline(lines, text);) {
        // Only the last "done" of a line says what it copied; earlier ones may come or not.
        if (text.starts_with("done ") && !progress.empty() && progress.back().starts_with("done "))
            progress.back() = text;
        else
            progress.push_back(text);
    }
    EXPECT_EQ(
        progress,
        (std::vector<std::string>{
            "line 1 6", "plan 39 780", "done 39 780", "end 0", "line 2 6", "done 0 0",  "end 4",
            "line 3 6", "plan 2 14",   "done 2 14",   "end 0", "line 4 6", "plan 1 40", "done 1 40",
            "end 0",    "line 5 6",    "plan 1 1",    "wait",  "resume",   "done 0 0",  "end 0",
            "line 6 6", "plan 39 814", "done 39 814", "end 0", "wait",     "resume"}))
        << r.out;
}

} // namespace
} // namespace xcpycmd::test
