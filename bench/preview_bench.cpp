// What a preview costs: the window's preview of a list against an unchanged /D rerun of the same
// list, which walks the same folders and copies nothing. Run by hand on a Release build:
//
//   build-release/bin/preview_bench [path/to/xcpycmd]
//
// Environment: XCPY_BENCH_DIR (folder for the tree, default the temporary folder),
// XCPY_BENCH_FILES (files of the list, default 20000, 1 to 16 KiB, over 4 rows),
// XCPY_BENCH_ROUNDS (timed rounds per side, alternated, the best counts, default 10).
#include "batchlist/batch_entry.h"
#include "files/batch_file.h"
#include "files/preview_run.h"

#include "bench_tree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRows = 4;
const QString kSwitches = QStringLiteral("/D /E /I /Y");

// Runs the batch file with xcpycmd /c, output to /dev/null; returns seconds.
double runBatch(const QString& xcpycmd, const QString& batch) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XCPYCMD_PROGRESS_FD"));
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(xcpycmd, {QStringLiteral("/c"), batch});
    process.waitForFinished(-1);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() > 1)
        std::fprintf(stderr, "xcpycmd ended with status %d\n", process.exitCode());
    return seconds;
}

// The window's preview of the rows, from its start to the last row told; returns seconds and
// counts the rows it found up to date.
double preview(const QString& xcpycmd, const QList<xcpy::BatchEntry>& rows, qint64& upToDateRows) {
    const QByteArray batch =
        xcpy::encodeBatchFile(rows, kSwitches, xcpy::BatchKind::CopyLines).bytes;
    xcpy::PreviewRun run(static_cast<int>(rows.size()));
    QEventLoop loop;
    QObject::connect(&run, &xcpy::PreviewRun::ended, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    run.start(xcpycmd, batch);
    if (run.state() == xcpy::PreviewRun::State::Running)
        loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (run.state() != xcpy::PreviewRun::State::Finished)
        std::fprintf(stderr, "preview failed: %s\n", qPrintable(run.failure()));
    upToDateRows = 0;
    for (const xcpy::PreviewRow& row : run.plan().rows())
        upToDateRows += row.outcome == xcpy::PreviewOutcome::UpToDate;
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString xcpycmd = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QCoreApplication::applicationDirPath() + "/xcpycmd";
    const QString base = qEnvironmentVariable("XCPY_BENCH_DIR", QDir::tempPath());
    QTemporaryDir work(base + QStringLiteral("/preview-bench-XXXXXX"));
    const int rounds = bench::setting("XCPY_BENCH_ROUNDS", 10);
    const int files = bench::setting("XCPY_BENCH_FILES", 20000);

    std::printf("== preview of a list of %d rows, %d files of 1-16 KiB, all up to date ==\n", kRows,
                files);
    QList<xcpy::BatchEntry> rows;
    for (int row = 0; row < kRows; ++row) {
        const QString source = work.filePath(QStringLiteral("src/part%1").arg(row));
        bench::makeTree(source, files / kRows, 1024, 16384);
        rows.append({source, work.filePath(QStringLiteral("dst/part%1").arg(row))});
    }
    const QString batch = work.filePath(QStringLiteral("list.bat"));
    xcpy::saveBatchFile(batch, rows, kSwitches, xcpy::BatchKind::CopyLines);
    runBatch(xcpycmd, batch); // the first copy: from now on every row is up to date

    double rerun = 1e99;
    double previewed = 1e99;
    qint64 upToDate = 0;
    for (int i = 0; i < rounds * 2; ++i) { // alternated, so neither side always goes first
        if ((i + i / 2) % 2 == 0)
            rerun = std::min(rerun, runBatch(xcpycmd, batch));
        else
            previewed = std::min(previewed, preview(xcpycmd, rows, upToDate));
    }
    if (upToDate != kRows)
        std::fprintf(stderr, "the preview found %lld of %d rows up to date\n",
                     static_cast<long long>(upToDate), kRows);
    std::printf("rerun /D %.3fs  preview %.3fs  ratio %.3f (target <= 1.50: %s)\n", rerun,
                previewed, previewed / rerun, previewed / rerun <= 1.50 ? "ok" : "OVER");
    return 0;
}
