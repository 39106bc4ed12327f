"""Console test support: sessions on piped input, simulator results written during a
session, and a workbook read back with its formats."""

import json
import random
import sys
import time
from pathlib import Path

import xlrd

from read_workbook import date_of, read_workbook

TESTS = Path(__file__).resolve().parent


def read_back(path):
    """{sheet: rows of cells}, a cell as [type, value (a date as [y, m, d]), number format,
    font colour, bold, fill pattern, fill colour, horizontal and vertical alignment]."""
    return {
        name: [
            [[c.type, date_of(c.value) if c.type == xlrd.XL_CELL_DATE else c.value, *c[2:]] for c in row]
            for row in rows
        ]
        for name, rows in read_workbook(path).items()
    }


def simulate(raw, stem, marker="-main", cct=5000, **tags):
    """The simulator writes picture `stem`'s result (realistic tags), newer than the others."""
    sys.path.insert(0, str(TESTS.parent / "examples"))
    import make_examples
    from conftest import write_result

    values = {**make_examples.tag_values(random.Random(stem), 1), "AWB_TAG_CCT": cct, **tags}
    newest = max((p.stat().st_mtime for p in Path(raw, "Results").iterdir()), default=0)
    return write_result(raw, stem, values, marker=marker, mtime=max(newest, time.time()) + 10)


SESSION = """
import builtins, os, sys
sys.path[:0] = [{tests!r}, {bench!r}]
from console_support import *
import Lumvik
raw = {raw!r}

def scripted(prompt):  # "!code" runs here (the simulator writing, a file locked), then is an Enter
    line = builtins.input(prompt)
    return exec(line[1:], globals()) or "" if line.startswith("!") else line

Lumvik.input = scripted
{setup}
Lumvik._run_console()
try:
    book = read_back(Lumvik.Excle_File)
except Exception:
    book = None
json.dump(book, open("book.json", "w"))
"""


def console_code(raw, setup=""):
    """The console session's code for the simulator folder `raw`, `setup` run before it."""
    return SESSION.format(tests=str(TESTS), bench=str(TESTS.parent / "bench"), raw=str(raw), setup=setup)


def session(sandbox, raw, stdin, setup="", cwd=None):
    """The console as the main program on piped input (in the working folder `cwd`, the
    sandbox's by default): its result and the workbook after it."""
    work = cwd or sandbox.work
    result = sandbox.run(
        console_code(raw, setup),
        stdin=stdin,
        cwd=work,
    )
    return result, json.loads((work / "book.json").read_text())
