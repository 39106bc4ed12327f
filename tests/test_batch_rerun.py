"""Nothing lost by a batch: reruns whose earlier workbooks carry the same time, a rerun killed
at random moments, a capture list without picture lines, the day's workbook deleted (or held)
mid-batch, Ctrl-C mid-batch and again during the final save, and files in the working folder
that are not the settings."""

import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

import make_examples
from awb_desk import history as awb_history
from read_workbook import read_workbook
from test_kills import PACED_BATCH, Run

TAVRIN = str(Path(sys.executable).with_name("tavrin"))
PACED_COMMAND = PACED_BATCH.replace("Tavrin.Tavrin()", "from awb_desk import cli\nsys.exit(cli.tavrin())")
PACED_COMMAND = "import sys\nsys.stderr = open('stderr.txt', 'w', encoding='utf-8', buffering=1)\n" + PACED_COMMAND
# Ctrl-C once the given number of picture lines went by, and again while the final save writes.
SECOND_CTRL_C = """
import os, signal, sys, types
sys.stderr = open("stderr.txt", "w", encoding="utf-8", buffering=1)
import Tavrin
pictures, interrupted = [], []

def ctrl_c(signum, frame):
    interrupted.append(signum)
    raise KeyboardInterrupt

def counted(*args):
    print(*args)
    pictures.extend(a for a in args if ".jpg:" in str(a))
    if len(pictures) == {first}:
        signal.raise_signal(signal.SIGINT)

def fsync(fd):
    os.fsync(fd)
    if interrupted:
        signal.raise_signal(signal.SIGINT)
        print("second Ctrl-C during the final save", file=sys.stderr)

signal.signal(signal.SIGINT, ctrl_c)
Tavrin.print = counted
Tavrin.os = types.SimpleNamespace(**{{**vars(os), "fsync": fsync}})
from awb_desk import cli
sys.exit(cli.tavrin())
"""


def batch_folder(sandbox, count):
    sandbox.settings()
    names = make_examples.picture_names(count)
    make_examples.write_batch(str(sandbox.work), names, random.Random(count))
    return names


def rows(path):
    """Picture rows of each sheet."""
    return [len(rows) - 1 for rows in read_workbook(path, formats=False).values()]


def test_reruns_keep_every_earlier_workbook_under_a_name_of_its_own(sandbox):
    sandbox.settings()
    when = time.mktime((2026, 12, 8, 15, 30, 12, 0, 0, -1))  # every run's workbook: the same time
    made = []
    for run in range(4):
        make_examples.write_batch(str(sandbox.work), make_examples.picture_names(run + 1), random.Random(run))
        result = sandbox.command([TAVRIN])
        assert result.returncode == 0, result.stderr
        [path] = sandbox.work.glob("Corvane*.xls")
        os.utime(path, (when, when))
        made.append(path.read_bytes())
    kept = {p.name: p.read_bytes() for p in (sandbox.work / "备份").glob("*.xls")}
    assert kept == {f"Corvane20261208-153012{n}.xls": made[k] for k, n in enumerate(["", "-2", "-3"])}
    # Each run's history went with its workbook, under the same name.
    assert {p.name for p in (sandbox.work / "备份").glob("*.history.sqlite")} == {
        f"Corvane20261208-153012{n}.history.sqlite" for n in ["", "-2", "-3"]
    }
    assert f"之前的表格文件已移入备份: {Path('备份', 'Corvane20261208-153012-3.xls')}\n" in result.stdout


@pytest.mark.sigkill
def test_a_killed_rerun_keeps_the_earlier_workbook(sandbox):
    rng = random.Random(8)
    names = batch_folder(sandbox, 200)
    assert sandbox.command([TAVRIN]).returncode == 0
    [path] = sandbox.work.glob("Corvane*.xls")
    kept = []
    for _ in range(6):
        before = path.read_bytes() if path.exists() else None
        run = Run(sandbox, "import Tavrin; print('started'); Tavrin.Tavrin()")
        run.wait_for(lambda: run.count("started"), "the rerun to start")  # however long that takes
        time.sleep(rng.uniform(0, 0.6))
        run.kill()
        copies = [p.read_bytes() for p in (sandbox.work / "备份").glob("*.xls")]
        assert before is None or before in copies + [path.read_bytes() if path.exists() else None]
        kept.append((len(copies), rows(path)[0] if path.exists() else None))
        time.sleep(1.01)  # the next rerun's copy is named after another second
    print(f"\nkilled reruns (copies in 备份, pictures in the day's workbook): {kept}")
    assert len(names) in [rows(p)[0] for p in (sandbox.work / "备份").glob("*.xls")]


@pytest.mark.parametrize("text", ["", "\n  \n\n", "a.jpg\nb.jpg:b.raw\n"], ids=["empty", "blank", "malformed"])
def test_a_capture_list_without_picture_lines_changes_nothing(sandbox, text):
    batch_folder(sandbox, 3)
    assert sandbox.command([TAVRIN]).returncode == 0
    [path] = sandbox.work.glob("Corvane*.xls")
    before = path.read_bytes()
    Path(f"{path}.lock").unlink()
    (sandbox.work / "rawfilename.txt").write_text(text, encoding="utf-8")
    result = sandbox.command([TAVRIN])
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr == (
        "数据处理失败: rawfilename.txt 中没有照片行 (每行应为 照片名:RAW名:问题描述), 表格文件未改动: rawfilename.txt\n"
    )
    assert path.read_bytes() == before and not (sandbox.work / "备份").exists()
    assert not Path(f"{path}.lock").exists()  # nothing written, nothing locked


def chattr(flag, *paths):  # +i holds them as a spreadsheet program does on Windows: root on ext4 or alike
    return subprocess.run(["chattr", flag, *map(str, paths)], capture_output=True, timeout=30).returncode == 0


