"""The batch's tuning history beside its workbook: one entry per recorded picture with the
values its record read and its final gains, carried into "备份" by a rerun, and a history that
cannot be written or moved costing one line."""

import os
import sys
import time
from pathlib import Path

from awb_desk import history as awb_history
from conftest import tag_text
from read_workbook import read_workbook

TAVRIN = str(Path(sys.executable).with_name("tavrin"))
GAINS = ("AWB_TAG_GAIN_R", "AWB_TAG_GAIN_G", "AWB_TAG_GAIN_B")


def column0(workbook):
    return [row[0].value for row in read_workbook(workbook, formats=False)["T"][1:]]


def test_a_run_and_its_rerun_keep_their_values_beside_their_workbooks(sandbox):
    sandbox.settings()
    sandbox.capture_list(
        ["a.jpg:a.raw:偏红", "gone.jpg:g.raw:正常", "bad.jpg:b.raw:", "c.jpg:c.raw:"], folder=sandbox.work
    )
    sandbox.dump(
        "a.jpg",
        tag_text(
            {
                "AWB_TAG_CCT": 5100,
                "AWB_TAG_WEIGHT_S": 7,
                "AWB_TAG_GAIN_R": 612,
                "AWB_TAG_GAIN_G": 256,
                "AWB_TAG_GAIN_B": 519,
            }
        ),
    )
    sandbox.dump("bad.jpg", "AWB_TAG_CCT: 5000\nAWB_TAG_DATE: 2026-12-08\n")  # fails: no row, no entry
    sandbox.dump("c.jpg", tag_text({"AWB_TAG_CCT": 4000, "AWB_TAG_GAIN_R": 1.5}))  # a gain that is no number

    first = sandbox.command([TAVRIN])
    assert first.returncode == 0 and "历史记录" not in first.stdout, first.stdout + first.stderr
    [workbook] = sandbox.work.glob("Corvane*.xls")
    path = Path(awb_history.history_path(workbook))
    assert sorted(p.name for p in sandbox.work.glob("Corvane*.history.sqlite*")) == [path.name]
    history = awb_history.read_history(path)
    assert (
        [name for name, entries in history.items() for _ in entries]
        == column0(workbook)
        == ["a.jpg a.raw", "gone.jpg g.raw", "c.jpg c.raw"]
    )
    a, gone, c = (entries[0] for entries in history.values())
    assert (a.result_path, a.issue_note, gone.issue_note) == (str(sandbox.work / "EXIF/a.jpg.exif"), "偏红", "正常")
    assert [a.values[t] for t in ("AWB_TAG_CCT", "AWB_TAG_WEIGHT_S", "AWB_TAG_P_D", *GAINS)] == [
        5100,
        7,
        0,
        612,
        256,
        519,
    ]
    assert len(a.values) == 10 + 7 * 11 + 3 and "AWB_TAG_WEIGHT_T" in a.values
    assert [gone.values[t] for t in ("AWB_TAG_CCT", *GAINS)] == [0, None, None, None]
    assert [c.values[t] for t in ("AWB_TAG_CCT", *GAINS)] == [4000, None, 0, 0]

    # A rerun moves the history with its workbook, under the same new name.
    time.sleep(1.01)
    second = sandbox.command([TAVRIN])
    assert second.returncode == 0, second.stderr
    [kept] = (sandbox.work / "备份").glob("*.xls")
    assert sorted(p.name for p in (sandbox.work / "备份").iterdir()) == [kept.stem + ".history.sqlite", kept.name]
    assert len(awb_history.read_history(kept.with_name(kept.stem + ".history.sqlite"))["a.jpg a.raw"]) == 1
    assert len(awb_history.read_history(path)["a.jpg a.raw"]) == 1

    # Where the name in "备份" that the history would take is taken, both take the next one.
    os.utime(workbook, (1_800_000_000, 1_800_000_000))
    base = workbook.stem[:-8] + time.strftime("%Y%m%d-%H%M%S", time.localtime(1_800_000_000))
    taken = sandbox.work / "备份" / f"{base}.history.sqlite"
    taken.write_bytes(b"")
    assert sandbox.command([TAVRIN]).returncode == 0 and taken.read_bytes() == b""
    assert {p.name for p in taken.parent.glob(f"{base}-2*")} == {f"{base}-2.xls", f"{base}-2.history.sqlite"}
    # One that cannot be moved at all stays, said in one line, and the next run appends to it.
    refused = "vars(history.os).update(vars(os), rename=lambda path, to: os.rmdir(path))\nsys.exit(cli.tavrin())"
    fourth = sandbox.run(f"import os\nfrom awb_desk import cli, history\nhistory.os = type(os)('os')\n{refused}")
    assert f"旧的调参历史无法移入备份,本次数据将追加到其中: {path} (" in fourth.stdout
    assert fourth.returncode == 0 and len(awb_history.read_history(path)["a.jpg a.raw"]) == 2


def test_a_history_that_cannot_be_written_costs_one_line(sandbox):
    sandbox.settings()
    sandbox.capture_list([f"p{n}.jpg:p{n}.raw:" for n in range(3)], folder=sandbox.work)
    for n in range(3):
        sandbox.dump(f"p{n}.jpg", tag_text({"AWB_TAG_CCT": 5000 + n}))
    path = sandbox.work / f"Corvane{time.strftime('%Y%m%d')}.history.sqlite"
    path.write_bytes(b"not a history\n" * 100)

    result = sandbox.command([TAVRIN])  # it saves after the first picture and at the end

    assert result.returncode == 0 and "数据处理完成" in result.stdout, result.stderr
    line = f"历史记录未保存: {path} (文件不是完好的 SQLite 数据库: DatabaseError: file is not a database)\n"
    assert result.stdout.count("历史记录") == 1 and result.stdout.count(line) == 1
    assert column0(next(sandbox.work.glob("Corvane*.xls"))) == [f"p{n}.jpg p{n}.raw" for n in range(3)]
    assert path.read_bytes() == b"not a history\n" * 100
