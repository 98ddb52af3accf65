#pragma once

#include "interpreter/copy_pool.h"
#include "interpreter/file_system_kind.h"
#include "interpreter/line_report.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace xcpycmd {

// One file the walk decided to copy.
struct CopyOrder {
    std::shared_ptr<const FolderHandle> srcDir;
    std::shared_ptr<const FolderHandle> dstDir;
    dev_t device = 0; // of the destination folder
    std::string name;
    std::string targetName;
    bool asLink = false;
    bool targetMissing = false;
    mode_t mode = 0644;
    std::string srcPath; // as shown
    std::string dstPath;
    off_t size = 0;
};

// Writes the files a line copies and gives them their names, so that a file under its final
// name with the source's time always holds the source's bytes, power cut or not: copies are
// written under temporary names (on several threads), made durable a group at a time (one
// syncfs for a group on a local disk, each file's own fsync where only that reaches the disk),
// and only then named, in the order the walk met them. A name is listed and counted once the
// name itself is durable, so the list and the count never say more than the disk holds. The
// first failure, in walk order, ends the line unless /C: the copies before it are kept, the
// ones after it are thrown away.
class CopyCommitter {
public:
    CopyCommitter(const XCopyOptions& options, LineReport& report, unsigned workers);
    ~CopyCommitter(); // throws away what was not committed

    // How copies into the folder `dirFd` on `device` are written and made durable.
    const FileSystemKind& kindOf(dev_t device, int dirFd);
    // Queues a copy; may wait while too many are outstanding.
    void add(CopyOrder order);
    // Takes the copies written meanwhile and names the ones that are due, without waiting.
    void poll();
    // Waits for every queued copy, names them and makes everything durable: then the list, the
    // count and the status of the line are true on the disk.
    void settle();
    // The folder `shown` was made in `parent`: its entry must be durable by the end of the line.
    void folderMade(dev_t device, std::shared_ptr<const FolderHandle> parent, std::string shown);

    CopyPool& pool() { return pool_; }

private:
    enum class State { Writing, Written, Failed, Dropped };
    struct Item {
        std::uint64_t id = 0;
        CopyOrder order;
        State state = State::Writing;
        WrittenCopy copy;
        CopyError error{};
        bool durable = false; // named, and the name is on the disk
    };
    struct MadeFolder {
        std::shared_ptr<const FolderHandle> parent;
        std::string shown;
    };
    struct Device {
        FileSystemKind kind;
        std::shared_ptr<const FolderHandle> anyFolder; // a descriptor for syncfs
        bool unsynced = false;                         // holds names or folders not yet durable
        std::vector<MadeFolder> foldersToSync;         // of SyncEachFile devices
        // Set when a sync of the whole device failed: no name or folder given there since can be
        // shown to be on the disk, so nothing more is named on it in this line.
        int syncError = 0;
    };

    // A group whose data a thread is making durable.
    struct Syncing {
        std::vector<Item> group;
        std::vector<dev_t> devices; // synced with syncfs, in the order of `errors`
        std::future<std::vector<int>> errors;
        std::chrono::steady_clock::time_point started;
    };

    std::size_t outstanding() const;
    void take(std::vector<CopyOutcome> outcomes);
    void startGroup();
    bool finishGroup(bool wait);
    void advance();
    bool groupDue() const;
    void commitGroup();
    void syncDevices();
    void syncFolders(dev_t device);
    void failUnsynced(dev_t device, int error);
    void reportDurable();
    void stop();
    Device& deviceOf(const Item& item);

    const XCopyOptions& o_;
    LineReport& report_;
    CopyPool pool_;
    std::uint64_t nextId_ = 0;
    std::deque<Item> ordered_; // walk order: writing, or written and waiting for earlier ones
    std::vector<Item> group_;  // written, in order, not yet durable
    std::deque<Item> named_;   // named, in order, waiting for their names to be durable
    std::optional<Syncing> syncing_;
    std::unordered_map<dev_t, Device> devices_;
    std::size_t maxOutstanding_;
    off_t groupBytes_ = 0;
    std::chrono::steady_clock::time_point groupStarted_;
    std::chrono::steady_clock::duration groupAge_ = std::chrono::milliseconds(500);
    bool stopped_ = false;
};

} // namespace xcpycmd
