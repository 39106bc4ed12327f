"""The workbook lock's file as filelock opens it, and also a lock file this user may not write:
another user's, or one the administrator made (after `sudo lumvik`). An advisory lock needs no
write access, so such a file is opened for reading and locked all the same; one that cannot be
read either is refused as filelock refuses it."""

import functools
import os
import sys

import filelock


@functools.lru_cache(maxsize=None)
def readable(file_lock):
    """The subclass of filelock's platform lock class `file_lock` that locks a lock file it may
    only read. Made once per class: filelock keeps a registry per lock class."""

    class ReadableLock(file_lock):
        if sys.platform == "win32":

            def _acquire(self):
                try:
                    super()._acquire()
                except PermissionError:
                    if self.is_locked or not os.path.isfile(self.lock_file):
                        raise
                    fd = os.open(self.lock_file, os.O_RDONLY | os.O_BINARY | os.O_NOINHERIT)
                    if filelock.lock_descriptor(fd, blocking=False):
                        self._mark_descriptor_owned(fd)
                    else:
                        os.close(fd)

        else:

            def _open_existing_lock_file(self, existing, open_flags, open_mode):
                try:
                    return super()._open_existing_lock_file(existing, open_flags, open_mode)
                except PermissionError:
                    if not existing:  # filelock's own look at it did not open it for reading
                        existing.append(os.open(self.lock_file, open_flags & ~os.O_RDWR | os.O_RDONLY))
                    return existing[0]

    return ReadableLock
