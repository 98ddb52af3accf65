#include "support.h"

#include <unistd.h>

namespace xcpycmd::test {
namespace {

using Copy = TempTree;

TEST_F(Copy, NewerOnlyComparesModificationTimes) {
    const struct {
        const char* name;
        std::time_t source;
        std::time_t target; // 0: no target
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
    for (const auto& c : cases) {
        EXPECT_EQ(read(std::string("dst/") + c.name), c.copied ? "new" : "old") << c.name;
        if (c.copied) {
            EXPECT_EQ(mtime(std::string("dst/") + c.name), c.source) << c.name;
        }
    }
    EXPECT_NE(r.out.find("2 個のファイルをコピーしました"), std::string::npos) << r.out;

    // Nothing newer: still a success.
    const auto again = xcopy(q("src") + " " + q("dst") + " /D /Y");
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("0 個のファイルをコピーしました"), std::string::npos);

    // /D:m-d-y keeps files changed on or after that day.
    write("dated/old.txt", "o");
    setTime("dated/old.txt", 946684800); // 2000-01-01
    write("dated/new.txt", "n");
    EXPECT_EQ(xcopy(q("dated") + " " + q("dated-out") + " /I /D:6-1-2001").status, 0);
    EXPECT_TRUE(exists("dated-out/new.txt"));
    EXPECT_FALSE(exists("dated-out/old.txt"));
}

TEST_F(Copy, SubfoldersAndEmptyFoldersAndDotFiles) {
    write("src/top.txt", "t");
    write("src/.config", "hidden");
    write("src/sub/.dotdir/inner", "i");
    write("src/sub/file.txt", "f");
    fs::create_directories(path("src/empty/deeper"));

    EXPECT_EQ(xcopy(q("src") + " " + q("flat") + " /I").status, 0);
    EXPECT_TRUE(exists("flat/top.txt"));
    EXPECT_EQ(read("flat/.config"), "hidden");
    EXPECT_FALSE(exists("flat/sub"));

    EXPECT_EQ(xcopy(q("src") + " " + q("s") + " /S /I").status, 0);
    EXPECT_EQ(read("s/sub/.dotdir/inner"), "i");
    EXPECT_FALSE(exists("s/empty"));

    EXPECT_EQ(xcopy(q("src") + " " + q("e") + " /E /I /H").status, 0);
    EXPECT_TRUE(fs::is_directory(path("e/empty/deeper")));
    EXPECT_EQ(read("e/.config"), "hidden");
    EXPECT_EQ(read("e/sub/file.txt"), "f");
}

TEST_F(Copy, PatternsSelectFiles) {
    write("src/a.txt", "a");
    write("src/b.TXT", "b");
    write("src/c.dat", "c");
    write("src/ab.txt", "ab");
    write("src/sub/d.txt", "d");

    EXPECT_EQ(xcopy(q("src") + "/*.txt " + q("one") + " /I").status, 0);
    EXPECT_TRUE(exists("one/a.txt") && exists("one/b.TXT") && exists("one/ab.txt"));
    EXPECT_FALSE(exists("one/c.dat") || exists("one/sub"));

    EXPECT_EQ(xcopy(q("src") + "/?.txt " + q("two") + " /S /I").status, 0);
    EXPECT_TRUE(exists("two/a.txt") && exists("two/sub/d.txt") && exists("two/b.TXT"));
    EXPECT_FALSE(exists("two/ab.txt"));

    // One named file, into an existing folder.
    fs::create_directories(path("three"));
    EXPECT_EQ(xcopy(q("src/c.dat") + " " + q("three")).status, 0);
    EXPECT_EQ(read("three/c.dat"), "c");

    const auto none = xcopy(q("src") + "/*.none " + q("four") + " /I");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("ファイルが見つかりません"), std::string::npos);
}

TEST_F(Copy, ExcludeListOnlyOnlyExisting) {
    write("src/keep.txt", "k");
    write("src/skip.obj", "s");
    write("src/build/out.txt", "o");
    write("src/doc/readme.txt", "r");
    write("excl.txt", ".obj\r\n\r\n/build/\r\n");

    EXPECT_EQ(xcopy(q("src") + " " + q("ex") + " /E /I /EXCLUDE:" + path("excl.txt")).status, 0);
    EXPECT_TRUE(exists("ex/keep.txt") && exists("ex/doc/readme.txt"));
    EXPECT_FALSE(exists("ex/skip.obj") || exists("ex/build"));
    EXPECT_EQ(xcopy(q("src") + " " + q("ex2") + " /I /EXCLUDE:" + path("none.txt")).status, 4);

    const auto listed = xcopy(q("src") + " " + q("list") + " /E /I /L");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("keep.txt"), std::string::npos);
    EXPECT_NE(listed.out.find("4 個のファイル"), std::string::npos);
    EXPECT_FALSE(exists("list"));

