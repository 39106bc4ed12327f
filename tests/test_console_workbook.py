"""The rows the console writes: cells and styles read back with formatting, the same as the
plain per-sheet read-copy-save writer over several shows and sessions, and the row search."""

import datetime

import pytest

from conftest import Sandbox, tag_text
from console_support import session, simulate

GREEN = [1, 3, 1, 1]  # solid fill, colour 3, left, vertically centred
PLAIN, RED = [32767, 0], [10, 0]  # font colour, bold


def test_rows_as_the_per_sheet_writer_writes_them(tmp_path):
    sessions = [
        "!simulate(raw, 'P200', cct=3000)\n!simulate(raw, 'P100', '-mfll', 4100)\n!simulate(raw, 'P300')\nq\n",
        "!simulate(raw, 'P200', cct=3100)\nq\n",
    ]  # the second session reads the file afresh
    books = []
    per_sheet = (
        "from per_sheet_writer import create_lumvik_data\n"
        "Lumvik.Create_Lumvik_DATA = lambda: create_lumvik_data(Lumvik)"
    )
    for name, setup in (("ours", ""), ("per-sheet", per_sheet)):
        (tmp_path / name).mkdir()
        box = Sandbox(tmp_path / name)
        raw = box.simulator()
        box.capture_list(["P100.jpg:P100.raw:室外偏红", "P200.jpg:P200.raw:室内偏黄"])
        simulate(raw, "P100", cct=4000)
        for stdin in sessions:
            result, book = session(box, raw, stdin, setup)
            assert "操作失败" not in result.stdout, box.log
        books.append(book)
    assert books[0] == books[1]

    today = list(datetime.date.today().timetuple()[:3])
    assert [[row[0][1] for row in rows[1:]] for rows in books[0].values()] == [["P100.jpg", "P200.jpg", "P300.jpg"]] * 7
    t_row, d_row = books[0]["T"][2], books[0]["D"][2]
    assert t_row[:2] == [[1, "P200.jpg", "YYYYMMDD", *PLAIN, *GREEN], [2, 3100, "General", *PLAIN, *GREEN]]
    assert [c for c in range(1, 21) if t_row[c][3:5] == RED] == [3, 7]
    assert t_row[21:] == [
        [6, "", "YYYYMMDD", *PLAIN, *GREEN],
        [3, today, "YYYYMMDD", *PLAIN, *GREEN],
        [6, "", "YYYYMMDD", *PLAIN, *GREEN],
        [1, "室内偏黄", "General", *RED, *GREEN],
    ]
    assert len(d_row) == 16 and [c for c in range(1, 12) if d_row[c][3:5] == RED] == [7]
    assert d_row[12:] == t_row[21:]


@pytest.mark.parametrize(
    "names, picture, row, current",
    [
        (["IMG_12.jpg"], "IMG_1.jpg", 2, "IMG_1.jpg"),
        (["IMG_12.jpg", "IMG_1.jpg"], "IMG_1.jpg", 2, "IMG_1.jpg"),
        (["IMG_0001.jpg"], "1.jpg", 2, "1.jpg"),  # a short name is no match
        (["x.jpg"], ".jpg", 2, ".jpg"),  # nor is an empty one
        (["照片IMG_1.jpg"], "IMG_1.jpg", 2, "IMG_1.jpg"),  # a letter beyond ASCII
        (["旧-IMG_1.jpg RAW_1.raw"], "IMG_1.jpg", 1, "旧-IMG_1.jpg RAW_1.raw"),
        ([12345], "12345.jpg", 1, "12345.0"),  # a number: its text form
    ],
)
def test_row_search(sandbox, names, picture, row, current):
    text = sandbox.simulator() / "Results" / "x_awb_dbg_info.txt"
    text.write_text(tag_text({"AWB_TAG_CCT": 4321}), encoding="utf-8")
    result = sandbox.run(f"""
        import os, xlwt, xlrd, Lumvik
        book = xlwt.Workbook()
        for code in ("T", "WF", "F", "CWF", "D", "DF", "S"):
            sheet = book.add_sheet(code, cell_overwrite_ok=True)
            for i, name in enumerate(["File Name", *{names!r}]):
                sheet.write(i, 0, name)
        os.makedirs(os.path.dirname(Lumvik.Excle_File))
        book.save(Lumvik.Excle_File)
        Lumvik.fp, Lumvik.Target_Awb_Target_Pic = open({str(text)!r}), {picture!r}
        Lumvik.Create_Lumvik_DATA()
        from read_workbook import read_workbook
        sheet = read_workbook(Lumvik.Excle_File, formats=False)["S"]
        report([Lumvik.insert_row_num, Lumvik.Target_Awb_Target_Pic, sheet[Lumvik.insert_row_num][1].value])
    """)
    assert result.json() == [row, current, 4321], sandbox.log
