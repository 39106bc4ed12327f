"""Creating the analysis workbook in both modules, read back with xlrd formatting information."""

import pytest

from conftest import LIGHT_SOURCES

FULL = [
    "File Name",
    "CT",
    "LV",
    "T",
    "WF",
    "F",
    "CWF",
    "D",
    "DF",
    "S",
    "DAYLIGHT_PROB",
    "EQV_DAYLIGHT_PROB",
    "DAY_LOCUS_OFFSET",
    "GM_OFFSET",
    "GM_OFFSET_THR",
    "NEW_OFFSET",
    "OFFSET_RATIO",
    "RATIO_OFFSET",
    "IS_ABOVE",
    "LUT_OFFSET",
    "P2",
    "Color Egine",
    "Date",
    "修改",
    "问题描述",
]
REDUCED = FULL[:12] + FULL[21:]

READ_BACK = """
from read_workbook import read_workbook
def read_back(path):
    return [{"name": name, "rows": [[c.value for c in row] for row in rows],
             "title_styles": sorted({(c.fill, c.fill_colour, c.horizontal, c.vertical) for c in rows[0]}),
             "width0": rows.first_column_width} for name, rows in read_workbook(path).items()]
"""


def test_console_workbook_has_seven_sheets_titles_styles_and_the_picture_name(sandbox):
    sandbox.simulator()
    result = sandbox.run(
        "import Lumvik, os\n"
        + READ_BACK
        + """
Lumvik.insert_row_num = 1
Lumvik.Target_Awb_Target_Pic = "IMG7.jpg"
Lumvik.Create_Excel()
report([read_back(Lumvik.Excle_File), Lumvik.AWB_Title, Lumvik.Data_num,
        sorted(os.listdir(os.path.dirname(Lumvik.Excle_File)))])
"""
    )
    sheets, title_list, data_num, desktop = result.json()
    assert [s["name"] for s in sheets] == list(LIGHT_SOURCES)
    for sheet in sheets:
        titles = REDUCED if sheet["name"] in ("F", "CWF", "D", "DF") else FULL
        assert sheet["rows"] == [titles, ["IMG7.jpg"] + [""] * (len(titles) - 1)]
        assert sheet["title_styles"] == [[1, 5, 2, 1]]  # solid yellow, centred both ways
    assert title_list == FULL and data_num == 21
    # the missing Desktop folder was made, nothing left beside but the workbook's lock file
    assert desktop == ["Corvane.xls", "Corvane.xls.lock"]


@pytest.mark.parametrize(
    "row, name, first_rows",
    [
        (0, "IMG7.jpg", [["IMG7.jpg"] + FULL[1:]]),  # row 0 overwrites "File Name"
        (1, "", [FULL, [""] * 25]),  # an empty name leaves row 1 empty
        (3, "X.jpg", [FULL, [""] * 25, [""] * 25, ["X.jpg"] + [""] * 24]),
    ],
)
def test_console_prewrites_the_name_in_row_insert_row_num(sandbox, row, name, first_rows):
    sandbox.simulator()
    result = sandbox.run(
        "import Lumvik\n"
        + READ_BACK
        + f"""
Lumvik.insert_row_num = {row}
Lumvik.Target_Awb_Target_Pic = {name!r}
Lumvik.Create_Excel()
report(read_back(Lumvik.Excle_File)[0]["rows"])
"""
    )
    assert result.json() == first_rows


def test_batch_workbook_widens_column_0_sets_data_num_and_ignores_its_arguments(sandbox):
    sandbox.settings()
    result = sandbox.run(
        "import Tavrin, os\n"
        + READ_BACK
        + """
Tavrin.Data_num = 5
with open(Tavrin.Excle_File, "w") as f:
    f.write("an older file that is replaced")
Tavrin.Create_Excel("a.jpg", "a.raw", issues="x")
first = read_back(Tavrin.Excle_File)
Tavrin.Create_Excel(jpg=1, rawpic=2, issues=3)
report([first, read_back(Tavrin.Excle_File) == first, Tavrin.Data_num, Tavrin.AWB_Title,
        sorted(f for f in os.listdir(".") if f.endswith(".tmp"))])
"""
    )
    sheets, same, data_num, title_list, leftovers = result.json()
    assert [s["name"] for s in sheets] == list(LIGHT_SOURCES)
    for sheet in sheets:
        titles = REDUCED if sheet["name"] in ("F", "CWF", "D", "DF") else FULL
        assert sheet["rows"] == [titles] and sheet["width0"] == 3840
        assert sheet["title_styles"] == [[1, 5, 2, 1]]
    assert same and data_num == 22 and title_list == FULL and leftovers == []


@pytest.mark.parametrize("module", ["Lumvik", "Tavrin"])
def test_a_failing_save_leaves_no_file_and_raises(sandbox, module):
    if module == "Lumvik":
        sandbox.simulator()
        (sandbox.home / "Desktop").write_text("a file where the folder should be")
    else:
        sandbox.settings()
    result = sandbox.run(f"""
import {module} as m, os
if m.__name__ == "Tavrin":
    m.Excle_File = "no/such/folder/\\0bad.xls"
try:
    m.Create_Excel() if m.__name__ == "Lumvik" else m.Create_Excel("", "", "")
except Exception as exc:
    report(type(exc).__name__)
""")
    assert result.json() in ("FileExistsError", "NotADirectoryError", "ValueError")


def test_saving_over_a_read_only_workbook_is_refused(sandbox):
    sandbox.settings()
    result = sandbox.run("""
import Tavrin, os
Tavrin.Create_Excel("", "", "")
os.chmod(Tavrin.Excle_File, 0o444)
try:
    Tavrin.Create_Excel("", "", "")
except PermissionError:
    report("PermissionError")
""")
    assert result.json() == "PermissionError"


def test_a_save_removes_what_saves_cut_short_long_ago_left_behind(sandbox):
    sandbox.settings()
    result = sandbox.run("""
import Tavrin, os, time
old = time.time() - 3600
for name in (Tavrin.Excle_File + ".4242.tmp", Tavrin.Excle_File + ".77.tmp", "other.xls.1.tmp",
             Tavrin.Excle_File + ".x.tmp"):
    open(name, "w").close()
    os.utime(name, (old, old))
open(Tavrin.Excle_File + ".4343.tmp", "w").close()   # a save still in progress elsewhere
Tavrin.Create_Excel("", "", "")
report(sorted(os.listdir(".")))
""")
    today = result.json()[0]
    assert result.json() == [
        today,
        today + ".4343.tmp",
        today + ".lock",
        today + ".x.tmp",
        "global_values.py",
        "other.xls.1.tmp",
    ]
