"""One writer at a time: two consoles recording into one shared workbook at full speed, a
second batch on a workbook that a batch is writing, a console waiting for another program."""

import subprocess
import sys
import time
from pathlib import Path

import xlrd
from conftest import LIGHT_SOURCES, wait_until
from console_support import SESSION, TESTS, simulate
from test_kills import PACED_BATCH, Run

import make_examples

ROUNDS, PICTURES = 2, 25  # per console and round


def start_console(sandbox, work, raw, stdin):
    work.mkdir(exist_ok=True)
    (work / "Config.ini").write_text(f"Path={raw}\n", encoding="utf-8")
    code = SESSION.format(tests=str(TESTS), bench=str(TESTS.parent / "bench"), raw=str(raw), setup="")
    (work / "stdin.txt").write_text(stdin, encoding="utf-8")
    with open(work / "stdin.txt", encoding="utf-8") as commands:
        return subprocess.Popen([sys.executable, "-c", code], cwd=work, env=sandbox.env(), text=True,
                                encoding="utf-8", stdin=commands, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)


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
    book = xlrd.open_workbook(str(sandbox.workbook))
    for code in LIGHT_SOURCES:  # every picture of both consoles, once, on every sheet
        assert sorted(book.sheet_by_name(code).col_values(0, 1)) == sorted(expected)
    print(f"\ntwo consoles: {len(expected)} pictures recorded in {ROUNDS} rounds, all of them kept")


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
    for code in LIGHT_SOURCES:  # the first batch went on undisturbed
        assert xlrd.open_workbook(str(workbook)).sheet_by_name(code).nrows == len(names) + 1

    # A console show while another program holds the lock waits, then fails in one line.
    raw = sandbox.simulator()
    simulate(raw, "P100")
    lock = Path(str(sandbox.workbook) + ".lock")
    sandbox.workbook.parent.mkdir()
    held = sandbox.root / "held"
    holder = subprocess.Popen([sys.executable, "-c", f"import filelock, time\nwith filelock.FileLock({str(lock)!r}):\n"
                               f"    open({str(held)!r}, 'w').close(); time.sleep(7)"])
    wait_until(held.exists, "the other program to take the lock")
    result = sandbox.run(SESSION.format(tests=str(TESTS), bench=str(TESTS.parent / "bench"), raw=str(raw),
                                        setup=""), stdin="!time.sleep(3)\nq\n")
    holder.communicate(timeout=30)
    failure = f"操作失败: 工作簿 {sandbox.workbook} 正被另一个程序写入, 等了 5 秒仍未写完, 本次未记录, 稍后再按回车"
    assert result.stdout.count("操作失败") == 1 and failure in result.stdout
    assert result.stdout.count("回写路径:") == 1  # the next show, once the lock was free