    write("upd/keep.txt", "old");
    setTime("upd/keep.txt", 1000000);
    EXPECT_EQ(xcopy(q("src") + " " + q("upd") + " /E /U /Y").status, 0);
    EXPECT_EQ(read("upd/keep.txt"), "k");
    EXPECT_FALSE(exists("upd/skip.obj") || exists("upd/doc"));
}

TEST_F(Copy, TreeOnlyMakesFolders) {
    write("src/a/file.txt", "x");
    fs::create_directories(path("src/b/empty"));
    const auto r = xcopy(q("src") + " " + q("t") + " /T /I");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::is_directory(path("t/a")));
    EXPECT_FALSE(exists("t/a/file.txt") || exists("t/b"));
    EXPECT_EQ(xcopy(q("src") + " " + q("te") + " /T /E /I").status, 0);
    EXPECT_TRUE(fs::is_directory(path("te/b/empty")));
    EXPECT_FALSE(exists("te/a/file.txt"));
}

TEST_F(Copy, AsksWhetherTheDestinationIsAFileOrAFolder) {
    write("src/a.txt", "a");
    write("single.txt", "s");
    const struct {
        std::string line;
        std::string input;
        int status;
        const char* created; // what must exist afterwards, or nothing
    } cases[] = {
        {q("src") + " " + q("asD"), "d\r\n", 0, "asD/a.txt"},
        {q("single.txt") + " " + q("asF"), "F", 0, "asF"},
        {q("single.txt") + " " + q("bad"), "x\nq\nD\n", 0, "bad/single.txt"},
        {q("src") + " " + q("eof"), "", 4, nullptr},
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
    EXPECT_NE(xcopy(q("src") + " " + q("eof2")).out.find("入力が終わった"), std::string::npos);
}

TEST_F(Copy, AsksBeforeOverwriting) {
    for (const char* name : {"a", "b", "c"}) {
        write(std::string("src/") + name, "new");
        write(std::string("dst/") + name, "old");
    }
    const auto count = [&](const char* content) {
        int n = 0;
        for (const char* name : {"a", "b", "c"})
            n += read(std::string("dst/") + name) == content;
        return n;
    };
    // Names come in folder order, so count the answers rather than naming files.
    auto r = xcopy(q("src") + " " + q("dst"), "n\ny\nN\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count("new"), 1);
    EXPECT_NE(r.out.find("(Yes/No/All)"), std::string::npos);

    for (const char* name : {"a", "b", "c"})
        write(std::string("dst/") + name, "old");
    r = xcopy(q("src") + " " + q("dst"), "a");
    EXPECT_EQ(count("new"), 3);
    EXPECT_EQ(r.out.find("(Yes/No/All)", r.out.find("(Yes/No/All)") + 1), std::string::npos);

    for (const char* name : {"a", "b", "c"})
        write(std::string("dst/") + name, "old");
    r = xcopy(q("src") + " " + q("dst"), "y\n");
    EXPECT_EQ(count("new"), 1); // the end of input counts as No
    EXPECT_NE(r.out.find("「いいえ」とみなしました"), std::string::npos);

    for (const char* name : {"a", "b", "c"})
        write(std::string("dst/") + name, "old");
    {
        ScopedEnv copycmd("COPYCMD", "/Y");
        EXPECT_EQ(xcopy(q("src") + " " + q("dst") + " /-Y", "").status, 0);
        EXPECT_EQ(count("new"), 0);
        EXPECT_EQ(xcopy(q("src") + " " + q("dst"), "").status, 0);
        EXPECT_EQ(count("new"), 3);
    }

    // /P asks for every file.
    r = xcopy(q("src") + " " + q("each") + " /I /P", "y\nn\nn\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("each")), fs::directory_iterator()), 1);
}

TEST_F(Copy, KeepsTimesAndPermissionsAndHandlesReadOnly) {
    write("src/tool.sh", "#!/bin/sh\n");
    fs::permissions(path("src/tool.sh"), fs::perms(0754));
    write("src/ro.txt", "r");
    fs::permissions(path("src/ro.txt"), fs::perms(0444));
    setTime("src/tool.sh", 1234567890);

    EXPECT_EQ(xcopy(q("src") + " " + q("plain") + " /I").status, 0);
    EXPECT_EQ(fs::status(path("plain/tool.sh")).permissions(), fs::perms(0754));
    EXPECT_EQ(fs::status(path("plain/ro.txt")).permissions(), fs::perms(0644));
    EXPECT_EQ(mtime("plain/tool.sh"), 1234567890);
    EXPECT_EQ(xcopy(q("src") + " " + q("kept") + " /I /K").status, 0);
    EXPECT_EQ(fs::status(path("kept/ro.txt")).permissions(), fs::perms(0444));

    // A read-only target is only replaced with /R.
    EXPECT_EQ(xcopy(q("src/ro.txt") + " " + q("kept") + " /Y").status, 5);
    EXPECT_EQ(xcopy(q("src/ro.txt") + " " + q("kept") + " /Y /R /K").status, 0);
}

TEST_F(Copy, FollowsOrCopiesSymbolicLinks) {
    write("src/real.txt", "data");
    fs::create_symlink("real.txt", path("src/link.txt"));
    fs::create_symlink("nowhere", path("src/dangling"));
    auto r = xcopy(q("src") + " " + q("followed") + " /I");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(fs::is_symlink(path("followed/link.txt")));
    EXPECT_EQ(read("followed/link.txt"), "data");
    EXPECT_NE(r.out.find("リンク先がない"), std::string::npos);

    r = xcopy(q("src") + " " + q("links") + " /I /B");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::read_symlink(path("links/link.txt")), "real.txt");
    EXPECT_EQ(fs::read_symlink(path("links/dangling")), "nowhere");
}

TEST_F(Copy, ContinuesAfterErrorsOnlyWithC) {
    write("src/a/1.txt", "1");
    write("src/b/2.txt", "2");
    write("src/c/3.txt", "3");
    // A file where the copy needs folder b makes that folder fail.
    write("dst/b", "in the way");
    auto r = xcopy(q("src") + " " + q("dst") + " /E /Y /C");
    EXPECT_EQ(r.status, 5);
    EXPECT_TRUE(exists("dst/a/1.txt") && exists("dst/c/3.txt"));
    EXPECT_NE(r.out.find("2 個のファイルをコピーしました"), std::string::npos) << r.out;

    fs::remove_all(path("dst/a"));
    fs::remove_all(path("dst/c"));
    r = xcopy(q("src") + " " + q("dst") + " /E /Y");
    EXPECT_EQ(r.status, 5);
    EXPECT_LT(exists("dst/a/1.txt") + exists("dst/c/3.txt"), 2);
}

} // namespace
} // namespace xcpycmd::test
