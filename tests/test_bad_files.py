"""Bad files on an engineer's desk. A workbook that is not a BIFF file, has six sheets, is
read-only or lies in a read-only folder, and a capture list in GBK: the console's show and the
batch (the tavrin command, DP_DUMP) each fail in one clear line, and nothing on disk changes.
A 50 MB debug text is recorded as any other."""

import os
import random
import sys
import zipfile
from pathlib import Path

import pytest
import xlwt

import make_examples
from conftest import LIGHT_SOURCES, tag_matches, tag_rule
from console_support import session, simulate
from read_workbook import read_workbook

ADMIN = hasattr(os, "geteuid") and os.geteuid() == 0
READ_ONLY = "它正被表格程序打开, 或它及所在文件夹是只读的"
# Where folder permissions do not stop the administrator, the module's file functions refuse
# to create, replace or delete anything in the folder instead, as a read-only folder would.
FOLDER_REFUSES = """
import builtins, os, types
def _refuse(path):
    if os.path.dirname(os.path.abspath(path)) == {folder!r}:
        raise PermissionError(13, "Permission denied", path)
def _guarded(name):
    def call(path, *args, **kwargs):
        _refuse(path)
        return getattr(os, name)(path, *args, **kwargs)
    return call
def _open(path, mode="r", *args, **kwargs):
    if set(mode) & set("wax+"):
        _refuse(path)
    return builtins.open(path, mode, *args, **kwargs)
_names = ("remove", "replace", "rename", "mkdir", "chmod")
{module}.os = types.SimpleNamespace(**{{**vars(os), **{{n: _guarded(n) for n in _names}}}})
{module}.open = _open
"""
# Windows keeps a workbook that a spreadsheet program holds open from being moved.
HELD_OPEN = """
import os, types
def _rename(path, to):
    raise PermissionError(13, "The process cannot access the file", path)
Tavrin.os = types.SimpleNamespace(**{**vars(os), "rename": _rename})
"""
TAVRIN = "import sys, Tavrin\n{setup}\nfrom awb_desk import cli\nsys.exit(cli.tavrin())"
DP_DUMP = """import Tavrin
{setup}
try:
    Tavrin.DP_DUMP("EXIF")
except Exception as exc:
    report(exc.__notes__)
"""


def xlsx(path):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types/>')
        z.writestr("xl/workbook.xml", '<?xml version="1.0"?><workbook><sheets/></workbook>')


def six_sheets(path):
    book = xlwt.Workbook()
    for code in LIGHT_SOURCES[:6]:
        book.add_sheet(code).write(0, 0, "File Name")
    book.save(str(path))


def read_only_folder(path, module):
    """The workbook and its folder made read-only: for real, or simulated for the administrator.
    (A workbook that may be written in a read-only folder is saved in place: test_workbook_files.)"""
    if ADMIN:
        return FOLDER_REFUSES.format(folder=str(path.parent), module=module)
    path.chmod(0o444)
    path.parent.chmod(0o555)
    return ""


CASES = {  # how the file goes bad (returns code for the module), the words of the one line
    "text-file": (
        lambda p, m: p.write_text("File Name\tCT\nP050.jpg\t5000\n", encoding="utf-8"),
        "不是可读的 .xls 工作簿",
    ),
    "xlsx": (lambda p, m: xlsx(p), "(XLRDError: Excel xlsx file; not supported)"),
    "six-sheets": (lambda p, m: six_sheets(p), "缺少工作表 S (有 T, WF, F, CWF, D, DF)"),
    "read-only": (lambda p, m: p.chmod(0o444), READ_ONLY),
    "read-only-folder": (read_only_folder, READ_ONLY),
    "gbk-capture-list": (None, "rawfilename.txt 不是 utf-8 编码的文本"),
}
# DP_DUMP reads no capture list; test_console_faults has the console's six-sheet workbook.
PAIRS = [
    (case, tool)
    for case in CASES
    for tool in ("console", "tavrin", "DP_DUMP")
    if (case, tool) not in {("gbk-capture-list", "DP_DUMP"), ("six-sheets", "console")}
]


