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
        std::time_t source, target; // target 0: none
        bool copied;
    } cases[] = {
        {"older-target", 2000000, 1000000, true},
        {"newer-target", 1000000, 2000000, false},
        {"same-time", 1500000, 1500000, false},
        {"no-target", 1500000, 0, true},
    };
    for (const auto& c : cases) {
        write(std::string("src/") + c.name, "new");
        setTime(std::string("src/") + c.name, c.source);
        if (c.target) {
            write(std::string("dst/") + c.name, "old");
            setTime(std::string("dst/") + c.name, c.target);
        }
    }
    const auto r = xcopy(q("src") + " " + q("dst") + " /D /Y");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(found(r, "2 個のファイルをコピーしました")) << r.out;
    for (const auto& c : cases) {
        EXPECT_EQ(read(std::string("dst/") + c.name), c.copied ? "new" : "old") << c.name;
        if (c.copied) { // the time is kept, so a second run copies nothing
            EXPECT_EQ(mtime(std::string("dst/") + c.name), c.source) << c.name;
        }
    }
}

TEST_P(Copy, SubfoldersEmptyFoldersDotFilesAndTreeOnly) {
    write("src/.config", "hidden");
    write("src/sub/.dotdir/inner", "i");
    fs::create_directories(path("src/empty/deeper"));
    EXPECT_EQ(xcopy(q("src") + " " + q("flat") + " /I").status, 0);
    EXPECT_EQ(read("flat/.config"), "hidden");
    EXPECT_FALSE(exists("flat/sub"));
    EXPECT_EQ(xcopy(q("src") + " " + q("s") + " /S /I").status, 0);
    EXPECT_EQ(read("s/sub/.dotdir/inner"), "i");
    EXPECT_FALSE(exists("s/empty"));
    EXPECT_EQ(xcopy(q("src") + " " + q("e") + " /E /I").status, 0);
    EXPECT_TRUE(fs::is_directory(path("e/empty/deeper")));
    EXPECT_EQ(xcopy(q("src") + " " + q("t") + " /T /E /I").status, 0);
    EXPECT_TRUE(fs::is_directory(path("t/empty/deeper")) && fs::is_directory(path("t/sub")));
    EXPECT_FALSE(exists("t/.config") || exists("t/sub/.dotdir/inner"));
}

TEST_P(Copy, PatternsSelectFiles) {
    for (const char* name : {"a.txt", "b.TXT", "c.dat", "ab.txt", "sub/d.txt"})
        write(std::string("src/") + name, name);
    EXPECT_EQ(xcopy(q("src") + "/?.txt " + q("two") + " /S /I").status, 0);
    EXPECT_TRUE(exists("two/a.txt") && exists("two/sub/d.txt") && exists("two/b.TXT"));
    EXPECT_FALSE(exists("two/ab.txt") || exists("two/c.dat"));
    fs::create_directories(path("three")); // one named file, into an existing folder
    EXPECT_EQ(xcopy(q("src/c.dat") + " " + q("three")).status, 0);
    EXPECT_EQ(read("three/c.dat"), "c.dat");
    const auto none = xcopy(q("src") + "/*.none " + q("four") + " /I");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(found(none, "ファイルが見つかりません"));
}

TEST_P(Copy, ExcludeListOnlyOnlyExisting) {
    write("src/keep.txt", "k");
    write("src/skip.obj", "s");
    write("src/build/out.txt", "o");
    write("src/doc/readme.txt", "r");
    write("excl.txt", ".OBJ\r\n\r\n\\Build\\\r\n"); // written on Windows
    EXPECT_EQ(xcopy(q("src") + " " + q("ex") + " /E /I /EXCLUDE:" + path("excl.txt")).status, 0);
    EXPECT_TRUE(exists("ex/keep.txt") && exists("ex/doc/readme.txt"));
    EXPECT_FALSE(exists("ex/skip.obj") || exists("ex/build"));
    EXPECT_EQ(xcopy(q("src") + " " + q("ex2") + " /I /EXCLUDE:" + path("none.txt")).status, 4);

    const auto listed = xcopy(q("src") + " " + q("list") + " /E /I /L");
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(found(listed, "keep.txt") && found(listed, "4 個のファイル"));
    EXPECT_FALSE(exists("list"));

    write("upd/keep.txt", "old");
    setTime("upd/keep.txt", 1000000);
    EXPECT_EQ(xcopy(q("src") + " " + q("upd") + " /E /U /Y").status, 0);
    EXPECT_EQ(read("upd/keep.txt"), "k");
    EXPECT_FALSE(exists("upd/skip.obj") || exists("upd/doc"));
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
        {q("src") + " " + q("withI") + " /I", "", 0, "withI/a.txt"},
        {q("src") + " \"" + path("slash") + "/\"", "", 0, "slash/a.txt"},
    };
    for (const auto& c : cases) {
        const auto r = xcopy(c.line, c.input);
        EXPECT_EQ(r.status, c.status) << c.line << "\n" << r.out;
        if (c.created) {
            EXPECT_TRUE(exists(c.created)) << c.line;
        }
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

TEST_P(Copy, ContinuesAfterErrorsWithC) {
    for (const char* name : {"a/1.txt", "b/2.txt", "c/3.txt"})
        write(std::string("src/") + name, name);
    write("dst/b", "in the way"); // a file where the copy needs folder b
    const auto r = xcopy(q("src") + " " + q("dst") + " /E /Y /C");
    EXPECT_EQ(r.status, 5);
    EXPECT_TRUE(exists("dst/a/1.txt") && exists("dst/c/3.txt"));
    EXPECT_TRUE(found(r, "2 個のファイルをコピーしました")) << r.out;
}

} // namespace
} // namespace xcpycmd::test
