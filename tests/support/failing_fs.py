#!/usr/bin/python3
"""A pass-through file system over a backing folder whose flushes to disk fail for chosen files.

It stands in for a pulled stick, a failing disk, or a file system that finds out late that it has
no room: writing succeeds, making the data durable does not.

Usage: failing_fs.py MOUNTPOINT BACKING [options]
  --fail CALLS          comma-separated calls that fail: fsync (fsync and fdatasync of a file),
                        flush (the close of a file opened for writing), fsyncdir (fsync of a
                        folder), rename (giving a file its name); default fsync
  --error NAME          the errno they fail with: EIO (default) or ENOSPC
  --starting-with TEXT  only files whose data starts with TEXT, whatever they are called
Prints "ready" once mounted. Unmounts itself and ends when its parent process goes away or after
five minutes, so a test that dies never leaves it behind.
"""
import argparse
import errno
import os
import subprocess
import threading
import time

from fusepy import FUSE, FuseOSError, Operations


class FailingFs(Operations):
    use_ns = True

    def __init__(self, backing, fail, error, starting_with):
        self.backing = backing
        self.fail = fail
        self.error = error
        self.starting_with = starting_with.encode()
        self.writers = set()  # handles opened for writing

    def real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def fails(self, call, fh=None):
        if call not in self.fail:
            return False
        if not self.starting_with or fh is None:
            return True
        # The handle may be write-only: read through a second one.
        reader = os.open(f"/proc/self/fd/{fh}", os.O_RDONLY)
        try:
            return os.pread(reader, len(self.starting_with), 0) == self.starting_with
        finally:
            os.close(reader)

    def init(self, path):
        print("ready", flush=True)

    # Folders and names.
    def getattr(self, path, fh=None):
        st = os.fstat(fh) if fh is not None else os.lstat(self.real(path))
        attrs = {key: getattr(st, key) for key in
                 ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_ino")}
        attrs.update(st_atime=st.st_atime_ns, st_mtime=st.st_mtime_ns, st_ctime=st.st_ctime_ns)
        return attrs

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise FuseOSError(errno.EACCES)

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        if "rename" in self.fail and self.starts_as_chosen(self.real(old)):
            raise FuseOSError(self.error)
        os.rename(self.real(old), self.real(new))

    def starts_as_chosen(self, path):
        with open(path, "rb") as f:
            return f.read(len(self.starting_with)) == self.starting_with

    def link(self, target, source):
        os.link(self.real(source), self.real(target))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid, follow_symlinks=False)

    def utimens(self, path, times=None):
        os.utime(self.real(path), ns=times, follow_symlinks=False)

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in
                ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
                 "f_flag", "f_frsize", "f_namemax")}

    def fsyncdir(self, path, datasync, fh):
        if self.fails("fsyncdir"):
            raise FuseOSError(self.error)

    # File data.
    def open(self, path, flags):
        fh = os.open(self.real(path), flags)
        if flags & os.O_ACCMODE != os.O_RDONLY:
            self.writers.add(fh)
        return fh

    def create(self, path, mode, fi=None):
        fh = os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)
        self.writers.add(fh)
        return fh

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is not None:
            os.ftruncate(fh, length)
        else:
            os.truncate(self.real(path), length)

    def fsync(self, path, datasync, fh):
        if self.fails("fsync", fh):
            raise FuseOSError(self.error)
        os.fsync(fh)

    def flush(self, path, fh):
        if fh in self.writers and self.fails("flush", fh):
            raise FuseOSError(self.error)

    def release(self, path, fh):
        self.writers.discard(fh)
        os.close(fh)


def unmount_when_orphaned(mountpoint, parent, lifetime):
    end = time.monotonic() + lifetime
    while os.getppid() == parent and time.monotonic() < end:
        time.sleep(0.2)
    subprocess.run(["umount", "-l", mountpoint], stderr=subprocess.DEVNULL)
    os._exit(0)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("mountpoint")
    parser.add_argument("backing")
    parser.add_argument("--fail", default="fsync")
    parser.add_argument("--error", choices=("EIO", "ENOSPC"), default="EIO")
    parser.add_argument("--starting-with", default="")
    args = parser.parse_args()
    fail = set(args.fail.split(","))
    if not fail <= {"fsync", "flush", "fsyncdir", "rename"}:
        parser.error("--fail takes fsync, flush, fsyncdir and rename")
    threading.Thread(target=unmount_when_orphaned,
                     args=(args.mountpoint, os.getppid(), 300.0), daemon=True).start()
    operations = FailingFs(os.path.abspath(args.backing), fail, getattr(errno, args.error),
                           args.starting_with)
    FUSE(operations, args.mountpoint, foreground=True, nothreads=False, hard_remove=True)
