"""The mended faults: a failing show is one "操作失败:" line and the console goes on with the
disk as it was; end of input and Ctrl-C end the loop quietly, and Ctrl-C during a show's save
leaves its rows on all seven sheets or on none; a failing start-up of `lumvik`
is one line naming the problem and the error log."""

import os
import sys
import time
from pathlib import Path

import pytest
import xlwt

from conftest import LIGHT_SOURCES
from console_support import session, simulate

LOCKED = """
class Locked:  # the workbook held open by a spreadsheet program, as Windows reports it
    def __getattr__(self, name):
        return getattr(os, name)
    def replace(self, src, dst):
        raise PermissionError(13, "The process cannot access the file", dst)
Lumvik.os = Locked()
"""
BUSY = LOCKED.replace('PermissionError(13, "The process cannot access the file", dst)', "OSError(16, 'x', src, 0, dst)")
DISK_FAILS = LOCKED.replace("replace(self, src, dst)", "fsync(self, fd)").replace(
    'PermissionError(13, "The process cannot access the file", dst)', 'OSError(5, "Input/output error")'
)

STUMBLES = """
class Stumbling:  # a reader tripping over a damaged workbook: no fault of its sheets
    def __getattr__(self, name):
        return getattr(xlrd, name)
    def open_workbook(self, *args, **kwargs):
        raise IndexError("array index out of range")
Lumvik.xlrd = Stumbling()
"""


def recorded(sandbox, raw, stem="P050"):
    """A workbook that already holds one picture."""
    simulate(raw, stem)
    assert "操作失败" not in session(sandbox, raw, "q\n")[0].stdout


def six_sheets(sandbox):
    sandbox.workbook.parent.mkdir()
    book = xlwt.Workbook()
    for code in ("T", "WF", "F", "CWF", "D", "DF"):
        book.add_sheet(code)
    book.save(str(sandbox.workbook))


CASES = {  # how the show is made to fail, code run in the console first, the line's words
    "no-result-text": (lambda s, raw: None, "", "{results}/ 中没有仿真结果文本"),
    "no-results-folder": (lambda s, raw: (raw / "Results").rmdir(), "", "{results}/ 不存在"),
    "malformed-text": (
        lambda s, raw: simulate(raw, "P100", AWB_TAG_DATE="2026-12-08"),
        "",
        "P100-main_awb_dbg_info.txt 中有不是整数的值",
    ),
    "malformed-text-old-workbook": (
        lambda s, raw: (recorded(s, raw), simulate(raw, "P100", AWB_TAG_GAIN_R="7.5")),
        "",
        "P100-main_awb_dbg_info.txt 中有不是整数的值",
    ),
    "not-an-xls": (
        lambda s, raw: (simulate(raw, "P100"), s.workbook.parent.mkdir(), s.workbook.write_bytes(b"PK")),
        "",
        "不是可读的 .xls 工作簿",
    ),
    "six-sheets": (lambda s, raw: (simulate(raw, "P100"), six_sheets(s)), "", "缺少工作表 S (有 T, WF, F, CWF, D, DF)"),
    "reader-index-error": (
        lambda s, raw: (recorded(s, raw), simulate(raw, "P100")),
        STUMBLES,
        "不是可读的 .xls 工作簿, 请移走它后重试 (IndexError: array index out of range)",
    ),
    "held-open": (lambda s, raw: (recorded(s, raw), simulate(raw, "P100")), LOCKED, "正被表格程序打开"),
    "held-busy": (lambda s, raw: (recorded(s, raw), simulate(raw, "P100")), BUSY, "xls 无法保存: 它正被表格程序打开"),
    "disk-fails": (
        lambda s, raw: (recorded(s, raw), simulate(raw, "P100")),
        DISK_FAILS,
        "无法保存 (OSError: [Errno 5] Input/output error)",
    ),
}


@pytest.mark.parametrize("case", CASES)
def test_failing_show(sandbox, case):
    prepare, setup, words = CASES[case]
    raw = sandbox.simulator()
    prepare(sandbox, raw)
    before = sandbox.workbook.read_bytes() if sandbox.workbook.exists() else None

    result, _ = session(sandbox, raw, "q\n", setup)

    failures = [line for line in result.stdout.splitlines() if line.startswith("操作失败:")]
    assert len(failures) == 1 and words.format(results=raw / "Results") in failures[0]
    assert result.returncode == 0 and result.stdout.endswith(failures[0] + "\n输入参数: ")
    assert sandbox.log.split(failures[0] + "\n", 1)[1].strip()  # the trace follows the line
    # Nothing changed on disk: the old workbook, or none, and no half-saved file beside it.
    assert (sandbox.workbook.read_bytes() if sandbox.workbook.exists() else None) == before
    assert not list(sandbox.home.glob("Desktop/*.tmp"))


def test_next_show_works_once_the_workbook_is_closed(sandbox):
    raw = sandbox.simulator()
    recorded(sandbox, raw)
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "!Lumvik.os = os\nq\n", LOCKED)
    assert result.stdout.count("操作失败:") == 1
    assert [row[0][1] for row in book["S"][1:]] == ["P050.jpg", "P100.jpg"]


