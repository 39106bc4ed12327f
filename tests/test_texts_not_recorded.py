"""What is not recorded as a row of zeros: empty and tag-less debug texts and dumps, and files
that are not plain files (a FIFO, a link to a device, a folder named like a dump). Each is told
in one line and the tools go on; a text that holds some of the tags is recorded as designed."""

import os
import sys
from pathlib import Path

import pytest
import xlrd

from conftest import tag_text
from console_support import session, simulate

TAGS = tag_text({"AWB_TAG_CCT": 5100, "AWB_TAG_DATE": 20261208})
NO_VALUES = "中没有 AWB 调试数据"


@pytest.mark.parametrize("case, text", [("empty", ""), ("tag-less", "readme: see the wiki\n"),
                                        ("fifo", None), ("one-tag-zero", "AWB_TAG_P_T: 0\n")])
def test_console_show(sandbox, case, text):
    raw = sandbox.simulator()
    awb = simulate(raw, "P100")
    awb.unlink()
    os.mkfifo(awb) if text is None else awb.write_text(text)
    newer = raw / "Results" / "newer.txt"
    os.mkfifo(newer)
    os.utime(newer, (2e9, 2e9))  # no plain file: never taken as the newest result

    result, book = session(sandbox, raw, "q\n")

    failures = [line for line in result.stdout.splitlines() if line.startswith("操作失败:")]
    if case == "one-tag-zero":
        assert failures == [] and [row[1][1] for row in book["T"][1:]] == [0]
        return
    assert len(failures) == 1 and str(awb) in failures[0], result.stdout
    assert ("不是普通文件" if case == "fifo" else NO_VALUES) in failures[0]
    assert not sandbox.workbook.exists()  # the show made no workbook


def test_a_newest_stray_text_is_refused(sandbox):
    raw = sandbox.simulator()
    simulate(raw, "P100")
    stray = raw / "Results" / "readme.txt"
    stray.write_text("Results of the simulator\n")
    os.utime(stray, (2e9, 2e9))
    result, _ = session(sandbox, raw, "q\n")
    assert f"操作失败: 调试信息文本 {stray} {NO_VALUES}" in result.stdout


@pytest.mark.parametrize("tool", ["tavrin", "DP_DUMP"])
def test_batch_goes_on_past_dumps_it_cannot_record(sandbox, tool):
    sandbox.settings()
    dumps = sandbox.work / "EXIF"
    dumps.mkdir()
    for name, text in (("full", TAGS), ("empty", ""), ("tagless", "readme\n"), ("zero", "AWB_TAG_CCT: 0\n")):
        (dumps / f"{name}.jpg.exif").write_text(text)
    os.mkfifo(dumps / "fifo.jpg.exif")
    (dumps / "device.jpg.exif").symlink_to("/dev/zero")
    (dumps / "folder.jpg.exif").mkdir()
    names = ["full", "empty", "tagless", "zero", "fifo", "device", "folder", "gone"]
    sandbox.capture_list([f"{name}.jpg:{name}.raw:n" for name in names], folder=sandbox.work)

    if tool == "tavrin":
        result = sandbox.command([str(Path(sys.executable).with_name("tavrin"))], timeout=60)
    else:
        result = sandbox.run("import Tavrin; Tavrin.DP_DUMP('EXIF')", timeout=60)

    assert result.returncode == 0, result.stderr
    skipped = sorted(line.split(": ")[1].split(" ")[0].split(".")[0]
                     for line in result.stdout.splitlines() if line.startswith("exif数据有误,照片已跳过: "))
    assert skipped == sorted(["device", "empty", "fifo", "tagless"] + (["folder"] if tool == "tavrin" else []))
    failed_list = result.stdout.split("有照片的exif数据有误,未写入表格,请检查对应图片的exif数据！\n")[1]
    assert sorted(failed_list.split("\n\n")[0].split()) == [f"{name}.jpg" for name in skipped]
    rows = xlrd.open_workbook(str(next(sandbox.work.glob("Corvane*.xls")))).sheet_by_name("T")
    recorded = {rows.cell_value(r, 0).split(".")[0]: rows.cell_value(r, 1) for r in range(1, rows.nrows)}
    assert recorded == {"full": 5100, "zero": 0, **({"gone": 0} if tool == "tavrin" else {})}
