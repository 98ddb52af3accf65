#include "files/codepage.h"
#include "interpreter/exclude_list.h"
#include "interpreter/substring_matcher.h"
#include "support.h"

#include <random>
#include <set>

namespace xcpycmd::test {
namespace {

// Runs in the temporary folder with relative paths: a path shown with the folder's random name
// might hold a line of a list.
class Exclude : public TempTree {
protected:
    void SetUp() override {
        TempTree::SetUp();
        before_ = fs::current_path();
        fs::current_path(root);
    }
    void TearDown() override {
        fs::current_path(before_);
        TempTree::TearDown();
    }

private:
    fs::path before_;
};

TEST_F(Exclude, ALongListExcludesExactlyWhatItsLinesName) {
    const std::set<std::string> kept = {
        "abc.txt",       "bc.txt", "sub/deeper/e.txt", "b/cache",  "Report.doc",
        "データ2/f.txt", "zz.txt", "other/keep.txt",   "a  b.txt",
    };
    const std::set<std::string> excluded = {
        "abcd.txt",        // "bcd" found after "abcx" led astray
        "zzqw.txt",        // "zq" ends inside the longer "zzqwe"
        "a/cache/x.txt",   // a folder, matched with its '/'
        "sub/deep/e.txt",  // "\sub\deep\" from a list written on Windows
        "REPORT_old.txt",  // case does not matter
        "データ/f.txt",    // from the code page 932 list
        "other/notes.BAK", // from the second line of a CR LF pair
    };
    for (const auto& name : kept)
        write("src/" + name, name);
    for (const auto& name : excluded)
        write("src/" + name, name);

    // UTF-8 with a byte-order mark; 100,000 lines that come close to the names above without
    // matching any of them, and the lines that exclude among them.
    std::string first = std::string("\xEF\xBB\xBF") + "bcd\n";
    for (int i = 0; i < 50000; ++i) {
        const std::string n = std::to_string(i);
        first += "abc" + n + "\nzzq" + n + "w/\n";
        if (i == 25000)
            first += "abcx\r\n  \r\n\t\r\n\r\nZQ\r\nzzqwe\ncache/\n\\sub\\deep\\\n";
    }
    write("one.txt", first);
    write("two.txt", xcpy::utf8ToCp932("report_\r\n.bak\r\nデータ/\r\n").text);

    // With a progress channel, whose plan must leave out the same files.
    const auto r =
        batchWithProgress("XCopy.exe src dst /E /I /Y /EXCLUDE:one.txt+two.txt", "progress");
    EXPECT_EQ(r.status, 0) << r.out;
    std::size_t keptBytes = 0;
    for (const auto& name : kept)
        keptBytes += name.size();
    const std::string plan =
        "plan " + std::to_string(kept.size()) + " " + std::to_string(keptBytes);
    EXPECT_NE(read("progress").find(plan + "\n"), std::string::npos) << read("progress");
    std::set<std::string> copied;
    for (const auto& entry : fs::recursive_directory_iterator("dst"))
        if (entry.is_regular_file())
            copied.insert(fs::relative(entry.path(), "dst").string());
    EXPECT_EQ(copied, kept);
}

TEST_F(Exclude, ListsOverTheLimitsAreRefusedAndNothingIsCopied) {
    write("src/a.txt", "a");
    // Many equal lines: the limits count what the files hold, cheap as it is to match.
    std::string halfLines;
    for (std::size_t i = 0; i < ExcludeList::kMaxLines / 2; ++i)
        halfLines += "zz\n";
    write("lines.txt", halfLines);
    const std::string kibLine = std::string(1024, 'q') + "\n";
    std::string halfBytes;
    for (std::size_t i = 0; i < ExcludeList::kMaxBytes / 2048; ++i)
        halfBytes += kibLine;
    write("bytes.txt", halfBytes);
    write("one.txt", "y\n");

    const struct {
        std::string lists;
        int status;
    } cases[] = {
        {"lines.txt+lines.txt", 0},
        {"lines.txt+one.txt+lines.txt", 4},
        {"bytes.txt+bytes.txt", 0},
        {"bytes.txt+bytes.txt+one.txt", 4},
    };
    int run = 0;
    for (const auto& c : cases) {
        const std::string to = "dst" + std::to_string(run++);
        const auto r = xcopy("src " + to + " /I /EXCLUDE:" + c.lists);
        EXPECT_EQ(r.status, c.status) << c.lists << "\n" << r.out;
        if (c.status == 0) {
            EXPECT_TRUE(exists(to + "/a.txt")) << c.lists;
        } else {
            EXPECT_FALSE(exists(to)) << c.lists;
            EXPECT_NE(r.out.find("100 万行・16 MB まで"), std::string::npos) << r.out;
        }
    }
}

// Against a plain search, on sets of short patterns over a few letters: they overlap in every
// way, and a text leads the automaton through long chains of fallbacks.
TEST(SubstringMatcher, FindsWhatASearchForEachPatternFinds) {
    std::mt19937 random(7);
    const auto word = [&](std::size_t min, std::size_t max) {
        static const char letters[] = "abAB\xE3";
        std::string text(std::uniform_int_distribution<std::size_t>(min, max)(random), ' ');
        for (char& c : text)
            c = letters[std::uniform_int_distribution<int>(0, 4)(random)];
        return text;
    };
    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return text;
    };
    int found = 0;
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> patterns(6);
        for (auto& pattern : patterns)
            pattern = word(2, 7);
        const SubstringMatcher matcher({patterns.begin(), patterns.end()});
        for (int i = 0; i < 50; ++i) {
            const std::string text = word(0, 16);
            bool expected = false;
            for (const auto& pattern : patterns)
                expected |= lower(text).find(lower(pattern)) != std::string::npos;
            ASSERT_EQ(matcher.foundIn(text), expected) << text << " round " << round;
            found += expected;
        }
    }
    EXPECT_GT(found, 2000); // both answers are well represented
    EXPECT_LT(found, 8000);
}

} // namespace
} // namespace xcpycmd::test
