"""The console's workbook as an engineer's desk has it: a link to a shared file, a folder that
takes no new file, sheets of the user's own around T to S, seven sheets that were never named
(taken by position, by the batch too), and formulas and comments added in a spreadsheet program
(LibreOffice here) or a chart sheet, which are kept aside before the first rewrite; a full drive."""

import contextlib
import itertools
import os
import random
import shutil
import struct
import subprocess
import time

import pytest
import xlwt
from xlwt.CompoundDoc import XlsDoc

import make_examples
from conftest import LIGHT_SOURCES, tag_text
from console_support import read_back, session, simulate
from test_bad_files import ADMIN
from test_batch_rerun import TAVRIN

# Where folder permissions do not stop the administrator, the module's open refuses to make new
# files in the folder instead, as a folder without the right to add files would.
NO_NEW_FILES = """
import builtins, os
def _open(path, mode="r", *args, **kwargs):
    if set(mode) & set("wx") and os.path.dirname(os.path.abspath(path)) == {folder!r}:
        raise PermissionError(13, "Permission denied", path)
    return builtins.open(path, mode, *args, **kwargs)
Lumvik.open = _open
"""


def files_in(folder):
    """The folder's files but the console's tuning history, which has tests of its own."""
    return sorted(p.name for p in folder.iterdir() if ".history.sqlite" not in p.name)


def names(book, sheet):
    return [row[0][1] for row in book[sheet][1:]]


def recorded(sandbox, stem="P050"):
    raw = sandbox.simulator()
    simulate(raw, stem)
    assert "操作失败" not in session(sandbox, raw, "q\n")[0].stdout
    return raw


def test_a_link_stays_a_link_and_its_target_gets_the_rows(sandbox):
    raw = recorded(sandbox)
    shared = sandbox.root / "shared" / "Corvane.xls"
    shared.parent.mkdir()
    sandbox.workbook.rename(shared)
    sandbox.workbook.symlink_to(shared)
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "q\n")
    assert "操作失败" not in result.stdout and sandbox.workbook.is_symlink()
    assert os.readlink(sandbox.workbook) == str(shared) and names(book, "S") == ["P050.jpg", "P100.jpg"]
    assert files_in(shared.parent) == ["Corvane.xls", "Corvane.xls.lock"]


def test_a_folder_that_takes_no_new_file_gets_the_workbook_saved_in_place(sandbox):
    raw = recorded(sandbox)
    desktop, identity = sandbox.workbook.parent, sandbox.workbook.stat().st_ino
    simulate(raw, "P100")
    setup = NO_NEW_FILES.format(folder=str(desktop)) if ADMIN else ""
    desktop.chmod(0o555)
    try:
        result, book = session(sandbox, raw, "q\n", setup)
    finally:
        desktop.chmod(0o755)
    assert "操作失败" not in result.stdout and names(book, "T") == ["P050.jpg", "P100.jpg"]
    assert sandbox.workbook.stat().st_ino == identity
    assert files_in(desktop) == ["Corvane.xls", "Corvane.xls.lock"]


def test_a_full_drive_leaves_every_workbook_whole(sandbox):
    mount = ["mount", "-t", "tmpfs", "-o", "size=4m,nr_inodes=300", "awb-drive", str(sandbox.home)]  # a small drive
    if subprocess.run(mount, capture_output=True, timeout=30).returncode:
        pytest.skip("no small file system can be mounted here: mount -t tmpfs needs root")
    try:
        sandbox.capture_list(["P100.jpg:P100.raw:" + "偏红" * 2000])  # P100 makes the workbook grow
        raw, batch = recorded(sandbox), sandbox.home / "batch"
        make_examples.write_batch(str(batch), make_examples.picture_names(40), random.Random(40))
        assert sandbox.command([TAVRIN], cwd=batch).returncode == 0
        before = [sandbox.workbook.read_bytes(), next(batch.glob("Corvane*.xls")).read_bytes()]
        with open(batch / "full", "wb") as full, contextlib.suppress(OSError):  # every byte, every inode
            os.posix_fallocate(full.fileno(), 0, shutil.disk_usage(batch).free)
            for n in itertools.count():
                (batch / f"{n}").touch()
        simulate(raw, "P100")
        for setup in ("", NO_NEW_FILES.format(folder=str(sandbox.workbook.parent))):  # where it is saved in place too
            result, book = session(sandbox, raw, "q\n", setup)
            assert "无法保存: 磁盘已满" in result.stdout and "仍完好 (未改动), 本次的 P100.jpg 未记录" in result.stdout
            assert names(book, "T") == ["P050.jpg"]
        rerun = sandbox.command([TAVRIN], cwd=batch)
        [kept] = batch.glob("Corvane*-*.xls")  # renamed beside it: no "备份" can be made
        assert rerun.returncode == 1 and "无法写入: 磁盘已满 (" in rerun.stderr
        assert [sandbox.workbook.read_bytes(), kept.read_bytes()] == before
    finally:
        subprocess.run(["umount", "-l", str(sandbox.home)], capture_output=True, timeout=30)


