#include "interpreter/copy_commit.h"

#include "interpreter/messages.h"

#include <algorithm>
#include <cerrno>
#include <future>
#include <stdexcept>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>
#include <unordered_set>

namespace xcpycmd {
namespace {

using Clock = std::chrono::steady_clock;

// A group is made durable when it holds this much, or when its first copy waited this long
// (longer on a disk whose sync takes long, so that syncing stays a small part of the time).
constexpr off_t kGroupBytes = off_t{256} << 20;
constexpr auto kMinGroupAge = std::chrono::milliseconds(500);
constexpr int kSyncTimeShare = 4;

// Copies held open at once: each holds its own descriptor and may hold its folder's, and the
// walk needs some of its own.
std::size_t outstandingLimit() {
    rlimit files{};
    const rlim_t soft = ::getrlimit(RLIMIT_NOFILE, &files) == 0 ? files.rlim_cur : 1024;
    const rlim_t spare = soft > 128 ? (soft - 64) / 3 : 8;
    return static_cast<std::size_t>(std::clamp<rlim_t>(spare, 8, 2048));
}

Flush flushOf(Durability durability) {
    switch (durability) {
    case Durability::None:
        return Flush::None;
    case Durability::SyncFileSystem:
        return Flush::Start; // the group's sync then finds most of the data written already
    case Durability::SyncEachFile:
        return Flush::Whole;
    }
    return Flush::Whole;
}

int retried(int result) {
    return result == 0 ? 0 : errno;
}

int syncFileSystem(int fd) {
    int error = 0;
    while ((error = retried(::syncfs(fd))) == EINTR) {
    }
    return error;
}

int syncFolder(int fd) {
    int error = 0;
    while ((error = retried(::fsync(fd))) == EINTR) {
    }
    // Some file systems cannot sync a folder on its own; their names are written with it.
    return error == EINVAL || error == EROFS ? 0 : error;
}

} // namespace

CopyCommitter::CopyCommitter(const XCopyOptions& options, LineReport& report, unsigned workers)
    : o_(options), report_(report), pool_(workers), maxOutstanding_(outstandingLimit()) {}

CopyCommitter::~CopyCommitter() {
    stop();
    for (Item& item : group_)
        discardCopy(item.order.dstDir, item.copy);
}

std::size_t CopyCommitter::outstanding() const {
    return ordered_.size() + group_.size() + named_.size() +
           (syncing_ ? syncing_->group.size() : 0);
}

const FileSystemKind& CopyCommitter::kindOf(dev_t device, int dirFd) {
    auto found = devices_.find(device);
    if (found == devices_.end())
        found = devices_.emplace(device, Device{fileSystemKindOf(dirFd), {}, false, {}, 0}).first;
    return found->second.kind;
}

CopyCommitter::Device& CopyCommitter::deviceOf(const Item& item) {
    return devices_.at(item.order.device);
}

void CopyCommitter::add(CopyOrder order) {
    while (!stopped_ && outstanding() >= maxOutstanding_) {
        if (syncing_) {
            finishGroup(true);
        } else if (!group_.empty()) {
            startGroup();
        } else if (!named_.empty()) {
            syncDevices();
            reportDurable();
        } else {
            take(pool_.waitFinished());
            advance();
        }
    }
    if (stopped_)
        return;
    kindOf(order.device, order.dstDir->fd());
    Device& device = devices_.at(order.device);
    if (!device.anyFolder)
        device.anyFolder = order.dstDir;
    CopyJob job{nextId_,
                std::move(order.srcDir),
                order.dstDir,
                order.name,
                order.targetName,
                order.asLink,
                order.targetMissing,
                order.mode,
                device.kind.writeInPlace,
                flushOf(device.kind.durability)};
    Item item;
    item.id = nextId_++;
    item.order = std::move(order);
    ordered_.push_back(std::move(item));
    pool_.submit(std::move(job));
    poll();
}

void CopyCommitter::poll() {
    take(pool_.takeFinished());
    advance();
    finishGroup(false);
    if (!syncing_ && groupDue())
        startGroup();
}

void CopyCommitter::take(std::vector<CopyOutcome> outcomes) {
    for (CopyOutcome& outcome : outcomes) {
        Item& item = ordered_[outcome.id - ordered_.front().id];
        item.copy = std::move(outcome.copy);
        item.error = outcome.error;
        item.state = outcome.written ? State::Written : State::Failed;
        if (stopped_) {
            discardCopy(item.order.dstDir, item.copy);
            item.state = State::Dropped;
        }
    }
}

void CopyCommitter::advance() {
    while (!ordered_.empty() && ordered_.front().state != State::Writing) {
        Item item = std::move(ordered_.front());
        ordered_.pop_front();
        if (item.state == State::Written) {
            if (group_.empty())
                groupStarted_ = Clock::now();
            groupBytes_ += item.order.size;
            group_.push_back(std::move(item));
        } else if (item.state == State::Failed) {
            // Everything before it is named and listed first, as a copy of one file at a time
            // would have done.
            commitGroup();
            syncDevices();
            reportDurable();
            report_.copyFailed(item.order.srcPath, item.order.dstPath, item.error);
            if (report_.stopped())
                stop();
        }
    }
}

bool CopyCommitter::groupDue() const {
    if (group_.empty())
        return false;
    if (group_.size() >= maxOutstanding_ / 2 || groupBytes_ >= kGroupBytes)
        return true;
    if (devices_.at(group_.back().order.device).kind.durability == Durability::None)
        return true;
    return Clock::now() - groupStarted_ >= groupAge_;
}

// Hands the group to a thread that makes its data durable, so that the walk and the workers go
// on meanwhile; the group is named when that is done.
void CopyCommitter::startGroup() {
    Syncing syncing;
    syncing.group = std::move(group_);
    group_.clear();
    groupBytes_ = 0;
    std::vector<std::shared_ptr<const FolderHandle>> folders;
    for (const Item& item : syncing.group) {
        const Device& device = deviceOf(item);
        if (device.kind.durability == Durability::SyncFileSystem &&
            std::find(syncing.devices.begin(), syncing.devices.end(), item.order.device) ==
                syncing.devices.end()) {
            syncing.devices.push_back(item.order.device);
            folders.push_back(device.anyFolder);
        }
    }
    syncing.started = Clock::now();
    const auto syncAll = [folders] {
        std::vector<int> errors;
        for (const auto& folder : folders)
            errors.push_back(syncFileSystem(folder->fd()));
        return errors;
    };
    if (!folders.empty()) {
        try {
            syncing.errors = std::async(std::launch::async, syncAll);
        } catch (const std::system_error&) { // no thread to spare: sync here
            std::promise<std::vector<int>> done;
            done.set_value(syncAll());
            syncing.errors = done.get_future();
        }
    }
    syncing_ = std::move(syncing);
}

// Names the group whose sync is done; with `wait`, waits for the sync first. False when no
// group was named.
bool CopyCommitter::finishGroup(bool wait) {
    if (!syncing_)
        return false;
    if (!wait && syncing_->errors.valid() &&
        syncing_->errors.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    Syncing syncing = std::move(*syncing_);
    syncing_.reset();
    const std::vector<int> errors =
        syncing.errors.valid() ? syncing.errors.get() : std::vector<int>();
    std::vector<Item>& group = syncing.group;
    if (!errors.empty())
        groupAge_ = std::max<Clock::duration>(kMinGroupAge,
                                              kSyncTimeShare * (Clock::now() - syncing.started));

    // The data first: a name must never appear before the bytes it promises. The sync also made
    // the names of the group before durable.
    for (std::size_t i = 0; i < errors.size(); ++i) {
        const dev_t id = syncing.devices[i];
        if (errors[i] == 0) {
            for (Item& named : named_)
                named.durable = named.durable || named.order.device == id;
            devices_.at(id).unsynced = false;
            continue;
        }
        // Which file failed: each one's own fsync tells; the rest fail with the device.
        for (Item& item : group) {
            if (item.order.device != id)
                continue;
            if (const int error = flushCopy(item.copy); error != 0) {
                item.error = {CopyStage::Flush, error};
                item.state = State::Failed;
            }
        }
        failUnsynced(id, errors[i]);
    }
    reportDurable();

    for (Item& item : group) {
        if (stopped_) {
            discardCopy(item.order.dstDir, item.copy);
            continue;
        }
        if (const int error = deviceOf(item).syncError; item.state == State::Written && error) {
            item.error = {CopyStage::Flush, error};
            item.state = State::Failed;
        }
        if (item.state == State::Written &&
            !commitCopy(item.order.dstDir, item.order.targetName.c_str(), item.copy, item.error))
            item.state = State::Failed;
        if (item.state == State::Failed) {
            discardCopy(item.order.dstDir, item.copy);
            syncDevices();
            reportDurable();
            report_.copyFailed(item.order.srcPath, item.order.dstPath, item.error);
            if (report_.stopped())
                stop();
            continue;
        }
        Device& device = deviceOf(item);
        if (device.kind.durability == Durability::None)
            item.durable = true;
        else
            device.unsynced = true;
        named_.push_back(std::move(item));
    }
    for (auto& [id, device] : devices_)
        if (device.kind.durability == Durability::SyncEachFile && device.unsynced)
            syncFolders(id);
    reportDurable();
    return true;
}

// Names everything written so far, waiting for the syncs it takes.
void CopyCommitter::commitGroup() {
    finishGroup(true);
    if (group_.empty())
        return;
    startGroup();
    finishGroup(true);
}

// Makes the names and folders of every disk durable.
void CopyCommitter::syncDevices() {
    for (auto& [id, device] : devices_) {
        if (!device.unsynced)
            continue;
        if (device.kind.durability != Durability::SyncFileSystem) {
            syncFolders(id);
            continue;
        }
        if (const int error = syncFileSystem(device.anyFolder->fd()); error != 0) {
            failUnsynced(id, error);
            continue;
        }
        for (Item& named : named_)
            named.durable = named.durable || named.order.device == id;
        device.unsynced = false;
    }
}

// A sync of the whole device failed. Its folders cannot tell which names reached the disk (the
// failure may already have been reported and cleared for them), so every name given since the
// last good sync is a failed copy, and no more names are given there.
void CopyCommitter::failUnsynced(dev_t id, int error) {
    Device& device = devices_.at(id);
    device.syncError = error;
    device.unsynced = false;
    for (Item& named : named_) {
        if (named.order.device == id && !named.durable && named.state != State::Failed) {
            named.error = {CopyStage::Flush, error};
            named.state = State::Failed;
        }
    }
}

// Syncs the folders that received names on a device, one by one; a copy whose folder cannot
// be synced failed.
void CopyCommitter::syncFolders(dev_t id) {
    Device& device = devices_.at(id);
    std::unordered_set<const FolderHandle*> done;
    for (Item& named : named_) {
        if (named.order.device != id || named.durable || named.state == State::Failed)
            continue;
        const FolderHandle* folder = named.order.dstDir.get();
        if (done.insert(folder).second) {
            if (const int error = syncFolder(folder->fd()); error != 0) {
                named.error = {CopyStage::Flush, error};
                named.state = State::Failed;
                done.erase(folder);
                continue;
            }
        }
        named.durable = true;
    }
    std::vector<MadeFolder> made = std::move(device.foldersToSync);
    device.foldersToSync.clear();
    device.unsynced = false;
    for (const MadeFolder& folder : made) {
        if (done.contains(folder.parent.get()))
            continue;
        if (const int error = syncFolder(folder.parent->fd()); error != 0)
            report_.error(kWriteFailed, "フォルダーを作成できません - " + folder.shown + ": " +
                                            messages::errorText(error));
        else
            done.insert(folder.parent.get());
    }
}

void CopyCommitter::reportDurable() {
    while (!named_.empty() && (named_.front().durable || named_.front().state == State::Failed)) {
        Item item = std::move(named_.front());
        named_.pop_front();
        if (stopped_)
            continue;
        if (item.state == State::Failed) {
            report_.copyFailed(item.order.srcPath, item.order.dstPath, item.error);
            if (report_.stopped())
                stop();
            continue;
        }
        report_.copied(item.order.srcPath, item.order.dstPath, item.order.size);
    }
}

void CopyCommitter::settle() {
    while (!ordered_.empty()) {
        std::vector<CopyOutcome> outcomes = pool_.waitFinished();
        if (outcomes.empty() && ordered_.front().state == State::Writing)
            throw std::logic_error("a copy was lost by the copy pool");
        take(std::move(outcomes));
        advance();
    }
    commitGroup();
    syncDevices();
    reportDurable();
}

void CopyCommitter::folderMade(dev_t device, std::shared_ptr<const FolderHandle> parent,
                               std::string shown) {
    kindOf(device, parent->fd());
    Device& d = devices_.at(device);
    if (d.kind.durability == Durability::None)
        return;
    d.unsynced = true;
    if (!d.anyFolder)
        d.anyFolder = parent;
    if (d.kind.durability == Durability::SyncEachFile) {
        d.foldersToSync.push_back({std::move(parent), std::move(shown)});
        if (d.foldersToSync.size() >= 64)
            syncFolders(device);
    }
}

void CopyCommitter::stop() {
    stopped_ = true;
    if (syncing_) { // only on the way out: a failure is reported after the groups before it
        if (syncing_->errors.valid())
            syncing_->errors.wait();
        for (Item& item : syncing_->group)
            discardCopy(item.order.dstDir, item.copy);
        syncing_.reset();
    }
    for (const std::uint64_t id : pool_.dropQueued())
        ordered_[id - ordered_.front().id].state = State::Dropped;
    for (Item& item : ordered_) {
        if (item.state == State::Written) {
            discardCopy(item.order.dstDir, item.copy);
            item.state = State::Dropped;
        }
    }
    while (std::any_of(ordered_.begin(), ordered_.end(),
                       [](const Item& item) { return item.state == State::Writing; })) {
        std::vector<CopyOutcome> outcomes = pool_.waitFinished();
        if (outcomes.empty())
            throw std::logic_error("a copy was lost by the copy pool");
        take(std::move(outcomes));
    }
    ordered_.clear();
}

} // namespace xcpycmd
