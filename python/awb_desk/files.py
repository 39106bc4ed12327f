"""Files as the Python side writes them: whole or not at all, and never one the user marked
read-only."""

import os
import stat
import uuid


def is_read_only(path):
    """Whether the file at `path` is marked read-only for this user (or for everyone: the
    administrator, who could write it all the same, leaves it alone too). No file, no mark."""
    return os.path.isfile(path) and (not os.access(path, os.W_OK) or not os.stat(path).st_mode & stat.S_IWRITE)


def write_text(target, text):
    """Writes `text` to `target` (UTF-8, "\\n" line ends) in one step: into a new file beside it
    that then replaces it. A failure leaves `target` as it was and no new file behind."""
    temporary = f"{target}.{uuid.uuid4().hex[:12]}.tmp"
    try:
        with open(temporary, "x", encoding="utf-8", newline="\n") as f:
            f.write(text)
        os.replace(temporary, target)
    except BaseException:
        if os.path.exists(temporary):
            os.remove(temporary)
        raise
