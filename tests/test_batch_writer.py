"""The batch row writer Create_DP_Log_DATA: cells, styles and rows as read back from the file."""

import random

import make_examples
import pytest
from conftest import LIGHT_SOURCES, tag_text, workbook_cells

RED = 10  # xlwt's "red" in the standard palette

# The writer as first built: every sheet a complete read, copy and save of the file. The
# workbook it leaves is the one the row writer must leave.
CYCLE = r'''
import xlrd, xlwt, Tavrin as T
from xlutils.copy import copy

def cycle_writer(jpg, rawpic, issues):
    i, is_add, Data_num_org = 0, 1, T.Data_num
    for k, code in enumerate(["T", "WF", "F", "CWF", "D", "DF", "S"]):
        except_lowlight, Data_num = 0, Data_num_org
        table = xlrd.open_workbook(T.Excle_File).sheets()[k]
        alignment = xlwt.Alignment()
        alignment.horz, alignment.vert = xlwt.Alignment.HORZ_LEFT, xlwt.Alignment.VERT_CENTER
        font = xlwt.Font(); font.colour_index = 0
        style = xlwt.XFStyle(); style.alignment = alignment; style.font = font
        style1 = xlwt.easyxf("font: bold 0, color red;"); style1.alignment = alignment
        for i in range(1, table.nrows):
            if table.row_values(i)[0] == T.Target_Awb_Target_Pic:
                T.insert_row_num, is_add = i, 0
                break
        if is_add == 1:
            T.insert_row_num = table.nrows
        T.Create_Data(code)
        new_excel = copy(xlrd.open_workbook(T.Excle_File, formatting_info=True))
        ws = new_excel.get_sheet(k)
        if T.insert_row_num == 0:
            T.insert_row_num = i + 1
        if code in ("F", "CWF", "D", "DF"):
            Data_num, except_lowlight = 13, 1
        for i in range(1, Data_num - 1):
            red = i == 7 or i == k + 3
            ws.write(T.insert_row_num, i, int(T.AWB_TAG_DATA_List[i - 1]), style1 if red else style)
            ws.write(T.insert_row_num, 0, jpg + " " + rawpic)
        ws.write(T.insert_row_num, 15 if except_lowlight else 24, issues, style1)
        DATE = int(str(T.AWB_TAG_DATA_List[20]).replace("\r", "").replace("\n", "").replace(" ", ""))
        ws.write(T.insert_row_num, 13 if except_lowlight else 22, DATE, style1)
        new_excel.save(T.Excle_File)

def put_names(names_by_sheet):   # column 0 written by another program
    book = copy(xlrd.open_workbook(T.Excle_File, formatting_info=True))
    for k, names in names_by_sheet.items():
        for row, name in names.items():
            book.get_sheet(k).write(row, 0, name)
    book.save(T.Excle_File)

def bare_workbook():             # seven sheets without even a title row
    book = xlwt.Workbook()
    for code in ["T", "WF", "F", "CWF", "D", "DF", "S"]:
        book.add_sheet(code)
    book.save(T.Excle_File)
'''

PICTURES = [("a.jpg.exif", "a.jpg", "a.raw", "室外偏红"), ("b.jpg.exif", "b.jpg", "", ""),
            ("c.jpg.exif", "c.jpg", "c.raw", "偏绿")]
STARTS = {
    "fresh": 'T.Create_Excel("", "", "")',
    # the third picture's dump name stands in column 0 of sheet "F" and, lower, of "S"
    "found": 'T.Create_Excel("", "", ""); put_names({0: {1: "x", 2: "y"}, 2: {1: "c.jpg.exif"}, '
             '4: {1: "x", 2: "y", 3: "z"}, 6: {1: "x", 2: "c.jpg.exif"}})',
    "bare": "bare_workbook(); T.Data_num = 22",  # as Create_Excel leaves it
}


