"""Workbooks written by both tools, opened by a real spreadsheet program (LibreOffice,
headless): the seven sheets, the title rows, a picture's values, the colours and the dates as
an engineer sees them."""

import csv
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

import pytest

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


def open_in_spreadsheet(workbook, out):
    """Every sheet as the program shows it (formatted text), and the cells' colours."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        pytest.fail("LibreOffice (soffice) is missing: scripts/test.sh installs libreoffice-calc-nogui")
    profile = (out / "profile").as_uri()
    for target in ("csv:Text - txt - csv (StarCalc):44,34,UTF8,1,,0,false,true,true,false,false,-1", "html"):
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
    html = (out / f"{stem}.html").read_text(encoding="utf-8", errors="replace")
    return sheets, html


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


def batch_workbook(sandbox):
    sandbox.settings()
    sandbox.capture_list(["IMG_0001.jpg:IMG_0001.raw:室外偏红", "IMG_0002.jpg:IMG_0002.raw:正常"], folder=sandbox.work)
    sandbox.dump("IMG_0001.jpg", tag_text(VALUES))
    result = sandbox.command([str(Path(sys.executable).with_name("tavrin"))])
    assert "数据处理完成" in result.stdout, result.stdout + result.stderr
    return next(sandbox.work.glob("Corvane*.xls"))


def test_console_workbook_in_a_spreadsheet_program(sandbox):
    sheets, html = open_in_spreadsheet(console_workbook(sandbox), sandbox.root)
    shown = colours(html)
    check_layout(sheets, shown)
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


def test_batch_workbook_in_a_spreadsheet_program(sandbox):
    sheets, html = open_in_spreadsheet(batch_workbook(sandbox), sandbox.root)
    shown = colours(html)
    check_layout(sheets, shown)
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
