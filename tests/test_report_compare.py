"""The comparison of two runs of one capture list: `tavrin` twice with some dumps changed in
between, the page read from plotly's own data and in headless Chromium with the network off;
user text that holds markup and script; and the inputs a comparison refuses."""

import datetime
import html
import random
import re
import shutil
import sys
from pathlib import Path

import pytest
import xlrd

import make_examples
from awb_desk import history as awb_history
from conftest import LIGHT_SOURCES
from test_report import Rendered, browse, figure, sheets_with_titles

BIN = Path(sys.executable).parent
INJECTED_NOTE = "<script>document.title='pwned'</script><b>偏红</b>\"引号\"&"
INJECTED_NAME = 'P006_<i>"q"&<img>.jpg'  # the batch takes the blanks out of a capture-list line


def batch_rows(workbook):
    """{column-0 text: [(CT, most probable light source), ...]} of a batch workbook, rows in order."""
    sheet = xlrd.open_workbook(str(workbook)).sheet_by_name("T")
    rows = {}
    for r in range(1, sheet.nrows):
        probabilities = sheet.row_values(r, 3, 3 + len(LIGHT_SOURCES))
        source = LIGHT_SOURCES[probabilities.index(max(probabilities))]
        rows.setdefault(sheet.cell_value(r, 0), []).append((sheet.cell_value(r, 1), source))
    return rows


def dump_gains(folder, skip=()):
    """{column-0 text: (R, G, B)} of every capture-list line, from its dump, as the batch's
    history holds them; one entry per line, in list order."""
    entries = []
    for line in (folder / "rawfilename.txt").read_text(encoding="utf-8").splitlines():
        picture, raw, _ = line.split(":")
        text = (folder / "EXIF" / f"{picture}.exif").read_text(encoding="utf-8")
        gains = [int(re.search(rf"{tag}\b[ |:\t]*(-?\d+)", text).group(1)) for tag in awb_history_gain_tags()]
        if picture not in skip:
            entries.append((f"{picture} {raw}", tuple(gains)))
    return entries


def awb_history_gain_tags():
    return ("AWB_TAG_GAIN_R", "AWB_TAG_GAIN_G", "AWB_TAG_GAIN_B")


def write_history(workbook, entries):
    path = Path(awb_history.history_path(workbook))
    for old in path.parent.glob(path.name + "*"):
        old.unlink()
    now = datetime.datetime.now().astimezone()
    awb_history.append(
        path,
        [
            awb_history.Entry(now, name, "dump", "", dict(zip(awb_history_gain_tags(), gains)))
            for name, gains in entries
        ],
    )


def white_point(gains):
    r, g, b = gains
    return round(g / r, 4), round(g / b, 4)


@pytest.mark.chromium
@pytest.mark.slow
def test_two_batches_compared_in_a_browser(sandbox):
    names = make_examples.picture_names(13)
    names[5] = INJECTED_NAME
    make_examples.write_batch(str(sandbox.work), names, random.Random(5))
    capture_list = sandbox.work / "rawfilename.txt"
    lines = capture_list.read_text(encoding="utf-8").splitlines()
    lines[0] = lines[0].rsplit(":", 1)[0] + ":" + INJECTED_NOTE
    first_lines = [*lines[:12], lines[2]]  # P003 twice: its rows pair in order; P013 not yet listed
    capture_list.write_text("\n".join(first_lines) + "\n", encoding="utf-8")
    assert sandbox.command([str(BIN / "tavrin")]).returncode == 0
    [day] = sandbox.work.glob("Corvane*.xls")
    old_gains = dump_gains(sandbox.work)
    write_history(day, old_gains)

    flipped = make_examples.rerun_batch(str(sandbox.work))
    second_lines = [*lines[:11], lines[2], lines[12]]  # P012 dropped, P013 added
    capture_list.write_text("\n".join(second_lines) + "\n", encoding="utf-8")
    result = sandbox.command([str(BIN / "tavrin"), "--against", day.name])
    [old] = (sandbox.work / "备份").glob("Corvane*.xls")
    page = day.with_suffix(".html")
    expected = f"对比: 12 对, 3 对 CT 变化超过 ±100K, {len(flipped)} 对最可能光源改变, 仅新表 1 张, 仅旧表 1 张\n"
    assert result.returncode == 0 and result.stdout.endswith(expected + f"报告: {page}\n"), (
        result.stdout + result.stderr
    )
    assert len(flipped) == 2 and INJECTED_NAME in [line.split(":")[0] for line in second_lines]

    text = page.read_text(encoding="utf-8")
    new_rows, old_rows = batch_rows(day), batch_rows(old)
    pairs = sorted(
        (name, old_ct, new_ct)
        for name in new_rows.keys() & old_rows.keys()
        for (old_ct, _), (new_ct, _) in zip(old_rows[name], new_rows[name])
    )
    traces, _ = figure(text, "ct-pairs")
    drawn = sorted(
        (html.unescape(t.split("<br>")[0]), x, y)
        for trace in traces
        for x, y, t in zip(trace["x"], trace["y"], trace["text"])
    )
    assert drawn == pairs and len(pairs) == 12
    flips = re.findall(r"<tr><td>([^<]*)</td>", text.split('id="flips"')[1].split("</section>")[0])
    assert sorted(html.unescape(f).split(" ")[0] for f in flips) == sorted(flipped)

    dom = browse(page, sandbox.root, "--dump-dom")
    assert "pwned" not in dom.split("</title>")[0] and "<img" not in dom and "<b>偏红" not in dom and "<i>" not in dom
    assert html.escape(INJECTED_NOTE, quote=False) in dom and html.escape(INJECTED_NAME, quote=False) in dom
    ct_pairs = dom.split('id="ct-pairs"')[1].split("</section>")[0]
    assert Rendered(ct_pairs).points == 12

    # With the final gains of both runs in their histories (one picture without an entry in the
    # new one), each pair with gains in both runs is a line from its old to its new white point.
    new_gains = dump_gains(sandbox.work, skip=[names[1]])
    write_history(day, new_gains)
    write_history(old, old_gains)
    out = sandbox.root / "comparison.html"
    result = sandbox.command([str(BIN / "awb-report"), str(day), "--against", str(old), "-o", str(out)])
    assert result.returncode == 0 and result.stdout == expected + f"报告: {out}\n", result.stderr
    text = out.read_text(encoding="utf-8")
    olds, news = {}, {}
    for gains, entries in ((olds, old_gains), (news, new_gains)):
        for name, value in entries:
            gains.setdefault(name, []).append(white_point(value))
    expected_lines = sorted(
        (*olds[name][k], *news[name][k])
        for name in olds.keys() & news.keys()
        for k in range(min(len(olds[name]), len(news[name])))
    )
    lines_trace = figure(text, "white-point-pairs")[0][0]
    xs, ys = lines_trace["x"], lines_trace["y"]
    assert sorted((xs[i], ys[i], xs[i + 1], ys[i + 1]) for i in range(0, len(xs), 3)) == expected_lines
    assert len(expected_lines) == 11 and "<th>无最终增益的行 (不画在白点图上)</th><td>1</td>" in text


