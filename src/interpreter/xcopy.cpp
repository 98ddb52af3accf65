#include "interpreter/xcopy.h"

#include "interpreter/copy_commit.h"
#include "interpreter/copy_walk.h"
#include "interpreter/exclude_list.h"
#include "interpreter/line_scope.h"
#include "interpreter/messages.h"
#include "interpreter/plan_walk.h"
#include "interpreter/progress.h"
#include "interpreter/xcopy_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xcpycmd {
namespace {

using messages::errorText;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

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
    "             (すべてのファイルを合わせて 100 万行・16 MB まで)\n"
    "  /H         このシステムでは . で始まる名前も普通のファイルとしてコピーします\n"
    "  /V /Z /J /N /O /X /G は受け付けますが、何もしません。\n"
    "\n"
    "終了コード: 0 完了、1 コピーするファイルがない、2 質問への答えがないまま入力が終わり\n"
    "コピーしなかったファイルがある (無人で実行するときは /Y を付けてください)、\n"
    "4 スイッチやコピー元の誤りなどでコピーしなかった、5 書き込みや読み込みのエラー。\n"
    "\n"
    "環境変数 XCPYCMD_WORKERS: 同時にコピーするファイルの数 (1 から 64、既定は使える CPU の数)。\n"
    "1 にすると 1 つずつ順にコピーします。表示と質問はいつもフォルダーをたどる順です。";

// Runs one parsed XCOPY line: resolves it, plans it for the progress channel, walks and copies.
// In a preview only the plan is made and told; nothing is written.
int runLine(const XCopyOptions& o, Console& con) {
    ProgressWriter* progress = con.progress();
    const bool preview = con.preview();
    LineReport report(o, con);
    ExcludeList excludes;
    if (std::string error; !excludes.load(o.excludeFiles, error)) {
        con.errorLine(error);
        if (preview && progress)
            progress->refused("bad-command");
        return kBadCommand;
    }
    const auto excluded = [&excludes](const std::string& path) { return excludes.excludes(path); };

    LineScope scope;
    LineRefusal refusal;
    if (!resolveLine(o, con, preview, scope, refusal)) {
        if (preview && progress)
            progress->refused(refusal.reason);
        if (refusal.showCount && !preview)
            con.line(report.summary());
        return refusal.status;
    }
    const int fd = ::open(scope.baseDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat rootSt {};
    if (fd < 0 || ::fstat(fd, &rootSt) != 0) {
        const int error = errno;
        con.errorLine("パスが見つかりません - " + scope.baseDir + ": " + errorText(error));
        if (fd >= 0)
            ::close(fd);
        if (preview && progress)
            progress->refused(error == ENOENT ? "source-missing" : "source-unreadable");
        return kBadCommand;
    }

    if (o.waitFirst && !preview) {
        con.write("準備ができたら、どれかキーを押してコピーを始めてください . . . ");
        con.waitKey();
        con.line("");
    }
    // A window that runs us gets the plan; only files to copy are counted, so the bar ends full.
    const bool copies = !o.listOnly && !preview;
    std::unique_ptr<CopyCommitter> committer;
    if (copies)
        committer = std::make_unique<CopyCommitter>(
            o, report, !o.treeOnly && !scope.destIsFile ? copyWorkerCount() : 1);
    CopyWalk walk(o, scope, con, report, excluded, committer.get());
    if (progress) {
        const PlanResult plan =
            planCopy({o, scope.baseDir, scope.shownBase, scope.destRoot,
                      scope.destIsFile ? scope.destFileName : std::string(), scope.pattern,
                      scope.literalName, scope.recursive, excluded,
                      [&walk](const struct stat& source, const struct stat& copy, int dstFd) {
                          return walk.isOutdated(source, copy, dstFd);
                      },
                      preview ? [progress](const CopyAmount& sofar) { progress->scanned(sofar); }
                              : std::function<void(const CopyAmount&)>()});
        progress->planned(plan.copy);
        if (preview) {
            progress->found(plan.found);
            ::close(fd);
            return plan.found == 0 && !o.treeOnly ? kNoFilesFound : kCopyDone;
        }
    }
    walk.run(fd, rootSt);
    if (committer)
        committer->settle();
    committer.reset();

    if (report.found() == 0 && report.status() == kCopyDone && !o.treeOnly)
        con.errorLine("ファイルが見つかりません - " + o.source);
    con.line(report.summary());
    if (report.status() != kCopyDone)
        return report.status();
    return report.found() == 0 && !o.treeOnly ? kNoFilesFound : kCopyDone;
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

int refuseXCopy(const std::string& message, Console& console) {
    console.errorLine(message);
    if (console.preview()) {
        if (ProgressWriter* progress = console.progress())
            progress->refused("bad-command");
    } else {
        console.line("0 個のファイルをコピーしました");
    }
    return kBadCommand;
}

int runXCopy(const std::vector<Arg>& args, Console& console) {
    const XCopyParse parse = parseXCopyArguments(args, std::getenv("COPYCMD"));
    if (!parse.ok())
        return refuseXCopy(parse.error, console);
    if (parse.options.help) {
        console.line(kUsage);
        return kCopyDone;
    }
    return runLine(parse.options, console);
}

} // namespace xcpycmd
