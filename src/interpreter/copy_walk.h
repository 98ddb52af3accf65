#pragma once

#include "interpreter/copy_commit.h"
#include "interpreter/file_decision.h"
#include "interpreter/line_report.h"
#include "interpreter/line_scope.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

namespace xcpycmd {

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<ino_t>()(id.ino) ^ (std::hash<dev_t>()(id.dev) << 1);
    }
};

// Walks the source of one XCOPY line depth first, in the order its folders list their names,
// decides for each file, asks the line's questions and hands the files to copy to the committer
// (or, with /L, only lists them). Makes the destination folders as they are needed.
class CopyWalk {
public:
    using Excluded = std::function<bool(const std::string& shownPath)>;

    // `committer` is null with /L, which writes nothing.
    CopyWalk(const XCopyOptions& options, const LineScope& scope, Console& console,
             LineReport& report, Excluded excluded, CopyCommitter* committer);
    ~CopyWalk();

    // Walks from the open source folder `rootFd` (taken over); `rootSt` is its status.
    void run(int rootFd, const struct stat& rootSt);

    // The /D test of the run, shared with the plan of the line.
    bool isOutdated(const struct stat& source, const struct stat& copy, int dstFd) {
        return isCopyOutdated(source, copy, dstFd, steps_);
    }

private:
    struct Level;
    struct Looked;
    struct Entry;

    void failInOrder(int status, const std::string& message);
    bool ensureDestination(Level& level);
    bool makeDestination(Level& level);
    bool readBatch(Level& level);
    void lookAhead(Level& level);
    void leaveFolder();
    void sweepLeftovers(Level& level);
    void enterFolder(Level& level, const char* name, const struct stat& st, bool viaLink);
    void visitEntry(Level& level, const char* name, const Looked& source, const Looked& target);
    void visitFile(Level& level, const char* name, const struct stat& st, bool asLink,
                   const Looked& target);
    bool matches(const char* name) const;
    bool stopped() const { return report_.stopped(); }
    std::string dstPath(const Level& level) const;

    const XCopyOptions& o_;
    const LineScope& s_;
    Console& con_;
    LineReport& report_;
    Excluded excluded_;
    CopyCommitter* committer_;
    CopyPool ownPool_{1}; // looks ahead for /L, which has no committer
    CopyPool& pool_;
    TimeSteps steps_;
    bool overwriteAll_;
    std::vector<std::unique_ptr<Level>> levels_;       // the open folders, the current one last
    std::unordered_set<FileId, FileIdHash> ancestors_; // the folders on the path
    std::string srcPath_; // of the current folder, as shown: ends with '/' or is empty
    std::string dstPath_;
};

} // namespace xcpycmd
