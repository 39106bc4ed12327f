"""The HTML report of a workbook: written by `tavrin` after a batch and by `awb-report`, opened
offline in a real browser (Chromium, headless), and refused in one line for bad input."""

import json
import os
import random
import shutil
import subprocess
import sys
import time
from html.parser import HTMLParser
from pathlib import Path

import pytest
import xlwt

import make_examples
from conftest import LIGHT_SOURCES, program_env
from read_workbook import read_workbook
from test_spreadsheet_program import console_workbook

BIN = Path(sys.executable).parent
FAILED = "报告生成失败: "


def browse(page, out, *args):
    """Chromium, headless and with no network, on the page; its standard output."""
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if browser is None:
        pytest.fail("Chromium is missing: scripts/test.sh installs chromium")
    return subprocess.run(
        [
            browser,
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            f"--user-data-dir={out / 'chromium'}",
            "--proxy-server=127.0.0.1:9",
            "--proxy-bypass-list=<-loopback>",
            "--virtual-time-budget=10000",
            *args,
            page.as_uri(),
        ],
        capture_output=True,
        text=True,
        timeout=180,
        env=program_env(),
        check=True,
    ).stdout


class Rendered(HTMLParser):
    """What a page holds: the rendered SVG points inside plotly's scatter layers, and whatever
    its tags would load from elsewhere."""

    def __init__(self, page):
        super().__init__()
        self.stack, self.points, self.loads = [], 0, []
        self.feed(page)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        classes = (attrs.get("class") or "").split()
        inside = "scatterlayer" in classes or bool(self.stack and self.stack[-1])
        self.points += inside and "point" in classes
        self.loads += [attrs[a] for a in ("src", "href") if tag in ("script", "link", "img") and attrs.get(a)]
        if tag not in ("meta", "br", "img", "input", "link", "hr"):
            self.stack.append(inside)

    def handle_endtag(self, tag):
        if self.stack:
            self.stack.pop()


def figure(page_text, div_id):
    """The traces and the layout of a figure of the page, decoded from plotly's own data."""
    key = f'"{div_id}",'
    start = page_text.index(key, page_text.index("Plotly.newPlot(")) + len(key)
    start += len(page_text[start : start + 200]) - len(page_text[start : start + 200].lstrip())
    decoder = json.JSONDecoder()
    traces, end = decoder.raw_decode(page_text, start)
    layout, _ = decoder.raw_decode(page_text, page_text.index("{", end))
    return traces, layout


def scatter_data(page_text):
    """(name, CT, LV) of every point of the CT-LV figure, from the figure's own data."""
    traces, _ = figure(page_text, "ct-lv")
    return sorted((text.split("<br>")[0], x, y) for t in traces for x, y, text in zip(t["x"], t["y"], t["text"]))


def pictures(workbook):
    return sorted(tuple(c.value for c in row[:3]) for row in read_workbook(workbook, formats=False)["T"][1:])


@pytest.mark.chromium
def test_batch_report_in_a_browser(sandbox):
    names = make_examples.picture_names(8)
    make_examples.write_batch(str(sandbox.work), names, random.Random(8), missing=names[2:3])
    capture_list = sandbox.work / "rawfilename.txt"
    lines = capture_list.read_text(encoding="utf-8").splitlines()
    lines[0] = lines[0].rsplit(":", 1)[0] + ":<b>偏红</b>&"  # user text is shown, never run
    capture_list.write_text("\n".join(lines) + "\n", encoding="utf-8")
    result = sandbox.command([str(BIN / "tavrin")])
    workbook = next(sandbox.work.glob("Corvane*.xls"))
    page = workbook.with_suffix(".html")
    assert result.returncode == 0 and result.stdout.endswith(
        f"数据处理完成！表格文件:{workbook.name}\n报告: {page}\n"
    ), result.stdout + result.stderr
    text = page.read_text(encoding="utf-8")
    assert Rendered(text).loads == []  # every script is inside the page
    assert "<b>偏红" not in text and "<td>&lt;b&gt;偏红&lt;/b&gt;&amp;</td>" in text
    expected = pictures(workbook)
    assert scatter_data(text) == expected and len(expected) == 8
    assert ("P003" in expected[2][0]) and expected[2][1:] == (0, 0)  # the missing dump: a row of zeros

    dom = browse(page, sandbox.root, "--dump-dom")
    # The scripts ran offline and drew one point per picture, and the white point of each picture
    # with a dump from the batch's history.
    assert Rendered(dom).points == 8 + 7
    assert f"<title>AWB 报告 - {workbook.name}</title>" in dom

    shot = sandbox.root / "page.png"
    browse(page, sandbox.root, f"--screenshot={shot}", "--window-size=1280,2400")
    from PIL import Image

    image = Image.open(shot).convert("RGB").resize((320, 600))
    colours = image.getcolors(320 * 600)
    white = sum(n for n, rgb in colours if min(rgb) > 245)
    assert len(colours) > 200 and white < 0.9 * 320 * 600, (len(colours), white)


