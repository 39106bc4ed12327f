"""Workbooks written by both tools, opened by a real spreadsheet program (LibreOffice,
headless): the seven sheets, the title rows, a picture's values, the colours and the dates as
an engineer sees them."""

import csv
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

import pytest
import xlrd

import make_examples
import xlwt_writes
from conftest import LIGHT_SOURCES, program_env, tag_text, write_result
from test_workbook_creation import FULL, REDUCED

pytestmark = pytest.mark.libreoffice

VALUES = {
    "AWB_TAG_CCT": 5123,
    "AWB_TAG_ALGO_SCENE_LV": 98,
    "AWB_TAG_P_T": 3,
    "AWB_TAG_P_D": 87,
    "AWB_TAG_P_DF": 10,
    "AWB_TAG_DATE": 20261201,
    "AWB_TAG_WEIGHT_D": 7,
    "AWB_TAG_WEIGHT_T": 41,
    "AWB_TAG_DAYLIGHT_PROB_D": 90,
    "AWB_TAG_STA_GAIN_G_D": 256,
    "AWB_TAG_GAIN_R": 512,
}
YELLOW, GREEN, RED = "#FFFF00", "#00FF00", "#FF0000"
CSV = "csv:Text - txt - csv (StarCalc):44,34,UTF8,1,,0,false,true,true,false,false,-1"


def open_in_spreadsheet(workbook, out, html=True):
    """Every sheet as the program shows it (formatted text), and the cells' colours (if `html`)."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        pytest.fail("LibreOffice (soffice) is missing: scripts/test.sh installs libreoffice-calc-nogui")
    profile = (out / "profile").as_uri()
    for target in [CSV, "html"][: 1 + html]:
        subprocess.run(
            [
                soffice,
                "--headless",
                "--norestore",
                f"-env:UserInstallation={profile}",
                "--convert-to",
                target,
                "--outdir",
                str(out),
                str(workbook),
            ],
            check=True,
            capture_output=True,
            env=program_env(),
            timeout=180,
        )
    stem = workbook.stem
    sheets = {}
    for path in out.glob(f"{stem}-*.csv"):
        with open(path, encoding="utf-8", newline="") as f:
            sheets[path.stem[len(stem) + 1 :]] = list(csv.reader(f))
    html = html and (out / f"{stem}.html").read_text(encoding="utf-8", errors="replace")
    return sheets, html


def check_shown(workbook, sheets, console=None):
    """The program shows the cells xlrd reads (numbers as written, dates as YYYYMMDD), and the
    file is xlwt's for the writes of the tool that made it (the console's or the batch's)."""
    book = xlrd.open_workbook(workbook, formatting_info=True)

    def text(c):
        if c.ctype == xlrd.XL_CELL_DATE:
            return xlrd.xldate_as_datetime(c.value, book.datemode).strftime("%Y%m%d")
        return f"{c.value:.15g}" if c.ctype == xlrd.XL_CELL_NUMBER else c.value

    assert sheets == {s.name: [list(map(text, s.row(r))) for r in range(s.nrows)] for s in book.sheets()}
    if console is not None:
        assert workbook.read_bytes() == xlwt_writes.replayed(workbook.read_bytes(), console)


def colours(html):
    """Per sheet, per row, the (fill, font colour, text) of each cell as the program shows it."""
    tables = re.findall(r"<table.*?</table>", html, re.S)
    shown = []
    for table in tables:
        rows = []
        for row in re.findall(r"<tr>(.*?)</tr>", table, re.S):
            cells = []
            for attrs, body in re.findall(r"<td([^>]*)>(.*?)</td>", row, re.S):
                fill = re.search(r'bgcolor="(#\w+)"', attrs)
                font = re.search(r'<font[^>]*color="(#\w+)"', body)
                cells.append((fill and fill.group(1), font and font.group(1), re.sub(r"<[^>]+>", "", body)))
            rows.append(cells)
        shown.append(rows)
    return shown


def check_layout(sheets, shown):
    assert sorted(sheets) == sorted(LIGHT_SOURCES) and len(shown) == 7
    for k, code in enumerate(LIGHT_SOURCES):
        titles = REDUCED if code in ("F", "CWF", "D", "DF") else FULL
        assert sheets[code][0] == titles
        assert {fill for fill, _, _ in shown[k][0]} == {YELLOW}  # the yellow title row


