// Speed and memory of the batch list, run by hand from a Release or RelWithDebInfo build:
//   build-bl/bin/batchlist_bench
// Figures are printed as ratios against their limits: 1.00 or below passes.
// The 65,534 bench folders go below TMPDIR; on a disk-backed /tmp making and removing them can take
// minutes, so TMPDIR=/dev/shm gives a quicker run (the timed folder tests hit the cache either
// way). Run as root with /dev/fuse it also times a list whose rows are on a share that does not
// answer.
#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"
#include "batchlist/folder_check.h"
#include "batchlist/folder_probe.h"
#include "common/missing_drive.h"
#include "support/silent_share.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

using namespace xcpy;

namespace {

constexpr int kRows = 32767;
constexpr int kPathLength = 60;
constexpr int kBlock = 1000;

// Bytes held by malloc, small blocks and mmap'd ones alike.
qint64 heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<qint64>(info.uordblks + info.hblkhd);
}

// Distinct paths of exactly kPathLength characters below `dir`.
QStringList makePaths(const QString& dir, int count) {
    const QString prefix = dir + '/';
    const int digits = kPathLength - static_cast<int>(prefix.size());
    if (digits < 5)
        qFatal("temporary folder path too long: %s", qPrintable(dir));
    QStringList paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i)
        paths << prefix + QString::number(i).rightJustified(digits, u'0');
    return paths;
}

bool makeFolders(const QStringList& paths) {
    for (const QString& path : paths)
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0)
            return false;
    return true;
}

struct ShownView {
    BatchListModel model;
    QTreeView view;

    ShownView() {
        configureBatchListView(&view);
        view.setModel(&model);
        view.resize(800, 600);
        view.show();
        QApplication::processEvents();
    }

    bool lastRowShownAsCurrent() const {
        const QModelIndex last = model.index(model.rowCount() - 1, 0);
        return view.currentIndex() == last && view.selectionModel()->isRowSelected(last.row()) &&
               view.viewport()->rect().contains(view.visualRect(last));
    }
};

double folderTestsAlone(const QStringList& sources, const QStringList& destinations) {
    QElapsedTimer timer;
    timer.start();
    const DriveFacts drives = systemDriveFacts(); // as the window reads them once per list
    int ok = 0;
    for (int i = 0; i < kRows; ++i)
        ok += examineFolder(sources[i], drives).listable() &&
              examineFolder(destinations[i], drives).listable();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (ok != kRows)
        qFatal("only %d of %d pairs found", ok, kRows);
    return ms;
}

struct InsertRun {
    double totalMs = 0;
    double firstBlockMs = 0;
    double lastBlockMs = 0;
    bool finalStateRight = false;
};

// The window's load, row after row: folder tests (all started side by side first, as a list-file
// load does), model insert, select and scroll. Without `testFolders` the marks are taken as OK,
// to see the list's own share. With `applyEachRow` every reveal is forced through at once, as a
// view without merging would do.
InsertRun insertAll(const QStringList& sources, const QStringList& destinations, int rows,
                    bool testFolders, bool applyEachRow) {
    ShownView shown;
    InsertRun run;
    QElapsedTimer total;
    QElapsedTimer block;
    total.start();
    FolderProbe probe;
    std::optional<FolderProbe::Batch> batch;
    if (testFolders)
        batch.emplace(probe, sources.mid(0, rows) + destinations.mid(0, rows));
    block.start(); // the blocks compare row inserts, without starting the tests
    for (int i = 0; i < rows; ++i) {
        BatchEntry entry{sources[i], destinations[i], CheckMark::OK, {}};
        if (testFolders) {
            const PairVerdict verdict = probe.check(sources[i], destinations[i]);
            entry.mark = verdict.mark();
            entry.notes = verdict.notes();
        }
        const int row = shown.model.insertEntry(-1, std::move(entry));
        selectAndReveal(&shown.view, row);
        if (applyEachRow)
            finishPendingReveal(&shown.view);
        if ((i + 1) % kBlock == 0 || i + 1 == rows) {
            const double ms = block.nsecsElapsed() / 1e6;
            if (i + 1 == kBlock)
                run.firstBlockMs = ms;
            if (i + 1 == rows - rows % kBlock)
                run.lastBlockMs = ms;
            block.restart();
        }
    }
    QApplication::processEvents(); // the view lays out and paints once
    run.totalMs = total.nsecsElapsed() / 1e6;
    run.finalStateRight = shown.lastRowShownAsCurrent();
    return run;
}