def files(*folders):
    return {
        p: p.read_bytes()
        for folder in folders
        for p in folder.rglob("*")
        if p.is_file() and p.name not in ("log.txt", "book.json") and p.suffix != ".lock"
    }


def gbk(path):
    path.write_bytes(path.read_text(encoding="utf-8").encode("gbk"))


def spoil(case, path, module):
    """Makes the file bad; returns the code that the module runs first, if any."""
    code = CASES[case][0](path, module) if CASES[case][0] else gbk(path)
    return code if isinstance(code, str) else ""


def console(sandbox, case):
    bad, words = CASES[case]
    raw = sandbox.simulator()
    lines = sandbox.capture_list(["P050.jpg:P050.raw:室外偏红", "P100.jpg:P100.raw:室内偏黄"])
    simulate(raw, "P050")
    assert "操作失败" not in session(sandbox, raw, "q\n")[0].stdout
    simulate(raw, "P100")
    setup = spoil(case, sandbox.workbook if bad else lines, "Lumvik")
    before = files(sandbox.home, sandbox.work)

    result, _ = session(sandbox, raw, "q\n", setup)

    failures = [line for line in result.stdout.splitlines() if "操作失败:" in line]
    assert len(failures) == 1 and words in failures[0], result.stdout
    assert result.stdout.endswith(failures[0] + "\n输入参数: ")  # and the console prompts again
    return before, files(sandbox.home, sandbox.work)


def batch(sandbox, case, tool):
    bad, words = CASES[case]
    sandbox.settings()
    names = make_examples.picture_names(3)
    make_examples.write_batch(str(sandbox.work), names, random.Random(3))
    first = sandbox.command([str(Path(sys.executable).with_name("tavrin"))])
    assert first.returncode == 0, first.stderr
    setup = spoil(case, next(sandbox.work.glob("Corvane*.xls")) if bad else sandbox.work / "rawfilename.txt", "Tavrin")
    if tool == "tavrin" and case in ("text-file", "xlsx", "six-sheets"):
        setup += HELD_OPEN  # else the batch would simply make the day's workbook afresh
        words = READ_ONLY  # and it stops before it reads it
    before = files(sandbox.work)

    result = sandbox.run((TAVRIN if tool == "tavrin" else DP_DUMP).format(setup=setup))

    if tool == "tavrin":
        assert result.returncode == 1 and result.stderr.startswith("数据处理失败: ")
        line = result.stderr
    else:
        assert result.returncode == 0 and result.stderr == "", result.stderr
        [line] = result.json()
    assert line.count("\n") <= 1 and words in line, result.stdout + result.stderr
    return before, files(sandbox.work)


@pytest.mark.parametrize("case, tool", PAIRS)
def test_bad_file_fails_in_one_line_and_nothing_is_lost(sandbox, case, tool):
    try:
        before, after = console(sandbox, case) if tool == "console" else batch(sandbox, case, tool)
    finally:
        for folder in (sandbox.work, sandbox.home / "Desktop"):
            if folder.exists():
                folder.chmod(0o755)
    # The workbook, the capture list, the dumps: byte for byte, and no more (but "备份" for DP_DUMP)
    new = {p.parent.name for p in after.keys() - before.keys()}
    assert new == ({"备份"} if (case, tool) == ("read-only", "DP_DUMP") else set()) and before.items() <= after.items()


