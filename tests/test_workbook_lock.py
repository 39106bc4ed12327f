"""One writer at a time: two consoles recording into one shared workbook at full speed, a
console showing while another is inside its save (with the lock beside the workbook, and in
the machine's lock folder where the workbook's folder takes no new file), a second batch on a
workbook that a batch is writing, a console waiting for another program, a lock file deleted or
replaced by a folder while a batch runs."""

import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

import filelock
import pytest

import make_examples
from awb_desk import history as awb_history
from conftest import LIGHT_SOURCES, wait_until
from console_support import console_code, session, simulate
from read_workbook import read_workbook
from test_batch_rerun import PACED_COMMAND, TAVRIN
from test_kills import PACED_BATCH, Run

ROUNDS, PICTURES = 2, 25  # per console and round


# Console A stops inside its save (its rows written in memory, nothing yet on disk) until the
# test says go; console B notes when it asks for the workbook's lock.
PAUSED_SAVE = """
import time, types
def _getpid():
    open({paused!r}, "w").close()
    end = time.monotonic() + 60
    while not os.path.exists({go!r}) and time.monotonic() < end:
        time.sleep(0.01)
    return os.getpid()
Lumvik.os = types.SimpleNamespace(**{{**vars(os), "getpid": _getpid}})
"""
WATCHED_LOCK = """
import filelock, types
class _Watched(filelock.FileLock):
    def acquire(self, *args, **kwargs):
        open({waiting!r}, "w").close()
        return super().acquire(*args, **kwargs)
Lumvik.filelock = types.SimpleNamespace(FileLock=_Watched, Timeout=filelock.Timeout)
"""
# Between console B's open of the lock file and its lock, the path comes to name another file.
OPENED_ELSEWHERE = """
_open, _opened = os.open, []
def _open_elsewhere(path, *args):
    if _opened or not str(path).endswith(".lock"):
        return _open(path, *args)
    return _opened.append(path) or _open("opened.lock", os.O_RDWR | os.O_CREAT)
os.open = _open_elsewhere
"""


def start_console(sandbox, work, raw, stdin, setup=""):
    work.mkdir(exist_ok=True)
    (work / "Config.ini").write_text(f"Path={raw}\n", encoding="utf-8")
    (work / "stdin.txt").write_text(stdin, encoding="utf-8")
    with open(work / "stdin.txt", encoding="utf-8") as commands:
        return sandbox.start(console_code(raw, setup), stdin=commands, cwd=work, env={"TMPDIR": str(work)})  # its own


def test_two_consoles_share_one_workbook(sandbox):
    raws = {tool: sandbox.root / f"sim{tool}" for tool in "AB"}
    expected = []
    for rnd in range(ROUNDS):
        consoles = []
        for tool, raw in raws.items():
            (raw / "Results").mkdir(parents=True, exist_ok=True)
            names = [f"{tool}{rnd}{i:02d}" for i in range(PICTURES)]
            simulate(raw, names[0])  # the console's first show, at start
            stdin = "".join(f"!simulate(raw, {name!r})\n" for name in names[1:]) + "q\n"
            consoles.append(start_console(sandbox, sandbox.root / f"work{tool}", raw, stdin))
            expected += [f"{name}.jpg" for name in names]
        for console in consoles:
            out, err = console.communicate(timeout=300)
            assert console.returncode == 0 and "操作失败" not in out, out + err + str(sandbox.log)
            assert out.count("回写路径:") == PICTURES
    book = read_workbook(sandbox.workbook, formats=False)
    for code in LIGHT_SOURCES:  # every picture of both consoles, once, on every sheet
        assert sorted(row[0].value for row in book[code][1:]) == sorted(expected)
    print(f"\ntwo consoles: {len(expected)} pictures recorded in {ROUNDS} rounds, all of them kept")


def refuse_new_files(folder):
    """Makes the folder take no new file while its files stay writable (chattr +i, as root on a
    file system that keeps the flag); False where that cannot be done."""
    if not shutil.which("chattr"):
        return False
    return subprocess.run(["chattr", "+i", str(folder)], capture_output=True, timeout=30).returncode == 0