void speed(const QString& base) {
    const QStringList sources = makePaths(base + "/s", kRows);
    const QStringList destinations = makePaths(base + "/d", kRows);
    if (!QDir().mkdir(base + "/s") || !QDir().mkdir(base + "/d") || !makeFolders(sources) ||
        !makeFolders(destinations))
        qFatal("cannot create the bench folders below %s", qPrintable(base));

    folderTestsAlone(sources, destinations); // warm the directory cache
    double alone = 1e300;
    InsertRun best;
    InsertRun listOnly;
    best.totalMs = best.firstBlockMs = best.lastBlockMs = 1e300;
    listOnly = best;
    for (int round = 0; round < 3; ++round) {
        alone = std::min(alone, folderTestsAlone(sources, destinations));
        for (const bool testFolders : {true, false}) {
            const InsertRun run = insertAll(sources, destinations, kRows, testFolders, false);
            if (!run.finalStateRight)
                qFatal("last row is not current and visible after the event loop ran");
            // Best of three for each figure: the folder tests' system calls jitter a lot here.
            InsertRun& kept = testFolders ? best : listOnly;
            kept.totalMs = std::min(kept.totalMs, run.totalMs);
            kept.firstBlockMs = std::min(kept.firstBlockMs, run.firstBlockMs);
            kept.lastBlockMs = std::min(kept.lastBlockMs, run.lastBlockMs);
        }
    }
    std::printf("speed: %d rows, %d folder tests\n", kRows, 2 * kRows);
    std::printf("  folder tests alone          %8.1f ms\n", alone);
    std::printf("  full insert path            %8.1f ms  (%.2f x the folder tests)\n", best.totalMs,
                best.totalMs / alone);
    std::printf("  of which list, select, scroll %6.1f ms  (first / last %d: %.2f / %.2f ms)\n",
                listOnly.totalMs, kBlock, listOnly.firstBlockMs, listOnly.lastBlockMs);
    std::printf("  first %d inserts          %8.2f ms\n", kBlock, best.firstBlockMs);
    std::printf("  last %d inserts           %8.2f ms\n", kBlock, best.lastBlockMs);
    std::printf("  ratio full path / (2 x folder tests) = %.2f  (limit 1.00)\n",
                best.totalMs / (2 * alone));
    // With the folder tests running ahead on their threads, the first block also waits for them.
    std::printf("  ratio last / first %d inserts       = %.2f  (at most ~1)\n", kBlock,
                best.lastBlockMs / best.firstBlockMs);
    std::printf("  same, list, select and scroll only   = %.2f\n",
                listOnly.lastBlockMs / listOnly.firstBlockMs);

    // For comparison only: the same path with each reveal applied at once, on fewer rows.
    constexpr int kUnmergedRows = 5000;
    const InsertRun unmerged = insertAll(sources, destinations, kUnmergedRows, true, true);
    std::printf("  for comparison, each reveal applied at once, %d rows: %.1f ms, "
                "last / first %d = %.1f\n",
                kUnmergedRows, unmerged.totalMs, kBlock,
                unmerged.lastBlockMs / unmerged.firstBlockMs);
}

// A list of 10 rows whose destinations are on a share that does not answer, loaded as the window
// loads a list file.
void deadShare(const QString& base) {
    const xcpy::test::SilentShare share;
    if (!share.unavailable.isEmpty()) {
        std::printf("dead share: skipped (%s)\n", qPrintable(share.unavailable));
        return;
    }
    constexpr int kDeadRows = 10;
    const QStringList sources = makePaths(base + "/s", kDeadRows);
    QStringList destinations;
    for (int i = 0; i < kDeadRows; ++i)
        destinations << share.path(QStringLiteral("backup/%1").arg(i));
    QElapsedTimer timer;
    timer.start();
    const InsertRun run = insertAll(sources, destinations, kDeadRows, true, false);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!run.finalStateRight)
        qFatal("last row is not current and visible after the event loop ran");
    std::printf("dead share: %d rows, destinations on a share that does not answer\n", kDeadRows);
    std::printf("  load                        %8.1f ms  (bound of one folder test %lld ms)\n", ms,
                (long long)FolderProbe::Limits{}.bound.count());
    std::printf("  ratio load / 2000 ms = %.2f  (limit 1.00)\n", ms / 2000.0);
}

void memory(const QString& base) {
    ShownView shown;
    QStringList sources = makePaths(base + "/s", 1); // warm up string building
    QStringList destinations;
    sources.clear();
    sources.reserve(kRows);
    destinations.reserve(kRows);
    const qint64 beforeTexts = heapInUse();
    // Each text its own exactly sized block, as a reader builds them line by line.
    sources = makePaths(base + "/s", kRows);
    destinations = makePaths(base + "/d", kRows);
    for (QString& text : sources)
        text.squeeze();
    for (QString& text : destinations)
        text.squeeze();
    const qint64 afterTexts = heapInUse();

    for (int i = 0; i < kRows; ++i) {
        const int row = shown.model.insertEntry(
            -1, {std::move(sources[i]), std::move(destinations[i]), CheckMark::OK});
        selectAndReveal(&shown.view, row);
    }
    QApplication::processEvents();
    const qint64 afterRows = heapInUse();
    if (!shown.lastRowShownAsCurrent())
        qFatal("last row is not current and visible");

    // Characters (2 bytes each) plus, per text, QString's 16-byte block header and terminator.
    const qint64 textBytes = 2 * (kPathLength * 2 + 16 + 2);
    const double perRow = double(afterRows - beforeTexts) / kRows - textBytes;
    const double textMallocSlack = double(afterTexts - beforeTexts) / kRows - textBytes;
    const double listAndView = double(afterRows - afterTexts) / kRows;
    std::printf("memory: %d rows of two %d-character paths (heap in use, malloc statistics)\n",
                kRows, kPathLength);
    std::printf("  texts' own bytes              %6lld bytes/row\n", (long long)textBytes);
    std::printf("  malloc rounding of the texts  %6.1f bytes/row\n", textMallocSlack);
    std::printf("  model rows + view + selection %6.1f bytes/row (row capacity %lld)\n",
                listAndView, (long long)shown.model.entries().capacity());
    std::printf("  beyond the texts              %6.1f bytes/row\n", perRow);
    std::printf("  ratio bytes beyond texts / 300 = %.2f  (limit 1.00)\n", perRow / 300.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir base(QDir::tempPath() + "/xcpy-bench-XXXXXX");
    if (!base.isValid())
        qFatal("no temporary folder");
    memory(base.path());
    speed(base.path());
    deadShare(base.path());
    return 0;
}