def dumps(sandbox):
    sandbox.dump("a.jpg", make_examples.debug_text(make_examples.tag_values(random.Random(4), 4),
                                                   random.Random(5)))
    sandbox.dump("c.jpg", tag_text({"AWB_TAG_CCT": 4100, "AWB_TAG_P_D": -3, "AWB_TAG_DATE": 20261208},
                                   extra=["AWB_TAG_WEIGHT_S:\t7"]))


@pytest.mark.parametrize("start", STARTS)
def test_rows_cells_and_styles_match_the_per_sheet_cycle(sandbox, start):
    sandbox.settings()
    dumps(sandbox)
    result = sandbox.run(CYCLE + f"""
for name, writer in (("cycle.xls", cycle_writer), ("ours.xls", T.Create_DP_Log_DATA)):
    T.Excle_File = name
    {STARTS[start]}
    for target, jpg, rawpic, issues in {PICTURES!r}:
        T.Target_Awb_Target_Pic, T.exif_file_flage = target, 0
        writer(jpg, rawpic, issues)
    report(T.Data_num)
""")
    assert result.returncode == 0, result.stderr
    ours = workbook_cells(sandbox.work / "ours.xls")
    assert ours == workbook_cells(sandbox.work / "cycle.xls")
    assert len({key[:2] for key in ours}) >= 7 * 3  # every picture has its rows


def test_fresh_rows_styles_and_p2_without_create_excel_in_process(sandbox):
    sandbox.settings()
    dumps(sandbox)
    assert sandbox.run('import Tavrin; Tavrin.Create_Excel("", "", "")').returncode == 0
    result = sandbox.run("""
import Tavrin as T, xlrd
T.Target_Awb_Target_Pic = "a.jpg.exif"
T.Create_DP_Log_DATA("a.jpg", "a.raw", "室外偏红")
saved = xlrd.open_workbook(T.Excle_File).sheets()[0].nrows
report([T.Data_num, saved])
""")
    assert result.json() == [21, 2]  # Data_num kept at its load-time value; saved on return
    cells = workbook_cells(next(sandbox.work.glob("Corvane*.xls")))
    values = make_examples.tag_values(random.Random(4), 4)
    for k, code in enumerate(LIGHT_SOURCES):
        row = {col: cell for (sheet, r, col), cell in cells.items() if sheet == code and r == 1}
        reduced = code in ("F", "CWF", "D", "DF")
        date, note = (13, 15) if reduced else (22, 24)
        assert sorted(row) == [*range(0, 12 if reduced else 21), date, note]
        assert {col for col, cell in row.items() if cell[2] == RED} == {7, k + 3, date, note}
        assert row[0][1:] == ("a.jpg a.raw", 0x7FFF, 0, 0, 2, 0)  # default cell format
        assert all(cell[3:] == (0, 1, 1, 0) for col, cell in row.items() if col)  # not bold, left, centre
        assert row[date][1] == values["AWB_TAG_DATE"] and row[note][1] == "室外偏红"
        if not reduced:
            assert row[20][1] == values[f"AWB_TAG_WEIGHT_{code}"]  # "P2"


def test_a_workbook_changed_by_another_program_is_read_afresh(sandbox):
    sandbox.settings()
    dumps(sandbox)
    result = sandbox.run(CYCLE + """
T.Create_Excel("", "", "")
T.Target_Awb_Target_Pic = "a.jpg.exif"
T.Create_DP_Log_DATA("a.jpg", "a.raw", "")
put_names({0: {2: "added by hand"}})
T.Create_DP_Log_DATA("a.jpg", "again", "")
book = xlrd.open_workbook(T.Excle_File)
report([[s.cell_value(r, 0) for r in range(1, s.nrows)] for s in book.sheets()[:2]])
""")
    assert result.json() == [["a.jpg a.raw", "added by hand", "a.jpg again"], ["a.jpg a.raw", "a.jpg again"]]
