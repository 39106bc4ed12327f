"""The tuning history: every show appended to the database beside the workbook, the line that
compares a re-shown picture with its previous show, two consoles writing one history, and a
history that cannot be written costing nothing but one line."""

import datetime
import json
import os
import re
import sqlite3
from concurrent.futures import ThreadPoolExecutor

import pytest
import xlrd

from awb_desk import history as awb_history
from conftest import DEADLINE, wait_until
from console_support import SESSION, TESTS, session
from read_workbook import read_workbook

COMPARISON = re.compile(r"^与上次\((\d\d:\d\d:\d\d)\)(相同|相比: .*)$", re.M)
SIMULATE = """
def shown(stem, cct, **tags):  # the simulator's result, and the values it holds for the test
    simulate(raw, stem, cct=cct, **tags)
    import make_examples
    with open(f"{stem}.values", "w") as f:
        json.dump({**make_examples.tag_values(random.Random(stem), 1), "AWB_TAG_CCT": cct, **tags}, f)
"""


def history_of(sandbox):
    return awb_history.read_history(awb_history.history_path(sandbox.workbook))


def shows_of(stdout):
    """The output of each show of a session, up to its prompt."""
    return re.split("请?输入参数: ", stdout)[:-1]


def test_comparison_with_the_previous_show(sandbox):
    raw = sandbox.simulator()
    sandbox.capture_list(["P100.jpg:P100.raw:室外偏红"])
    stdin = (
        "!shown('P200', 3000)\n"
        "!shown('P100', 5311, AWB_TAG_GAIN_R=598, AWB_TAG_GAIN_B=530)\n"
        "\n"  # the same result again
        "q\n"
    )
    setup = SIMULATE + "shown('P100', 5123, AWB_TAG_GAIN_R=612, AWB_TAG_GAIN_B=519)"
    result, book = session(sandbox, raw, stdin, setup)

    history = history_of(sandbox)
    assert list(history) == ["P100.jpg", "P200.jpg"] and len(history["P100.jpg"]) == 3
    first, changed, again = history["P100.jpg"]
    clock = [e.shown_at.strftime("%H:%M:%S") for e in history["P100.jpg"]]
    lv = first.values["AWB_TAG_ALGO_SCENE_LV"]
    shows = shows_of(result.stdout)
    assert [COMPARISON.findall(show) for show in shows] == [
        [],
        [],  # first shows of P100 and P200
        [(clock[0], f"相比: CT 5123→5311 (+188), LV {lv}→{lv} (0), R 612→598 (-14), B 519→530 (+11)")],
        [(clock[1], "相同")],
    ]
    lines = shows[2].splitlines()  # the line stands right below the algorithm gains
    above = next(n for n, line in enumerate(lines) if line.startswith("与上次")) - 1
    assert lines[above].startswith(" " * 28 + "R:598")
    assert first.shown_at <= changed.shown_at <= again.shown_at and first.id < changed.id < again.id

    # Every value the simulator wrote, as the show read it, with the note and the result text.
    written = {stem: json.loads((sandbox.work / f"{stem}.values").read_text()) for stem in ("P100", "P200")}
    assert [e.values for e in history["P100.jpg"]] == [
        {**written["P100"], "AWB_TAG_CCT": 5123, "AWB_TAG_GAIN_R": 612, "AWB_TAG_GAIN_B": 519},
        written["P100"],
        written["P100"],
    ]
    assert history["P200.jpg"][0].values == written["P200"] and len(written["P200"]) == 13 + 7 * 20
    assert [(e.issue_note, os.path.basename(e.result_path)) for e in (first, history["P200.jpg"][0])] == [
        ("室外偏红", "P100-main_awb_dbg_info.txt"),
        ("无", "P200-main_awb_dbg_info.txt"),
    ]
    assert [row[0][1] for row in book["T"][1:]] == ["P100.jpg", "P200.jpg"]