@pytest.mark.parametrize("tool", ["console", "tavrin"])
def test_a_50_mb_debug_text_is_recorded(sandbox, tool):
    rng = random.Random(50)
    values = make_examples.tag_values(rng, 50)
    noise = "\n".join(make_examples._stat_lines(rng, 2000)) + "\n"
    text = make_examples.debug_text(values, rng) + noise * (50_000_000 // len(noise))
    if tool == "console":
        raw = sandbox.simulator()
        simulate(raw, "P050")
        awb = next((raw / "Results").glob("P050*_awb_dbg_info.txt"))
        awb.write_text(text, encoding="utf-8")
        result, _ = session(sandbox, raw, "q\n")
        workbook = sandbox.workbook
    else:
        sandbox.settings()
        sandbox.capture_list(["P050.jpg:P050.raw:室外偏红"], folder=sandbox.work)
        sandbox.dump("P050.jpg", text)
        result = sandbox.command([str(Path(sys.executable).with_name("tavrin"))])
        workbook = next(sandbox.work.glob("Corvane*.xls"))
    assert result.returncode == 0 and "操作失败" not in result.stdout, result.stdout + result.stderr
    for name, rows in read_workbook(workbook, formats=False).items():
        assert len(rows) == 2 and rows[1][0].value.startswith("P050.jpg")
        assert rows[1][1].value == values["AWB_TAG_CCT"]
        assert rows[1][3 + LIGHT_SOURCES.index(name)].value == values[f"AWB_TAG_P_{name}"]


def test_odd_debug_texts_record_what_the_rule_reads(sandbox):
    """Dumps of every shape, one batch run: each picture gets the values of the plain rule, or
    no row when a value is not an integer or too large for the record, or no line carries a tag."""
    tags = {"AWB_TAG_CCT": 1, "AWB_TAG_P_T": 3, "AWB_TAG_WEIGHT_T": 20, "AWB_TAG_DATE": 22}  # columns on "T"
    gaps, numbers = [" ", "|", "\t", "", ""], ["0", "7", "-12", "+5", "1_000", "99999999999999999999", "５", "x", ""]
    pieces = [*tags, *gaps, *numbers, ":", "é", "日", "𝟘", "\x00", "_", "AWB_TAG_"]
    rng = random.Random(7)

    def line():
        if rng.random() < 0.3:
            return "".join(rng.choices(pieces, k=rng.randrange(9)))
        tag = "".join(c + rng.choice(gaps) * (rng.random() < 0.1) for c in rng.choice(list(tags)))
        before, after = "".join(rng.choices(pieces, k=rng.randrange(3))), "".join(rng.choices(gaps, k=2))
        return before + tag + after + ":" + rng.choice(gaps) + rng.choice(numbers) + rng.choice(["", ":1", "日"])

    expected = {}
    for n in range(150):
        lines = [line() + rng.choice(["\n", "\r\n", "\r"]) for _ in range(rng.randrange(1, 9))]
        if n % 10 == 0:
            lines.insert(rng.randrange(len(lines)), "x" * 300_000 + ":1\n")
        sandbox.dump(f"D{n:03d}.jpg", "".join(lines))
        with open(sandbox.work / "EXIF" / f"D{n:03d}.jpg.exif", encoding="utf-8") as f:
            read = f.readlines()
        try:
            values = {tag: tag_rule(read, tag) for tag in tags}
            recordable = all(abs(v) < 2**63 for v in values.values())
            holds_a_tag = any(tag_matches(line, tag) is not None for line in read for tag in tags)
            expected[f"D{n:03d}.jpg "] = values if recordable and holds_a_tag else None
        except ValueError:
            expected[f"D{n:03d}.jpg "] = None
    sandbox.settings()
    result = sandbox.run("import Tavrin; Tavrin.DP_DUMP('EXIF')")
    assert result.returncode == 0, result.stderr
    sheet = read_workbook(next(sandbox.work.glob("Corvane*.xls")), formats=False)["T"]
    got = {row[0].value: {tag: row[c].value for tag, c in tags.items()} for row in sheet[1:]}
    assert got == {
        name: {tag: float(v) for tag, v in values.items()} for name, values in expected.items() if values is not None
    }
    assert 10 < len(got) < len(expected)
