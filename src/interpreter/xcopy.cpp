#include "interpreter/xcopy.h"

#include "interpreter/copy_pool.h"
#include "interpreter/exclude_list.h"
#include "interpreter/messages.h"
#include "interpreter/plan_walk.h"
#include "interpreter/progress.h"
#include "interpreter/safe_copy.h"
#include "interpreter/time_step.h"
#include "interpreter/xcopy_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace xcpycmd {
namespace {

namespace fs = std::filesystem;
using messages::errorText;

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FileId&) const = default;
};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

// "a/b/c" -> ("a/b", "c"); "c" -> ("", "c"); "/c" -> ("/", "c").
std::pair<std::string, std::string> splitLast(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {"", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string withSlash(std::string path) {
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

bool isBelow(const fs::path& inner, const fs::path& outer) {
    const std::string in = inner.string();
    const std::string out = withSlash(outer.string());
    return in.size() > out.size() && in.compare(0, out.size(), out) == 0;
}

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<ino_t>()(id.ino) ^ (std::hash<dev_t>()(id.dev) << 1);
    }
};

// Deeper folders are refused with an error: no real tree comes near, and each level holds two
// open folders.
constexpr std::size_t kMaxDepth = 1024;

// What fstatat said about a name: errno, or 0 and the status.
struct Looked {
    int error = -1; // -1: not looked at
    struct stat st {};
};

// A name read from a source folder, with its status and its counterpart's, looked at ahead.
struct Entry {
    std::string name;
    Looked source;
    Looked target;
};

// Names read and looked at ahead, on all threads at once: an unchanged rerun spends its time
// in fstatat.
constexpr std::size_t kBatchSize = 64;

// One folder of the walk, with its counterpart in the destination.
struct Level {
    Level* parent = nullptr;
    std::string name; // in the parent folder
    FileId id{};
    DIR* dir = nullptr;
    int srcFd = -1;
    mode_t srcMode = 0755;
    // Lengths of the walk's shown source and destination paths up to this folder: the paths of
    // the levels are prefixes of each other, so one string each holds them all.
    std::size_t srcLength = 0;
    std::size_t dstLength = 0;
    int dstFd = -1; // -1 while the destination folder does not exist (yet)
    bool dstCreated = false;
    bool dstFailed = false;
    std::vector<Entry> batch; // read from dir, to visit from batch[next] on
    std::size_t next = 0;
    bool read = false; // dir has no more names

    // Owners of the descriptors above, shared with the copies in flight.
    std::shared_ptr<const FolderHandle> src;
    std::shared_ptr<const FolderHandle> dst;

    void adoptDestination(int fd) {
        dstFd = fd;
        if (fd >= 0)
            dst = std::make_shared<FolderHandle>(fd);
    }
};

const char* const kUsage =
    "ファイルとフォルダーをコピーします。\n"
    "\n"
    "XCOPY コピー元 [コピー先] [/D[:月-日-年]] [/S [/E]] [/I] [/Y | /-Y] [/C] [/Q] [/F] [/L]\n"
    "      [/P] [/W] [/T] [/U] [/H] [/R] [/K] [/B] [/EXCLUDE:ファイル1[+ファイル2]...]\n"
    "\n"
    "  コピー元   フォルダー、ファイル、または * と ? を含むファイル名のパターン\n"
    "  コピー先   コピー先の場所 (省略すると現在のフォルダー)\n"
    "  /D         コピー先より新しいファイル (またはコピー先にないファイル) だけをコピー\n"
    "  /D:m-d-y   その日以降に変更されたファイルだけをコピー\n"
    "  /S         サブフォルダーもコピー (空のものを除く)\n"
    "  /E         空のものを含めてサブフォルダーもコピー\n"
    "  /I         コピー先がないときはフォルダーとみなす\n"
    "  /Y, /-Y    上書きの確認をしない、する (環境変数 COPYCMD で既定を決められます)\n"
    "  /C         エラーがあってもコピーを続ける\n"
    "  /Q, /F     ファイル名を表示しない、コピー元とコピー先の両方を表示する\n"
    "  /L         コピーするファイルを表示するだけで、何も書き込まない\n"
    "  /P         ファイルごとに確認する\n"
    "  /W         始める前にキー入力を待つ\n"
    "  /T         フォルダーの構造だけを作る (/E と使うと空のフォルダーも)\n"
    "  /U         コピー先に既にあるファイルだけをコピー\n"
    "  /R         読み取り専用のファイルも上書きする\n"
    "  /K         アクセス権をそのまま写す (既定では所有者の書き込み権を付ける)\n"
    "  /B         シンボリック リンクをリンクとしてコピー (既定ではリンク先をコピー)\n"
    "  /EXCLUDE:  ファイルに 1 行ずつ書いた文字列をパスに含むものはコピーしない\n"
    "             (すべてのファイルを合わせて 100 万行、16 MB まで)\n"
    "  /H         このシステムでは . で始まる名前も普通のファイルとしてコピーします\n"
    "  /V /Z /J /N /O /X /G は受け付けますが、何もしません。\n"
    "\n"
    "終了コード: 0 完了、1 コピーするファイルがない、2 質問への答えがないまま入力が終わり\n"
    "コピーしなかったファイルがある (無人で実行するときは /Y を付けてください)、\n"
    "4 スイッチやコピー元の誤りなどでコピーしなかった、5 書き込みや読み込みのエラー。\n"
    "\n"
    "環境変数 XCPYCMD_WORKERS: 同時にコピーするファイルの数 (1 から 64、既定は使える CPU の数)。\n"
    "1 にすると 1 つずつ順にコピーします。表示と質問はいつもフォルダーをたどる順です。";

class Engine {
public:
    Engine(const XCopyOptions& options, Console& console) : o_(options), con_(console) {
        overwriteAll_ = o_.overwriteWithoutAsking;
    }

    int run();

private:
    bool loadExcludes();
    bool excluded(const std::string& path) const;
    void fail(int status, const std::string& message);
    void notAnswered(const std::string& path);
    bool ensureDestination(Level& level);
    bool makeDestination(Level& level);
    std::string srcPath(const Level& level) const { return srcPath_.substr(0, level.srcLength); }
    std::string dstPath(const Level& level) const { return dstPath_.substr(0, level.dstLength); }
    bool isNewerThanCopy(const struct stat& source, const struct stat& copy, int dstFd);
    void walk(std::unique_ptr<Level> root);
    bool readBatch(Level& level);
    void lookAhead(Level& level);
    void leaveFolder();
    void enterFolder(Level& level, const char* name, const struct stat& st, bool viaLink);
    void visitEntry(Level& level, const char* name, const Looked& source = {},
                    const Looked& target = {});
    void visitFile(Level& level, const char* name, const struct stat& st, bool asLink,
                   const Looked& target = {});
    void takeOutcomes(const std::vector<CopyOutcome>& outcomes);
    void fileCopied(off_t bytes);
    std::string summary() const;

    const XCopyOptions& o_;
    Console& con_;
    ExcludeList excludes_;
    std::string pattern_;
    bool literalName_ = false; // the source named one file: match it exactly
    bool recursive_ = false;
    bool destIsFile_ = false;
    std::string destFileName_;
    std::string destRoot_;
    fs::path destCanonical_;
    bool overwriteAll_ = false;
    int status_ = kCopyDone;
    bool stopped_ = false;
    long found_ = 0;
    long copied_ = 0;
    long foldersMade_ = 0;
    std::vector<std::unique_ptr<Level>> levels_; // the open folders, the current one last
    std::unordered_set<FileId, FileIdHash> ancestors_;
    std::string srcPath_; // of the current folder, as shown: ends with '/' or is empty
    std::string dstPath_;
    std::unordered_map<dev_t, long> timeSteps_; // of the destination file systems
    std::unique_ptr<CopyPool> pool_;
};

void Engine::fail(int status, const std::string& message) {
    con_.errorLine(message);
    status_ = std::max(status_, status);
    if (!o_.continueOnError)
        stopped_ = true;
}

// A question met the end of input: the file is not copied, and the run must not look like a
// success to the scheduler that started it.
void Engine::notAnswered(const std::string& path) {
    con_.errorLine("入力が終わったため、「いいえ」とみなしました。コピーしません - " + path);
    status_ = std::max(status_, static_cast<int>(kNotAnswered));
}

bool Engine::loadExcludes() {
    std::string error;
    if (excludes_.load(o_.excludeFiles, error))
        return true;
    con_.errorLine(error);
    return false;
}

bool Engine::excluded(const std::string& path) const {
    return excludes_.excludes(path);
}

bool Engine::ensureDestination(Level& level) {
    // The missing folders from the nearest existing one down to this one, made top down.
    std::vector<Level*> missing;
    for (Level* l = &level; l && l->dstFd < 0; l = l->parent) {
        if (l->dstFailed)
            return false;
        missing.push_back(l);
    }
    return std::all_of(missing.rbegin(), missing.rend(),
                       [this](Level* l) { return makeDestination(*l); });
}

bool Engine::makeDestination(Level& level) {
    int error = 0;
    if (level.parent) {
        if (::mkdirat(level.parent->dstFd, level.name.c_str(), (level.srcMode & 07777) | S_IRWXU) ==
            0) {
            level.dstCreated = true;
            ++foldersMade_;
        } else if (errno != EEXIST) {
            error = errno;
        }
        if (error == 0) {
            level.adoptDestination(::openat(level.parent->dstFd, level.name.c_str(),
                                            O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            error = level.dstFd < 0 ? errno : 0;
        }
    } else {
        std::error_code ec;
        if (fs::create_directories(destRoot_, ec)) {
            level.dstCreated = true;
            ++foldersMade_;
        }
        error = ec.value();
        if (!ec) {
            level.adoptDestination(::open(destRoot_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            error = level.dstFd < 0 ? errno : 0;
        }
    }
    if (error != 0) {
        level.dstFailed = true;
        const std::string shown = level.parent ? dstPath(level) : destRoot_;
        fail(kWriteFailed, "フォルダーを作成できません - " + shown + ": " + errorText(error));
        return false;
    }
    return true;
}

// Depth first without recursion: the tree's depth decides only the size of levels_.
void Engine::walk(std::unique_ptr<Level> root) {
    ancestors_.insert(root->id);
    levels_.push_back(std::move(root));
    while (!levels_.empty()) {
        Level& level = *levels_.back();
        if (stopped_ || (level.next == level.batch.size() && !readBatch(level))) {
            leaveFolder();
            continue;
        }
        Entry& entry = level.batch[level.next++];
        visitEntry(level, entry.name.c_str(), entry.source, entry.target);
    }
}

// Reads the next names of the level's folder and looks at them; false at the end.
bool Engine::readBatch(Level& level) {
    level.batch.clear();
    level.next = 0;
    const std::size_t size = pool_->parallel() ? kBatchSize : 1;
    while (!level.read && level.batch.size() < size) {
        errno = 0;
        const dirent* entry = ::readdir(level.dir);
        if (!entry) {
            if (errno != 0)
                fail(kBadCommand,
                     "フォルダーを読めません - " + srcPath(level) + ": " + errorText(errno));
            level.read = true;
            break;
        }
        const char* name = entry->d_name;
        if (isSkippedInWalk(name))
            continue;
        level.batch.push_back({name, {}, {}});
    }
    if (pool_->parallel())
        lookAhead(level);
    return !level.batch.empty();
}

// Looks at the batch's names and at the destination's files of the same names, spread over
// the threads. The copy's counterparts are looked at only where they are looked at one by one
// too; a destination file that every match goes to changes while the batch is visited.
void Engine::lookAhead(Level& level) {
    const bool targets = level.dstFd >= 0 && !level.dstCreated && !destIsFile_;
    pool_->forEach(level.batch.size(), [&](std::size_t i) {
        Entry& entry = level.batch[i];
        const char* name = entry.name.c_str();
        entry.source.error =
            ::fstatat(level.srcFd, name, &entry.source.st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
        if (targets && entry.source.error == 0 && S_ISREG(entry.source.st.st_mode) &&
            (literalName_ ? pattern_ == name : wildcardMatch(pattern_, name)))
            entry.target.error =
                ::fstatat(level.dstFd, name, &entry.target.st, AT_SYMLINK_NOFOLLOW) == 0 ? 0
                                                                                         : errno;
    });
}

void Engine::leaveFolder() {
    ancestors_.erase(levels_.back()->id);
    levels_.pop_back();
    if (!levels_.empty()) {
        srcPath_.resize(levels_.back()->srcLength);
        dstPath_.resize(levels_.back()->dstLength);
    }
}

void Engine::visitEntry(Level& level, const char* name, const Looked& source,
                        const Looked& target) {
    struct stat st = source.st;
    const int error = source.error >= 0                                             ? source.error
                      : ::fstatat(level.srcFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0
                                                                                    : errno;
    if (error != 0) {
        if (error != ENOENT) // gone since the folder was read: nothing to copy
            fail(kBadCommand,
                 "ファイルを調べられません - " + srcPath_ + name + ": " + errorText(error));
        return;
    }
    bool viaLink = false;
    if (S_ISLNK(st.st_mode)) {
        if (o_.copyLinks) {
            visitFile(level, name, st, true);
            return;
        }
        if (::fstatat(level.srcFd, name, &st, 0) != 0) {
            const int error = errno;
            if (literalName_ ? pattern_ == name : wildcardMatch(pattern_, name))
                con_.errorLine((error == ELOOP
                                    ? "シンボリック リンクがループしているため飛ばします - "
                                    : "リンク先がないため飛ばします - ") +
                               srcPath_ + name);
            return;
        }
        viaLink = true;
    }
    if (S_ISDIR(st.st_mode)) {
        if (recursive_)
            enterFolder(level, name, st, viaLink);
    } else if (S_ISREG(st.st_mode)) {
        visitFile(level, name, st, false, target);
    } else if (literalName_ ? pattern_ == name : wildcardMatch(pattern_, name)) {
        con_.line("パイプ、デバイス、ソケットなどの特殊ファイルは飛ばします - " + srcPath_ + name);
    }
}

void Engine::enterFolder(Level& level, const char* name, const struct stat& st, bool viaLink) {
    const std::string path = srcPath_ + name + "/";
    if (excluded(path))
        return;
    const FileId id{st.st_dev, st.st_ino};
    if (ancestors_.contains(id)) {
        con_.errorLine("フォルダーがループしているため、その先へは進みません - " + path);
        return;
    }
    if (levels_.size() >= kMaxDepth) {
        fail(kBadCommand, "フォルダーの階層が深すぎるため (" + std::to_string(kMaxDepth) +
                              " 階層まで)、その先へは進みません - " + path);
        return;
    }
    if (viaLink && !destCanonical_.empty()) {
        std::error_code ec;
        const fs::path real = fs::canonical(path, ec);
        if (!ec && (real == destCanonical_ || isBelow(real, destCanonical_) ||
                    isBelow(destCanonical_, real))) {
            con_.errorLine("コピー先に重なるフォルダーを指すリンクのため飛ばします - " + path);
            return;
        }
    }
    const int fd = ::openat(level.srcFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        fail(kBadCommand, "フォルダーを開けません - " + path + ": " + errorText(errno));
        return;
    }
    auto child = std::make_unique<Level>();
    child->parent = &level;
    child->name = name;
    child->id = id;
    child->dir = ::fdopendir(fd);
    if (!child->dir) {
        ::close(fd);
        fail(kBadCommand, "フォルダーを開けません - " + path + ": " + errorText(errno));
        return;
    }
    child->srcFd = fd;
    child->src = std::make_shared<FolderHandle>(child->dir);
    child->srcMode = st.st_mode;
    if (level.dstFd >= 0)
        child->adoptDestination(::openat(level.dstFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // With /U only files already in the destination count: a folder it lacks has none.
    if (o_.existingOnly && child->dstFd < 0)
        return;
    srcPath_ = path;
    dstPath_ += name;
    dstPath_ += '/';
    child->srcLength = srcPath_.size();
    child->dstLength = dstPath_.size();
    Level& entered = *child;
    ancestors_.insert(id);
    levels_.push_back(std::move(child));
    // Leftovers of a killed run go as soon as the walk comes by, copied into or not.
    if (entered.dstFd >= 0 && !o_.listOnly)
        removeLeftoverTemporaries(entered.dstFd);
    if (o_.emptyFolders && !o_.listOnly && !o_.existingOnly && !ensureDestination(entered))
        leaveFolder();
}

bool Engine::isNewerThanCopy(const struct stat& source, const struct stat& copy, int dstFd) {
    if (!isNewerAtStep(source.st_mtim, copy.st_mtim, 1))
        return false;
    if (isNewerAtStep(source.st_mtim, copy.st_mtim, kCoarsestTimeStep))
        return true;
    // Only a difference below every file system's step needs the destination's own step.
    auto step = timeSteps_.find(copy.st_dev);
    if (step == timeSteps_.end())
        step = timeSteps_.emplace(copy.st_dev, timeStepOf(dstFd, !o_.listOnly)).first;
    return isNewerAtStep(source.st_mtim, copy.st_mtim, step->second);
}

void Engine::visitFile(Level& level, const char* name, const struct stat& st, bool asLink,
                       const Looked& looked) {
    if (!(literalName_ ? pattern_ == name : wildcardMatch(pattern_, name)))
        return;
    const std::string srcPath = srcPath_ + name;
    if (excluded(srcPath))
        return;
    ++found_;
    if (o_.treeOnly) {
        if (!o_.listOnly)
            ensureDestination(level);
        return;
    }
    if (o_.sinceDate && st.st_mtime < *o_.sinceDate)
        return;

    const char* targetName = destIsFile_ ? destFileName_.c_str() : name;
    struct stat target {};
    bool exists = false;
    // A folder this run created holds only what it copied there, all under other names.
    if (level.dstFd >= 0 && (destIsFile_ || !level.dstCreated)) {
        target = looked.st;
        const int error = looked.error >= 0 ? looked.error
                          : ::fstatat(level.dstFd, targetName, &target, AT_SYMLINK_NOFOLLOW) == 0
                              ? 0
                              : errno;
        if (error == 0) {
            exists = true;
        } else if (error != ENOENT) {
            fail(kWriteFailed,
                 "コピー先を調べられません - " + dstPath_ + targetName + ": " + errorText(error));
            return;
        }
    }
    if (o_.existingOnly && !exists)
        return;
    if (o_.newerOnly && exists && !isNewerThanCopy(st, target, level.dstFd))
        return;

    const std::string dstPath = destIsFile_ ? o_.destination : dstPath_ + name;
    if (exists && S_ISDIR(target.st_mode)) {
        fail(kWriteFailed,
             "同じ名前のフォルダーがあるため、ファイルをコピーできません - " + dstPath);
        return;
    }
    if (exists && target.st_dev == st.st_dev && target.st_ino == st.st_ino) {
        fail(kBadCommand, "ファイルをそれ自体にコピーすることはできません - " + srcPath);
        return;
    }
    if (exists && !o_.overwriteReadOnly && !o_.listOnly && S_ISREG(target.st_mode) &&
        (target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        fail(kWriteFailed,
             "読み取り専用のファイルは上書きしません (/R で上書きできます) - " + dstPath);
        return;
    }
    if (o_.askEach && !o_.listOnly) {
        const auto answer = con_.ask(srcPath + " をコピーしますか (Y/N)? ", "YN");
        if (!answer)
            notAnswered(srcPath);
        if (answer != 'Y')
            return;
    }
    if (exists && !o_.listOnly && !overwriteAll_) {
        const auto answer = con_.ask(dstPath + " を上書きしますか (Yes/No/All)? ", "YNA");
        if (!answer)
            notAnswered(srcPath);
        if (!answer || *answer == 'N')
            return;
        if (*answer == 'A')
            overwriteAll_ = true;
    }

    if (!o_.quiet)
        con_.line(o_.fullNames ? srcPath + " -> " + dstPath : srcPath);
    if (o_.listOnly) {
        fileCopied(st.st_size);
        return;
    }
    if (!ensureDestination(level))
        return;
    mode_t mode = st.st_mode & 07777;
    if (!o_.keepAttributes)
        mode |= S_IWUSR; // like clearing a read-only attribute
    pool_->submit({level.src, level.dst, name, targetName, asLink, !exists, mode, srcPath, dstPath,
                   st.st_size});
    takeOutcomes(pool_->takeFinished());
}

// Counts the copies that finished and reports the ones that failed.
void Engine::takeOutcomes(const std::vector<CopyOutcome>& outcomes) {
    for (const CopyOutcome& outcome : outcomes) {
        if (outcome.copied) {
            fileCopied(outcome.job.size);
            continue;
        }
        const CopyError& error = outcome.error;
        switch (error.stage) {
        case CopyStage::OpenSource:
            fail(kBadCommand,
                 "コピー元を開けません - " + outcome.job.srcPath + ": " + errorText(error.error));
            break;
        case CopyStage::ReadSource:
            fail(kWriteFailed,
                 "コピー元を読めません - " + outcome.job.srcPath + ": " + errorText(error.error));
            break;
        default:
            fail(kWriteFailed,
                 "書き込めません - " + outcome.job.dstPath + ": " + errorText(error.error));
            break;
        }
    }
}

// Counted as the copies finish, so the progress channel's "done" stays true with workers.
void Engine::fileCopied(off_t bytes) {
    ++copied_;
    if (ProgressWriter* progress = con_.progress())
        progress->fileDone(bytes);
}

std::string Engine::summary() const {
    if (o_.treeOnly)
        return std::to_string(foldersMade_) + " 個のフォルダーを作成しました";
    if (o_.listOnly)
        return std::to_string(copied_) +
               " 個のファイルがコピーの対象です (/L のため何も書き込んでいません)";
    return std::to_string(copied_) + " 個のファイルをコピーしました";
}

int Engine::run() {
    if (!loadExcludes())
        return kBadCommand;

    // The source: a folder, one file, or a pattern in the last part of the path.
    const std::string& source = o_.source;
    auto [dirPart, lastPart] = splitLast(source);
    std::string baseDir;
    std::string shownBase;
    bool singleFile = false;
    if (hasWildcard(lastPart)) {
        if (hasWildcard(dirPart)) {
            con_.errorLine("フォルダー名には * や ? を使えません - " + source);
            return kBadCommand;
        }
        baseDir = dirPart.empty() ? "." : dirPart;
        shownBase = withSlash(dirPart);
        pattern_ = lastPart;
        struct stat st {};
        if (::stat(baseDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            con_.errorLine("パスが見つかりません - " + baseDir);
            return kBadCommand;
        }
    } else {
        struct stat st {};
        const bool link = o_.copyLinks && ::lstat(source.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        if (!link && ::stat(source.c_str(), &st) != 0) {
            con_.errorLine("ファイルが見つかりません - " + source + " (" + errorText(errno) + ")");
            return kBadCommand;
        }
        if (!link && S_ISDIR(st.st_mode)) {
            baseDir = source;
            shownBase = withSlash(source);
            pattern_ = "*";
        } else if (link || S_ISREG(st.st_mode)) {
            baseDir = dirPart.empty() ? "." : dirPart;
            shownBase = withSlash(dirPart);
            pattern_ = lastPart;
            literalName_ = true;
            singleFile = true;
        } else {
            con_.line("パイプ、デバイス、ソケットなどの特殊ファイルは飛ばします - " + source);
            con_.line(summary());
            return kNoFilesFound;
        }
    }

    // The destination: a folder, or one file every matching file is copied to.
    const std::string dest = o_.destination.empty() ? "." : o_.destination;
    struct stat destSt {};
    const bool destExists = ::stat(dest.c_str(), &destSt) == 0;
    bool toFolder = true;
    if (destExists && !S_ISDIR(destSt.st_mode)) {
        if (!singleFile && !hasWildcard(lastPart)) {
            con_.errorLine("フォルダーをファイルにコピーすることはできません - " + dest);
            return kBadCommand;
        }
        toFolder = false;
    } else if (!destExists && dest.back() != '/' && !(o_.assumeFolder && !singleFile)) {
        const auto answer = con_.ask(
            "コピー先の " + dest +
                " はファイル名ですか、それともフォルダー名ですか\n(F = ファイル、D = フォルダー)? ",
            "FD");
        if (!answer) {
            con_.errorLine(
                "入力が終わったため、コピー先がファイルかフォルダーかを決められません。");
            con_.line(summary());
            return kNotAnswered;
        }
        toFolder = *answer == 'D';
    }
    if (toFolder) {
        destRoot_ = dest;
    } else {
        destIsFile_ = true;
        auto [parent, file] = splitLast(dest);
        destRoot_ = parent.empty() ? "." : parent;
        destFileName_ = file;
    }
    recursive_ = (o_.subfolders || o_.treeOnly) && !destIsFile_;

    // Refuse to copy a folder onto itself or into itself.
    std::error_code ec;
    const fs::path sourceReal = fs::canonical(baseDir, ec);
    std::error_code destEc;
    // Absolute before it is compared: a relative destination that does not exist yet stays
    // relative in weakly_canonical and would never be found below the source.
    destCanonical_ = fs::weakly_canonical(fs::absolute(destRoot_), destEc);
    if (!ec && !destEc) {
        if (!destIsFile_ && destCanonical_ == sourceReal) {
            con_.errorLine("コピー元とコピー先が同じフォルダーです - " + dest);
            return kBadCommand;
        }
        if (recursive_ && isBelow(destCanonical_, sourceReal)) {
            con_.errorLine("フォルダーをそれ自体の中にコピーすることはできません - " + dest);
            return kBadCommand;
        }
    } else {
        destCanonical_.clear();
    }

    auto root = std::make_unique<Level>();
    const int fd = ::open(baseDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat rootSt {};
    if (fd < 0 || ::fstat(fd, &rootSt) != 0 || !(root->dir = ::fdopendir(fd))) {
        con_.errorLine("パスが見つかりません - " + baseDir + ": " + errorText(errno));
        if (fd >= 0)
            ::close(fd);
        return kBadCommand;
    }
    root->id = {rootSt.st_dev, rootSt.st_ino};
    root->srcFd = fd;
    root->src = std::make_shared<FolderHandle>(root->dir);
    root->srcMode = rootSt.st_mode;
    srcPath_ = shownBase;
    dstPath_ = toFolder ? withSlash(dest) : std::string();
    root->srcLength = srcPath_.size();
    root->dstLength = dstPath_.size();
    root->adoptDestination(::open(destRoot_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));

    if (o_.waitFirst) {
        con_.write("準備ができたら、どれかキーを押してコピーを始めてください . . . ");
        con_.waitKey();
        con_.line("");
    }
    if (root->dstFd >= 0 && !o_.listOnly)
        removeLeftoverTemporaries(root->dstFd);
    if (ProgressWriter* progress = con_.progress())
        progress->planned(
            planCopy({o_, baseDir, shownBase, destRoot_,
                      destIsFile_ ? destFileName_ : std::string(), pattern_, literalName_,
                      recursive_, [this](const std::string& path) { return excluded(path); },
                      [this](const struct stat& source, const struct stat& copy, int dstFd) {
                          return isNewerThanCopy(source, copy, dstFd);
                      }}));
    if (o_.emptyFolders && !o_.listOnly && !o_.existingOnly)
        ensureDestination(*root);
    // Every match goes to the one destination file in turn, so that the last one stays.
    const bool copies = !o_.listOnly && !o_.treeOnly;
    pool_ = std::make_unique<CopyPool>(copies && !destIsFile_ ? copyWorkerCount() : 1);
    if (singleFile && !recursive_) {
        if (!stopped_)
            visitEntry(*root, pattern_.c_str());
    } else {
        walk(std::move(root));
    }
    takeOutcomes(pool_->finishAll());

    if (found_ == 0 && status_ == kCopyDone && !o_.treeOnly)
        con_.errorLine("ファイルが見つかりません - " + source);
    con_.line(summary());
    if (status_ != kCopyDone)
        return status_;
    return found_ == 0 && !o_.treeOnly ? kNoFilesFound : kCopyDone;
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*" || pattern == "*.*")
        return true;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

int runXCopy(const std::vector<Arg>& args, Console& console) {
    const XCopyParse parse = parseXCopyArguments(args, std::getenv("COPYCMD"));
    if (!parse.ok()) {
        console.errorLine(parse.error);
        console.line("0 個のファイルをコピーしました");
        return kBadCommand;
    }
    if (parse.options.help) {
        console.line(kUsage);
        return kCopyDone;
    }
    Engine engine(parse.options, console);
    return engine.run();
}

} // namespace xcpycmd