def test_console_workbook_and_chosen_output(sandbox):
    out = sandbox.root / "out" / "console report.html"
    out.parent.mkdir()
    result = sandbox.command([str(BIN / "awb-report"), str(console_workbook(sandbox)), "-o", str(out)])
    assert result.returncode == 0 and result.stdout == f"报告: {out}\n", result.stderr
    text = out.read_text(encoding="utf-8")
    assert scatter_data(text) == [("IMG_0001.jpg", 5123, 98)]
    assert "室外偏红" in text and "<th>照片数</th><td>1</td>" in text

    # Sheets without the light sources' names, which both tools write into by position.
    unnamed = sandbox.work / "unnamed.xls"
    sheets_with_titles(unnamed, LIGHT_SOURCES, ["a.jpg", 5000, 90], names=[f"工作表{k}" for k in range(1, 8)])
    assert sandbox.command([str(BIN / "awb-report"), unnamed.name]).returncode == 0
    text = unnamed.with_suffix(".html").read_text(encoding="utf-8")
    assert scatter_data(text) == [("a.jpg", 5000, 90)] and "<td>工作表 工作表1</td>" in text


def sheets_with_titles(path, codes, *rows, notes=(), names=None):
    from awb_desk import _tables as awb_tables

    book = xlwt.Workbook()
    for code, name in zip(codes, names or codes):
        sheet, titles = book.add_sheet(name), awb_tables.SHEET_TITLES.get(code, ("x",))
        for col, title in enumerate(titles):
            sheet.write(0, col, title)
        for r, row in enumerate(rows, 1):
            for col, value in enumerate(row):
                sheet.write(r, col, value)
        for r, note in enumerate(notes, 1):
            sheet.write(r, titles.index(awb_tables.ISSUE_NOTE_TITLE), note)
    book.save(str(path))


BAD = {
    "missing": ("不存在", lambda p: None),
    "text": ("不是可读的 .xls 工作簿", lambda p: p.write_text("AWB_TAG_CCT: 5000\n", encoding="utf-8")),
    "other workbook": ("不是 AWB 分析表格", lambda p: sheets_with_titles(p, ["Sheet1"], ["a", 1])),
    "six sheets": ("缺少工作表 S (有 T, WF", lambda p: sheets_with_titles(p, LIGHT_SOURCES[:6], ["a.jpg", 5000, 90])),
    "six unnamed sheets": (
        "少于七个工作表 (应为 T, WF, F, CWF, D, DF, S)",
        lambda p: sheets_with_titles(p, LIGHT_SOURCES[:6], ["a.jpg", 5000, 90], names="甲乙丙丁戊己"),
    ),
    "no picture rows": ("没有照片行", lambda p: sheets_with_titles(p, LIGHT_SOURCES)),
}


@pytest.mark.parametrize("case", BAD)
def test_bad_input_is_one_line_and_writes_nothing(sandbox, case):
    words, make = BAD[case]
    workbook = sandbox.work / "Corvane20261208.xls"
    make(workbook)
    before = sorted(sandbox.work.iterdir())
    result = sandbox.command([str(BIN / "awb-report"), workbook.name])
    assert result.returncode == 1 and result.stdout == "", result.stdout
    assert result.stderr.startswith("报告生成失败: Corvane20261208.xls ") and words in result.stderr
    assert result.stderr.count("\n") == 1, result.stderr
    assert sorted(sandbox.work.iterdir()) == before


HELD = """import sys, Tavrin
from awb_desk import cli
from read_workbook import read_workbook
asked, own = [], Tavrin._run_rows
def run_rows(code):  # what the batch holds of its run: the file's rows, the first one renamed
    asked.append(code)
    rows = [[c.value for c in row] for row in read_workbook(Tavrin.Excle_File, formats=False)[code]]
    assert own(code) == rows and own("X") is None, own(code)  # the batch's own are the file's
    rows[1][0] = "held.jpg"
    return rows if {held} else None
Tavrin._run_rows = run_rows
status = cli.tavrin([])
print(asked, file=sys.stderr)
sys.exit(status)
"""


