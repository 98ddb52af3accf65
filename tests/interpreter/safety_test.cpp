#include "files/codepage.h"
#include "support.h"

namespace xcpycmd::test {
namespace {

TEST_F(Binary, InterruptLeavesNoHalfFileAndARerunCompletesTheCopy) {
    std::string content(4 << 20, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 4096);
    const char* const names[] = {"a.bin", "b.bin", "c.bin", "d.bin"};
    for (const char* name : names)
        write(std::string("src/") + name, content);
    const std::string batch = "XCopy.exe " + q("src") + " " + q("dst") + " /D /E /I /Y\r\n";

    for (const int workers : {1, 4}) {
        for (const int sig : {SIGTERM, SIGKILL}) {
            SCOPED_TRACE(std::to_string(workers) + " workers, signal " + std::to_string(sig));
            for (const char* name : names) {
                write(std::string("dst/") + name, "old");
                setTime(std::string("dst/") + name, 1000000);
            }
            write("run.bat", batch);
            // 4 MiB/s per file: a second each, plenty of time to catch the copies halfway.
            const pid_t pid = start("/c " + q("run.bat"), "",
                                    "export XCPYCMD_THROTTLE_KIB=4096 XCPYCMD_WORKERS=" +
                                        std::to_string(workers));
            ASSERT_TRUE(waitUntil([&] { return temporaries() > 0; }));
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a tenth copied
            ::kill(pid, sig);
            const int status = wait(pid);
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
            for (const char* name : names) { // the old file or the whole new one, nothing between
                const std::string now = read(std::string("dst/") + name);
                EXPECT_TRUE(now == "old" || now == content) << name;
            }
            EXPECT_EQ(temporaries() > 0, sig == SIGKILL); // only a hard kill leaves them

            const auto rerun = runBatch(batch);
            EXPECT_EQ(rerun.status, 0) << rerun.out;
            for (const char* name : names)
                EXPECT_TRUE(read(std::string("dst/") + name) == content) << name;
            EXPECT_EQ(temporaries(), 0);
        }
    }
}

TEST_F(Binary, TheFirstErrorEndsTheLineWithExactlyTheFilesBeforeIt) {
    // Every tenth file is over the file size limit below, so one fails early in any walk order.
    for (int i = 0; i < 200; ++i) {
        if (i % 10 == 5)
            write("src/f" + std::to_string(i) + "-big.bin", std::string(256 << 10, 'b'));
        else
            write("src/f" + std::to_string(i) + ".txt", std::string(1000, 'a' + i % 26));
    }
    // The walk meets the names in the folder's own order; the files before the first big one
    // are copied and listed, nothing after it, however many workers copy.
    std::vector<std::string> before;
    for (const auto& entry : fs::directory_iterator(path("src"))) {
        if (entry.path().filename().string().ends_with("-big.bin"))
            break;
        before.push_back(entry.path().string());
    }
    for (const char* workers : {"1", "4"}) {
        SCOPED_TRACE(std::string(workers) + " workers");
        fs::remove_all(path("dst"));
        const auto r =
            runBatch("XCopy.exe " + q("src") + " " + q("dst") + " /E /I /Y\r\n", "",
                     std::string("ulimit -f 128; trap '' XFSZ; export XCPYCMD_WORKERS=") + workers);
        EXPECT_EQ(r.status, 5) << r.out;
        EXPECT_EQ(temporaries(), 0);
        EXPECT_EQ(namesIn(r.out, path("src/")), before) << r.out;
        std::size_t arrived = 0;
        for (const auto& entry : fs::directory_iterator(path("dst"))) {
            ++arrived;
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(read("dst/" + name), read("src/" + name)) << name;
        }
        EXPECT_EQ(arrived, before.size());
        EXPECT_NE(r.out.find("書き込めません - " + path("dst/")), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(std::to_string(arrived) + " 個のファイルをコピーしました"),
                  std::string::npos)
            << r.out;
    }
    // With /C the line goes on past each error: all but the twenty big files arrive.
    const auto r = runBatch("XCopy.exe " + q("src") + " " + q("all") + " /E /I /Y /C\r\n", "",
                            "ulimit -f 128; trap '' XFSZ");
    EXPECT_EQ(r.status, 5) << r.out;
    EXPECT_NE(r.out.find("180 個のファイルをコピーしました"), std::string::npos) << r.out;
}

TEST_F(Binary, ExitStatusesAndCommandLine) {
    write("src/a.txt", "a");
    write("元/データ.txt", "x");
    write("blocker", "a regular file");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0644), 0);
    const auto cp932 = xcpy::utf8ToCp932("@XCopy.exe " + q("元") + " " + q("先") + " /E /I");
    const std::pair<std::string, int> cases[] = {
        {cp932.text, 0},
        {"XCopy.exe " + q("src") + " " + q("bad") + " /I /Q9", 4},
        {"XCopy.exe " + q("src") + " " + q("blocker/sub") + " /I /Y /C", 5},
        // A question that meets the end of input leaves a file uncopied: never a success.
        {"XCopy.exe " + q("src") + " " + q("asked") + " /I /P", 2},
        // Exclude lists that are missing or that no person wrote are refused, not read.
        {"XCopy.exe " + q("src") + " " + q("x0") + " /I /EXCLUDE:" + path("none.txt"), 4},
        {"XCopy.exe " + q("src") + " " + q("x1") + " /I /EXCLUDE:/dev/zero", 4},
        {"XCopy.exe " + q("src") + " " + q("x2") + " /I /EXCLUDE:" + path("fifo"), 4},
        // The highest status of the lines; unknown commands do not count.
        {"UNKNOWN\r\nXCopy.exe " + q("src") + "/*.none " + q("n") + " /I\r\nXCopy.exe " + q("src") +
             " " + q("ok") + " /I",
         1},
        {"\x81\x20", 1}, // not code page 932
    };
    for (const auto& [line, status] : cases) {
        const auto r = runBatch(line + "\r\n");
        EXPECT_EQ(r.status, status) << line << "\n" << r.out;
    }
    EXPECT_NE(read("out.txt").find("run.bat"), std::string::npos);
    EXPECT_EQ(read("ok/a.txt") + read("先/データ.txt"), "ax");
    EXPECT_FALSE(exists("asked/a.txt"));
    // As the window runs its run file: a quoted name with a blank, the folder question
    // answered from the pipe, each command shown before it runs, and PAUSE meeting the end of
    // input; "%%" in a line stands for "%".
    write("my run.bat", "XCopy.exe " + q("src") + " " + q("new%%") + " /D /E \r\nPAUSE\r\n");
    const int status = wait(start("/C '" + q("my run.bat") + "'", "d\r\n")); // quotes kept
    EXPECT_EQ(WEXITSTATUS(status), 0) << read("out.txt");
    EXPECT_EQ(read("new%/a.txt"), "a");
    for (const std::string& shown : {">XCopy.exe " + q("src"), std::string("キーを押して")})
        EXPECT_NE(read("out.txt").find(shown), std::string::npos) << shown;
}

