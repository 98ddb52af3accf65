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

TEST(Parsing, SplitsArgumentsAndReadsSwitches) {
    const std::vector<Arg> expected = {
        {"C:\\My Documents\\a b", true}, {"/D", false}, {"/e", false}, {"/S", true}, {"x", false}};
    EXPECT_EQ(splitArguments("  \"C:\\My Documents\\a b\"\t/D /e \"/S\" x "), expected);

    auto p = parse("a /D:2-29-2024");
    ASSERT_TRUE(p.ok()) << p.error;
    std::tm tm{};
    ::localtime_r(&*p.options.sinceDate, &tm);
    EXPECT_EQ(std::vector<int>({tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour}),
              std::vector<int>({124, 1, 29, 0}));

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

} // namespace
} // namespace xcpycmd::test
