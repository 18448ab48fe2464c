#!/usr/bin/python3
# A pass-through file system whose calls can be held, for the tests of a share that stops answering:
#   held_fs.py SOURCE MOUNTPOINT HOLDFILE
# mounts SOURCE at MOUNTPOINT (in the foreground); while HOLDFILE exists every call waits until it is
# removed, as a hung NFS server keeps its clients waiting.
import errno
import os
import sys
import time

import fusepy as fuse


class Held(fuse.Operations):
    def __init__(self, source, hold):
        self.source = source
        self.hold = hold

    def _path(self, path):
        while os.path.exists(self.hold):
            time.sleep(0.05)
        return os.path.join(self.source, path.lstrip('/'))

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        return {k: getattr(st, k) for k in ('st_atime', 'st_ctime', 'st_gid', 'st_mode', 'st_mtime',
                                            'st_nlink', 'st_size', 'st_uid')}

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise fuse.FuseOSError(errno.EACCES)

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._path(path))

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def read(self, path, size, offset, fh):
        os.lseek(fh, offset, os.SEEK_SET)
        return os.read(fh, size)

    def release(self, path, fh):
        return os.close(fh)

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {k: getattr(st, k) for k in ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail',
                                            'f_ffree', 'f_files', 'f_flag', 'f_frsize', 'f_namemax')}


if __name__ == '__main__':
    source, mountpoint, hold = sys.argv[1:4]
    # No kernel cache of attributes or entries: every look-up reaches this program.
    fuse.FUSE(Held(source, hold), mountpoint, foreground=True, nothreads=False, ro=True,
              attr_timeout=0, entry_timeout=0, negative_timeout=0)