@pytest.mark.parametrize(
    "setup, last",
    [("", "输入参数: "), ("def ctrl_c(prompt):\n    raise KeyboardInterrupt\nLumvik.input = ctrl_c", "")],
    ids=["end-of-input", "ctrl-c"],
)
def test_loop_ends_quietly(sandbox, setup, last):
    raw = sandbox.simulator()
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "", setup)
    assert result.returncode == 0 and book  # Lumvik_Main returned and the session went on
    assert result.stdout.endswith(f"回写路径:{sandbox.workbook}\n{last}")


# Ctrl-C in the middle of a show: while the sheets' values are read (before anything is
# written), while the saved file is being written, and right after it replaced the workbook.
CTRL_C = "import signal, types\n"
CTRL_C_AT = {
    "reading": (
        CTRL_C
        + """
_create_data = Lumvik.Create_Data
def _reading(code):
    code == "CWF" and signal.raise_signal(signal.SIGINT)
    return _create_data(code)
Lumvik.Create_Data = _reading
""",
        False,
    ),
    "saving": (
        CTRL_C
        + """
def _fsync(fd):
    signal.raise_signal(signal.SIGINT)
    os.fsync(fd)
Lumvik.os = types.SimpleNamespace(**{**vars(os), "fsync": _fsync})
""",
        True,
    ),
    "replaced": (
        CTRL_C
        + """
def _replace(*args):
    os.replace(*args)
    signal.raise_signal(signal.SIGINT)
Lumvik.os = types.SimpleNamespace(**{**vars(os), "replace": _replace})
""",
        True,
    ),
}


@pytest.mark.parametrize("moment", CTRL_C_AT)
def test_ctrl_c_during_a_show_saves_all_seven_sheets_or_none(sandbox, moment):
    setup, saved = CTRL_C_AT[moment]
    raw = sandbox.simulator()
    recorded(sandbox, raw)
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "!simulate(raw, 'P200')\nq\n", setup)
    # The console ended: no prompt, the next command never read.
    assert result.returncode == 0 and "输入参数" not in result.stdout and "操作失败" not in result.stdout
    for code in LIGHT_SOURCES:
        assert [row[0][1] for row in book[code][1:]] == ["P050.jpg"] + ["P100.jpg"] * saved, code
    assert not list(sandbox.home.glob("Desktop/*.tmp"))


@pytest.mark.parametrize(
    "config, status, console",
    [
        ([], 1, "Config.ini 中没有任何行"),
        (["Path"], 1, 'Config.ini 第 1 行没有 "="'),
        (["", "Path={root}/sim"], 1, 'Config.ini 第 1 行没有 "="'),
        (["Path={root}/missing"], 0, "{root}/missing 文件夹不存在!"),
        (["Path={root}/sim"], 0, "HalvexSimulator信息查询"),
    ],
)
def test_lumvik_command_start_up(sandbox, config, status, console):
    (sandbox.root / "sim" / "Results").mkdir(parents=True)
    sandbox.config(*(line.format(root=sandbox.root) for line in config))
    before = (sandbox.work / "Config.ini").read_bytes()
    result = sandbox.command([str(Path(sys.executable).with_name("lumvik"))], stdin="q\n")
    assert (sandbox.work / "Config.ini").read_bytes() == before
    assert result.returncode == status and console.format(root=sandbox.root) in result.stdout + result.stderr
    if status:  # one line on the console naming the problem and the error log holding the trace
        assert result.stderr.count("\n") == 1 and str(sandbox.home / "log.txt") in result.stderr
        assert "Error" in sandbox.log and result.stdout == ""


def test_a_result_name_that_is_no_text_costs_one_line_at_every_start(sandbox):
    raw = sandbox.simulator()
    simulate(raw, "P001")
    name = os.fsencode(raw / "Results") + "/测试-main_dbg_scolor_info.txt".encode("gbk")  # from a share
    for path in (name, name.replace(b"_dbg_scolor_", b"_awb_dbg_")):
        Path(os.fsdecode(path)).write_text("AWB_TAG_CCT: 5200\n")
        os.utime(path, (time.time() + 30,) * 2)
    lumvik = [str(Path(sys.executable).with_name("lumvik"))]
    starts = [sandbox.command(lumvik, stdin="q\n"), sandbox.command(lumvik, stdin="r\nq\n")]
    for result in starts:
        failures = [line for line in result.stdout.splitlines() if line.startswith("操作失败:")]
        assert result.returncode == 0 and len(failures) == 1 and result.stdout.endswith("参数: ")
        assert "\\xB2\\xE2\\xCA\\xD4-main_" in failures[0] and "(按 GBK 读作 测试-main_" in failures[0]
    assert "数据已清空!" in starts[1].stdout and os.listdir(raw / "Results") == []
    assert failures[0] in (sandbox.home / "log.old.txt").read_text(encoding="utf-8")  # the first start's trace