def console_workbook(sandbox):
    raw = sandbox.simulator()
    write_result(raw, "IMG_0001", VALUES, mtime=time.time() - 100)
    sandbox.capture_list(["IMG_0001.jpg:IMG_0001.raw:室外偏红"])
    lumvik = Path(sys.executable).with_name("lumvik")
    result = sandbox.command([str(lumvik)], stdin="q\n")
    assert "回写路径:" in result.stdout, result.stdout + result.stderr
    return sandbox.workbook


def batch_workbook(sandbox, more=0):
    """Two pictures, then `more` made as the examples are."""
    make_examples.write_batch(str(sandbox.work), make_examples.picture_names(more, 3), random.Random(more))
    made = (sandbox.work / "rawfilename.txt").read_text(encoding="utf-8").splitlines()
    sandbox.capture_list(["IMG_0001.jpg:IMG_0001.raw:室外偏红", "IMG_0002.jpg:IMG_0002.raw:正常", *made], sandbox.work)
    sandbox.dump("IMG_0001.jpg", tag_text(VALUES))
    result = sandbox.command([str(Path(sys.executable).with_name("tavrin"))])
    assert "数据处理完成" in result.stdout, result.stdout + result.stderr
    return next(sandbox.work.glob("Corvane*.xls"))


def test_console_workbook_in_a_spreadsheet_program(sandbox):
    workbook = console_workbook(sandbox)
    sheets, html = open_in_spreadsheet(workbook, sandbox.root)
    shown = colours(html)
    check_layout(sheets, shown)
    check_shown(workbook, sheets, console=True)
    today = time.strftime("%Y%m%d")
    t, d = sheets["T"][1], sheets["D"][1]
    assert t[:10] == ["IMG_0001.jpg", "5123", "98", "3", "0", "0", "0", "87", "10", "0"]
    assert t[20:] == ["41", "", today, "", "室外偏红"]  # P2, the date as YYYYMMDD, the note
    assert d[10] == "90" and d[12:] == ["", today, "", "室外偏红"]
    # green rows; red font on the "D" probability, the sheet's own probability and the note
    t_cells, d_cells = shown[0][1], shown[4][1]
    assert {fill for fill, _, _ in t_cells} == {GREEN}
    assert [i for i, (_, font, _) in enumerate(t_cells) if font == RED] == [3, 7, 24]
    assert [i for i, (_, font, _) in enumerate(d_cells) if font == RED] == [7, 15]


def test_batch_workbook_of_1000_pictures_in_a_spreadsheet_program(sandbox):
    workbook = batch_workbook(sandbox, 998)
    sheets, html = open_in_spreadsheet(workbook, sandbox.root)
    shown = colours(html)
    check_layout(sheets, shown)
    check_shown(workbook, sheets, console=False)
    assert {len(rows) for rows in sheets.values()} == {1001}
    first, second = sheets["D"][1], sheets["D"][2]
    assert first == [
        "IMG_0001.jpg IMG_0001.raw",
        "5123",
        "98",
        "3",
        "0",
        "0",
        "0",
        "87",
        "10",
        "0",
        "90",
        "0",
        "",
        "20261201",
        "",
        "室外偏红",
    ]
    assert second[0] == "IMG_0002.jpg IMG_0002.raw" and second[13] == "0"  # no dump: zeros
    assert sheets["T"][1][20] == "41" and sheets["T"][1][22] == "20261201"
    s_cells = shown[6][1]
    assert [i for i, (_, font, _) in enumerate(s_cells) if font == RED] == [7, 9, 22, 24]
    assert all(fill is None for fill, _, _ in s_cells)


@pytest.mark.slow
def test_a_batch_workbook_at_the_row_limit_in_a_spreadsheet_program(tmp_path):
    """The writer's batch workbook of 65,535 pictures (the tool itself is slow to fill one)."""
    pictures = xlwt_writes.pictures(65535)
    data = xlwt_writes.batch_run(pictures, checkpoint=16384, model=True)[-1]
    assert data == xlwt_writes.batch_run(pictures, checkpoint=16384)[-1]
    (tmp_path / "full.xls").write_bytes(data)
    sheets, _ = open_in_spreadsheet(tmp_path / "full.xls", tmp_path, html=False)  # a page too big
    check_shown(tmp_path / "full.xls", sheets)
    assert len(sheets["S"]) == 65536
