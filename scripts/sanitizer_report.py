"""Reads the sanitizer logs of a test run and fails on anything that is the modules' own: any
memory error or undefined behaviour, and any leak whose allocation passes through them. The
frames of what it reports are looked up in the modules' debug information (the logs hold
unsymbolized frames: "(<module>+0x<offset>)")."""

import re
import shutil
import subprocess
import sys
from pathlib import Path

OURS = re.compile(r"(Lumvik|Tavrin|_tables)\.cpython|/(core|console|batch)/[\w/]+\.(cpp|hpp)")
FRAME = re.compile(r"\((/[^()+]+)\+(0x[0-9a-f]+)\)")


def symbolized(text):
    """The text with each unsymbolized frame followed by its function and source line."""
    if not shutil.which("addr2line"):
        return text

    def look_up(match):
        module, offset = match.groups()
        try:
            found = subprocess.run(
                ["addr2line", "-f", "-C", "-e", module, offset], capture_output=True, text=True, timeout=60
            ).stdout.splitlines()
        except (OSError, subprocess.SubprocessError):
            return match.group(0)
        return f"{match.group(0)} in {found[0]} {found[1]}" if len(found) == 2 and found[0] != "??" else match.group(0)

    return FRAME.sub(look_up, text)


def reports(text):
    """The blocks of a log: one per error or leak, separated by blank lines."""
    return [block for block in re.split(r"\n\s*\n", text) if block.strip()]


def findings(log):
    text = log.read_text(errors="replace")
    found = []
    if "runtime error:" in text or re.search(r"ERROR: AddressSanitizer", text):
        found.append(text)
    for block in reports(text):
        if re.search(r"^(Direct|Indirect) leak", block, re.M) and OURS.search(block):
            found.append(block)
    return found


def main(folder):
    logs = sorted(Path(folder).glob("*"))
    bad = [(log, f) for log in logs for f in findings(log)]
    for log, finding in bad:
        print(f"---- {log.name}\n{symbolized(finding)}\n")
    print(f"sanitizer logs: {len(logs)} read, {len(bad)} findings of the modules' own")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
