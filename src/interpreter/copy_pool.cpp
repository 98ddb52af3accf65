#include "interpreter/copy_pool.h"

#include <algorithm>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>
#include <utility>

namespace xcpycmd {
namespace {

constexpr unsigned kMaxWorkers = 64;

CopyOutcome write(const CopyJob& job) {
    CopyOutcome outcome;
    outcome.id = job.id;
    const CopyRequest request{job.srcDir->fd(), job.name.c_str(),       job.asLink,
                              job.dstDir,       job.targetName.c_str(), job.targetMissing,
                              job.mode,         job.writeInPlace,       job.flush};
    outcome.written = writeCopy(request, outcome.copy, outcome.error);
    return outcome;
}

} // namespace

CopyPool::CopyPool(unsigned workers) : capacity_(64 * workers) {
    processUmask();
    splitLargeFiles(workers > 1);
    if (workers <= 1)
        return;
    for (unsigned i = 0; i < std::min(workers, kMaxWorkers); ++i)
        threads_.emplace_back([this] {
            ::pthread_setname_np(::pthread_self(), "xcpycmd-copy"); // as ps and /proc show it
            work();
        });
}

CopyPool::~CopyPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    jobReady_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void CopyPool::finished(CopyOutcome outcome) {
    finished_.push_back(std::move(outcome));
    finishedCount_.store(finished_.size(), std::memory_order_release);
}

void CopyPool::submit(CopyJob job) {
    if (threads_.empty()) {
        CopyOutcome outcome = write(job);
        job = {}; // the folders are released as soon as the copy is written
        std::lock_guard lock(mutex_);
        finished(std::move(outcome));
        return;
    }
    std::unique_lock lock(mutex_);
    if (queue_.size() >= capacity_) {
        // Wait until the queue is half empty, not for each free place: one wake-up per
        // capacity_ / 2 jobs instead of one per job.
        walkWaiting_ = true;
        spaceOrDone_.wait(lock, [this] { return queue_.size() <= capacity_ / 2; });
        walkWaiting_ = false;
    }
    queue_.push_back(std::move(job));
    const bool wake = idleWorkers_ > 0;
    lock.unlock();
    if (wake)
        jobReady_.notify_one();
}

std::vector<CopyOutcome> CopyPool::takeFinished() {
    if (finishedCount_.load(std::memory_order_acquire) == 0)
        return {};
    std::lock_guard lock(mutex_);
    finishedCount_.store(0, std::memory_order_relaxed);
    return std::exchange(finished_, {});
}

std::vector<CopyOutcome> CopyPool::waitFinished() {
    std::unique_lock lock(mutex_);
    walkWaiting_ = true;
    spaceOrDone_.wait(lock,
                      [this] { return !finished_.empty() || (queue_.empty() && running_ == 0); });
    walkWaiting_ = false;
    finishedCount_.store(0, std::memory_order_relaxed);
    return std::exchange(finished_, {});
}

std::vector<std::uint64_t> CopyPool::dropQueued() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> ids;
    for (const CopyJob& job : queue_)
        ids.push_back(job.id);
    queue_.clear();
    return ids;
}

void CopyPool::forEach(std::size_t count, const std::function<void(std::size_t)>& task) {
    Spread spread{&task, count};
    if (threads_.empty() || count < 2) {
        spread.work();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        spread_ = &spread;
    }
    jobReady_.notify_all();
    spread.work();
    std::unique_lock lock(mutex_);
    spread_ = nullptr;
    helpersDone_.wait(lock, [&] { return spread.helpers == 0; });
}

void CopyPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleWorkers_;
        jobReady_.wait(
            lock, [this] { return closing_ || !queue_.empty() || (spread_ && spread_->left()); });
        --idleWorkers_;
        if (spread_ && spread_->left()) { // quick work the walk waits for comes first
            Spread* spread = spread_;
            ++spread->helpers;
            lock.unlock();
            spread->work();
            lock.lock();
            if (--spread->helpers == 0)
                helpersDone_.notify_all();
            continue;
        }
        if (queue_.empty())
            return;
        CopyJob job = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        const bool wake = walkWaiting_ && queue_.size() <= capacity_ / 2;
        lock.unlock();
        if (wake)
            spaceOrDone_.notify_one();
        CopyOutcome outcome = write(job);
        job = {};
        lock.lock();
        finished(std::move(outcome));
        --running_;
        if (walkWaiting_)
            spaceOrDone_.notify_one();
    }
}

unsigned copyWorkerCount() {
    if (const char* text = std::getenv("XCPYCMD_WORKERS")) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(text, &end, 10);
        if (end != text && *end == '\0' && value >= 1)
            return static_cast<unsigned>(std::min<unsigned long>(value, kMaxWorkers));
    }
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0)
        return std::clamp(static_cast<unsigned>(CPU_COUNT(&cpus)), 1u, kMaxWorkers);
    return 1;
}

} // namespace xcpycmd
