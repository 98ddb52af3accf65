#pragma once

#include "batchlist/folder_check.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace xcpy {

// Folder tests run on worker threads, each bounded in time, so that a folder on a share that
// stopped answering costs the window at most the bound instead of freezing it. A test without an
// answer within the bound gets the verdict NoAnswer. A test stuck in the kernel cannot be
// cancelled: its thread is left to finish on its own, the same folder is not tested again while
// it is pending (NoAnswer), and the number of such threads is capped; when every thread is stuck,
// folders get NoAnswer without a test until one comes back. A network or FUSE mount with a stuck
// test counts as unreachable: its other folders get NoAnswer at once.
class FolderProbe {
public:
    // Tests one folder; the drive facts are the system's as the question's batch began.
    using Test = std::function<FolderVerdict(const QString&, const DriveFacts&)>;
    using ListMounts = std::function<QStringList()>; // mounts that may stop answering
    struct Limits {
        std::chrono::milliseconds bound{500};
        int workers = 16;    // threads testing at once
        int maxThreads = 64; // workers plus threads left stuck in a test
    };

    FolderProbe();
    explicit FolderProbe(Limits limits, Test test = {}, ListMounts listMounts = {});
    ~FolderProbe();
    FolderProbe(const FolderProbe&) = delete;
    FolderProbe& operator=(const FolderProbe&) = delete;

    // Starts the tests of `folders` side by side. Until the outermost batch ends, a folder asked
    // for again takes the answer of its one test; after it, every question tests afresh.
    class Batch {
    public:
        Batch(FolderProbe& probe, const QStringList& folders);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        FolderProbe& probe_;
    };

    // What a test of `folder` found, answered within about the bound.
    FolderVerdict examine(const QString& folder);
    // Both folders of a pair, tested side by side.
    PairVerdict check(const QString& source, const QString& destination);

private:
    struct State;
    std::shared_ptr<State> state_; // shared with the threads, which may outlive the probe
};

} // namespace xcpy
