#pragma once

#include <dirent.h>
#include <unistd.h>

namespace xcpycmd {

// An open folder that copies in flight may still use after the walk has left it: a plain
// descriptor, or one that a folder stream being read owns.
class FolderHandle {
public:
    explicit FolderHandle(int fd) : fd_(fd) {}
    explicit FolderHandle(DIR* stream) : fd_(::dirfd(stream)), stream_(stream) {}
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle() {
        if (stream_)
            ::closedir(stream_);
        else if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_;
    DIR* stream_ = nullptr;
};

} // namespace xcpycmd
