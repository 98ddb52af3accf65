#include "batchlist/folder_probe.h"

#include "batchlist/network_mounts.h"
#include "common/missing_drive.h"

#include <QHash>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace xcpy {
namespace {

using Clock = std::chrono::steady_clock;

FolderVerdict noAnswer() {
    return FolderVerdict{FolderVerdict::State::NoAnswer, {}, false};
}

// "a/b", "a/b/" and "a/b//" are one folder and share one test.
QString folderKey(const QString& folder) {
    qsizetype end = folder.size();
    while (end > 1 && folder[end - 1] == u'/')
        --end;
    return folder.left(end);
}

} // namespace

struct FolderProbe::State : std::enable_shared_from_this<State> {
    struct Entry {
        explicit Entry(QString f) : folder(std::move(f)) {}
        QString folder;
        enum class Phase { Queued, Running, Answered } phase = Phase::Queued;
        FolderVerdict verdict;
        std::shared_ptr<const DriveFacts> drives; // as the question's batch began
        bool abandoned = false; // ran past the bound: no answer, its thread left alone
        QString stuckMount;     // the network mount it is stuck on, if any
        Clock::time_point started;
    };
    using EntryPtr = std::shared_ptr<Entry>;

    State(Limits l, Test t, ListMounts m)
        : limits(l), test(std::move(t)), listMounts(std::move(m)) {}

    const Limits limits;
    const Test test;
    const ListMounts listMounts;
    QStringList networkMounts;       // as listed when a test was last given up on
    QHash<QString, int> stuckMounts; // network mounts with given-up tests still pending
    std::mutex mutex;
    std::condition_variable work;     // workers wait for a queued folder or the end
    std::condition_variable answered; // questions wait for an answer or a deadline
    QHash<QString, EntryPtr> entries; // by folder key: pending tests and answers of the batch
    std::shared_ptr<const DriveFacts> batchDrives; // read as the outermost batch began
    std::deque<EntryPtr> queue;
    std::vector<EntryPtr> running;
    int workers = 0; // threads that take folders from the queue
    int idle = 0;    // of them, waiting for work
    int stuck = 0;   // threads left in a test that ran past the bound
    int batchDepth = 0;
    bool stopping = false;

    // All below run with the mutex held.

    EntryPtr request(const QString& folder) {
        EntryPtr& slot = entries[folderKey(folder)];
        if (slot)
            return slot;
        slot = std::make_shared<Entry>(folder);
        slot->drives =
            batchDepth > 0 ? batchDrives : std::make_shared<const DriveFacts>(systemDriveFacts());
        queue.push_back(slot);
        if (idle > 0)
            work.notify_one();
        else if (workers < limits.workers)
            startWorker();
        return slot;
    }

    void startWorker() {
        if (workers + stuck >= limits.maxThreads)
            return;
        try {
            std::thread(&State::runWorker, shared_from_this()).detach();
            ++workers;
        } catch (const std::system_error&) {
            // No thread to be had: the folders wait for the ones there are, or count missing.
        }
    }

    void forget(const EntryPtr& entry) {
        const auto found = entries.constFind(folderKey(entry->folder));
        if (found != entries.cend() && found.value() == entry)
            entries.erase(found);
    }

    // Gives up on tests past their bound; their threads are replaced while the cap allows.
    void abandonOverdue(Clock::time_point now) {
        bool listedMounts = false;
        for (const EntryPtr& entry : running) {
            if (entry->abandoned || now < entry->started + limits.bound)
                continue;
            entry->abandoned = true;
            --workers;
            ++stuck;
            if (!listedMounts) {
                networkMounts = listMounts();
                listedMounts = true;
            }
            entry->stuckMount = mountPointOf(networkMounts, entry->folder);
            if (!entry->stuckMount.isEmpty())
                ++stuckMounts[entry->stuckMount];
            if (!queue.empty())
                startWorker();
        }
    }

    bool onStuckMount(const Entry& entry) const {
        return !stuckMounts.isEmpty() &&
               stuckMounts.contains(mountPointOf(networkMounts, entry.folder));
    }