def a_workbook(path, rows):
    sheets_with_titles(path, LIGHT_SOURCES, rows)
    return path


BAD = {
    "not a workbook": (
        "旧表 old.xls 不是可读的 .xls 工作簿",
        lambda p: p.write_text("AWB_TAG_CCT: 1\n", encoding="utf-8"),
    ),
    "six sheets": ("旧表 old.xls 缺少工作表 S", lambda p: sheets_with_titles(p, LIGHT_SOURCES[:6], ["a.jpg", 5000])),
    "no pairs": ("没有同名的照片", lambda p: a_workbook(p, ["b.jpg", 5000, 90])),
    "same file": ("新表和旧表是同一个文件", None),
}


@pytest.mark.parametrize("case", BAD)
def test_a_comparison_refused(sandbox, case):
    words, make = BAD[case]
    a_workbook(sandbox.work / "new.xls", ["a.jpg", 5000, 90])
    old = "new.xls" if make is None else "old.xls"
    if make:
        make(sandbox.work / old)
    before = sorted(sandbox.work.iterdir())
    result = sandbox.command([str(BIN / "awb-report"), "new.xls", "--against", old])
    assert result.returncode == 1 and result.stdout == "", result.stdout
    assert result.stderr.startswith("报告生成失败: ") and words in result.stderr, result.stderr
    assert result.stderr.count("\n") == 1 and sorted(sandbox.work.iterdir()) == before

    if make is not None and case != "no pairs":  # the batch checks the old workbook before it starts
        make_examples.write_batch(str(sandbox.work), make_examples.picture_names(2), random.Random(2))
        before = sorted(sandbox.work.iterdir())
        result = sandbox.command([str(BIN / "tavrin"), "--against", old])
        assert result.returncode == 1 and result.stdout == "" and words in result.stderr, result.stdout + result.stderr
        assert result.stderr.rstrip().endswith("批处理未开始") and sorted(sandbox.work.iterdir()) == before


D, T = (0, 0, 0, 0, 90, 5, 0), (90, 0, 0, 0, 5, 0, 0)  # probabilities: D or T the most probable
NEW_ROWS = {  # name: (new CT, old CT, note, new and old probabilities)
    "A.jpg": (5200, 5000, "正常", D, D),
    "B.jpg": (4700, 5000, "无", D, D),
    "P<i>x.jpg": (4000, 4000, "", D, D),
    "Z.jpg": (5000, 0, "偏红", D, (0,) * 7),  # the old run's dump was missing: a row of zeros
    "R.jpg": (3000, 3000, "偏红", T, T),
    "K.jpg": ("5150K", 5150, "偏红", (0,) * 7, D),  # typed by hand: a value that is not a number
}


