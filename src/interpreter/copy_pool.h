#pragma once

#include "interpreter/safe_copy.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <dirent.h>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace xcpycmd {

// An open folder that copies in flight may still use after the walk has left it: a plain
// descriptor, or one that a folder stream being read owns.
class FolderHandle {
public:
    explicit FolderHandle(int fd) : fd_(fd) {}
    explicit FolderHandle(DIR* stream) : fd_(::dirfd(stream)), stream_(stream) {}
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle();
    int fd() const { return fd_; }

private:
    int fd_;
    DIR* stream_ = nullptr;
};

// One file to copy, decided by the walk.
struct CopyJob {
    std::shared_ptr<const FolderHandle> srcDir;
    std::shared_ptr<const FolderHandle> dstDir;
    std::string name;
    std::string targetName;
    bool asLink = false;
    bool targetMissing = false;
    mode_t mode = 0644;
    std::string srcPath; // as shown, for messages
    std::string dstPath;
    off_t size = 0; // of the source when the walk looked at it
};

struct CopyOutcome {
    CopyJob job;
    bool copied = false;
    CopyError error{};
};

// Copies files on `workers` threads, or at once in the caller's thread with one worker. The
// queue holds four jobs per worker, so memory stays flat whatever the tree's size.
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
    // Waits until every submitted job has finished; returns the outcomes not taken yet.
    std::vector<CopyOutcome> finishAll();

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

    void work(unsigned slot);

    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable spaceOrDone_;
    std::condition_variable helpersDone_;
    Spread* spread_ = nullptr;
    std::deque<CopyJob> queue_;
    std::vector<CopyOutcome> finished_;
    std::size_t running_ = 0;
    std::size_t idleWorkers_ = 0;
    bool walkWaiting_ = false;                  // in submit or finishAll
    std::atomic<std::size_t> finishedCount_{0}; // finished_.size(), read without the mutex
    std::size_t capacity_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

// Worker threads for a run: XCPYCMD_WORKERS when set (1 to 64), otherwise the processors this
// process may run on.
unsigned copyWorkerCount();

} // namespace xcpycmd
