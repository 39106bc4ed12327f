"""Kills: a batch of a few hundred pictures and a console session, each killed with SIGKILL at
seeded random moments, some of them while a save is being written. After every kill the
workbook opens, holds every picture whose save had completed and no half-written picture."""

import random
import subprocess
import threading
import time
from pathlib import Path

import pytest
import xlrd

import make_examples
from awb_desk import history as awb_history
from conftest import DEADLINE, LIGHT_SOURCES, wait_until, workbook_cells
from console_support import TESTS, console_code, simulate
from read_workbook import read_workbook

pytestmark = pytest.mark.sigkill

KILLS = 12  # per tool
# The batch prints its running lines slowly, as a console window does, so that it saves a
# few times before it ends (on its own it records a few hundred pictures in a fraction of a
# second, saving only after the first picture and at the end).
PACED_BATCH = """
import time, Tavrin
def paced(*args):
    time.sleep(0.006)
    print(*args)
Tavrin.print = paced
Tavrin.Tavrin()
"""
PREBUILT = 400  # pictures in the console's workbook before the first session
PREBUILD = """
import datetime, sys, xlrd
from xlutils.copy import copy
sys.path.insert(0, {bench!r})
import Lumvik, per_sheet_writer as ref
Lumvik.insert_row_num, Lumvik.Target_Awb_Target_Pic = 1, "B0001.jpg"
Lumvik.Create_Excel()
book = copy(xlrd.open_workbook(Lumvik.Excle_File, formatting_info=True))
style, red = ref.row_styles()
for k in range(7):
    for i in range(1, {count} + 1):
        style.num_format_str = "General"
        ref.write_row(book.get_sheet(k), k, i, f"B{{i:04d}}.jpg", [1000 + i, *range(1, 21)], "正常",
                      datetime.datetime.now(), style, red)
book.save(Lumvik.Excle_File)
"""


class Run:
    """A process of the tool, its output collected line by line as it comes."""

    def __init__(self, sandbox, code, stdin=""):
        self.proc = sandbox.start(code, env={"PYTHONUNBUFFERED": "1"}, stderr=subprocess.DEVNULL)
        self.lines = []
        self.proc.stdin.write(stdin)  # left open: a console with nothing more to do waits at its prompt
        self.proc.stdin.flush()
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.proc.stdout:
            self.lines.append(line)

    def count(self, word):
        return sum(word in line for line in list(self.lines))

    def wait_for(self, ready, what, poll=None):
        """Polls until `ready()`; False when the process ended first. Past the deadline the
        process is killed and the test fails saying what it waited for."""

        def done():
            if ready():
                return "ready"
            if poll:
                poll()
            return "ended" if self.proc.poll() is not None else None

        try:
            return wait_until(done, what) == "ready"
        except BaseException:
            self.kill()
            raise

    def kill(self):
        """SIGKILL (where there is one); False when the process had already ended."""
        alive = self.proc.poll() is None
        self.proc.kill()
        self.proc.wait(timeout=DEADLINE)
        self.reader.join(timeout=DEADLINE)
        assert not self.reader.is_alive(), "the output of a killed process did not end"
        self.proc.stdin.close()
        self.proc.stdout.close()
        return alive


def saving(folder, name):
    """True while a save is being written: its new file stands beside the workbook."""
    return any(folder.glob(f"{name}.*.tmp"))


# ---------------------------------------------------------------------------------------- batch


def whole_pictures(path):
    """The pictures a reader of the file sees on all seven sheets, or None without a workbook."""
    try:
        return min(len(rows) for rows in read_workbook(path, formats=False).values()) - 1
    except (OSError, xlrd.XLRDError):
        return None


def test_killed_batch(sandbox):
    rng = random.Random(20261208)
    names = make_examples.picture_names(240)
    make_examples.write_batch(str(sandbox.work), names, random.Random(240))
    full = sandbox.run("import Tavrin; Tavrin.Tavrin()")
    assert full.returncode == 0, full.stderr
    [path] = sandbox.work.glob("Corvane*.xls")
    reference = workbook_cells(path)
    assert max(row for _, row, _ in reference) == len(names)

    found = []
    for kill in range(KILLS):
        for old in sandbox.work.glob(path.stem + ".*"):  # what the test sees of the workbook is this run's
            if old.suffix != ".lock":
                old.unlink()
        run = Run(sandbox, PACED_BATCH)
        seen, last = [None], [0.0]

        def observe():  # every 20 ms, so as not to slow the batch much
            if time.monotonic() - last[0] < 0.02:
                return
            count, last[0] = whole_pictures(path), time.monotonic()
            if count is not None and (seen[0] is None or count > seen[0]):
                seen[0] = count

        if kill == 0:  # early: around the first save
            run.wait_for(lambda: run.count(names[0]) > 0, f"the batch to print {names[0]}")
            time.sleep(rng.uniform(0, 0.03))
        elif kill % 2:  # while the second or a later save is being written
            run.wait_for(lambda: seen[0], "a first picture in the workbook", observe)
            for _ in range(rng.randrange(2)):
                run.wait_for(lambda: saving(sandbox.work, path.name), "a save to begin")
                run.wait_for(lambda: not saving(sandbox.work, path.name), "a save to end")
            run.wait_for(lambda: saving(sandbox.work, path.name), "a save to begin")
        else:  # at a random picture (not among the last, so that the batch has not ended), a moment later
            target = names[rng.randrange(len(names) - 40)]
            run.wait_for(lambda: run.count(target) > 0, f"the batch to print {target}", observe)
            time.sleep(rng.uniform(0, 0.05))
        in_save = saving(sandbox.work, path.name)
        killed = run.kill()

        if not path.exists():
            assert seen[0] is None
            found.append((killed, None, in_save, 0))
            continue
        read_workbook(path, formats=False)  # a plain reader opens it too
        cells = workbook_cells(path)
        count = max(row for _, row, _ in cells)
        # Whole pictures in capture-list order, cell for cell as the uninterrupted run wrote them.
        assert cells == {key: cell for key, cell in reference.items() if key[1] <= count}
        assert count >= (seen[0] or 0)
        # Its history holds the workbook's pictures: each save's are committed right after it
        # (a kill between the two leaves the history one save behind).
        history = Path(awb_history.history_path(path))
        history = awb_history.read_history(history) if history.exists() else {}
        shown = [name for name, entries in history.items() for _ in entries]
        assert shown == [reference["T", row, 0][1] for row in range(1, len(shown) + 1)] and len(shown) <= count
        found.append((killed, count, in_save, count - len(shown)))
        for leftover in sandbox.work.glob("*.tmp"):
            leftover.unlink()
    print(f"\nbatch kills (killed, pictures found, during a save, pictures the history lacks): {found}")
    assert sum(killed for killed, *_ in found) >= KILLS - 2 and sum(lacks > 0 for *_, lacks in found) <= 1