def test_sheets_are_found_by_name_among_the_users_own(sandbox):
    raw = sandbox.simulator()
    simulate(raw, "P100", **{f"AWB_TAG_P_{code}": 11 + k for k, code in enumerate(LIGHT_SOURCES)})
    order = ["Notes", "S", "T", "WF", "F", "CWF", "D", "DF", "Extra"]
    workbook = xlwt.Workbook()
    for name in order:
        workbook.add_sheet(name).write(0, 0, "我的笔记" if name in ("Notes", "Extra") else "File Name")
    sandbox.workbook.parent.mkdir()
    workbook.save(str(sandbox.workbook))
    result, book = session(sandbox, raw, "q\n")
    assert "操作失败" not in result.stdout and list(book) == order
    assert [[[cell[1] for cell in row] for row in book[name]] for name in ("Notes", "Extra")] == [[["我的笔记"]]] * 2
    for k, code in enumerate(LIGHT_SOURCES):
        assert names(book, code) == ["P100.jpg"] and book[code][1][3 + k][1] == 11 + k


@pytest.mark.parametrize("tool", ["console", "batch"])
def test_seven_sheets_never_named_are_taken_by_position(sandbox, tool):
    probabilities = {f"AWB_TAG_P_{code}": 11 + k for k, code in enumerate(LIGHT_SOURCES)}
    workbook = xlwt.Workbook()
    for k in range(7):
        workbook.add_sheet(f"Sheet{k + 1}").write(0, 0, "File Name")
    if tool == "console":
        raw = sandbox.simulator()
        simulate(raw, "P100", **probabilities)
        sandbox.workbook.parent.mkdir()
        workbook.save(str(sandbox.workbook))
        result, book = session(sandbox, raw, "q\n")
        assert "操作失败" not in result.stdout, result.stdout
    else:  # DP_DUMP records into the day's workbook as it is (the tavrin command would move it aside)
        sandbox.settings()
        sandbox.dump("P100.jpg", tag_text(probabilities))
        path = sandbox.work / time.strftime("Corvane%Y%m%d.xls")
        workbook.save(str(path))
        result = sandbox.run("import Tavrin\nTavrin.DP_DUMP('EXIF')")
        assert result.returncode == 0 and "已跳过" not in result.stdout, result.stdout + result.stderr
        book = read_back(path)
    assert list(book) == [f"Sheet{k + 1}" for k in range(7)]
    for k in range(7):  # the light sources' rows in sheet order, each with its own probability
        row = book[f"Sheet{k + 1}"][1]
        assert row[0][1].split()[0] == "P100.jpg" and row[3 + k][1] == 11 + k


