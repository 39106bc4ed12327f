"""Files as the Python side writes them: whole or not at all, and never one the user marked
read-only."""

import os

from awb_desk import _tables as tables


def is_read_only(path):
    """Whether the plain file at `path` is marked read-only for this user (or for everyone: the
    administrator, who could write it all the same, leaves it alone too). No file, no mark."""
    try:
        mode = os.stat(path).st_mode
    except (OSError, ValueError):
        return False
    return tables.is_plain_file(mode) and (not os.access(path, os.W_OK) or tables.marked_read_only(mode))


def write_whole(target, parts):
    """Writes the bytes of `parts` one after the other to `target` in one step: into a new file
    beside it that then replaces it. A failure leaves `target` as it was and no new file behind."""
    temporary = f"{target}.{os.urandom(6).hex()}.tmp"  # a name no other writer picks
    try:
        with open(temporary, "xb") as f:
            f.writelines(parts)
        os.replace(temporary, target)
    except BaseException:
        if os.path.exists(temporary):
            os.remove(temporary)
        raise
