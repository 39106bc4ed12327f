"""Real-world picture names through the console's row search and its issue notes. The rules'
examples (burst frames, prefixed names, upper-case extensions, names beginning with "_" or ".")
are the C++ unit tests' (tests/cpp/console_rules_test.cpp); this is their wiring: the row found,
the name it gives the picture, and the note."""

from conftest import tag_text

CAPTURE_LIST = [
    "IMG_20261208_092039.jpg:a.raw:偏红",
    "IMG_20261208_092039_1.jpg : b.raw : 偏蓝",
    "P001_X.jpg:c.raw:室外",
    "DSC_0000.JPG:d.raw:偏绿",
    "DSC_0001.JPG:e.raw:偏黄",
    "_Y.jpg:f.raw:阴天",
    ".Z.jpg:g.raw:夜景",
    "IMG_0001.jpg:img_0001.raw:室外偏红",  # the camera's names; the simulator's are lower case
    "IMG_0003.jpg:IMG_0003.raw:室内偏黄",
]
CASES = [  # picture, column 0 of the picture rows -> its row, its name afterwards, its note
    ("X.jpg", ["W.jpg", "P001_X.jpg"], 2, "P001_X.jpg", "室外"),
    ("IMG_20261208_092039.jpg", ["IMG_20261208_092039_1.jpg"], 2, "IMG_20261208_092039.jpg", "偏红"),
    ("img_0003.jpg", ["Img_0001.jpg", "IMG_0003.jpg"], 2, "IMG_0003.jpg", "室内偏黄"),  # one file on Windows
]
SEARCH = """
import os, xlwt, Lumvik
os.makedirs(os.path.dirname(Lumvik.Excle_File))
out = []
for n, (picture, names, *_) in enumerate({cases!r}):
    Lumvik.Excle_File = os.path.join(os.path.dirname(Lumvik.Excle_File), f"{{n}}.xls")
    book = xlwt.Workbook()
    for code in ("T", "WF", "F", "CWF", "D", "DF", "S"):
        sheet = book.add_sheet(code)
        for i, name in enumerate(["File Name", *names]):
            sheet.write(i, 0, name)
    book.save(Lumvik.Excle_File)
    Lumvik.fp, Lumvik.Target_Awb_Target_Pic = open({text!r}), picture
    note = Lumvik.Pic_Issues_Raw(picture)
    Lumvik.Create_Lumvik_DATA()
    out.append([picture, names, Lumvik.insert_row_num, Lumvik.Target_Awb_Target_Pic, note])
report(out)
"""


def test_picture_rows_and_issue_notes(sandbox):
    text = sandbox.simulator() / "Results" / "x_awb_dbg_info.txt"
    text.write_text(tag_text({"AWB_TAG_CCT": 4321}), encoding="utf-8")
    sandbox.capture_list(CAPTURE_LIST)
    result = sandbox.run(SEARCH.format(cases=CASES, text=str(text)))
    assert result.returncode == 0, result.stderr + (sandbox.log or "")
    assert [tuple(case) for case in result.json()] == CASES
