// xcpycmd: runs the batch files of xcpylist ("xcpycmd /c FILE").

#include "interpreter/batch.h"
#include "interpreter/console.h"
#include "interpreter/interrupts.h"
#include "interpreter/progress.h"
#include "interpreter/safe_copy.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const char* const kUsage =
    "使い方: xcpycmd /c バッチファイル\n"
    "バッチ ファイルを 1 行ずつ実行して終了します。\n"
    "\n"
    "環境変数 XCPYCMD_PROGRESS_FD に開いているファイル記述子の番号があると、そこへ進み具合を\n"
    "1 行ずつ書きます (ASCII、LF 区切り):\n"
    "  line K N   N 個の XCOPY 行のうち K 番目を始める\n"
    "  plan F B   その行は F 個、B バイトのファイルをコピーする予定\n"
    "  done F B   その行で F 個、B バイトをコピーした (1 秒に数回と、行の終わりに)\n"
    "  end S      その行が終了コード S で終わった (コピーしたファイルはディスクに書き込み済み)\n"
    "  wait       質問の答えやキーの入力を待ち始める\n"
    "  resume     入力を受け取った (または入力が終わった)\n"
    "知らない行は読み飛ばしてください (種類が増えることがあります)。\n"
    "\n"
    "xcpycmd /plan バッチファイル: 何も書き込まず、XCOPY 行ごとにコピーする予定を標準出力へ\n"
    "書きます (line K N、scan F B、plan F B、found M、refused 理由。理由は source-missing、\n"
    "source-unreadable、drive-missing、bad-command、no-files)。\n"
    "\n"
    "環境変数 XCPYCMD_WORKERS: 同時にコピーするファイルの数 (1 から 64、既定は使える CPU の\n"
    "数)。1 にすると 1 つずつ順にコピーします。表示と質問はいつもフォルダーをたどる順です。\n"
    "\n"
    "終了コード: 0 すべてコピーした、1 ファイルが見つからない (またはバッチ ファイルを読めない)、\n"
    "2 中断された (答えのないまま入力が終わった質問を含む。無人で実行するバッチ ファイルには\n"
    "/Y を付けてください)、4 エラー (通常のファイルでないか 16 MB を超えるバッチ ファイルや\n"
    "除外リストを含む)、5 書き込みエラー。XCOPY 行のうち最も大きいものを返します。\n";

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::string flag = argc > 1 ? argv[1] : "";
    if (argc == 2 && flag == "/?") {
        std::cout << kUsage;
        return 0;
    }
    const bool preview = flag == "/plan" || flag == "/PLAN";
    if (argc < 3 || (flag != "/c" && flag != "/C" && !preview)) {
        std::cerr << kUsage;
        return 1;
    }
    // Everything after /c is the file name, as with a command line that was split at blanks;
    // double quotes around it are dropped.
    std::string path = argv[2];
    for (int i = 3; i < argc; ++i)
        path += std::string(" ") + argv[i];
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);

    xcpycmd::handleInterrupts();
    if (const char* throttle = std::getenv("XCPYCMD_THROTTLE_KIB"))
        xcpycmd::setCopyThrottle(std::strtoul(throttle, nullptr, 10));
    // A deep tree keeps two folders open per level.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    xcpycmd::FdInputBuffer stdinBuffer(STDIN_FILENO);
    std::istream input(&stdinBuffer);
    // A preview's plan goes to the standard output, its messages to the standard error.
    xcpycmd::Console console(input, preview ? std::cerr : std::cout, std::cerr);
    console.onOutputLost([] { xcpycmd::endAsSignal(SIGPIPE); });
    console.setPreview(preview);
    const auto progress = preview ? std::make_unique<xcpycmd::ProgressWriter>(STDOUT_FILENO)
                                  : xcpycmd::ProgressWriter::fromEnvironment();
    console.setProgress(progress.get());
    return xcpycmd::runBatchFile(path, console);
}