using BatchLine = TempTree;

TEST_F(BatchLine, ALineHoldingANulByteIsRefusedAndTheBatchGoesOn) {
    write("src/a.txt", "a");
    const std::string nul(1, '\0');
    // Refused like an unknown command: no copy failed. The NUL counts though expanding the
    // line would drop it with the name it ends.
    const auto echo = batchWithProgress("ECHO a%" + nul + "%b\r\n", "echo");
    EXPECT_EQ(echo.status, 0);

    // Handed to the system, the destination would end at the NUL, in "cut".
    const std::string text = "XCopy.exe " + q("src") + " \"" + path("cut") + nul +
                             "/more\" /I /Y\r\nXCopy.exe " + q("src") + " " + q("ok") + " /I\r\n";
    const auto r = batchWithProgress(text, "progress");
    EXPECT_EQ(r.status, 4) << r.out;
    EXPECT_FALSE(exists("cut"));
    EXPECT_EQ(read("ok/a.txt"), "a");
    EXPECT_TRUE(read("progress").starts_with("line 1 2\ndone 0 0\nend 4\nline 2 2\nplan 1 1\n"))
        << read("progress");
    EXPECT_EQ(r.out.find(nul), std::string::npos);
    EXPECT_NE(r.out.find("cut<NUL>/more"), std::string::npos) << r.out;
    EXPECT_EQ(namesIn(echo.out + r.out, "この行には NUL 文字 (0x00) が含まれているため").size(), 2u)
        << r.out;

    // A preview tells the window that the line would copy nothing.
    EXPECT_EQ(batchWithProgress(text, "plan", "", true).status, 4);
    EXPECT_TRUE(read("plan").starts_with("line 1 2\nrefused bad-command\nline 2 2\n"))
        << read("plan");
}

using Safety = WithWorkers;
INSTANTIATE_TEST_SUITE_P(Workers, Safety, ::testing::Values(1, 4));

