#pragma once

#include "interpreter/folder_handle.h"
#include "interpreter/safe_copy.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace xcpycmd {

// One file to write, decided by the walk; `id` names it in the outcome.
struct CopyJob {
    std::uint64_t id = 0;
    std::shared_ptr<const FolderHandle> srcDir;
    std::shared_ptr<const FolderHandle> dstDir;
    std::string name;
    std::string targetName;
    bool asLink = false;
    bool targetMissing = false;
    mode_t mode = 0644;
    bool writeInPlace = false;
    Flush flush = Flush::None;
};

struct CopyOutcome {
    std::uint64_t id = 0;
    bool written = false;
    WrittenCopy copy;
    CopyError error{};
};

// Writes copies on `workers` threads, or at once in the caller's thread with one worker. The
// queue holds 64 jobs per worker: few enough that memory stays flat whatever the tree's size,
// enough that the walk and the workers seldom wait for each other (each wait costs a wake-up).
class CopyPool {
public:
    explicit CopyPool(unsigned workers);
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;
    ~CopyPool(); // waits for the jobs taken, drops the rest

    // Queues a job; waits while the queue is full.
    void submit(CopyJob job);
    // The outcomes finished since the last call, without waiting.
    std::vector<CopyOutcome> takeFinished();
    // Waits until a job has finished or none is left to run; returns the outcomes finished.
    std::vector<CopyOutcome> waitFinished();
    // Drops the jobs no worker has started; returns their ids.
    std::vector<std::uint64_t> dropQueued();

    // Whether work is spread over threads at all.
    bool parallel() const { return !threads_.empty(); }
    // Runs task(0) to task(count - 1) on the calling thread and the workers that are free;
    // returns when all have run.
    void forEach(std::size_t count, const std::function<void(std::size_t)>& task);

private:
    struct Spread {
        const std::function<void(std::size_t)>* task;
        std::size_t count;
        std::atomic<std::size_t> next{0};
        std::size_t helpers = 0; // workers inside work(), under the pool's mutex

        bool left() const { return next.load() < count; }
        void work() {
            for (std::size_t i; (i = next.fetch_add(1)) < count;)
                (*task)(i);
        }
    };

    void work();
    void finished(CopyOutcome outcome); // under the mutex

    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable spaceOrDone_;
    std::condition_variable helpersDone_;
    Spread* spread_ = nullptr;
    std::deque<CopyJob> queue_;
    std::vector<CopyOutcome> finished_;
    std::size_t running_ = 0;
    std::size_t idleWorkers_ = 0;
    bool walkWaiting_ = false;                  // in submit or waitFinished
    std::atomic<std::size_t> finishedCount_{0}; // finished_.size(), read without the mutex
    std::size_t capacity_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

// Worker threads for a run: XCPYCMD_WORKERS when set (1 to 64), otherwise the processors this
// process may run on.
unsigned copyWorkerCount();

} // namespace xcpycmd
