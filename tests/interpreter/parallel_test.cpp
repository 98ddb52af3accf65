#include "support.h"

namespace xcpycmd::test {
namespace {

using Parallel = TempTree;

std::vector<std::string> namesIn(const std::string& out, const std::string& prefix) {
    std::vector<std::string> names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(prefix))
            names.push_back(line);
    return names;
}

TEST_F(Parallel, NamesAndQuestionsComeInWalkOrder) {
    for (int folder = 0; folder < 6; ++folder)
        for (int file = 0; file < 40; ++file)
            write("src/d" + std::to_string(folder) + "/f" + std::to_string(file) + ".txt",
                  std::string(static_cast<std::size_t>(100 + file * 50), 'x'));
    const std::string prefix = path("src/");
    ::setenv("XCPYCMD_WORKERS", "1", 1);
    const auto alone = xcopy(q("src") + " " + q("one") + " /E /I /Y");
    ::setenv("XCPYCMD_WORKERS", "4", 1);
    const auto four = xcopy(q("src") + " " + q("four") + " /E /I /Y");
    EXPECT_EQ(four.status, 0) << four.out;
    EXPECT_EQ(namesIn(four.out, prefix), namesIn(alone.out, prefix));
    EXPECT_EQ(namesIn(four.out, prefix).size(), 240u);

    // Three old copies in the middle of the walk: each question waits for its answer while
    // the other files are copied around it, and the answers go to the files in walk order.
    const std::vector<std::string> walked = namesIn(alone.out, prefix);
    std::vector<std::string> asked;
    for (const std::size_t at : {50, 51, 180}) {
        asked.push_back(walked[at].substr(prefix.size()));
        write("five/" + asked.back(), "old");
    }
    ::unsetenv("COPYCMD");
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
