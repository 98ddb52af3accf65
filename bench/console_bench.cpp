// What watching a run costs: the planning walk of xcpycmd's progress channel against a first
// copy without it, and the console window against output to /dev/null, with the window's
// longest pause in answering events meanwhile. Run by hand on a Release build:
//
//   build-release/bin/console_bench [path/to/xcpycmd]
//
// Environment: XCPY_BENCH_DIR (folder for the trees, default the temporary folder),
// XCPY_BENCH_FILES (files of the planning tree, default 20000, 1 to 16 KiB),
// XCPY_BENCH_NAMES (files of the console tree, default 100000, 100 bytes),
// XCPY_BENCH_ROUNDS (timed rounds per figure, the best counts, default 3).
#include "companions/console_window.h"
#include "companions/qt_shell_helper.h"

#include "bench_tree.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A batch file that copies `source` into a new folder; each run gets its own, so no run finds
// the copy of another.
QString writeBatch(const QString& dir, const QString& source) {
    static int runs = 0;
    const QString path = dir + QStringLiteral("/run.bat");
    QFile batch(path);
    if (batch.open(QIODevice::WriteOnly))
        batch.write(QStringLiteral("XCopy.exe \"%1\" \"%2/dst%3\" /E /I /Y\r\n")
                        .arg(source, dir)
                        .arg(++runs)
                        .toUtf8());
    return path;
}

// Runs xcpycmd on the batch with output to /dev/null; with a progress channel to /dev/null
// when `channel` is set. Returns seconds.
double runPlain(const QString& xcpycmd, const QString& batch, bool channel) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const int sink = ::open("/dev/null", O_WRONLY);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XCPYCMD_PROGRESS_FD"));
    if (channel)
        environment.insert(QStringLiteral("XCPYCMD_PROGRESS_FD"), QString::number(sink));
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(xcpycmd, {QStringLiteral("/c"), batch});
    process.waitForFinished(-1);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        std::fprintf(stderr, "xcpycmd ended with status %d\n", process.exitCode());
    ::close(sink);
    return seconds;
}

// Runs the batch in the console window; `longestPauseMs` gets the longest time the event loop
// took, beyond its 10 ms, to answer a timer while the command ran.
double runInConsole(const QString& xcpycmd, const QString& batch, qint64& longestPauseMs) {
    xcpy::QtShellHelper helper;
    QElapsedTimer sinceTick;
    longestPauseMs = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestPauseMs = std::max(longestPauseMs, sinceTick.restart() - 10); });
    // Timed from the moment the console is up: building the first window is no pause.
    QObject::connect(&helper, &xcpy::QtShellHelper::consoleShown, [&] {
        sinceTick.start();
        tick.start(10);
    });
    QElapsedTimer clock;
    clock.start();
    helper.RunAndWait(xcpycmd + QStringLiteral(" /c ") + batch, 1, true);
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    const QString xcpycmd = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QCoreApplication::applicationDirPath() + "/xcpycmd";
    const QString base = qEnvironmentVariable("XCPY_BENCH_DIR", QDir::tempPath());
    QTemporaryDir work(base + QStringLiteral("/console-bench-XXXXXX"));
    const int rounds = bench::setting("XCPY_BENCH_ROUNDS", 3);
    const int files = bench::setting("XCPY_BENCH_FILES", 20000);
    const int nameCount = bench::setting("XCPY_BENCH_NAMES", 100000);
    const QString dir = work.path();
    // Removes the copies of earlier runs. Only between the two parts: a file system busy
    // freeing what was just removed slows the next run by more than what is measured here.
    const auto fresh = [&] {
        for (const QString& copy : QDir(dir).entryList({QStringLiteral("dst*")}, QDir::Dirs))
            QDir(dir + u'/' + copy).removeRecursively();
    };

    std::printf("== planning walk: first copy of %d files of 1-16 KiB ==\n", files);
    bench::makeTree(dir + QStringLiteral("/src"), files, 1024, 16384);
    const QString source = dir + QStringLiteral("/src");
    double without = 1e99;
    double with = 1e99;
    for (int i = 0; i < rounds; ++i) { // alternated, so neither side always goes first
        ::sync();
        const double a = runPlain(xcpycmd, writeBatch(dir, source), i % 2 == 1);
        ::sync();
        const double b = runPlain(xcpycmd, writeBatch(dir, source), i % 2 == 0);
        without = std::min(without, i % 2 == 1 ? b : a);
        with = std::min(with, i % 2 == 1 ? a : b);
    }
    std::printf("without channel %.3fs  with channel %.3fs  ratio %.3f (target <= 1.10: %s)\n",
                without, with, with / without, with / without <= 1.10 ? "ok" : "OVER");

    std::printf("\n== console window: first copy of %d files of 100 bytes, every name shown ==\n",
                nameCount);
    QDir(dir + QStringLiteral("/src")).removeRecursively();
    fresh();
    bench::makeTree(dir + QStringLiteral("/names"), nameCount, 100, 100);
    const QString names = dir + QStringLiteral("/names");
    double toNull = 1e99;
    double inConsole = 1e99;
    qint64 longestPause = 0;
    for (int i = 0; i < rounds * 2; ++i) { // alternated as above
        ::sync();
        if ((i + i / 2) % 2 == 0) {
            toNull = std::min(toNull, runPlain(xcpycmd, writeBatch(dir, names), false));
        } else {
            qint64 pause = 0;
            inConsole = std::min(inConsole, runInConsole(xcpycmd, writeBatch(dir, names), pause));
            longestPause = std::max(longestPause, pause);
        }
    }
    std::printf("/dev/null %.3fs  console %.3fs  ratio %.3f (target <= 1.05: %s)\n", toNull,
                inConsole, inConsole / toNull, inConsole / toNull <= 1.05 ? "ok" : "OVER");
    std::printf("longest pause of the window %lld ms (target <= 100: %s)\n",
                static_cast<long long>(longestPause), longestPause <= 100 ? "ok" : "OVER");
    return 0;
}