def test_two_consoles_share_one_history(sandbox):
    """Two consoles on one workbook, showing at the same time: no entry is lost."""
    works, raws = [sandbox.work, sandbox.root / "work2"], [sandbox.simulator("simA"), sandbox.root / "simB"]
    (raws[1] / "Results").mkdir(parents=True)
    works[1].mkdir()
    (works[1] / "Config.ini").write_text(f"Path={raws[1]}\n", encoding="utf-8")
    rounds = 12

    def console(n):
        stdin = "".join(f"!simulate(raw, 'P{i % 3}', cct={4000 + 100 * n + i})\n" for i in range(rounds)) + "q\n"
        return session(sandbox, raws[n], stdin, "simulate(raw, 'P9', cct=3000)", cwd=works[n])[0]

    with ThreadPoolExecutor(2) as pool:
        results = list(pool.map(console, (0, 1)))
    assert all(r.returncode == 0 and "操作失败" not in r.stdout and "历史记录未保存" not in r.stdout for r in results)
    history = history_of(sandbox)
    for n in (0, 1):
        shown = [
            (p, e.values["AWB_TAG_CCT"])
            for p, entries in history.items()
            for e in entries
            if f"sim{'AB'[n]}" in e.result_path
        ]
        assert sorted(shown) == sorted(
            [("P9.jpg", 3000)] + [(f"P{i % 3}.jpg", 4000 + 100 * n + i) for i in range(rounds)]
        )
    # Each comparison line names the entry that came before it in the shared history.
    assert sum(len(COMPARISON.findall(r.stdout)) for r in results) == 2 * rounds + 2 - 4


LOCKED = """
import sqlite3
from awb_desk import history as awb_history
awb_history.BUSY_SECONDS = 0.3
holder = sqlite3.connect(awb_history.history_path(Lumvik.Excle_File), isolation_level=None)
holder.execute("BEGIN EXCLUSIVE")  # another console's write that does not end
_record_show = awb_history.record_show
def record_show(*args):  # the history waits for the database only once the workbook's lock is free
    with Lumvik.filelock.FileLock(Lumvik.Excle_File + ".lock", timeout=0):
        return _record_show(*args)
awb_history.record_show = record_show
"""


@pytest.mark.parametrize(
    "case, setup, reason",
    [
        ("read-only", "", "数据库文件是只读的"),
        ("corrupt", "", "文件不是完好的 SQLite 数据库"),
        ("locked", LOCKED, "被其他程序占用超过 0.3 秒"),
    ],
)
def test_unusable_history_costs_no_show(sandbox, case, setup, reason):
    raw = sandbox.simulator()
    path = sandbox.workbook.with_name("Corvane.history.sqlite")
    path.parent.mkdir()
    if case == "corrupt":
        path.write_bytes(b"Corvane history, not a database\n" * 64)
    else:
        earlier = awb_history.Entry(
            datetime.datetime.now().astimezone(), "P100.jpg", "old.txt", "无", {"AWB_TAG_CCT": 1}
        )
        awb_history.append(path, [earlier])
    if case == "read-only":
        path.chmod(0o444)
    before = path.read_bytes()
    setup += "\nsimulate(raw, 'P100')"

    result, book = session(sandbox, raw, "\nq\n", setup)

    lines = [line for line in result.stdout.splitlines() if "历史记录" in line]
    assert len(lines) == 2 and all(line.startswith(f"历史记录未保存: {path} ({reason}") for line in lines)
    assert "操作失败" not in result.stdout and result.stdout.count("回写路径:") == 2
    assert [row[0][1] for row in book["S"][1:]] == ["P100.jpg"]
    assert path.read_bytes() == before and "tuning history" in sandbox.log


def test_history_path_follows_a_link(tmp_path):
    (tmp_path / "real").mkdir()
    link = tmp_path / "Corvane.xls"
    link.symlink_to(tmp_path / "real" / "Tuning.xls")
    assert awb_history.history_path(str(link)) == str(tmp_path / "real" / "Tuning.history.sqlite")


BUSY = 7  # seconds a history write waits: longer than a show waits for the workbook (5 s)
ON_ITS_OWN = """
import sys
sys.path[:0] = [{tests!r}, {examples!r}]
from console_support import simulate
from awb_desk import history as awb_history
awb_history.BUSY_SECONDS = {busy}
import Lumvik
simulate({raw!r}, "P2")
Lumvik.Find_Changed_Txt()
Lumvik.Create_Lumvik_DATA()
"""