    void answer(const EntryPtr& entry, FolderVerdict verdict) {
        entry->verdict = std::move(verdict);
        entry->phase = Entry::Phase::Answered;
        if (entry->abandoned || batchDepth == 0)
            forget(entry);
        answered.notify_all();
    }

    Clock::time_point nextDeadline(Clock::time_point now) const {
        Clock::time_point next = now + limits.bound;
        for (const EntryPtr& entry : running)
            if (!entry->abandoned)
                next = std::min(next, entry->started + limits.bound);
        return next;
    }

    void endBatch() {
        if (--batchDepth > 0)
            return;
        batchDrives.reset();
        for (const EntryPtr& entry : queue)
            forget(entry);
        queue.clear();
        for (auto it = entries.begin(); it != entries.end();)
            it = it.value()->phase == Entry::Phase::Answered ? entries.erase(it) : std::next(it);
    }

    static void runWorker(std::shared_ptr<State> self) {
        State& s = *self;
        std::unique_lock lock(s.mutex);
        for (;;) {
            ++s.idle;
            s.work.wait(lock, [&] { return s.stopping || !s.queue.empty(); });
            --s.idle;
            if (s.stopping) {
                --s.workers;
                return;
            }
            const EntryPtr entry = s.queue.front();
            s.queue.pop_front();
            if (s.onStuckMount(*entry)) {
                s.answer(entry, noAnswer());
                continue;
            }
            entry->phase = Entry::Phase::Running;
            entry->started = Clock::now();
            s.running.push_back(entry);

            lock.unlock();
            FolderVerdict verdict = s.test(entry->folder, *entry->drives);
            lock.lock();

            std::erase(s.running, entry);
            s.answer(entry, std::move(verdict));
            if (entry->abandoned) {
                // Back from a stuck test: work again if a worker is missing, else end.
                --s.stuck;
                if (!entry->stuckMount.isEmpty() && --s.stuckMounts[entry->stuckMount] == 0)
                    s.stuckMounts.remove(entry->stuckMount);
                if (s.stopping || s.workers >= s.limits.workers)
                    return;
                ++s.workers;
            }
        }
    }
};

FolderProbe::FolderProbe() : FolderProbe(Limits{}) {}

FolderProbe::FolderProbe(Limits limits, Test test, ListMounts listMounts)
    : state_(std::make_shared<State>(
          limits, test ? std::move(test) : Test(examineFolder),
          listMounts ? std::move(listMounts) : ListMounts([] { return networkMountPoints(); }))) {}

FolderProbe::~FolderProbe() {
    const std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->work.notify_all();
}

FolderProbe::Batch::Batch(FolderProbe& probe, const QStringList& folders) : probe_(probe) {
    State& s = *probe_.state_;
    const std::lock_guard lock(s.mutex);
    if (s.batchDepth++ == 0)
        s.batchDrives = std::make_shared<const DriveFacts>(systemDriveFacts());
    for (const QString& folder : folders)
        s.request(folder);
}

FolderProbe::Batch::~Batch() {
    const std::lock_guard lock(probe_.state_->mutex);
    probe_.state_->endBatch();
}

FolderVerdict FolderProbe::examine(const QString& folder) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    const State::EntryPtr entry = s.request(folder);
    for (;;) {
        if (entry->abandoned)
            return noAnswer();
        if (entry->phase == State::Entry::Phase::Answered)
            return entry->verdict;
        const Clock::time_point now = Clock::now();
        s.abandonOverdue(now);
        if (entry->abandoned)
            return noAnswer();
        if (entry->phase == State::Entry::Phase::Queued &&
            (s.workers == 0 || s.onStuckMount(*entry)))
            return noAnswer(); // every thread is stuck and no other may be started, or its mount is
        s.answered.wait_until(lock, s.nextDeadline(now));
    }
}

PairVerdict FolderProbe::check(const QString& source, const QString& destination) {
    const Batch both(*this, {source, destination});
    PairVerdict pair;
    pair.source = examine(source);
    pair.destination = examine(destination);
    return pair;
}

} // namespace xcpy
