"""The mended faults: a failing show or clear is one "操作失败:" line and the console goes on
(the disk left as it was), end of input and Ctrl-C end the loop quietly, and a failing
start-up of `lumvik` is one line naming the problem and the error log."""

import sys
from pathlib import Path

import pytest
import xlwt

from console_support import session, simulate

LOCKED = """
class Locked:  # the workbook held open by a spreadsheet program, as Windows reports it
    def __getattr__(self, name):
        return getattr(os, name)
    def replace(self, src, dst):
        raise PermissionError(13, "The process cannot access the file", dst)
Lumvik.os = Locked()
"""
FAILING_DISK = LOCKED.replace("def replace(self, src, dst):", "def fsync(self, fd):").replace(
    'PermissionError(13, "The process cannot access the file", dst)', 'OSError(5, "Input/output error")')


def recorded(sandbox, raw, stem):
    """A workbook that already holds one picture."""
    simulate(raw, stem)
    result, _ = session(sandbox, raw, "q\n")
    assert result.returncode == 0 and "操作失败" not in result.stdout


def six_sheets(sandbox, raw):
    sandbox.workbook.parent.mkdir()
    book = xlwt.Workbook()
    for code in ("T", "WF", "F", "CWF", "D", "DF"):
        book.add_sheet(code).write(0, 0, "File Name")
    book.save(str(sandbox.workbook))


CASES = {
    "no-result-text": (lambda s, raw: None, "", "{results}/ 中没有仿真结果文本"),
    "no-results-folder": (lambda s, raw: (raw / "Results").rmdir(), "", "{results}/ 不存在"),
    "malformed-text-new-workbook": (lambda s, raw: simulate(raw, "P100", AWB_TAG_DATE="2026-12-08"), "",
                                    "P100-main_awb_dbg_info.txt 中有不是整数的值"),
    "malformed-text": (lambda s, raw: (recorded(s, raw, "P050"), simulate(raw, "P100", AWB_TAG_GAIN_R="7.5")),
                       "", "P100-main_awb_dbg_info.txt 中有不是整数的值"),
    "not-an-xls": (lambda s, raw: (simulate(raw, "P100"), s.workbook.parent.mkdir(), s.workbook.write_bytes(b"PK\3\4")),
                   "", "不是可读的 .xls 工作簿"),
    "six-sheets": (lambda s, raw: (simulate(raw, "P100"), six_sheets(s, raw)), "", "少于七个工作表"),
    "held-open": (lambda s, raw: (recorded(s, raw, "P050"), simulate(raw, "P100")), LOCKED, "正被表格程序打开"),
    "disk-fails-while-saving": (lambda s, raw: (recorded(s, raw, "P050"), simulate(raw, "P100")), FAILING_DISK,
                                "无法保存 (OSError: [Errno 5] Input/output error)"),
}


@pytest.mark.parametrize("case", CASES)
def test_failing_show(sandbox, case):
    prepare, setup, fragment = CASES[case]
    raw = sandbox.simulator()
    prepare(sandbox, raw)
    before = sandbox.workbook.read_bytes() if sandbox.workbook.exists() else None

    result, _ = session(sandbox, raw, "q\n", setup)

    assert result.returncode == 0
    failures = [line for line in result.stdout.splitlines() if line.startswith("操作失败:")]
    assert len(failures) == 1 and fragment.format(results=raw / "Results") in failures[0]
    assert result.stdout.endswith(failures[0] + "\n输入参数: ")
    assert sandbox.log.split(failures[0] + "\n", 1)[1].strip()  # the trace follows the line
    # Nothing changed on disk: the old workbook, or none, and no half-saved file beside it.
    assert (sandbox.workbook.read_bytes() if sandbox.workbook.exists() else None) == before
    assert not list(sandbox.home.glob("Desktop/*.tmp"))


def test_console_goes_on_once_the_workbook_is_closed(sandbox):
    raw = sandbox.simulator()
    recorded(sandbox, raw, "P050")
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "!Lumvik.os = os\nq\n", LOCKED)
    assert result.stdout.count("操作失败:") == 1
    assert [row[0][1] for row in book["S"][1:]] == ["P050.jpg", "P100.jpg"]


@pytest.mark.parametrize("setup", ["", "Lumvik.input = lambda prompt: (_ for _ in ()).throw(KeyboardInterrupt)"],
                         ids=["end-of-input", "ctrl-c"])
def test_loop_ends_quietly(sandbox, setup):
    raw = sandbox.simulator()
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "", setup)
    assert result.returncode == 0 and book is not None  # Lumvik_Main returned
    assert "操作失败" not in result.stdout and result.stdout.endswith("回写路径:" + str(sandbox.workbook) + "\n" +
                                                                   ("输入参数: " if not setup else ""))


LUMVIK = str(Path(sys.executable).with_name("lumvik"))


@pytest.mark.parametrize("config, status, console", [
    ([], 1, "Config.ini 中没有任何行"),
    (["Path"], 1, 'Config.ini 第 1 行没有 "="'),
    (["Path={root}/missing"], 0, "{root}/missing 文件夹不存在!"),
    (["Path={root}/sim"], 0, "HalvexSimulator信息查询"),
])
def test_lumvik_command_start_up(sandbox, config, status, console):
    (sandbox.root / "sim" / "Results").mkdir(parents=True)
    sandbox.config(*(line.format(root=sandbox.root) for line in config))
    result = sandbox.command([LUMVIK], stdin="q\n")
    assert result.returncode == status
    assert console.format(root=sandbox.root) in result.stdout + result.stderr
    if status:  # one line on the console naming the problem and the error log with the trace
        assert result.stderr.count("\n") == 1 and str(sandbox.home / "log.txt") in result.stderr
        assert "Error" in sandbox.log and result.stdout == ""
