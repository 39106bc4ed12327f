"""Console test support: sessions on piped input, simulator results written during a
session, and a workbook read back with its formats."""

import json
import random
import sys
import time
from pathlib import Path

import xlrd

TESTS = Path(__file__).resolve().parent


def read_back(path):
    """{sheet: rows of cells}, a cell as [type, value (a date as [y, m, d]), number format,
    font colour, bold, fill pattern, fill colour, horizontal and vertical alignment]."""
    book = xlrd.open_workbook(path, formatting_info=True)

    def cell(c):
        xf = book.xf_list[c.xf_index]
        font = book.font_list[xf.font_index]
        value = list(xlrd.xldate_as_tuple(c.value, 0)[:3]) if c.ctype == xlrd.XL_CELL_DATE else c.value
        return [c.ctype, value, book.format_map[xf.format_key].format_str, font.colour_index, font.bold,
                xf.background.fill_pattern, xf.background.pattern_colour_index,
                xf.alignment.hor_align, xf.alignment.vert_align]

    return {s.name: [[cell(c) for c in s.row(r)] for r in range(s.nrows)] for s in book.sheets()}


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


def session(sandbox, raw, stdin, setup="", cwd=None):
    """The console as the main program on piped input (in the working folder `cwd`, the
    sandbox's by default): its result and the workbook after it."""
    work = cwd or sandbox.work
    result = sandbox.run(SESSION.format(tests=str(TESTS), bench=str(TESTS.parent / "bench"), raw=str(raw), setup=setup),
                         stdin=stdin, cwd=work)
    return result, json.loads((work / "book.json").read_text())
