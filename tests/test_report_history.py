"""The report's section of the pictures shown more than once (in headless Chromium), and
histories that cannot be read."""

import datetime
import html
import json
import re
import sqlite3
import subprocess
import sys
from pathlib import Path

import pytest

from awb_desk import history as awb_history
from conftest import LIGHT_SOURCES
from test_report import Rendered, browse, figure, sheets_with_titles
from test_workbook_lock import refuse_new_files

AWB_REPORT = str(Path(sys.executable).with_name("awb-report"))
TAGS = ("AWB_TAG_CCT", "AWB_TAG_GAIN_R", "AWB_TAG_GAIN_B")
RESHOWN = 33  # more than the table's 30 rows: the last three are drawn grey


def make_history(path):
    """Pictures P01..P33 shown 2 to 4 times, CT moving by n * 10 either way in all, and one
    picture shown once; returns {picture: [(time as the page shows it, CT, R, B), ...]}."""
    start = datetime.datetime.now().astimezone() - datetime.timedelta(hours=2)
    entries, shown = [], {}
    for n in range(1, RESHOWN + 1):
        name = f"P{n:02d}<{n}>.jpg"  # a name with markup, shown as text
        for k in range(2 + n % 3):
            moment = start + datetime.timedelta(minutes=n, seconds=10 * k)
            values = dict(zip(TAGS, (5000 + (-1) ** n * n * 10 * (k > 0) + k, 600 + n, 500 - k)))
            entries.append(awb_history.Entry(moment, name, "r.txt", "正常", {**values, "AWB_TAG_P_D": 9}))
            shown.setdefault(name, []).append((moment.isoformat(" ", "milliseconds")[:23], *values.values()))
    entries.insert(5, awb_history.Entry(start, "ONCE.jpg", "r.txt", "正常", dict.fromkeys(TAGS, 1)))
    awb_history.append(path, entries)
    return shown


def drawn_lines(page):
    """{picture: [(time, CT, R, B), ...]} as the history figure draws each picture's line in the
    CT plot, checked to be the same in the R and B plots and in the hover: the coloured traces
    by their names, the grey ones split at their gaps."""
    start = page.index('"history",', page.index("Plotly.newPlot(")) + len('"history",')
    traces, _ = json.JSONDecoder().raw_decode(page[start:].lstrip())
    lines = {}
    for trace in traces:
        quantity, grey, segment = int(trace["yaxis"][1:] or 1) - 1, trace.get("mode") == "lines", []
        for x, y, data in [*zip(trace["x"], trace["y"], trace["customdata"]), (None, None, None)]:
            if x is not None:
                assert y == data[quantity] and data[3] == len(segment) + 1, (trace["name"], x)
                segment.append((x, *data[:3]))
                name = html.unescape(data[4] if grey else trace["name"])
            elif segment:
                assert quantity not in lines.setdefault(name, {}), f"{name} drawn twice"
                lines[name][quantity], segment = segment, []
    assert all(sorted(line) == [0, 1, 2] and line[0] == line[1] == line[2] for line in lines.values())
    return {name: line[0] for name, line in lines.items()}


def a_workbook(sandbox):
    workbook = sandbox.work / "Corvane.xls"
    sheets_with_titles(workbook, LIGHT_SOURCES, ["a.jpg", 5000, 90])
    return workbook


