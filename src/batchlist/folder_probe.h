#pragma once

#include "batchlist/batch_entry.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace xcpy {

// Folder tests run on worker threads, each bounded in time, so that a folder on a share that
// stopped answering costs the window at most the bound instead of freezing it. A test without an
// answer within the bound counts as a missing folder. A test stuck in the kernel cannot be
// cancelled: its thread is left to finish on its own, the same folder is not tested again while
// it is pending (it counts as missing), and the number of such threads is capped; when every
// thread is stuck, folders count as missing without a test until one comes back. A network or
// FUSE mount with a stuck test counts as unreachable: its other folders are missing at once.
class FolderProbe {
public:
    using Test = std::function<bool(const QString&)>;
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

    // Whether `folder` names a listable folder, answered within about the bound.
    bool exists(const QString& folder);
    // OK only when both folders exist; the two are tested side by side.
    CheckMark check(const QString& source, const QString& destination);

private:
    struct State;
    std::shared_ptr<State> state_; // shared with the threads, which may outlive the probe
};

} // namespace xcpy