def with_chart_sheet(path):
    """The seven sheets and a chart sheet, as a spreadsheet program writes one: its BOUNDSHEET
    among the workbook's (the sheets' offsets moved along) and its own substream, a BOF of a
    chart up to its EOF, after the worksheets."""
    book = xlwt.Workbook()
    for code in LIGHT_SOURCES:
        book.add_sheet(code).write(0, 0, "File Name")
    stream, records, at = book.get_biff_data(), [], 0
    while at < len(stream):
        kind, size = struct.unpack_from("<HH", stream, at)
        records.append([kind, stream[at + 4 : at + 4 + size]])
        at += 4 + size
    name = "图表1".encode("utf-16-le")
    chart = [0x85, struct.pack("<IBBBB", 0, 0, 2, 3, 1) + name]  # visible, a chart, 3 UTF-16 characters
    last = max(i for i, (kind, _) in enumerate(records) if kind == 0x85)
    records.insert(last + 1, chart)
    for record in records:
        if record[0] == 0x85 and record is not chart:
            record[1] = struct.pack("<I", struct.unpack_from("<I", record[1])[0] + 4 + len(chart[1])) + record[1][4:]
    size = sum(4 + len(body) for _, body in records)
    chart[1] = struct.pack("<I", size) + chart[1][4:]
    records += [[0x809, struct.pack("<HHHHII", 0x0600, 0x0020, 0x0DBB, 0x07CC, 0, 6)], [0x0A, b""]]
    XlsDoc().save(str(path), b"".join(struct.pack("<HH", kind, len(body)) + body for kind, body in records))


def test_a_chart_sheet_is_kept_aside_before_the_first_rewrite(sandbox):
    sandbox.workbook.parent.mkdir()
    with_chart_sheet(sandbox.workbook)
    original = sandbox.workbook.read_bytes()
    raw = sandbox.simulator()
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "q\n")
    [copy] = (sandbox.workbook.parent / "备份").iterdir()
    assert copy.read_bytes() == original
    told = [line for line in result.stdout.splitlines() if "原件已备份到" in line]
    assert told == [f"工作簿 {sandbox.workbook} 含有图表, 保存后图表将消失; 原件已备份到 {copy}"]
    assert names(book, "T") == ["P100.jpg"]


@pytest.mark.libreoffice
def test_formulas_and_comments_are_kept_aside_before_the_first_rewrite(sandbox):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        pytest.fail("LibreOffice (soffice) is missing: scripts/test.sh installs libreoffice-calc-nogui")
    cell = '<table:table-cell office:value-type="string"><text:p>{}</text:p>{}</table:table-cell>'
    tables = "".join(
        f'<table:table table:name="{code}"><table:table-row>{cell.format("File Name", "")}'
        "</table:table-row></table:table>"
        for code in LIGHT_SOURCES[1:]
    )
    held = (
        cell.format("OLD.jpg", "").replace(
            "<text:p>", "<office:annotation><text:p>看这里</text:p></office:annotation><text:p>", 1
        )
        + '<table:table-cell table:formula="of:=20+22" office:value-type="float" office:value="42"/>'
    )
    ods = sandbox.root / "Corvane.fods"
    ods.write_text(
        '<?xml version="1.0" encoding="UTF-8"?><office:document office:version="1.2" '
        'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
        'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" '
        'office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>'
        f'<table:table table:name="T"><table:table-row>{cell.format("File Name", "")}</table:table-row>'
        f"<table:table-row>{held}</table:table-row></table:table>{tables}"
        "</office:spreadsheet></office:body></office:document>",
        encoding="utf-8",
    )
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LD_PRELOAD", "ASAN", "LSAN", "UBSAN"))}
    subprocess.run(
        [
            soffice,
            "--headless",
            "--norestore",
            f"-env:UserInstallation={(sandbox.root / 'lo').as_uri()}",
            "--convert-to",
            "xls:MS Excel 97",
            "--outdir",
            str(sandbox.workbook.parent),
            str(ods),
        ],
        check=True,
        capture_output=True,
        env=env,
        timeout=180,
    )
    original = sandbox.workbook.read_bytes()

    raw = sandbox.simulator()
    simulate(raw, "P100")
    result, book = session(sandbox, raw, "!simulate(raw, 'P200')\nq\n")
    [copy] = (sandbox.workbook.parent / "备份").iterdir()
    assert copy.read_bytes() == original
    told = [line for line in result.stdout.splitlines() if "原件已备份到" in line]
    assert told == [f"工作簿 {sandbox.workbook} 含有公式、批注, 保存后公式只保留数值, 批注将消失; 原件已备份到 {copy}"]
    assert names(book, "T") == ["OLD.jpg", "P100.jpg", "P200.jpg"] and book["T"][1][1][:2] == [2, 42]