@pytest.mark.chromium
def test_history_beside_the_workbook_in_a_browser(sandbox):
    workbook = a_workbook(sandbox)
    shown = make_history(awb_history.history_path(workbook))
    result = sandbox.command([AWB_REPORT, workbook.name])
    page = workbook.with_suffix(".html")
    assert result.returncode == 0 and result.stderr.startswith("1 行在调参历史 "), result.stderr  # a.jpg: none
    assert sorted(p.name for p in sandbox.work.iterdir()) == ["Corvane.history.sqlite", "Corvane.html", "Corvane.xls"]
    text = page.read_text(encoding="utf-8")
    assert drawn_lines(text) == shown  # one line per re-shown picture with its values; ONCE.jpg absent
    assert f"{RESHOWN} 张照片显示过多次 (共 {sum(map(len, shown.values()))} 次显示); 只显示一次的 1 张" in text
    assert "P33&lt;33&gt;.jpg" in text and "P33<33>" not in text

    changes = re.findall(
        r"<tr><td>([^<]*)</td><td class=\"num\">(\d+)</td><td class=\"num\">(\d+)</td>"
        r"<td class=\"num\">([^<]*)</td><td class=\"num\">(\d+)</td>",
        text,
    )
    assert len(changes) == 30 and changes[:2] == [
        ("P33&lt;33&gt;.jpg", "5000", "4671", "-329", "2"),
        ("P32&lt;32&gt;.jpg", "5000", "5323", "+323", "4"),
    ]
    assert [abs(int(c[3])) for c in changes] == sorted((abs(int(c[3])) for c in changes), reverse=True)

    history = browse(page, sandbox.root, "--dump-dom").split('id="history"', 1)[1]
    plots = history.split('class="legend"', 1)[0]  # the legend draws a line per entry too
    assert plots.count('class="js-line"') == 3 * RESHOWN  # a line per picture in each plot
    coloured = [name for name in shown if int(name[1:3]) > RESHOWN - 30]  # the table's pictures
    assert Rendered(history).points == 3 * sum(len(shown[name]) for name in coloured)


def newer_schema(path):
    with sqlite3.connect(path) as db:
        db.execute("PRAGMA user_version = 2")


BAD = {
    "missing": (lambda p: None, "不存在"),
    "a folder": (lambda p: p.mkdir(), "是文件夹"),
    "not a database": (lambda p: p.write_bytes(b"AWB_TAG_CCT: 5000\n" * 64), "不是完好的 SQLite 数据库"),
    "newer schema": (newer_schema, "数据库版本 2 比本程序认识的版本 1 新"),
}


@pytest.mark.parametrize(
    "case, named", [(case, named) for case in BAD for named in (False, True) if named or case != "missing"]
)
def test_a_history_that_cannot_be_read(sandbox, case, named):
    """Beside the workbook it costs one line and the section; named on the command line it is
    the command's error."""
    make, words = BAD[case]
    workbook = a_workbook(sandbox)
    history = Path(awb_history.history_path(workbook))
    make(history)
    before = sorted(sandbox.work.iterdir())
    result = sandbox.command([AWB_REPORT, workbook.name, *(["--history", history.name] if named else [])])
    assert words in result.stderr and result.stderr.count("\n") == 1, result.stderr
    if named:
        assert result.returncode == 1 and result.stderr.startswith(f"报告生成失败: 调参历史 {history.name} ")
        assert sorted(sandbox.work.iterdir()) == before and result.stdout == ""
    else:
        assert result.returncode == 0 and result.stderr.startswith(f"历史记录未读取: {history} (")
        text = workbook.with_suffix(".html").read_text(encoding="utf-8")
        assert "历史记录未读取: " in text and '"ct-lv"' in text and '"history"' not in text


def test_a_history_of_single_shows_says_so(sandbox):
    workbook, history = a_workbook(sandbox), sandbox.root / "elsewhere.sqlite"
    now = datetime.datetime.now().astimezone()
    awb_history.append(history, [awb_history.Entry(now, f"P{n}.jpg", "r.txt", "", {}) for n in range(3)])
    assert sandbox.command([AWB_REPORT, workbook.name, "--history", str(history)]).returncode == 0
    text = workbook.with_suffix(".html").read_text(encoding="utf-8")
    assert "没有显示过两次以上的照片 (历史中共 3 张照片, 各显示一次)" in text and '"history"' not in text


def test_the_report_never_replaces_the_history(sandbox):
    workbook = a_workbook(sandbox)
    shown = make_history(awb_history.history_path(workbook))
    result = sandbox.command([AWB_REPORT, workbook.name, "-o", "Corvane.history.sqlite"])
    assert result.returncode == 1 and "报告不能写在调参历史本身上" in result.stderr
    assert len(awb_history.read_history(awb_history.history_path(workbook))) == len(shown) + 1


