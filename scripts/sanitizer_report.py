"""Reads the sanitizer logs of a test run and fails on anything that is the modules' own: any
memory error or undefined behaviour, and any leak whose allocation passes through them."""

import re
import sys
from pathlib import Path

OURS = re.compile(r"Lumvik\.cpython|Tavrin\.cpython|/(core|console|batch)/[\w/]+\.(cpp|hpp)")


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
        print(f"---- {log.name}\n{finding}\n")
    print(f"sanitizer logs: {len(logs)} read, {len(bad)} findings of the modules' own")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
