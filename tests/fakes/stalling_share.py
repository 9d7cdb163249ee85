#!/usr/bin/python3
"""A FUSE folder that behaves like a network share which stopped answering.

Usage: stalling_share.py MOUNTPOINT SOURCE_FILE...

For each SOURCE_FILE the folder holds "stalled" plus its extension, with the
size and the first 4 KiB of that file: listing the folder and the file's
attributes answer at once, opening it too, but a read past those first bytes
never returns while the file system runs. "ready" is created beside
MOUNTPOINT once the folder is mounted.
"""

import errno
import os
import stat
import sys
import threading

import fuse

fuse.fuse_python_api = (0, 2)

ANSWERED = 4096


class StallingShare(fuse.Fuse):
    def __init__(self, sources, *args, **kwargs):
        super().__init__(*args, **kwargs)
        # name -> (size, first bytes)
        self.files = {}
        for source in sources:
            with open(source, "rb") as f:
                head = f.read(ANSWERED)
            name = "/stalled" + os.path.splitext(source)[1]
            self.files[name] = (os.path.getsize(source), head)
        self.released = threading.Event()

    def getattr(self, path):
        st = fuse.Stat()
        if path == "/":
            st.st_mode = stat.S_IFDIR | 0o755
            st.st_nlink = 2
        elif path in self.files:
            st.st_mode = stat.S_IFREG | 0o444
            st.st_nlink = 1
            st.st_size = self.files[path][0]
        else:
            return -errno.ENOENT
        return st

    def readdir(self, path, offset):
        for entry in [".", ".."] + [name[1:] for name in self.files]:
            yield fuse.Direntry(entry)

    def open(self, path, flags):
        if path not in self.files:
            return -errno.ENOENT
        if flags & (os.O_WRONLY | os.O_RDWR):
            return -errno.EACCES
        return 0

    def read(self, path, size, offset):
        head = self.files[path][1]
        if offset + size <= len(head):
            return head[offset:offset + size]
        # The share stopped answering.
        self.released.wait()
        return -errno.EIO

    def fsdestroy(self):
        self.released.set()


def main():
    mountpoint, sources = sys.argv[1], sys.argv[2:]
    server = StallingShare(sources, version="%prog " + fuse.__version__, dash_s_do="setsingle")
    server.multithreaded = True
    server.parse(["-f", "-o", "direct_io", mountpoint], errex=1)
    open(os.path.join(os.path.dirname(os.path.abspath(mountpoint)), "ready"), "w").close()
    server.main()


if __name__ == "__main__":
    main()