def test_a_hand_edited_history_in_an_odd_folder(sandbox):
    """A history in a folder whose name holds "#", "?" and "%", with a text where a number
    belongs and a show without CT: the page draws the history, the notes of no issue count as
    none, and text with markup or quotes reaches the charts as the engineer typed it; a row is
    drawn at the gains of the last show of its values (Q1's last has another LV, Q3's are another
    run's, Q4 has none)."""
    from awb_desk import _tables as awb_tables

    folder = sandbox.work / "调参 #1?%20"
    folder.mkdir()
    workbook = folder / "Corvane.xls"
    notes = {'Q"1<b>.jpg': "无", "Q2.jpg": "正常", "Q3.jpg": "", "Q4.jpg": '偏红<script>x</script>"'}
    rows = [[name, ct, 90, 80, 10, 10] for name, ct in zip(notes, (5200, 5002, 5003, 5004))]
    sheets_with_titles(workbook, LIGHT_SOURCES, *rows, notes=notes.values())
    start = datetime.datetime.now().astimezone() - datetime.timedelta(hours=1)
    shows = [
        ('Q"1<b>.jpg', 5000),
        ("Q2.jpg", None),
        ('Q"1<b>.jpg', 5100),
        ("Q3.jpg", 3000),
        ("Q2.jpg", 4000),
        ('Q"1<b>.jpg', 5200),
        ("Q3.jpg", 3100),
        ('Q"1<b>.jpg', 5200, 91),
    ]
    path = awb_history.history_path(workbook)
    awb_history.append(
        path,
        [
            awb_history.Entry(
                start + datetime.timedelta(minutes=k),
                name,
                "r.txt",
                "",
                {
                    **({"AWB_TAG_CCT": ct} if ct else {}),
                    **({"AWB_TAG_ALGO_SCENE_LV": lv[0]} if lv else {}),
                    "AWB_TAG_GAIN_R": 500 + k,
                    "AWB_TAG_GAIN_G": 256,
                    "AWB_TAG_GAIN_B": 600,
                },
            )
            for k, (name, ct, *lv) in enumerate(shows)
        ],
    )
    with sqlite3.connect(path) as db:  # a hand edit: text where a number belongs
        db.execute("UPDATE shows SET AWB_TAG_CCT = 'abc' WHERE AWB_TAG_CCT = 5100")
    db.close()

    result = sandbox.command([AWB_REPORT, workbook.name], cwd=folder)
    unshown = f"2 行在调参历史 {path} 中没有本行的记录 (同一照片、同样的数值), 不画在白点图上"
    assert result.returncode == 0 and result.stderr == unshown + "\n", result.stderr
    text = workbook.with_suffix(".html").read_text(encoding="utf-8")
    assert "<th>有问题描述的照片</th><td>1</td>" in text and f"<p>{html.escape(unshown)}</p>" in text
    changes = re.findall(
        r"<tr><td>([^<]*)</td><td class=\"num\">(\d+)</td><td class=\"num\">(\d+)</td>"
        r"<td class=\"num\">([^<]*)</td><td class=\"num\">(\d+)</td><td>([^<]*)</td><td>([^<]*)</td>",
        text,
    )
    assert [c[:5] for c in changes] == [
        ("Q&#34;1&lt;b&gt;.jpg", "5000", "5200", "+200", "4"),
        ("Q3.jpg", "3000", "3100", "+100", "2"),
    ]
    assert all(since < until for *_, since, until in changes)

    traces, _ = figure(text, "history")
    assert sorted({t["name"] for t in traces}) == ['Q"1&lt;b&gt;.jpg', "Q2.jpg", "Q3.jpg"]
    hovers = {h.split("<br>")[0]: h for t in figure(text, "ct-lv")[0] for h in t["text"]}
    assert f'{awb_tables.ISSUE_NOTE_TITLE}: 偏红&lt;script&gt;x&lt;/script&gt;"' in hovers["Q4.jpg"]
    [points] = figure(text, "white-points")[0]  # at (G/R, G/B)
    assert [*zip(points["x"], points["y"])] == [(0.5069, 0.4267), (0.511, 0.4267)] and "Q2.jpg" in points["text"][1]

    refuse_new_files(folder) or pytest.skip("no folder here refuses new files: chattr +i needs root and ext4")
    try:  # a reader of a WAL history cannot make its "-shm" there
        again = sandbox.command([AWB_REPORT, workbook.name, "-o", str(sandbox.root / "ro.html")], cwd=folder)
    finally:
        subprocess.run(["chattr", "-i", str(folder)], timeout=30)
    page = (sandbox.root / "ro.html").read_text(encoding="utf-8")
    assert again.stderr == result.stderr and figure(page, "white-points")[0] == [points]