# -------------------------------------------------------------------------------------- console


def show_plan(rng, count):
    """(picture, colour temperature) of each show: new pictures and re-shows in turn."""
    plan, shown = [], []
    for n in range(count):
        if not shown or rng.random() < 0.5:
            shown.append(f"K{len(shown) + 1:03d}.jpg")
            picture = shown[-1]
        else:
            picture = rng.choice(shown)
        plan.append((picture, 3000 + n))
    return plan


def console_rows(path):
    """{sheet: [(name, CCT, shared values, value cells numeric, date cell, note)]} of the picture rows."""
    rows = {}
    for name, sheet in read_workbook(path).items():
        values = 11 if name in ("F", "CWF", "D", "DF") else 20
        rows[name] = [
            (
                row[0].value,
                row[1].value,
                [c.value for c in row[1:10]],
                all(c.type == xlrd.XL_CELL_NUMBER for c in row[1 : values + 1]),
                row[values + 2].type,
                row[values + 4].value,
            )
            for row in sheet[1:]
        ]
    return rows


def test_killed_console(sandbox):
    rng = random.Random(1208)
    raw = sandbox.simulator()
    notes = {f"K{n:03d}.jpg": make_examples.NOTES[n % len(make_examples.NOTES)] for n in range(1, 100)}
    sandbox.capture_list([f"{name}:{name[:-4]}.raw:{note}" for name, note in notes.items()])
    notes.update({f"B{i:04d}.jpg": "正常" for i in range(1, PREBUILT + 1)})
    prebuild = sandbox.run(PREBUILD.format(bench=str(TESTS.parent / "bench"), count=PREBUILT))
    assert prebuild.returncode == 0, prebuild.stderr
    desktop, name = sandbox.workbook.parent, sandbox.workbook.name
    # What the workbook holds: its pictures in row order and the CCT each may show.
    order = [f"B{i:04d}.jpg" for i in range(1, PREBUILT + 1)]
    cct = {picture: {1000 + i} for i, picture in enumerate(order, 1)}
    plan = show_plan(rng, 200)
    session = console_code(raw)
    done, found = 0, []
    for kill in range(KILLS):
        after = rng.randrange(4)  # shows completed before the kill
        simulate(raw, plan[done][0][:-4], cct=plan[done][1])  # the session's first show
        stdin = "".join(f"!simulate(raw, {p[:-4]!r}, cct={c})\n" for p, c in plan[done + 1 : done + after + 6])
        run = Run(sandbox, session, stdin)
        shown = lambda: run.count("回写路径:")  # noqa: E731
        run.wait_for(lambda: shown() >= after, f"{after} shows")
        if kill % 2:
            run.wait_for(lambda: saving(desktop, name), "a save to begin")
        else:
            time.sleep(rng.uniform(0, 0.15))
        in_save = saving(desktop, name)
        killed = run.kill()

        completed = shown()
        for picture, c in plan[done : done + completed]:
            if picture not in order:
                order.append(picture)
            cct[picture] = {c}
        may = set(plan[done + completed : done + completed + 1])  # saved or not when killed
        read_workbook(sandbox.workbook, formats=False)  # a plain reader opens it too
        rows = console_rows(sandbox.workbook)
        names = [row[0] for row in rows["T"]]
        assert names in [order] + [order + [p] for p, _ in may if p not in order]
        for r, picture in enumerate(names):
            allowed = cct.get(picture, set()) | {c for p, c in may if p == picture}
            first = rows["T"][r]
            for sheet in LIGHT_SOURCES:  # the whole picture, on all seven sheets
                row = rows[sheet][r]
                assert row[0] == picture and row[1] in allowed and row[2] == first[2], (sheet, row)
                assert row[3] and row[4] == xlrd.XL_CELL_DATE and row[5] == notes[picture], (sheet, row)
        order = names
        cct = {picture: {rows["T"][r][1]} for r, picture in enumerate(names)}
        found.append((killed, completed, len(names) - PREBUILT, in_save))
        done += completed
        for leftover in desktop.glob("*.tmp"):
            leftover.unlink()
    print(f"\nconsole kills (killed, shows completed, new pictures held, during a save): {found}")
    assert all(killed for killed, *_ in found) and len(order) > PREBUILT
