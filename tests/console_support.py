"""Support for the console tests and benchmark: console sessions on piped input, simulator
results written during a session, a workbook read back cell by cell with its formats, and
the workbook rows written the plain, slow way as a yardstick (for every sheet a fresh read
of the file, a writable copy, the row written with newly made styles, and a save)."""

import datetime
import json
import random
import sys
import time
from pathlib import Path

import xlrd
import xlwt
from xlutils.copy import copy

LIGHT_SOURCES = ("T", "WF", "F", "CWF", "D", "DF", "S")
REDUCED = ("F", "CWF", "D", "DF")


def name_in_cell(cell, name):
    """The name stands in the cell with no letter or digit right before or after it."""
    start = cell.find(name) if name else -1
    while start >= 0:
        end = start + len(name)
        if not (start and cell[start - 1].isalnum()) and not (end < len(cell) and cell[end].isalnum()):
            return True
        start = cell.find(name, start + 1)
    return False


def row_styles():
    pattern = xlwt.Pattern()
    pattern.pattern, pattern.pattern_fore_colour = xlwt.Pattern.SOLID_PATTERN, 3
    alignment = xlwt.Alignment()
    alignment.horz, alignment.vert = xlwt.Alignment.HORZ_LEFT, xlwt.Alignment.VERT_CENTER
    style, red = xlwt.XFStyle(), xlwt.easyxf("font: bold 0, color red;")
    for s in (style, red):
        s.pattern, s.alignment = pattern, alignment
    return style, red


def write_row(ws, k, row, name, record, issues, now, style, red):
    """One picture row of sheet k; `style` is left with the "YYYYMMDD" format."""
    values = 11 if LIGHT_SOURCES[k] in REDUCED else 20
    for c in range(1, values + 1):
        ws.write(row, c, int(record[c - 1]), red if c in (7, k + 3) else style)
    style.num_format_str = "YYYYMMDD"
    ws.write(row, 0, name, style)
    for offset, value in enumerate(("", now, "")):
        ws.write(row, values + 1 + offset, value, style)
    ws.write(row, values + 4, issues, red)


def create_lumvik_data(lumvik):
    """Create_Lumvik_DATA of the loaded module `lumvik`, one cycle per sheet (no summary)."""
    issues = lumvik.Pic_Issues_Raw(lumvik.Target_Awb_Target_Pic)
    lumvik.insert_row_num = 0
    for k, code in enumerate(LIGHT_SOURCES):
        sheet = xlrd.open_workbook(lumvik.Excle_File).sheets()[k]
        for i in range(1, sheet.nrows):
            if "-mfll" in lumvik.Target_Awb_Target_Pic:
                lumvik.Target_Awb_Target_Pic = lumvik.Target_Awb_Target_Pic.split("-mfll")[0] + ".jpg"
            cell = str(sheet.row_values(i)[0])
            if name_in_cell(cell, lumvik.Target_Awb_Target_Pic[:-4]):
                lumvik.Target_Awb_Target_Pic, lumvik.insert_row_num = cell, i
                break
        else:
            if lumvik.insert_row_num == 0:
                lumvik.insert_row_num = sheet.nrows
        lumvik.Create_Data(code)
        book = copy(xlrd.open_workbook(lumvik.Excle_File, formatting_info=True))
        write_row(book.get_sheet(k), k, lumvik.insert_row_num, lumvik.Target_Awb_Target_Pic,
                  lumvik.AWB_TAG_DATA_List, issues, datetime.datetime.now(), *row_styles())
        book.save(lumvik.Excle_File)


def read_back(path):
    """{sheet: rows}, each cell as (type, value, number format, font colour, bold, fill
    pattern, fill colour, horizontal, vertical alignment); date values as (year, month, day)."""
    book = xlrd.open_workbook(path, formatting_info=True)
    sheets = {}
    for sheet in book.sheets():
        rows = []
        for r in range(sheet.nrows):
            row = []
            for cell in sheet.row(r):
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                value = cell.value
                if cell.ctype == xlrd.XL_CELL_DATE:
                    value = xlrd.xldate_as_tuple(value, book.datemode)[:3]
                row.append((cell.ctype, value,
                            book.format_map[xf.format_key].format_str, font.colour_index,
                            font.bold, xf.background.fill_pattern,
                            xf.background.pattern_colour_index, xf.alignment.hor_align,
                            xf.alignment.vert_align))
            rows.append(row)
        sheets[sheet.name] = rows
    return sheets


# ---- console sessions ----

TESTS = Path(__file__).resolve().parent


def values(cct=5000, seed=1, **tags):
    """Every tag of a realistic debug text, with the colour temperature and `tags` given."""
    sys.path.insert(0, str(TESTS.parent / "examples"))
    import make_examples

    result = make_examples.tag_values(random.Random(seed), seed)
    result.update(AWB_TAG_CCT=cct, **tags)
    return result


def simulate(raw, stem, marker="-main", **tags):
    """The simulator writes the result of picture `stem`, newer than every earlier one."""
    from conftest import write_result

    newest = max((p.stat().st_mtime for p in Path(raw, "Results").iterdir()), default=0)
    return write_result(raw, stem, values(**tags), marker=marker, mtime=max(newest, time.time()) + 10)


SESSION = """
import builtins, os, sys
sys.path.insert(0, {tests!r})
from console_support import *
import Lumvik
raw = {raw!r}

def scripted(prompt):
    line = builtins.input(prompt)
    if line.startswith("!"):  # runs in the console process, then counts as an Enter
        exec(line[1:], globals())
        return ""
    return line

Lumvik.input = scripted
{setup}
Lumvik._run_console()
try:
    book = read_back(Lumvik.Excle_File)
except Exception:  # none, or none that can be read
    book = None
with open("book.json", "w", encoding="utf-8") as f:
    json.dump(book, f)
"""


def session(sandbox, raw, stdin, setup=""):
    """The console as the main program on piped input: its result, and the workbook read back
    after it (None when there is none that can be read)."""
    result = sandbox.run(SESSION.format(tests=str(TESTS), raw=str(raw), setup=setup), stdin=stdin)
    saved = sandbox.work / "book.json"
    return result, json.loads(saved.read_text(encoding="utf-8")) if saved.exists() else None