@pytest.mark.parametrize("case", ["beside", "machine-folder", "after-a-failed-open", "fresh", "fresh-no-desktop"])
def test_the_lock_is_held_for_the_whole_show(sandbox, case):
    raws = {c: sandbox.root / f"sim{c}" for c in "AB"}
    for raw in raws.values():
        (raw / "Results").mkdir(parents=True)
    sandbox.config(f"Path={raws['A']}")
    desktop, earlier = sandbox.workbook.parent, [] if case.startswith("fresh") else ["P050.jpg"]
    if earlier:
        simulate(raws["A"], "P050")
        assert "操作失败" not in session(sandbox, raws["A"], "q\n")[0].stdout
    elif case == "fresh":
        desktop.mkdir()
    fallback = case in ("machine-folder", "after-a-failed-open")
    digest = hashlib.sha256(os.path.realpath(sandbox.workbook).encode()).hexdigest()[:24]
    lock = Path(f"/tmp/awb-workbook-locks/awb-workbook-{digest}.lock") if fallback else Path(f"{sandbox.workbook}.lock")
    if fallback:
        Path(f"{sandbox.workbook}.lock").unlink()
        if not refuse_new_files(desktop):
            pytest.skip("no folder here can be made to refuse new files: chattr +i needs root and ext4 or alike")
    consoles, windows = [], "os.access = lambda *args, **kwargs: True\n" if case == "after-a-failed-open" else ""
    try:
        if fallback:
            with pytest.raises(PermissionError):
                (desktop / "new").touch()
        paused, go, waiting = (sandbox.root / name for name in ("paused", "go", "waiting"))
        simulate(raws["A"], "P100")
        simulate(raws["B"], "P200")
        setup = windows + PAUSED_SAVE.format(paused=str(paused), go=str(go))
        consoles.append(start_console(sandbox, sandbox.root / "workA", raws["A"], "q\n", setup))
        wait_until(paused.exists, "console A inside its save")
        # For B as another user's lock file would be: one it cannot open for writing.
        subprocess.run(["chattr", "+i", str(lock)], capture_output=True, timeout=30)
        setup = windows + OPENED_ELSEWHERE + WATCHED_LOCK.format(waiting=str(waiting))
        consoles.append(start_console(sandbox, sandbox.root / "workB", raws["B"], "q\n", setup))
        wait_until(waiting.exists, "console B asking for the workbook's lock")
        time.sleep(0.5)  # B waits for the lock while A is inside its save
        go.touch()
        outputs = [console.communicate(timeout=60) for console in consoles]
    finally:
        for console in consoles:
            console.kill()  # nothing left running when the test failed
        subprocess.run(["chattr", "-i", str(desktop), str(lock)], capture_output=True, timeout=30)
    for out, err in outputs:
        assert out.count("回写路径:") == 1 and "操作失败" not in out, out + err
    book = read_workbook(sandbox.workbook)
    for code in LIGHT_SOURCES:  # neither console's row was lost to the other's save
        assert [row[0].value for row in book[code][1:]] == [*earlier, "P100.jpg", "P200.jpg"], code
    assert lock.exists() and Path(f"{sandbox.workbook}.lock").exists() != fallback


def test_a_second_writer_waits_or_stops(sandbox):
    names = make_examples.picture_names(240)
    make_examples.write_batch(str(sandbox.work), names, __import__("random").Random(240))
    first = Run(sandbox, PACED_BATCH)
    assert first.wait_for(lambda: first.count(names[0]) > 0, f"the first batch to print {names[0]}")
    started = time.monotonic()
    second = sandbox.command([str(Path(sys.executable).with_name("tavrin"))], timeout=60)
    [workbook] = sandbox.work.glob("Corvane*.xls")
    assert second.returncode == 1 and time.monotonic() - started < 10 and second.stdout == ""
    assert second.stderr == f"数据处理失败: 工作簿 {workbook.name} 正被另一个程序写入\n"
    first.proc.wait(timeout=120)
    first.kill()
    book = read_workbook(workbook, formats=False)
    for code in LIGHT_SOURCES:  # the first batch went on undisturbed
        assert len(book[code]) == len(names) + 1

    # A console show while another program holds the lock waits, then fails in one line.
    raw = sandbox.simulator()
    simulate(raw, "P100")
    lock = Path(str(sandbox.workbook) + ".lock")
    sandbox.workbook.parent.mkdir()
    held = sandbox.root / "held"
    holder = subprocess.Popen(
        [
            sys.executable,
            "-c",
            f"import filelock, time\nwith filelock.FileLock({str(lock)!r}):\n"
            f"    open({str(held)!r}, 'w').close(); time.sleep(7)",
        ]
    )
    wait_until(held.exists, "the other program to take the lock")
    result = sandbox.run(
        console_code(raw),
        stdin="!time.sleep(3)\nq\n",
    )
    holder.communicate(timeout=30)
    failure = f"操作失败: 工作簿 {sandbox.workbook} 正被另一个程序写入, 等了 5 秒仍未写完, 本次未记录, 稍后再按回车"
    assert result.stdout.count("操作失败") == 1 and failure in result.stdout
    assert result.stdout.count("回写路径:") == 1  # the next show, once the lock was free


