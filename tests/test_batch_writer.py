"""The batch row writer Create_DP_Log_DATA: cells, styles and rows as read back from the file."""

import random

import pytest

import make_examples
from conftest import LIGHT_SOURCES, workbook_cells

RED = 10  # xlwt's "red" in the standard palette
VALUES = make_examples.tag_values(random.Random(4), 4)
HELPERS = """
import xlrd, xlwt, Tavrin as T
from xlutils.copy import copy
def put_names(names_by_sheet):  # column 0 written by another program
    book = copy(xlrd.open_workbook(T.Excle_File, formatting_info=True))
    for k, names in names_by_sheet.items():
        for row, name in names.items():
            book.get_sheet(k).write(row, 0, name)
    book.save(T.Excle_File)
def rows_of(name):
    from read_workbook import read_workbook
    return [[r for r, row in enumerate(rows) if row and row[0].value == name]
            for rows in read_workbook(T.Excle_File, formats=False).values()]
T.Target_Awb_Target_Pic = "a.jpg.exif"
"""


@pytest.fixture
def work(sandbox):
    sandbox.settings()
    sandbox.dump("a.jpg", make_examples.debug_text(VALUES, random.Random(5)))
    return sandbox


def test_cells_and_styles_on_full_and_reduced_sheets(work):
    assert work.run('import Tavrin; Tavrin.Create_Excel("", "", "")').returncode == 0
    result = work.run(HELPERS + 'T.Create_DP_Log_DATA("a.jpg", "a.raw", "室外偏红"); report(T.Data_num)')
    assert result.json() == 21  # kept; "P2" is written all the same
    cells = workbook_cells(next(work.work.glob("Corvane*.xls")))
    for k, code in enumerate(LIGHT_SOURCES):
        row = {col: cell for (sheet, r, col), cell in cells.items() if sheet == code and r == 1}
        reduced = code in ("F", "CWF", "D", "DF")
        date, note = (13, 15) if reduced else (22, 24)
        assert sorted(row) == [*range(0, 12 if reduced else 21), date, note]
        assert {col for col, cell in row.items() if cell[2] == RED} == {7, k + 3, date, note}
        assert row[0][1:] == ("a.jpg a.raw", 0x7FFF, 0, 0, 2, 0)  # the default cell format
        assert all(cell[3:] == (0, 1, 1, 0) for col, cell in row.items() if col)  # not bold, left, centre
        assert (row[date][1], row[note][1], row[3][1]) == (VALUES["AWB_TAG_DATE"], "室外偏红", VALUES["AWB_TAG_P_T"])
        if not reduced:
            assert row[20][1] == VALUES[f"AWB_TAG_WEIGHT_{code}"]


@pytest.mark.parametrize(
    "start, rows",
    [
        # a sheet searched after the name was found keeps that row, even where the name is absent
        (
            'T.Create_Excel("", "", ""); put_names({0: {1: "x", 2: "y"}, 2: {1: "a.jpg.exif"}, 4: {1: "x", 2: "y"}, '
            '6: {1: "x", 2: "a.jpg.exif"}})',
            [3, 1, 1, 1, 1, 1, 2],
        ),
        # sheets without even a title row: the row after the last value column of the sheet before
        (
            'book = xlwt.Workbook()\nfor code in "T WF F CWF D DF S".split(): book.add_sheet(code)\n'
            "book.save(T.Excle_File)",
            [1, 21, 21, 12, 12, 12, 12],
        ),
    ],
)
def test_row_search(work, start, rows):
    result = work.run(HELPERS + start + '\nT.Create_DP_Log_DATA("a", "b", "")\nreport(rows_of("a b"))')
    assert result.json() == [[row] for row in rows]


def test_a_workbook_changed_by_another_program_is_read_afresh(work):
    result = work.run(
        HELPERS
        + """T.Create_Excel("", "", "")
T.Create_DP_Log_DATA("a", "1", "")
put_names({0: {2: "by hand"}})
open(T.Excle_File, "ab").write(bytes(100))  # saved by a program that pads it: no whole sectors
T.Create_DP_Log_DATA("a", "2", "")
real = T.Create_Data
def own(code):  # the caller's own record builder, which changes the file mid-picture
    if code == "WF":
        put_names({0: {5: "mid"}})
    real(code)
T.Create_Data = own
T.Create_DP_Log_DATA("a", "3", "")
report([rows_of("a 2"), rows_of("by hand")[0], [len(r) for r in rows_of("a 3")], rows_of("mid")[0]])"""
    )
    assert result.json() == [[[3]] + [[2]] * 6, [2], [1] * 7, [5]] and "WARNING" not in result.stdout
