#include "interpreter/line_scope.h"

#include "common/missing_drive.h"
#include "interpreter/line_report.h"
#include "interpreter/messages.h"

#include <cerrno>
#include <sys/stat.h>

namespace xcpycmd {
namespace {

namespace fs = std::filesystem;
using messages::errorText;

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

bool refuse(LineRefusal& refusal, int status, const char* reason, bool showCount = false) {
    refusal = {status, reason, showCount};
    return false;
}

// A folder on a drive that is not there is refused before anything is asked or made.
bool onMissingDrive(const std::string& folder, const std::string& dest, Console& con,
                    LineRefusal& refusal) {
    const auto drive = xcpy::missingDriveOf(folder);
    if (!drive)
        return false;
    con.errorLine("コピー先のドライブがありません (" + drive->folder +
                  (drive->fromFstab ? " はマウントされていません) - "
                                    : " にドライブがつながっていません) - ") +
                  dest);
    refuse(refusal, kBadCommand, "drive-missing", true);
    return true;
}

} // namespace

bool isBelow(const fs::path& inner, const fs::path& outer) {
    const std::string in = inner.string();
    const std::string out = withSlash(outer.string());
    return in.size() > out.size() && in.compare(0, out.size(), out) == 0;
}

bool resolveLine(const XCopyOptions& o, Console& con, bool preview, LineScope& scope,
                 LineRefusal& refusal) {
    // The source: a folder, one file, or a pattern in the last part of the path.
    const std::string& source = o.source;
    auto [dirPart, lastPart] = splitLast(source);
    if (hasWildcard(lastPart)) {
        if (hasWildcard(dirPart)) {
            con.errorLine("フォルダー名には * や ? を使えません - " + source);
            return refuse(refusal, kBadCommand, "bad-command");
        }
        scope.baseDir = dirPart.empty() ? "." : dirPart;
        scope.shownBase = withSlash(dirPart);
        scope.pattern = lastPart;
        struct stat st {};
        if (::stat(scope.baseDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            con.errorLine("パスが見つかりません - " + scope.baseDir);
            return refuse(refusal, kBadCommand, "source-missing");
        }
    } else {
        struct stat st {};
        const bool link = o.copyLinks && ::lstat(source.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        if (!link && ::stat(source.c_str(), &st) != 0) {
            const int error = errno;
            con.errorLine("ファイルが見つかりません - " + source + " (" + errorText(error) + ")");
            return refuse(refusal, kBadCommand,
                          error == ENOENT || error == ENOTDIR ? "source-missing"
                                                              : "source-unreadable");
        }
        if (!link && S_ISDIR(st.st_mode)) {
            scope.baseDir = source;
            scope.shownBase = withSlash(source);
            scope.pattern = "*";
        } else if (link || S_ISREG(st.st_mode)) {
            scope.baseDir = dirPart.empty() ? "." : dirPart;
            scope.shownBase = withSlash(dirPart);
            scope.pattern = lastPart;
            scope.literalName = true;
            scope.singleFile = true;
        } else {
            con.line("パイプ、デバイス、ソケットなどの特殊ファイルは飛ばします - " + source);
            return refuse(refusal, kNoFilesFound, "no-files", true);
        }
    }

    // The destination: a folder, or one file every matching file is copied to.
    scope.dest = o.destination.empty() ? "." : o.destination;
    const std::string& dest = scope.dest;
    struct stat destSt {};
    const bool destExists = ::stat(dest.c_str(), &destSt) == 0;
    bool toFolder = true;
    if (destExists && !S_ISDIR(destSt.st_mode)) {
        if (!scope.singleFile && !hasWildcard(lastPart)) {
            con.errorLine("フォルダーをファイルにコピーすることはできません - " + dest);
            return refuse(refusal, kBadCommand, "bad-command");
        }
        toFolder = false;
    } else if (!destExists && dest.back() != '/' && !(o.assumeFolder && !scope.singleFile)) {
        if (onMissingDrive(splitLast(dest).first.empty() ? "." : splitLast(dest).first, dest, con,
                           refusal))
            return false;
        if (preview) {
            // A person asked would name a folder for a folder, a file for a file.
            toFolder = !scope.singleFile;
        } else {
            const auto answer = con.ask("コピー先の " + dest +
                                            " はファイル名ですか、それともフォルダー名ですか\n"
                                            "(F = ファイル、D = フォルダー)? ",
                                        "FD");
            if (!answer) {
                con.errorLine(
                    "入力が終わったため、コピー先がファイルかフォルダーかを決められません。");
                return refuse(refusal, kNotAnswered, "not-answered", true);
            }
            toFolder = *answer == 'D';
        }
    }
    if (toFolder) {
        scope.destRoot = dest;
    } else {
        scope.destIsFile = true;
        auto [parent, file] = splitLast(dest);
        scope.destRoot = parent.empty() ? "." : parent;
        scope.destFileName = file;
    }
    scope.recursive = (o.subfolders || o.treeOnly) && !scope.destIsFile;
    if (onMissingDrive(scope.destRoot, dest, con, refusal))
        return false;

    // Refuse to copy a folder onto itself or into itself.
    std::error_code ec;
    const fs::path sourceReal = fs::canonical(scope.baseDir, ec);
    std::error_code destEc;
    // Absolute before it is compared: a relative destination that does not exist yet stays
    // relative in weakly_canonical and would never be found below the source.
    scope.destCanonical = fs::weakly_canonical(fs::absolute(scope.destRoot), destEc);
    if (!ec && !destEc) {
        if (!scope.destIsFile && scope.destCanonical == sourceReal) {
            con.errorLine("コピー元とコピー先が同じフォルダーです - " + dest);
            return refuse(refusal, kBadCommand, "bad-command");
        }
        if (scope.recursive && isBelow(scope.destCanonical, sourceReal)) {
            con.errorLine("フォルダーをそれ自体の中にコピーすることはできません - " + dest);
            return refuse(refusal, kBadCommand, "bad-command");
        }
    } else {
        scope.destCanonical.clear();
    }
    return true;
}

} // namespace xcpycmd
