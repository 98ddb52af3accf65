// xcpycmd: runs the batch files of xcpylist ("xcpycmd /c FILE").

#include "interpreter/batch.h"
#include "interpreter/console.h"
#include "interpreter/safe_copy.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::string flag = argc > 1 ? argv[1] : "";
    if (argc < 3 || (flag != "/c" && flag != "/C")) {
        std::cerr << "使い方: xcpycmd /c バッチファイル\n"
                     "バッチ ファイルを 1 行ずつ実行して終了します。\n";
        return 1;
    }
    // Everything after /c is the file name, as with a command line that was split at blanks;
    // double quotes around it are dropped.
    std::string path = argv[2];
    for (int i = 3; i < argc; ++i)
        path += std::string(" ") + argv[i];
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);

    xcpycmd::installInterruptCleanup();
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
    xcpycmd::Console console(input, std::cout, std::cerr);
    return xcpycmd::runBatchFile(path, console);
}
