"""What is not recorded as a row of zeros: empty and tag-less debug texts and dumps, a stray
newest text, and files that are not plain files (a FIFO, a link to a device, a folder named
like a dump). Each is told in one line and the tools go on; a text holding one tag, even of
value 0, is recorded as designed."""

import os
import sys
from pathlib import Path

import pytest

from console_support import session, simulate
from read_workbook import read_workbook


@pytest.mark.parametrize(
    "case, text",
    [
        ("empty", ""),
        ("tag-less", "readme: see the wiki\n"),
        ("fifo", None),
        ("stray", "AWB_TAG_CCT: 5200\nAWB_TAG_P_T: 40\n"),  # an engineer's note saved among the results
        ("one-tag-zero", "AWB_TAG_P_T: 0\n"),
    ],
)
def test_console_show(sandbox, case, text):
    raw = sandbox.simulator()
    awb = simulate(raw, "P100")
    if case == "stray":  # a note that happens to be the newest text
        awb = raw / "Results" / "调试记录.txt"
    awb.unlink(missing_ok=True)
    os.mkfifo(awb) if text is None else awb.write_text(text)
    os.mkfifo(raw / "Results" / "newer.txt")  # no plain file: never taken as the newest result
    for newest in [raw / "Results" / "newer.txt"] + [awb] * (case == "stray"):
        os.utime(newest, (2e9, 2e9))

    result, book = session(sandbox, raw, "q\n")

    failures = [line for line in result.stdout.splitlines() if line.startswith("操作失败:")]
    if case == "one-tag-zero":
        assert failures == [] and [row[1][1] for row in book["T"][1:]] == [0]
    elif case == "stray":  # no result: named in one line, never recorded, and the newest result shown
        assert failures == [] and result.stdout.count(f"最新的文本 {awb.name} 不是仿真结果") == 1
        assert [(row[0][1], row[1][1]) for row in book["T"][1:]] == [("P100.jpg", 5000)]
    else:
        words = "不是普通文件" if case == "fifo" else f"{awb} 中没有 AWB 调试数据"
        assert len(failures) == 1 and str(awb) in failures[0] and words in failures[0], result.stdout
        assert not sandbox.workbook.exists()  # the show made no workbook


@pytest.mark.parametrize("tool", ["tavrin", "DP_DUMP"])
def test_batch_goes_on_past_dumps_it_cannot_record(sandbox, tool):
    sandbox.settings()
    dumps = sandbox.work / "EXIF"
    dumps.mkdir()
    for name, text in (
        ("full", "AWB_TAG_CCT: 5100\n"),
        ("empty", ""),
        ("tagless", "readme\n"),
        ("zero", "AWB_TAG_CCT: 0\n"),
    ):
        (dumps / f"{name}.jpg.exif").write_text(text)
    os.mkfifo(dumps / "fifo.jpg.exif")
    with open(os.fsencode(dumps) + b"/\xff\xfe.jpg.exif", "w") as f:  # a name that is no text in any encoding
        f.write("AWB_TAG_CCT: 5300\n")
    (dumps / "device.jpg.exif").symlink_to("/dev/zero")
    (dumps / "folder.jpg.exif").mkdir()
    names = ["full", "empty", "tagless", "zero", "fifo", "device", "folder", "gone"]
    sandbox.capture_list([f"{name}.jpg:{name}.raw:n" for name in names], folder=sandbox.work)

    if tool == "tavrin":
        result = sandbox.command([str(Path(sys.executable).with_name("tavrin"))], timeout=60)
    else:
        result = sandbox.run("import Tavrin; Tavrin.DP_DUMP('EXIF')", timeout=60)

    assert result.returncode == 0, result.stderr
    skipped = sorted(
        line.split(": ")[1].split(".")[0]
        for line in result.stdout.splitlines()
        if line.startswith("exif数据有误,照片已跳过: ")
    )
    extra = ["folder"] if tool == "tavrin" else ["\\xFF\\xFE"]
    assert skipped == sorted(["device", "empty", "fifo", "tagless", *extra])
    listed = result.stdout.split("有照片的exif数据有误,未写入表格,请检查对应图片的exif数据！\n")[1].split("\n\n")[0]
    assert sorted(listed.split()) == [f"{name}.jpg" for name in skipped]
    rows = read_workbook(next(sandbox.work.glob("Corvane*.xls")), formats=False)["T"]
    recorded = {row[0].value.split(".")[0]: row[1].value for row in rows[1:]}
    assert recorded == {"full": 5100, "zero": 0, **({"gone": 0} if tool == "tavrin" else {})}