def pictures_in(path):
    """The pictures of a workbook, the same on all seven sheets."""
    [names] = {tuple(row[0].value.split(" ")[0] for row in rows[1:]) for rows in read_workbook(path, False).values()}
    return list(names)


SIGNALLED = ("deleted", "deleted-while-first-paused", "replaced-by-a-folder")  # the others: in the quick loop


@pytest.mark.parametrize(
    "case", [*(pytest.param(c, marks=pytest.mark.sigkill) for c in SIGNALLED), "replaced-by-another-lock"]
)
def test_a_lock_file_deleted_or_replaced_mid_batch_never_lets_two_batches_write(sandbox, case):
    names = make_examples.picture_names(240)
    make_examples.write_batch(str(sandbox.work), names, __import__("random").Random(240))
    first = Run(sandbox, PACED_COMMAND)
    workbook = sandbox.work / f"Corvane{time.strftime('%Y%m%d')}.xls"
    lock = Path(f"{workbook}.lock")
    wait_until(lambda: first.count(names[40]) > 0, f"the first batch to print {names[40]}")
    if case == "replaced-by-another-lock":  # made and locked by another program while the first runs
        with filelock.FileLock(f"{lock}.new"):
            os.replace(f"{lock}.new", lock)
            first.proc.wait(timeout=120)  # the first stops at its next look; then the second runs
    else:
        first.proc.send_signal(signal.SIGSTOP)
        lock.unlink()
    if case == "replaced-by-a-folder":
        lock.mkdir()
    if case in ("deleted", "replaced-by-a-folder"):  # else the second takes the lock before the first looks again
        first.proc.send_signal(signal.SIGCONT)
        recorded = first.count(".jpg:")
        wait_until(lambda: first.count(".jpg:") >= recorded + 2, "the first batch to look at its lock again")
        first.proc.send_signal(signal.SIGSTOP)
    second = sandbox.command([TAVRIN], timeout=120)
    first.proc.send_signal(signal.SIGCONT)
    first.proc.wait(timeout=120)
    first.kill()
    told = (sandbox.work / "stderr.txt").read_text(encoding="utf-8")
    kept = {path.name: pictures_in(path) for path in (sandbox.work / "备份").glob("*.xls")}
    if case in ("deleted-while-first-paused", "replaced-by-another-lock"):  # the first stops, its pictures in 备份
        assert second.returncode == 0 and "数据处理完成" in second.stdout and pictures_in(workbook) == names
        assert first.proc.returncode == 1 and told.count("\n") == 1 and "数据处理完成" not in "".join(first.lines)
        saved, aside = re.fullmatch(
            r"数据处理失败: 工作簿 \S+ 已被另一个程序加锁写入 \(锁文件曾被删除或替换\), "
            r"本次不再写入它; 本次的表格 \((\d+) 张照片\) 另存到: (\S+)\n",
            told,
        ).groups()
        assert kept[Path(aside).name] == names[: int(saved)] and int(saved) >= first.count(".jpg:") - 1
        # Its history went beside that workbook; the day's history holds the second batch's alone.
        day, beside = (awb_history.read_history(awb_history.history_path(p)) for p in (workbook, sandbox.work / aside))
        assert [len(e) for e in day.values()] == [1] * len(names) and sum(map(len, beside.values())) == int(saved)
    else:  # the second stops at once, the first records every picture in the day's workbook
        assert first.proc.returncode == 0 and pictures_in(workbook) == names and told == ""
        reason = "正被另一个程序写入" if case == "deleted" else "无法加锁: 锁文件"
        assert second.returncode == 1 and second.stdout == "" and second.stderr.count("\n") == 1
        assert second.stderr.startswith(f"数据处理失败: 工作簿 {workbook.name} {reason}"), second.stderr
        assert kept == {}