def test_a_report_that_cannot_be_written_leaves_the_batch_as_it_was(sandbox):
    make_examples.write_batch(str(sandbox.work), make_examples.picture_names(2), random.Random(2))
    (sandbox.work / time.strftime("Corvane%Y%m%d.html")).mkdir()  # in the report's way
    result = sandbox.command([str(BIN / "tavrin")])
    assert result.returncode == 0 and "数据处理完成" in result.stdout and "报告:" not in result.stdout
    assert result.stderr.startswith("报告生成失败: ") and result.stderr.count("\n") == 1, result.stderr

    # Written, the report takes the rows the batch holds, or reads the file when it holds none.
    (sandbox.work / time.strftime("Corvane%Y%m%d.html")).rmdir()
    for held in (True, False):
        result = sandbox.run(HELD.format(held=held))
        assert result.returncode == 0 and result.stderr.endswith("['T']\n"), result.stderr
        text = next(sandbox.work.glob("Corvane*.html")).read_text(encoding="utf-8")
        assert ("held.jpg" in {name for name, *_ in scatter_data(text)}) == held


def _fifo(path):
    os.mkfifo(path)
    return path.name


REFUSED = {  # the command's arguments in a folder holding Corvane.xls, what the line says
    "workbook a FIFO": (lambda w: [_fifo(w / "p.xls")], "p.xls 不是普通文件"),
    "workbook a device": (lambda w: [os.devnull], f"{os.devnull} 不是普通文件"),
    "workbook a folder": (lambda w: [(w / "d.xls").mkdir() or "d.xls"], "d.xls 是文件夹"),
    "history a FIFO": (lambda w: ["Corvane.xls", "--history", _fifo(w / "h.sqlite")], "调参历史 h.sqlite 不是普通文件"),
    "history a folder": (lambda w: ["Corvane.xls", "--history", (w / "h").mkdir() or "h"], "调参历史 h 是文件夹"),
    "old workbook a FIFO": (lambda w: ["Corvane.xls", "--against", _fifo(w / "o.xls")], "旧表 o.xls 不是普通文件"),
    "new workbook a FIFO": (lambda w: [_fifo(w / "n.xls"), "--against", "Corvane.xls"], "新表 n.xls 不是普通文件"),
    "output the workbook": (lambda w: ["Corvane.xls", "-o", "Corvane.xls"], "报告不能写在表格文件本身上"),
    "output the journal": (
        lambda w: ["Corvane.xls", "-o", "Corvane.history.sqlite-wal"],
        "报告不能写在调参历史的日志文件",
    ),
    "output the shared memory": (
        lambda w: ["Corvane.xls", "-o", "Corvane.history.sqlite-shm"],
        "报告不能写在调参历史的日志文件",
    ),
    "output the old history": (
        lambda w: ["Corvane.xls", "--against", "Corvane.xls", "-o", "Corvane.history.sqlite"],
        "报告不能写在调参历史本身上",
    ),
    "output a folder": (lambda w: ["Corvane.xls", "-o", (w / "out").mkdir() or "out"], f"{os.sep}out 是文件夹"),
}


@pytest.mark.skipif(not hasattr(os, "mkfifo"), reason="needs FIFOs")
@pytest.mark.parametrize("case", REFUSED)
def test_inputs_and_outputs_refused(sandbox, case):
    """A FIFO, a device or a folder is refused before anything opens it (reading a FIFO would
    wait for ever), and the page goes over no input and into no folder's name."""
    arguments, words = REFUSED[case]
    sheets_with_titles(sandbox.work / "Corvane.xls", LIGHT_SOURCES, ["a.jpg", 5000, 90])
    argv = arguments(sandbox.work)
    before = sorted(sandbox.work.rglob("*"))
    result = sandbox.command([str(BIN / "awb-report"), *argv], timeout=60)
    assert result.returncode == 1 and result.stdout == "" and ".tmp" not in result.stderr, result.stderr
    assert result.stderr.startswith(FAILED) and words in result.stderr and result.stderr.count("\n") == 1, result.stderr
    assert sorted(sandbox.work.rglob("*")) == before
