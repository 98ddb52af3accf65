#include "files/codepage.h"
#include "interpreter/xcopy_options.h"
#include "support.h"

namespace xcpycmd::test {
namespace {

TEST(Parsing, ExpandsPercentSignsAndVariables) {
    ScopedEnv set("XCPY_TEST_VAR", "値 1");
    ScopedEnv unset("XCPY_TEST_UNSET", nullptr);
    const struct {
        const char* line;
        const char* expected;
    } cases[] = {
        {"ECHO 100%%", "ECHO 100%"},
        {"%XCPY_TEST_VAR%\\x", "値 1\\x"},
        {"%xcpy_test_var%", "値 1"}, // names ignore case, as batch files expect
        {"[%XCPY_TEST_UNSET%]", "[]"},
        {"a %1 %* b", "a   b"},
        {"50%", "50"},
        {"%%XCPY_TEST_VAR%%", "%XCPY_TEST_VAR%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(expandVariables(c.line), c.expected) << c.line;
}

TEST(Parsing, SplitsArgumentsAtBlanksOutsideQuotes) {
    const std::vector<Arg> expected = {
        {"C:\\My Documents\\a b", true},
        {"/tmp/x y", true},
        {"/D", false},
        {"/e", false},
        {"/S", true},
        {"plain", false},
    };
    EXPECT_EQ(splitArguments("  \"C:\\My Documents\\a b\"\t\"/tmp/x y\" /D /e \"/S\" plain "),
              expected);
    EXPECT_TRUE(splitArguments("   ").empty());
}

TEST(Parsing, ReadsSwitchesInAnyCase) {
    const auto parse = [](std::vector<Arg> args, const char* copycmd = nullptr) {
        return parseXCopyArguments(args, copycmd);
    };
    auto p = parse({{"a", true},
                    {"b", true},
                    {"/d", false},
                    {"/E", false},
                    {"/i", false},
                    {"/y", false},
                    {"/c/Q", false},
                    {"/f", false},
                    {"/H", false},
                    {"/v", false}});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.source, "a");
    EXPECT_EQ(p.options.destination, "b");
    EXPECT_TRUE(p.options.newerOnly && p.options.subfolders && p.options.emptyFolders &&
                p.options.assumeFolder && p.options.overwriteWithoutAsking &&
                p.options.continueOnError && p.options.quiet && p.options.fullNames);

    p = parse({{"a", false}, {"/s", false}});
    ASSERT_TRUE(p.ok());
    EXPECT_TRUE(p.options.subfolders);
    EXPECT_FALSE(p.options.emptyFolders);
    EXPECT_TRUE(p.options.destination.empty());

    p = parse({{"a", true}, {"/D:2-29-2024", false}});
    ASSERT_TRUE(p.ok()) << p.error;
    std::tm tm{};
    const std::time_t since = *p.options.sinceDate;
    ::localtime_r(&since, &tm);
    EXPECT_EQ(tm.tm_year, 124);
    EXPECT_EQ(tm.tm_mon, 1);
    EXPECT_EQ(tm.tm_mday, 29);
    EXPECT_EQ(tm.tm_hour, 0);

    p = parse({{"a", true}, {"/EXCLUDE:/tmp/one+two", false}});
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.options.excludeFiles, (std::vector<std::string>{"/tmp/one", "two"}));

    // COPYCMD gives the default; the command line wins.
    EXPECT_TRUE(parse({{"a", true}}, "/Y").options.overwriteWithoutAsking);
    EXPECT_FALSE(parse({{"a", true}, {"/-Y", false}}, "/y").options.overwriteWithoutAsking);
    EXPECT_TRUE(parse({{"a", true}, {"/Y", false}}, "/-Y").options.overwriteWithoutAsking);
    EXPECT_FALSE(parse({{"a", true}}, nullptr).options.overwriteWithoutAsking);
}

TEST(Parsing, RefusesBadSwitchesAndArguments) {
    const struct {
        std::vector<Arg> args;
        const char* inError;
    } cases[] = {
        {{{"a", true}, {"/Q9", false}}, "/Q9"},
        {{{"a", true}, {"/a", false}}, "/a"},
        {{{"a", true}, {"/M", false}}, "/M"},
        {{{"a", true}, {"/D:13-1-2024", false}}, "/D:13-1-2024"},
        {{{"a", true}, {"/D:2-30-2024", false}}, "/D:2-30-2024"},
        {{{"a", true}, {"b", true}, {"/S", true}}, "/S"}, // a quoted "/S" is a third path
        {{{"/E", false}}, "コピー元"},
        {{{"a", true}, {"/EXCLUDE:", false}}, "/EXCLUDE:"},
    };
    for (const auto& c : cases) {
        const auto p = parseXCopyArguments(c.args, nullptr);
        EXPECT_FALSE(p.ok()) << c.inError;
        EXPECT_NE(p.error.find(c.inError), std::string::npos) << p.error;
    }
}

TEST(Parsing, MatchesWildcards) {
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*", "anything", true},
        {"*.*", "noext", true},
        {"*.txt", "a.txt", true},
        {"*.TXT", "a.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"?.txt", "ab.txt", false},
        {"a?c*", "abc", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b", "ab", true},
        {"*a", "bbb", false},
        {"", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

class Batch : public TempTree {
protected:
    Result runText(const std::string& text, const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream out;
        Console console(in, out, out);
        const int status = runBatchText(text, console);
        return {status, out.str()};
    }
};

TEST_F(Batch, RunsKnownCommandsAndReportsOthers) {
    write("src/a.txt", "a");
    const std::string text = "@ECHO OFF\r\n"
                             "REM nothing here\r\n"
                             "\r\n"
                             "ECHO first %%\r\n"
                             "FROB " +
                             q("src") +
                             "\r\n"
                             "ECHO.\r\n"
                             "XCOPY.EXE " +
                             q("src") + " " + q("out1") +
                             " /I\r\n"
                             "xcopy " +
                             q("src") + " " + q("out2") +
                             " /I /Q\r\n"
                             "XCopy.exe " +
                             q("missing") + " " + q("out3") +
                             " /I\r\n"
                             "PAUSE\r\n"
                             "ECHO after pause\r\n";
    const auto r = runText(text, "x");
    EXPECT_EQ(r.status, 4); // the highest status of its copies
    EXPECT_EQ(read("out1/a.txt"), "a");
    EXPECT_EQ(read("out2/a.txt"), "a");
    EXPECT_NE(r.out.find("first %\n"), std::string::npos);
    EXPECT_NE(r.out.find("'FROB'"), std::string::npos);
    EXPECT_NE(r.out.find("キーを押して"), std::string::npos);
    EXPECT_NE(r.out.find("after pause"), std::string::npos);
    EXPECT_EQ(r.out.find("REM"), std::string::npos); // echo is off
    EXPECT_EQ(r.out.find("nothing here"), std::string::npos);

    // With echo on, each command is shown before it runs, unless it starts with @.
    const auto shown = runText("ECHO hello\n@ECHO quiet\n");
    EXPECT_NE(shown.out.find(">ECHO hello\nhello\n"), std::string::npos);
    EXPECT_EQ(shown.out.find(">@ECHO"), std::string::npos);
    EXPECT_EQ(runText("REM only\n").status, 0);
}

TEST_F(Batch, PauseWaitsForOneByteOrTheEnd) {
    const auto r = runText("@PAUSE\n@PAUSE\n@ECHO done\n", "a");
    EXPECT_NE(r.out.find("done"), std::string::npos);
}

TEST_F(Batch, DecodesCodePage932AndUtf8WithBom) {
    write("元/データ.txt", "x");
    const std::string line = "@XCopy.exe " + q("元") + " " + q("先") + " /E /I \r\n";
    const auto cp932 = xcpy::utf8ToCp932(line);
    ASSERT_TRUE(cp932.ok());
    write("run932.bat", cp932.text);
    write("run8.bat",
          "\xEF\xBB\xBF" + line + "@XCopy.exe " + q("元") + " " + q("先2") + " /E /I\r\n");
    write("bad.bat", "\x81\x20\r\n");

    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, out);
    EXPECT_EQ(runBatchFile(path("run932.bat"), console), 0);
    EXPECT_EQ(read("先/データ.txt"), "x");
    EXPECT_EQ(runBatchFile(path("run8.bat"), console), 0);
    EXPECT_EQ(read("先2/データ.txt"), "x");

    out.str("");
    EXPECT_EQ(runBatchFile(path("bad.bat"), console), 1);
    EXPECT_NE(out.str().find("bad.bat"), std::string::npos);
    out.str("");
    EXPECT_EQ(runBatchFile(path("none.bat"), console), 1);
    EXPECT_NE(out.str().find("none.bat"), std::string::npos);
}

} // namespace
} // namespace xcpycmd::test
