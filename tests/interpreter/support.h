#pragma once

#include "interpreter/batch.h"
#include "interpreter/console.h"
#include "interpreter/xcopy.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>

namespace xcpycmd::test {

namespace fs = std::filesystem;

// A fresh temporary folder per test, removed afterwards.
class TempTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "xcpycmd-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        ::unsetenv("COPYCMD");
    }
    void TearDown() override {
        std::error_code ec;
        // Read-only folders made by a test must not keep the tree alive.
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
             it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }

    std::string path(const std::string& relative) const { return (root / relative).string(); }

    void write(const std::string& relative, const std::string& content) const {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << content;
    }

    std::string read(const std::string& relative) const {
        std::ifstream file(root / relative, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    bool exists(const std::string& relative) const {
        struct stat st {};
        return ::lstat(path(relative).c_str(), &st) == 0;
    }

    // Sets the modification time to `seconds` after the epoch.
    void setTime(const std::string& relative, std::time_t seconds) const {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(relative).c_str(), times, 0), 0);
    }

    std::time_t mtime(const std::string& relative) const {
        struct stat st {};
        ::stat(path(relative).c_str(), &st);
        return st.st_mtime;
    }

    // Names of temporary files of the copy engine anywhere below the root.
    int temporaries() const {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.path().filename().string().rfind(".xcpycmd-tmp-", 0) == 0)
                ++count;
        return count;
    }

    struct Result {
        int status;
        std::string out;
    };

    // Runs one XCOPY command line in-process; `input` answers its questions.
    Result xcopy(const std::string& line, const std::string& input = "") const {
        std::istringstream in(input);
        std::ostringstream out;
        Console console(in, out, out);
        const int status = runXCopy(splitArguments(line), console);
        return {status, out.str()};
    }

    // Quoted absolute path of a file below the root, for command lines.
    std::string q(const std::string& relative) const { return "\"" + path(relative) + "\""; }

    fs::path root;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old, hadOld_ = true;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            ::setenv(name_.c_str(), old_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::string old_;
    bool hadOld_ = false;
};

} // namespace xcpycmd::test
