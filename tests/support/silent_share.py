#!/usr/bin/python3
"""A file system whose root answers and whose every other lookup blocks until it is unmounted.

It stands in for a network share that stopped answering.
Usage: silent_share.py MOUNTPOINT [LIFETIME_SECONDS]
Prints "ready" once mounted and "held" when it holds a lookup. Unmounts itself and ends when its parent process goes away or its
lifetime (default 60 s) is over, so a test that dies or hangs in a lookup never leaves it behind.
"""
import errno
import os
import stat
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

sys.dont_write_bytecode = True  # no cache beside the sources
from failing_fs import unmount_when_orphaned  # noqa: E402

never = threading.Event()


class SilentShare(Operations):
    def init(self, path):
        print("ready", flush=True)

    def getattr(self, path, fh=None):
        if path == "/":
            now = time.time()
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, st_atime=now,
                        st_mtime=now, st_ctime=now)
        print("held", flush=True)  # the caller now waits for an answer that never comes
        never.wait()
        raise FuseOSError(errno.EIO)

    def readdir(self, path, fh):
        return [".", ".."]


if __name__ == "__main__":
    mountpoint = sys.argv[1]
    lifetime = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    threading.Thread(target=unmount_when_orphaned, args=(mountpoint, os.getppid(), lifetime),
                     daemon=True).start()
    FUSE(SilentShare(), mountpoint, foreground=True, nothreads=False)