@pytest.mark.slow
def test_a_held_history_costs_no_other_console_its_show(sandbox):
    """While another connection holds the history in an open write transaction, a show waits
    for the history only after it has let go of the workbook: two consoles and a
    Create_Lumvik_DATA called on its own, each starting while the one before waits for the
    history, all record their picture and say in one line that the history was not saved."""
    path = awb_history.history_path(sandbox.workbook)
    sandbox.workbook.parent.mkdir()
    awb_history.append(path, [awb_history.Entry(datetime.datetime.now().astimezone(), "P0.jpg", "r.txt", "无", {})])
    holder = sqlite3.connect(path, isolation_level=None)
    holder.execute("BEGIN IMMEDIATE")

    def start(n, code):
        work, raw = sandbox.root / f"work{n}", sandbox.root / f"sim{n}"
        work.mkdir()
        (raw / "Results").mkdir(parents=True)
        (work / "Config.ini").write_text(f"Path={raw}\n", encoding="utf-8")
        code = code.format(
            tests=str(TESTS),
            examples=str(TESTS.parent / "examples"),
            bench=str(TESTS.parent / "bench"),
            raw=str(raw),
            busy=BUSY,
            setup=f"awb_history.BUSY_SECONDS = {BUSY}\nsimulate(raw, 'P{n}')",
        )
        return sandbox.start(code, cwd=work)

    def pictures():
        try:
            return [row[0].value for row in read_workbook(sandbox.workbook, formats=False)["S"][1:]]
        except (OSError, xlrd.XLRDError):
            return []

    session = SESSION.replace("{setup}", "from awb_desk import history as awb_history\n{setup}")
    procs = []
    try:
        for n, code in enumerate([session, ON_ITS_OWN, session], 1):
            procs.append(start(n, code))
            if n < 3:  # the next one starts while this one waits for the history
                wait_until(lambda: f"P{n}.jpg" in pictures() or procs[-1].poll() is not None, f"P{n}")
                assert f"P{n}.jpg" in pictures(), (procs[-1].communicate("q\n", timeout=DEADLINE), sandbox.log)
        outputs = [proc.communicate("q\n", timeout=DEADLINE)[0] for proc in procs]
    finally:
        for proc in procs:
            proc.kill()
        holder.rollback()
        holder.close()

    line = f"历史记录未保存: {path} (被其他程序占用超过 {BUSY} 秒"
    for out in outputs:
        assert "操作失败" not in out and out.count(line) == 1, out
    for out in (outputs[0], outputs[2]):  # the summary, the history's line, then the paths
        lines = [text.strip() for text in out.splitlines() if text.strip()]
        where = next(n for n, text in enumerate(lines) if text.startswith(line))
        assert lines[where - 1].startswith("R:") and lines[where + 1].startswith("数据照片:")
    assert sorted(pictures()) == ["P1.jpg", "P2.jpg", "P3.jpg"]
    assert list(awb_history.read_history(path)) == ["P0.jpg"]


def test_a_history_replaced_under_a_running_console(sandbox):
    """A garbage file, then an older history, renamed over the history while a console keeps it
    open and another program reads it: the journal files SQLite keeps by name are not taken
    for theirs. The garbage is refused in one line and left as it was; the older history
    gets the next show and nothing else; the reader keeps its own history."""
    raw = sandbox.simulator()
    path = awb_history.history_path(sandbox.workbook)
    sandbox.workbook.parent.mkdir()
    now = datetime.datetime.now().astimezone()
    awb_history.append(path, [awb_history.Entry(now, "P0.jpg", "live.txt", "无", {})])
    reader = sqlite3.connect(path)
    assert reader.execute("SELECT count(*) FROM shows").fetchone() == (1,)
    garbage, older = sandbox.root / "garbage.bin", sandbox.root / "older.history.sqlite"
    garbage.write_bytes(b"not a history\n" * 300)
    os.link(garbage, sandbox.root / "garbage.kept")  # the garbage's file, whatever its name
    awb_history.append(older, [awb_history.Entry(now, "P0.jpg", "older.txt", "无", {})])
    setup = f"import os\nsimulate(raw, 'P1')\ndef replace(source):\n    os.replace(source, {path!r})"
    stdin = f"!replace({str(garbage)!r}); simulate(raw, 'P2')\n!replace({str(older)!r}); simulate(raw, 'P3')\nq\n"

    result, book = session(sandbox, raw, stdin, setup)

    shows = shows_of(result.stdout)
    assert [[line for line in show.splitlines() if "历史" in line] for show in shows] == [
        [],
        [f"历史记录未保存: {path} (文件不是完好的 SQLite 数据库: DatabaseError: file is not a database)"],
        [],
    ]
    assert (sandbox.root / "garbage.kept").read_bytes() == b"not a history\n" * 300
    history = history_of(sandbox)
    assert list(history) == ["P0.jpg", "P3.jpg"] and history["P0.jpg"][0].result_path == "older.txt"
    assert [row[0][1] for row in book["T"][1:]] == ["P1.jpg", "P2.jpg", "P3.jpg"]
    assert reader.execute("SELECT picture FROM shows ORDER BY id").fetchall() == [("P0.jpg",), ("P1.jpg",)]
    reader.close()
