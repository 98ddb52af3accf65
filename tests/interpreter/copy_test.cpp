#include "support.h"

namespace xcpycmd::test {
namespace {

using Copy = WithWorkers;
INSTANTIATE_TEST_SUITE_P(Workers, Copy, ::testing::Values(1, 4));

bool found(const auto& r, const char* text) {
    return r.out.find(text) != std::string::npos;
}

TEST_P(Copy, NewerOnlyComparesModificationTimes) {
    const struct {
        const char* name;
        timespec source, target; // target {0, 0}: none
        const char* old;         // the target's bytes
        bool copied;
    } cases[] = {
        {"older-target", {2000000, 0}, {1000000, 0}, "old", true},
        {"newer-target", {1000000, 0}, {2000000, 0}, "old", false},
        {"same-time", {1500000, 0}, {1500000, 0}, "old", false},
        {"no-target", {1500000, 0}, {0, 0}, "", true},
        // This file system keeps nanoseconds: a change within FAT's two seconds is a change.
        {"changed-within-2s", {1500000, 700000000}, {1500000, 0}, "old", true},
        // The source's time but another size: left by a cut or a failed copy, never the source.
        {"damaged-copy", {1500000, 0}, {1500000, 0}, "truncated copy", true},
    };
    for (const auto& c : cases) {
        write(std::string("src/") + c.name, "new");
        setTime(std::string("src/") + c.name, c.source.tv_sec, c.source.tv_nsec);
        if (c.target.tv_sec) {
            write(std::string("dst/") + c.name, c.old);
            setTime(std::string("dst/") + c.name, c.target.tv_sec, c.target.tv_nsec);
        }
    }
    const auto r = xcopy(q("src") + " " + q("dst") + " /D /Y");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(found(r, "4 個のファイルをコピーしました")) << r.out;
    for (const auto& c : cases) {
        EXPECT_EQ(read(std::string("dst/") + c.name), c.copied ? "new" : c.old) << c.name;
        if (c.copied) { // the time is kept, so a second run copies nothing
            EXPECT_EQ(fs::last_write_time(path(std::string("dst/") + c.name)),
                      fs::last_write_time(path(std::string("src/") + c.name)));
        }
    }
    EXPECT_TRUE(
        found(xcopy(q("src") + " " + q("dst") + " /D /Y"), "0 個のファイルをコピーしました"));
}

TEST_P(Copy, SwitchesSelectWhatIsCopied) {
    for (const char* name : {".config", "a.txt", "b.TXT", "ab.txt", "c.obj", "sub/d.txt",
                             "sub/.dotdir/e.txt", "build/f.txt"})
        write(std::string("src/") + name, name);
    fs::create_directories(path("src/empty/deeper"));
    write("excl.txt", ".OBJ\r\n\r\n\\Build\\\r\n"); // written on Windows
    write("upd/sub/d.txt", "old");
    const struct {
        std::string to, from, switches;
        std::vector<std::string> copied, notCopied;
    } cases[] = {
        {"flat", "", "/I", {".config", "ab.txt"}, {"sub", "empty"}},
        {"s", "", "/S /I", {"sub/.dotdir/e.txt"}, {"empty"}},
        {"e", "", "/e/i", {"empty/deeper"}, {}}, // any case, blanks optional
        {"t", "", "/T /E /I", {"empty/deeper", "sub/.dotdir"}, {".config", "sub/d.txt"}},
        {"pat", "/?.txt", "/S /I", {"a.txt", "b.TXT", "sub/d.txt"}, {"ab.txt", "c.obj"}},
        {"ex", "", "/E /I /EXCLUDE:" + path("excl.txt"), {"sub/d.txt"}, {"c.obj", "build"}},
        {"list", "", "/E /I /L", {}, {""}},
        {"upd", "", "/E /U /Y", {}, {"a.txt", "build"}},
    };
    for (const auto& c : cases) {
        const auto r = xcopy(q("src") + c.from + " " + q(c.to) + " " + c.switches);
        EXPECT_EQ(r.status, 0) << c.switches << "\n" << r.out;
        for (const auto& name : c.copied)
            EXPECT_TRUE(exists(c.to + "/" + name)) << c.switches << ": " << name;
        for (const auto& name : c.notCopied)
            EXPECT_FALSE(exists(c.to + "/" + name)) << c.switches << ": " << name;
    }
    EXPECT_EQ(read("upd/sub/d.txt"), "sub/d.txt");
}

TEST_P(Copy, AsksWhetherTheDestinationIsAFileOrAFolder) {
    write("src/a.txt", "a");
    write("single.txt", "s");
    const struct {
        std::string line, input;
        int status;
        const char* created; // what must exist afterwards, or nothing
    } cases[] = {
        {q("src") + " " + q("asD"), "d\r\n", 0, "asD/a.txt"},
        {q("single.txt") + " " + q("asF"), "F", 0, "asF"},
        {q("single.txt") + " " + q("bad"), "x\nq\nD\n", 0, "bad/single.txt"}, // asked again
        {q("src") + " " + q("eof"), "", 2, nullptr},
        {q("src") + " \"" + path("slash") + "/\"", "", 0, "slash/a.txt"},
    };
    for (const auto& c : cases) {
        const auto r = xcopy(c.line, c.input);
        EXPECT_EQ(r.status, c.status) << c.line << "\n" << r.out;
        EXPECT_TRUE(!c.created || exists(c.created)) << c.line;
    }
    EXPECT_EQ(read("asF"), "s");
    EXPECT_FALSE(exists("eof"));
    EXPECT_TRUE(found(xcopy(q("src") + " " + q("eof2")), "入力が終わった"));
}

TEST_P(Copy, AsksBeforeOverwriting) {
    const auto reset = [&] {
        for (const char* name : {"a", "b", "c"}) {
            write(std::string("src/") + name, "new");
            write(std::string("dst/") + name, "old");
        }
    };
    const auto copied = [&] { // names come in folder order, so count rather than name them
        int n = 0;
        for (const char* name : {"a", "b", "c"})
            n += read(std::string("dst/") + name) == "new";
        return n;
    };
    const std::string line = q("src") + " " + q("dst");
    reset();
    auto r = xcopy(line, "n\ny\nN\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(copied(), 1);
    EXPECT_TRUE(found(r, "(Yes/No/All)"));
    reset();
    r = xcopy(line, "a");
    EXPECT_EQ(copied(), 3);
    EXPECT_EQ(r.out.find("(Yes/No/All)", r.out.find("(Yes/No/All)") + 1), std::string::npos);
    reset();
    r = xcopy(line, "y\n");
    EXPECT_EQ(copied(), 1); // the end of input counts as No, and is no success
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(found(r, "「いいえ」とみなしました"));
    reset();
    ::setenv("COPYCMD", "/Y", 1);
    EXPECT_EQ(xcopy(line + " /-Y").status, 2);
    EXPECT_EQ(copied(), 0);
    EXPECT_EQ(xcopy(line).status, 0);
    EXPECT_EQ(copied(), 3);
}

TEST_P(Copy, LargeFilesArriveWhole) {
    // Large enough to be copied in two halves at once by several workers; each byte tells its
    // place, so a half written to the wrong offset shows.
    std::string content((40 << 20) + 12345, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 4096 + i / (1 << 20));
    write("src/large.bin", content);
    write("dst/large.bin", "old");
    setTime("dst/large.bin", 1000000);
    const auto r = xcopy(q("src") + " " + q("dst") + " /D /Y");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(read("dst/large.bin") == content);
    EXPECT_EQ(temporaries(), 0);
}

using Parallel = TempTree;

TEST_F(Parallel, NamesAndQuestionsComeInWalkOrder) {
    for (int folder = 0; folder < 6; ++folder)
        for (int file = 0; file < 40; ++file)
            write("src/d" + std::to_string(folder) + "/f" + std::to_string(file) + ".txt",
                  std::string(static_cast<std::size_t>(100 + file * 50), 'x'));
    const std::string prefix = path("src/");
    ::setenv("XCPYCMD_WORKERS", "1", 1);
    const auto walked = namesIn(xcopy(q("src") + " " + q("one") + " /E /I /Y").out, prefix);
    ::setenv("XCPYCMD_WORKERS", "4", 1);
    const auto four = xcopy(q("src") + " " + q("four") + " /E /I /Y");
    EXPECT_EQ(four.status, 0) << four.out;
    EXPECT_EQ(namesIn(four.out, prefix), walked);
    ASSERT_EQ(walked.size(), 240u);

    // Three old copies in the middle of the walk: each question waits for its answer while
    // the other files are copied around it, and the answers go to the files in walk order.
    std::vector<std::string> asked;
    for (const std::size_t at : {50, 51, 180}) {
        asked.push_back(walked[at].substr(prefix.size()));
        write("five/" + asked.back(), "old");
    }
    const auto r = xcopy(q("src") + " " + q("five") + " /E /I", "n\ny\nn\n");
    ::unsetenv("XCPYCMD_WORKERS");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read("five/" + asked[0]), "old");
    EXPECT_EQ(read("five/" + asked[1]), read("src/" + asked[1]));
    EXPECT_EQ(read("five/" + asked[2]), "old");
    EXPECT_NE(r.out.find("238 個のファイルをコピーしました"), std::string::npos) << r.out;
}

} // namespace
} // namespace xcpycmd::test
