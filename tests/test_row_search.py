"""Real-world picture names through the console's row search and its issue notes: burst
frames, prefixed names, upper-case extensions, names beginning with "_" or "."."""

import pytest

from conftest import Sandbox, tag_text

CAPTURE_LIST = ["IMG_20261208_092039.jpg:IMG_20261208_092039.raw:偏红",
                "IMG_20261208_092039_1.jpg : IMG_20261208_092039_1.raw : 偏蓝",
                "P001_X.jpg:P001_X.raw:室外",
                "DSC_0000.JPG:DSC_0000.raw:偏绿",
                "DSC_0001.JPG:DSC_0001.raw:偏黄",
                "_Y.jpg:_Y.raw:阴天",
                ".Z.jpg:.Z.raw:夜景"]

# picture, column 0 of the picture rows, the row it gets, its name afterwards, its note
CASES = {
    "burst-frame": ("IMG_20261208_092039_1.jpg", ["IMG_20261208_092039.jpg", "IMG_20261208_092039_1.jpg"],
                    2, "IMG_20261208_092039_1.jpg", "偏蓝"),
    "frame-beside-its-burst": ("IMG_20261208_092039.jpg", ["IMG_20261208_092039_1.jpg"],
                               2, "IMG_20261208_092039.jpg", "偏红"),
    "prefixed-cell": ("X.jpg", ["W.jpg", "P001_X.jpg"], 2, "P001_X.jpg", "室外"),
    "own-name-before-prefixed": ("X.jpg", ["P001_X.jpg", "X.jpg"], 2, "X.jpg", "室外"),
    "name-without-extension": ("X.jpg", ["X_2.jpg", "X"], 2, "X", "室外"),
    "batch-cell": ("X.jpg", ["X.jpg X.raw"], 1, "X.jpg X.raw", "室外"),
    "upper-case-extension": ("DSC_0001.jpg", ["DSC_0000.JPG", "DSC_0001.JPG"], 2, "DSC_0001.JPG", "偏黄"),
    "leading-underscore": ("_Y.jpg", ["_Y_2.jpg", "_Y.jpg"], 2, "_Y.jpg", "阴天"),
    "leading-dot": (".Z.jpg", ["Z.jpg", ".Z.jpg"], 2, ".Z.jpg", "夜景"),
    "not-listed": ("IMG_20261209_000001.jpg", ["IMG_20261208_092039.jpg"], 2, "IMG_20261209_000001.jpg", "偏红"),
}

SEARCH = """
import io, os, sys, contextlib, xlwt, Lumvik
cases = {cases!r}
out = {{}}
os.makedirs(os.path.dirname(Lumvik.Excle_File))
for case, (picture, names) in cases.items():
    Lumvik.Excle_File = os.path.join(os.path.dirname(Lumvik.Excle_File), case + ".xls")
    book = xlwt.Workbook()
    for code in ("T", "WF", "F", "CWF", "D", "DF", "S"):
        sheet = book.add_sheet(code)
        for i, name in enumerate(["File Name", *names]):
            sheet.write(i, 0, name)
    book.save(Lumvik.Excle_File)
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        note = Lumvik.Pic_Issues_Raw(picture)
        Lumvik.fp, Lumvik.Target_Awb_Target_Pic = open({text!r}), picture
        Lumvik.Create_Lumvik_DATA()
    out[case] = [Lumvik.insert_row_num, Lumvik.Target_Awb_Target_Pic, note]
report(out)
"""


@pytest.fixture(scope="module")
def searched(tmp_path_factory):
    """All cases in one console process: {case: [row, name afterwards, note]}."""
    box = Sandbox(tmp_path_factory.mktemp("names"))
    text = box.simulator() / "Results" / "x_awb_dbg_info.txt"
    text.write_text(tag_text({"AWB_TAG_CCT": 4321}), encoding="utf-8")
    box.capture_list(CAPTURE_LIST)
    cases = {case: (picture, names) for case, (picture, names, *_) in CASES.items()}
    result = box.run(SEARCH.format(cases=cases, text=str(text)))
    assert result.returncode == 0, result.stderr + (box.log or "")
    return result.json()


@pytest.mark.parametrize("case", CASES)
def test_picture_row_and_issue_note(searched, case):
    _, _, row, name, note = CASES[case]
    assert searched[case] == [row, name, note]