@pytest.mark.parametrize("case", ["deleted", "held-then-let-go", "held-to-the-end", "no-file-at-all"])
def test_a_workbook_deleted_or_held_mid_batch_loses_no_picture(sandbox, case):
    names = batch_folder(sandbox, 240)
    run = Run(sandbox, PACED_COMMAND)
    path = sandbox.work / f"Corvane{time.strftime('%Y%m%d')}.xls"
    assert run.wait_for(lambda: run.count(names[60]) > 0 and path.exists(), f"{names[60]} in a saved workbook")
    held = [path, sandbox.work][: 1 + (case == "no-file-at-all")]
    if case == "deleted":
        path.unlink()
    elif not (shutil.which("chattr") and chattr("+i", *held)):
        run.kill()
        pytest.skip("no file here can be held: chattr +i needs root and ext4 or alike")
    try:
        if case == "held-then-let-go":
            run.wait_for(lambda: run.count("暂时无法保存: 它正被表格程序打开"), "a checkpoint to fail")
            chattr("-i", *held)
        run.proc.wait(timeout=120)
    finally:
        chattr("-i", *held)
        run.kill()
    told, saved = (sandbox.work / "stderr.txt").read_text(encoding="utf-8"), rows(path)
    if case in ("deleted", "held-then-let-go"):
        assert (run.proc.returncode, told, saved) == (0, "", [len(names)] * 7)
        return
    # The day's workbook and history as the last checkpoint left them; the run in "备份", or nowhere.
    saved, aside = saved[0], list((sandbox.work / "备份").glob("*.xls"))
    assert 0 < saved < 240 and len(awb_history.read_history(awb_history.history_path(path))) == saved
    why = f"数据处理失败: 表格文件 {path.name} 无法保存: 它正被表格程序打开, 或它及所在文件夹是只读的; "
    assert run.proc.returncode == 1 and told.startswith(why) and told.count("\n") == 1
    if case == "held-to-the-end":
        assert told.endswith(f"已全部另存到: {Path('备份', aside[0].name)} ({path.name} 中是上次保存的 {saved} 张)\n")
        assert rows(aside[0])[0] == len(awb_history.read_history(awb_history.history_path(aside[0]))) == 240
    else:
        assert told.endswith(f"{saved} 张在 {path.name} 中, 其余 {240 - saved} 张未写入任何文件\n") and not aside


@pytest.mark.sigkill
def test_ctrl_c_saves_every_whole_picture_and_says_how_many(sandbox):
    rng = random.Random(3)
    names = batch_folder(sandbox, 240)
    counts = []
    for _ in range(5):
        run = Run(sandbox, PACED_COMMAND)
        target = names[rng.randrange(10, 200)]
        assert run.wait_for(lambda: run.count(target) > 0, f"the batch to print {target}")
        time.sleep(rng.uniform(0, 0.02))
        run.proc.send_signal(signal.SIGINT)
        assert run.proc.wait(timeout=60) == 130
        printed = run.count(".jpg:")
        run.kill()
        message = (sandbox.work / "stderr.txt").read_text(encoding="utf-8").splitlines()[-1]
        saved, workbook = re.fullmatch(r"已中断: 表格中已保存 (\d+) 张照片: (.*)", message).groups()
        assert rows(sandbox.work / workbook) == [int(saved)] * 7 and int(saved) in (printed - 1, printed)
        counts.append(int(saved))
    print(f"\nCtrl-C in a batch: pictures saved and told {counts}")


def test_a_second_ctrl_c_waits_for_the_final_save(sandbox):
    batch_folder(sandbox, 240)
    result = sandbox.run(SECOND_CTRL_C.format(first=100))
    told = (sandbox.work / "stderr.txt").read_text(encoding="utf-8").splitlines()
    assert result.returncode == 130 and told[0] == "second Ctrl-C during the final save", told
    saved, workbook = re.fullmatch(r"已中断: 表格中已保存 (\d+) 张照片: (.*)", told[-1]).groups()
    assert int(saved) == 99 and rows(sandbox.work / workbook) == [99] * 7  # all before the first Ctrl-C


@pytest.mark.parametrize(
    "settings, line",
    [
        (None, None),
        ("class global_val:\n    rawfilename_txt = ''\n)\n", "第 3 行: SyntaxError"),
        ("import os\nclass global_val:\n    rawfilename_txt = missing_name\n", "第 3 行: NameError"),
        ("x = 1\n", "其中没有 global_val"),
    ],
    ids=["stray-modules", "syntax-error", "error-at-load", "no-global_val"],
)
def test_only_the_settings_are_loaded_from_the_working_folder(sandbox, settings, line):
    batch_folder(sandbox, 2)
    for stray in ("numpy.py", "xlwt.py", "filelock.py"):
        (sandbox.work / stray).write_text("open('imported', 'w').close()\nraise SystemExit(3)\n")
    if settings:
        (sandbox.work / "global_values.py").write_text(settings, encoding="utf-8")
    result = sandbox.command([TAVRIN], env={"PYTHONDONTWRITEBYTECODE": ""})  # bytecode written, as at a desk
    assert not (sandbox.work / "imported").exists() and not (sandbox.work / "__pycache__").exists()
    if line is None:
        assert result.returncode == 0 and "数据处理完成" in result.stdout, result.stderr
    else:
        assert result.returncode == 1 and result.stdout == "" and result.stderr.count("\n") == 1
        assert result.stderr.startswith(f"设置文件 {sandbox.work / 'global_values.py'} 无法加载: {line}")
        assert not list(sandbox.work.glob("*.lock"))  # nothing written, nothing locked