TEST_P(Safety, RefusesToCopyAFolderIntoItself) {
    write("src/a.txt", "a");
    fs::create_directories(path("src/sub"));
    fs::create_directory_symlink(path("src/sub"), path("alias"));
    EXPECT_EQ(xcopy(q("src") + " " + q("src/sub/copy") + " /E /I").status, 4);
    EXPECT_EQ(xcopy(q("src") + " " + q("alias/copy") + " /S /I").status, 4);
    const auto same = xcopy(q("src") + " " + q("src") + " /Y");
    EXPECT_EQ(same.status, 4);
    EXPECT_NE(same.out.find("コピー元とコピー先が同じフォルダーです - " + path("src")),
              std::string::npos)
        << same.out;
    EXPECT_FALSE(exists("src/sub/copy"));
    // Without subfolders nothing can recurse: the top files may go below.
    EXPECT_EQ(xcopy(q("src") + " " + q("src/sub") + " /Y").status, 0);
    EXPECT_EQ(read("src/sub/a.txt"), "a");
}

TEST_P(Safety, LinkLoopsEndAndSpecialFilesAreSkipped) {
    write("src/a/file.txt", "f");
    fs::create_directory_symlink("..", path("src/a/up"));
    fs::create_directory_symlink("../..", path("src/a/top")); // the folder holding src and dst
    fs::create_symlink("self", path("src/self"));
    fs::create_directory_symlink(path("dst"), path("src/into-dst")); // dst is made by the copy
    ASSERT_EQ(::mkfifo(path("src/pipe").c_str(), 0644), 0);          // reading it would hang
    const fs::path before = fs::current_path();
    fs::current_path(root); // a relative destination below a linked source as well
    const auto r = xcopy("\"./src\" \"dst\" /E /I /Y");
    fs::current_path(before);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read("dst/a/file.txt"), "f");
    EXPECT_FALSE(exists("dst/a/up") || exists("dst/a/top") || exists("dst/into-dst") ||
                 exists("dst/pipe"));
    EXPECT_NE(r.out.find("ループ"), std::string::npos);
}

TEST_P(Safety, TooDeepATreeIsAnErrorAfterCopyingWhatLiesAbove) {
    std::string deep = "src";
    for (int level = 0; level < 1100; ++level, deep += "/d")
        fs::create_directory(path(deep)); // create_directories refuses paths this long
    write(deep + "/deep.txt", "x");
    const auto r = xcopy(q("src") + " " + q("dst") + " /E /I /Y");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.out.find("階層が深すぎる"), std::string::npos) << r.out.substr(0, 300);
    EXPECT_TRUE(fs::is_directory(path("dst/d/d/d")));
    EXPECT_FALSE(exists("dst" + deep.substr(3) + "/deep.txt"));
}

TEST_F(Binary, leftoversOfEndedRunsAreSweptButALiveRunsAreKept) {
    // A process that lives on with an id an ended run once had.
    const pid_t other = ::fork();
    if (other == 0) {
        ::execl("/bin/sleep", "sleep", "30", nullptr);
        ::_exit(127);
    }
    const std::string id = std::to_string(other);
    const std::string leftovers[] = {".xcpycmd-tmp-" + id + ".1-abcdefgh", // another start
                                     ".xcpycmd-tmp-" + id + "-abcdefgh"};  // an older version
    write("src/a.txt", "a");
    write("dst/big.bin", "old");
    write("big/big.bin", std::string(1 << 20, 'b'));

    // A live run writes a temporary over an existing file while another run sweeps the folder.
    write("live.bat", "XCopy.exe " + q("big") + " " + q("dst") + " /Y\r\n");
    const pid_t live = start("/c " + q("live.bat"), "", "export XCPYCMD_THROTTLE_KIB=1024");
    EXPECT_TRUE(waitUntil([&] { return temporaries() > 0; }));
    for (const std::string& name : leftovers)
        write("dst/" + name, "half");
    const auto r = runBatch("XCopy.exe " + q("src") + " " + q("dst") + " /Y\r\n");
    EXPECT_EQ(r.status, 0) << r.out;
    for (const std::string& name : leftovers)
        EXPECT_FALSE(exists("dst/" + name)) << name;
    EXPECT_EQ(temporaries(), 1); // the live run's
    const int status = wait(live);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read("out.txt");
    EXPECT_EQ(read("dst/big.bin"), std::string(1 << 20, 'b'));
    ::kill(other, SIGKILL);
    wait(other);
}

} // namespace
} // namespace xcpycmd::test
