"""The comparison of two runs of one capture list: `tavrin` twice with some dumps changed in
between, the page read from plotly's own data and in headless Chromium with the network off;
user text that holds markup and script; and the inputs a comparison refuses."""

import datetime
import html
import random
import re
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


INTERRUPTED = """import signal, sys, xlrd
from awb_desk import cli
from awb_desk.report import compare
module, name = (xlrd, "open_workbook") if {at!r} == "reading" else (compare, "compare")
real = getattr(module, name)
setattr(module, name, lambda *args, **kwargs: signal.raise_signal(signal.SIGINT) or real(*args, **kwargs))
sys.exit(cli.{tool}({argv!r}))
"""


def test_a_comparison_of_hand_made_runs(sandbox):
    """Pairs in order, signed changes, the tolerance, missing dumps, notes of no issue, names with
    markup, no note of xlrd's on the output; Ctrl-C while reading the old workbook or comparing."""
    d, t, zero = (0, 0, 0, 0, 90, 5, 0), (90, 0, 0, 0, 5, 0, 0), (0,) * 7  # D or T most probable
    runs = {  # each row: name, note, CT and probabilities of the new run, then of the old
        "A.jpg": ("正常", 5200, d, 5000, d),
        "B.jpg": ("无", 4700, d, 5000, d),
        "P<i>x.jpg": ("", 4000, d, 4000, d),
        "Z.jpg": ("偏红", 5000, d, 0, zero),  # the old run's dump was missing: a row of zeros
        "R.jpg": ("偏红", 3000, t, 3000, t),
        "K.jpg": ("偏红", "5150K", zero, 5150, d),  # typed by hand: a value that is not a number
        "R.jpg ": ("偏红", 3500, d, 3500, t),  # R listed again, its light source flipped
    }
    for run, at in (("new.xls", 1), ("old.xls", 3)):
        rows = ([name.strip(), row[at], 90 * any(row[at + 1]), *row[at + 1]] for name, row in runs.items())
        sheets_with_titles(sandbox.work / run, LIGHT_SOURCES, *rows, notes=[row[0] for row in runs.values()])
    with open(sandbox.work / "old.xls", "ab") as f:
        f.write(bytes(100))  # padded by some program: no whole number of sectors

    result = sandbox.command([str(BIN / "awb-report"), "new.xls", "--against", "old.xls", "--tolerance", "250"])
    summary = "对比: 7 对, 1 对 CT 变化超过 ±250K, 1 对最可能光源改变, 仅新表 0 张, 仅旧表 0 张\n"
    assert result.stdout == summary + f"报告: {sandbox.work / 'new.html'}\n", result
    text = (sandbox.work / "new.html").read_text(encoding="utf-8")
    hovers = "".join(h for trace in figure(text, "ct-pairs")[0] for h in trace["text"])
    assert "P&lt;i&gt;x.jpg" in hovers and "<i>" not in hovers
    assert "任一次无 AWB 数据的对 (不比较)</th><td>1 对" in text and "CT 不是数字的对 (不比较)</th><td>1 对" in text
    assert '<tr><td>正常 / 无 / (空)</td><td class="num">3</td><td class="num">-33.3</td>' in text

    sandbox.capture_list(["A.jpg:a.raw:"], folder=sandbox.work)
    for tool, at, argv, line in (
        ("tavrin", "reading", ["--against", "old.xls"], "批处理未开始"),
        ("tavrin", "comparing", ["--against", "old.xls"], "报告未写出"),
        ("awb_report", "comparing", ["new.xls", "--against", "old.xls", "-o", "x.html"], "报告未写出"),
    ):
        result = sandbox.run(INTERRUPTED.format(at=at, tool=tool, argv=argv))
        assert result.returncode == 130 and result.stderr == f"已中断: {line}\n", (tool, at, result)
    assert [p.name for p in sandbox.work.glob("*.html")] == ["new.html"]
