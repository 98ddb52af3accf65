#include "files/codepage.h"
#include "interpreter/xcopy_options.h"
#include "support.h"

namespace xcpycmd::test {
namespace {

TEST(Parsing, ExpandsPercentSignsAndVariables) {
    ::setenv("XCPY_TEST_VAR", "値 1", 1);
    ::unsetenv("XCPY_TEST_UNSET");
    const std::pair<const char*, const char*> cases[] = {
        {"ECHO 100%%", "ECHO 100%"},
        {"%xcpy_test_var%\\x", "値 1\\x"}, // names ignore case, as batch files expect
        {"[%XCPY_TEST_UNSET%]", "[]"},
        {"a %1 %* b", "a   b"},
        {"50%", "50"},
        {"%%XCPY_TEST_VAR%%", "%XCPY_TEST_VAR%"},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(expandVariables(line), expected) << line;
    ::unsetenv("XCPY_TEST_VAR");
}

XCopyParse parse(const char* line, const char* copycmd = nullptr) {
    return parseXCopyArguments(splitArguments(line), copycmd);
}

TEST(Parsing, SplitsArgumentsAndReadsSwitchesInAnyCase) {
    const std::vector<Arg> expected = {
        {"C:\\My Documents\\a b", true}, {"/D", false}, {"/e", false}, {"/S", true}, {"x", false}};
    EXPECT_EQ(splitArguments("  \"C:\\My Documents\\a b\"\t/D /e \"/S\" x "), expected);
    EXPECT_TRUE(splitArguments("   ").empty());

    auto p = parse("a b /d /E /i /y /c/Q");
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.source + p.options.destination, "ab");
    EXPECT_TRUE(p.options.newerOnly && p.options.subfolders && p.options.emptyFolders &&
                p.options.assumeFolder && p.options.overwriteWithoutAsking &&
                p.options.continueOnError && p.options.quiet);
    p = parse("a /D:2-29-2024 /s");
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_TRUE(p.options.subfolders && !p.options.emptyFolders);
    std::tm tm{};
    ::localtime_r(&*p.options.sinceDate, &tm);
    EXPECT_EQ(std::vector<int>({tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour}),
              std::vector<int>({124, 1, 29, 0}));
    // COPYCMD gives the default; the command line wins.
    EXPECT_TRUE(parse("a", "/Y").options.overwriteWithoutAsking);
    EXPECT_FALSE(parse("a /-Y", "/y").options.overwriteWithoutAsking);
    EXPECT_TRUE(parse("a /Y", "/-Y").options.overwriteWithoutAsking);

    const std::pair<const char*, const char*> refused[] = {
        {"a /Q9", "/Q9"},
        {"a /M", "/M"},
        {"a /D:2-30-2024", "/D:2-30-2024"},
        {"a b \"/S\"", "/S"}, // a quoted "/S" is a third path
        {"/E", "コピー元"},
        {"a /EXCLUDE:", "/EXCLUDE:"},
    };
    for (const auto& [line, inError] : refused) {
        p = parse(line);
        EXPECT_FALSE(p.ok()) << line;
        EXPECT_NE(p.error.find(inError), std::string::npos) << p.error;
    }
}

class Batch : public TempTree {
protected:
    Result runText(const std::string& text, const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream out;
        Console console(in, out, out);
        return {runBatchText(text, console), out.str()};
    }
};

TEST_F(Batch, RunsKnownCommandsAndReportsOthers) {
    write("src/a.txt", "a");
    const auto r =
        runText("@ECHO OFF\r\nREM nothing here\r\n\r\nECHO first %%\r\nFROB " + q("src") +
                    "\r\nECHO.\r\nXCOPY.EXE " + q("src") + " " + q("out1") + " /I\r\nxcopy " +
                    q("src") + " " + q("out2") + " /I /Q\r\nXCopy.exe " + q("missing") + " " +
                    q("out3") + " /I\r\nPAUSE\r\nECHO after pause\r\n",
                "x");
    EXPECT_EQ(r.status, 4); // the highest status of its copies
    EXPECT_EQ(read("out1/a.txt") + read("out2/a.txt"), "aa");
    for (const char* shown : {"first %\n", "'FROB'", "キーを押して", "after pause"})
        EXPECT_NE(r.out.find(shown), std::string::npos) << shown;
    EXPECT_EQ(r.out.find("REM"), std::string::npos); // echo is off
    EXPECT_EQ(r.out.find("nothing here"), std::string::npos);

    // With echo on, each command is shown before it runs, unless it starts with @.
    const auto shown = runText("ECHO hello\n@ECHO quiet\n");
    EXPECT_NE(shown.out.find(">ECHO hello\nhello\n"), std::string::npos);
    EXPECT_EQ(shown.out.find(">@ECHO"), std::string::npos);
}

TEST_F(Batch, DecodesCodePage932AndRefusesInvalidBytes) {
    write("元/データ.txt", "x");
    const auto cp932 = xcpy::utf8ToCp932("@XCopy.exe " + q("元") + " " + q("先") + " /E /I \r\n");
    ASSERT_TRUE(cp932.ok());
    write("run932.bat", cp932.text);
    write("bad.bat", "\x81\x20\r\n");
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, out);
    EXPECT_EQ(runBatchFile(path("run932.bat"), console), 0);
    EXPECT_EQ(read("先/データ.txt"), "x");
    EXPECT_EQ(runBatchFile(path("bad.bat"), console), 1);
    EXPECT_NE(out.str().find("bad.bat"), std::string::npos);
}

} // namespace
} // namespace xcpycmd::test
