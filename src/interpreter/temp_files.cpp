#include "interpreter/temp_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace xcpycmd {
namespace {

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The start time of a process in clock ticks since boot, and its command name; nothing when no
// such process can be looked at.
struct ProcessMark {
    unsigned long long start = 0;
    std::string command;
};

std::optional<ProcessMark> markOf(pid_t pid) {
    const std::string stat = readWhole("/proc/" + std::to_string(pid) + "/stat");
    // "pid (command) state ppid ...": the command may hold blanks and parentheses.
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    ProcessMark mark;
    mark.command = stat.substr(open + 1, close - open - 1);
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            mark.start = std::strtoull(field.c_str(), nullptr, 10);
    return mark;
}

const ProcessMark& ownMark() {
    static const ProcessMark mark = markOf(::getpid()).value_or(ProcessMark{});
    return mark;
}

// What a temporary name tells of the run that made it.
struct Owner {
    pid_t pid = 0;
    std::optional<unsigned long long> start; // long names of this version only
};

std::optional<Owner> ownerOf(std::string_view name) {
    if (!name.starts_with(kTempPrefix))
        return std::nullopt;
    name.remove_prefix(std::strlen(kTempPrefix));
    const std::string text(name);
    char* end = nullptr;
    const long pid = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || pid <= 0)
        return std::nullopt;
    Owner owner{static_cast<pid_t>(pid), std::nullopt};
    if (*end == '.') { // ".START" since process ids are reused
        const char* startText = end + 1;
        owner.start = std::strtoull(startText, &end, 10);
        if (end == startText)
            return std::nullopt;
    }
    return *end == '-' ? std::optional(owner) : std::nullopt;
}

// Whether the run that named a temporary still runs: a process with its id that is this
// program and, where the name says when the run started, started then. Another process that got
// the id later cannot pass for it; this process's own leftovers are from an earlier run.
bool ownerRuns(const Owner& owner) {
    if (owner.pid == ::getpid())
        return false;
    if (::kill(owner.pid, 0) != 0 && errno == ESRCH)
        return false;
    const std::optional<ProcessMark> mark = markOf(owner.pid);
    if (!mark)
        return true; // it exists but cannot be looked at: leave its files alone
    if (mark->command != ownMark().command)
        return false;
    return !owner.start || *owner.start == mark->start;
}

} // namespace

std::string newTempName() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = std::string(kTempPrefix) + std::to_string(::getpid()) + "." +
                       std::to_string(ownMark().start) + "-";
    for (int i = 0; i < 8; ++i)
        name += letters[random() % (sizeof letters - 1)];
    return name;
}

bool isTempName(const char* name) {
    return ownerOf(name).has_value();
}

void removeLeftoverTemporaries(int dir) {
    // Read straight from the folder's own descriptor: no second open of the folder, which
    // costs a round trip on FUSE and network file systems. Nothing else reads its entries.
    if (::lseek(dir, 0, SEEK_SET) != 0)
        return;
    alignas(8) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(dir, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::optional<Owner> owner = ownerOf(entry->d_name);
            if (owner && !ownerRuns(*owner))
                ::unlinkat(dir, entry->d_name, 0);
        }
    }
}

struct TempRegistry::Impl {
    std::mutex mutex;
    std::multimap<const FolderHandle*, std::pair<std::shared_ptr<const FolderHandle>, std::string>>
        files;
    std::atomic<int> creating{0};
    std::atomic<bool> ending{false};
};

TempRegistry& TempRegistry::instance() {
    static TempRegistry registry;
    return registry;
}

TempRegistry::Impl& TempRegistry::impl() {
    static Impl impl;
    return impl;
}

int TempRegistry::create(const std::shared_ptr<const FolderHandle>& dir, const std::string& name,
                         const std::function<int()>& create) {
    Impl& i = impl();
    // Counted before `ending` is read, so an ending process either sees this creation and
    // waits for it, or this thread sees the end and creates nothing.
    i.creating.fetch_add(1);
    if (i.ending.load()) {
        i.creating.fetch_sub(1);
        errno = EINTR;
        return -1;
    }
    {
        const std::lock_guard lock(i.mutex);
        i.files.emplace(dir.get(), std::pair(dir, name));
    }
    const int fd = create();
    const int error = errno;
    if (fd < 0)
        forget(*dir, name);
    i.creating.fetch_sub(1);
    errno = error;
    return fd;
}

void TempRegistry::forget(const FolderHandle& dir, const std::string& name) {
    Impl& i = impl();
    const std::lock_guard lock(i.mutex);
    auto [from, to] = i.files.equal_range(&dir);
    for (auto it = from; it != to; ++it) {
        if (it->second.second == name) {
            i.files.erase(it);
            return;
        }
    }
}

void TempRegistry::removeAllForExit() {
    Impl& i = impl();
    i.ending.store(true);
    for (int wait = 0; wait < 100 && i.creating.load() > 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::lock_guard lock(i.mutex);
    for (const auto& [key, file] : i.files)
        ::unlinkat(file.first->fd(), file.second.c_str(), 0);
    i.files.clear();
}

} // namespace xcpycmd