def test_a_comparison_of_hand_made_runs(sandbox):
    """Pairs in order of occurrence, signed changes, the tolerance, missing dumps and notes of no
    issue, on the comparison's own data; xlrd's notes on an odd file size stay off the output."""
    rows = {"new": [], "old": []}
    for name, (new_ct, old_ct, note, new_p, old_p) in NEW_ROWS.items():
        rows["new"].append(([name, new_ct, 90 if any(new_p) else 0, *new_p], note))
        rows["old"].append(([name, old_ct, 90 if old_ct else 0, *old_p], note))
    rows["new"].append((["R.jpg", 3500, 90, *D], "偏红"))  # listed twice: its second show flipped to D
    rows["old"].append((["R.jpg", 3500, 90, *T], "偏红"))
    for run, listed in rows.items():
        sheets_with_titles(
            sandbox.work / f"{run}.xls", LIGHT_SOURCES, *(r for r, _ in listed), notes=[n for _, n in listed]
        )
    with open(sandbox.work / "old.xls", "ab") as f:
        f.write(b"\0" * 100)  # as a file copied off some share: not a whole number of sectors

    result = sandbox.command([str(BIN / "awb-report"), "new.xls", "--against", "old.xls", "--tolerance", "250"])
    summary = "对比: 7 对, 1 对 CT 变化超过 ±250K, 1 对最可能光源改变, 仅新表 0 张, 仅旧表 0 张\n"
    assert result.returncode == 0 and result.stdout == summary + f"报告: {sandbox.work / 'new.html'}\n", result
    text = (sandbox.work / "new.html").read_text(encoding="utf-8")
    traces, _ = figure(text, "ct-pairs")
    hovers = [h for t in traces for h in t["text"]]
    drawn = sorted((h.split("<br>")[0], x, y) for t in traces for x, y, h in zip(t["x"], t["y"], t["text"]))
    assert drawn == [("A.jpg", 5000, 5200), ("B.jpg", 5000, 4700), ("P&lt;i&gt;x.jpg", 4000, 4000)] + [
        ("R.jpg", 3000, 3000),
        ("R.jpg", 3500, 3500),
    ]
    assert not any("<i>" in h for h in hovers)
    facts = dict(re.findall(r"<th>([^<]*)</th><td>([^<]*)</td>", text))
    assert facts["任一次无 AWB 数据的对 (不比较)"] == "1 对" and facts["任一次 CT 不是数字的对 (不比较)"] == "1 对"
    notes = re.findall(r"<tr><td>([^<]*)</td><td class=\"num\">(\d+)</td><td class=\"num\">([^<]*)</td>", text)
    assert notes[0] == ("正常 / 无 / (空)", "3", "-33.3") and [n[0] for n in notes] == ["正常 / 无 / (空)", "偏红"]
    largest = text.split('id="largest"')[1]
    assert largest.index("B.jpg") < largest.index("A.jpg") and ">-300<" in largest and ">+200<" in largest

    result = sandbox.command([str(BIN / "awb-report"), "new.xls"])
    facts = dict(re.findall(r"<th>([^<]*)</th><td>([^<]*)</td>", (sandbox.work / "new.html").read_text("utf-8")))
    assert facts["无 AWB 数据的行 (全为 0 或空)"] == "0" and facts["有不是数字的值的行"] == "1 (第 7 行 CT)"


INTERRUPTED = """
import signal, sys
import xlrd
from awb_desk import cli
from awb_desk.report import compare

def interrupted(real):
    def call(*args, **kwargs):
        signal.raise_signal(signal.SIGINT)
        return real(*args, **kwargs)
    return call

if {at!r} == "reading":
    xlrd.open_workbook = interrupted(xlrd.open_workbook)
else:
    compare.compare = interrupted(compare.compare)
sys.exit(cli.{tool}({argv!r}))
"""


@pytest.mark.parametrize(
    "tool, at, line",
    [
        ("tavrin", "reading", "批处理未开始"),
        ("tavrin", "comparing", "报告未写出"),
        ("awb_report", "comparing", "报告未写出"),
    ],
)
def test_ctrl_c_around_a_comparison(sandbox, tool, at, line):
    """Ctrl-C while the batch reads the workbook it compares with, or during the comparison,
    stops the command as it stops a batch: one line and status 130."""
    make_examples.write_batch(str(sandbox.work), make_examples.picture_names(2), random.Random(2))
    assert sandbox.command([str(BIN / "tavrin")]).returncode == 0
    [day] = sandbox.work.glob("Corvane*.xls")
    day.with_suffix(".html").unlink()
    shutil.copy(day, sandbox.work / "new.xls")
    day.rename(sandbox.work / "old.xls")
    before = sorted(sandbox.work.iterdir())
    argv = ["--against", "old.xls"] if tool == "tavrin" else ["new.xls", "--against", "old.xls"]
    result = sandbox.run(INTERRUPTED.format(at=at, tool=tool, argv=argv))
    assert result.returncode == 130 and result.stderr == f"已中断: {line}\n", result
    assert not list(sandbox.work.glob("*.html"))
    if at == "reading":
        assert sorted(sandbox.work.iterdir()) == before and result.stdout == ""
    elif tool == "tavrin":
        assert "数据处理完成" in result.stdout and "报告:" not in result.stdout
