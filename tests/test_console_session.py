"""A whole console session on piped input: the first automatic show, a second picture going
below, a re-show overwriting its row in place, a clear, a show with nothing to show, quit."""

import random
import re
import subprocess
import time

import make_examples
from conftest import LIGHT_SOURCES, tag_text, write_result
from console_support import session, simulate

BANNER = [
    "                             HalvexSimulator信息查询",
    "参数: 回车 查看仿真数据！",
    "参数: -r   清除仿真数据！",
    "参数: -q   退出！",
]


def test_session(sandbox):
    # The raw folder's own path holds "Results": the clear must not go to <root>/Results.
    raw, results, decoy = (
        sandbox.simulator("Results_old"),
        sandbox.root / "Results_old/Results",
        sandbox.root / "Results",
    )
    decoy.mkdir()
    (decoy / "other.txt").write_text("not the simulator's")
    simulate(raw, "P100", cct=4000)
    for name in ("P100-main_debug0.BMP", "P100-main_debug1.BMP", "P100.dat", "P100.yuv422", "P100.raw"):
        (results / name).write_text("x")
    (results / "folder.dat").mkdir()
    sandbox.capture_list(["P100.jpg:P100.raw:室外偏红", "P200.jpg:P200.raw:室内偏黄"])

    stdin = "!simulate(raw, 'P200', cct=3000)\n!simulate(raw, 'P100', cct=4100)\nr\n\nq\n"
    result, book = session(sandbox, raw, stdin)

    assert result.returncode == 0 and result.stdout.splitlines()[:4] == BANNER
    # The first show comes before any prompt; each command is answered by its own prompt.
    parts = re.split("(请?输入参数: )", result.stdout)
    shows, prompts = parts[0::2], parts[1::2]
    assert prompts == ["输入参数: "] * 3 + ["请输入参数: ", "输入参数: "] and shows[-1] == ""
    assert "问题:室外偏红" in shows[0] and f"回写路径:{sandbox.workbook}" in shows[0]
    assert "问题:室内偏黄" in shows[1] and f"数据照片:{sandbox.root}/P200.jpg  P200.jpg" in shows[1]
    assert shows[3].splitlines()[-2:] == [f"{results}/P100.jpg", "数据已清空! 重新仿真后按回车查询！"]
    assert shows[4].startswith("操作失败: ") and f"{results}/ 中没有" in shows[4]
    assert shows[4].splitlines()[0] in sandbox.log and "ValueError" in sandbox.log

    # The workbook (its Desktop folder was missing): P100 kept row 1, P200 went below it.
    for sheet in book.values():
        assert [(row[0][1], row[1][1]) for row in sheet[1:]] == [("P100.jpg", 4100), ("P200.jpg", 3000)]
    # The clear deleted the five kinds of result files, and nothing else anywhere.
    assert sorted(p.name for p in results.iterdir()) == ["P100.raw", "folder.dat"]
    assert (decoy / "other.txt").exists()


def test_enter_shows_the_picture_just_simulated(sandbox):
    # A result from a share whose clock runs an hour ahead, shown once; then two pictures written
    # at one time (a FAT drive keeps 2 s), the later one's name sorting after the earlier one's.
    raw, now = sandbox.simulator(), int(time.time()) // 2 * 2
    write_result(raw, "SHARE", {"AWB_TAG_CCT": 6000}, mtime=now + 3630)
    stdin = "".join(f"!write_result(raw, 'IMG_000{n}', {{'AWB_TAG_CCT': 500{n}}}, mtime={now})\n" for n in (1, 3))
    result, book = session(sandbox, raw, stdin + "q\n", "from conftest import write_result")
    shows = result.stdout.split("输入参数: ")
    assert result.stdout.count("的修改时间比本机时钟晚 60 分钟以上") == 1 and "SHARE.jpg  SHARE.jpg" in shows[0]
    assert "IMG_0001.jpg  IMG_0001.jpg" in shows[1] and "IMG_0003.jpg  IMG_0003.jpg" in shows[2]
    assert [row[1][1] for row in book["T"][1:]] == [6000, 5001, 5003]


SIMULATING = """
import threading
def simulating(stem, text, pieces=5):  # the AWB text a few lines at a time, then the colour statistics
    results, cuts = Path(raw, "Results"), [text.index("\\n", len(text) * n // pieces) + 1 for n in range(pieces)]
    with open(results / f"{stem}-main_awb_dbg_info.txt", "w") as f:
        f.write(text[: cuts[1]])
    def rest():
        with open(results / f"{stem}-main_awb_dbg_info.txt", "a") as f:
            for a, b in zip(cuts[1:], cuts[2:] + [len(text)]):
                time.sleep(0.2), f.write(text[a:b]), f.flush()
        (results / f"{stem}-main_dbg_scolor_info.txt").write_text("zone[0] r=1 g=2 b=3\\n")
    threading.Thread(target=rest).start()
"""


def test_a_result_still_being_written_is_waited_for_or_refused(sandbox):
    raw, values = sandbox.simulator(), make_examples.tag_values(random.Random(3), 1)
    simulate(raw, "P001")
    stdin = (
        "!Path(raw, 'Results', 'P002-main_awb_dbg_info.txt').write_text('AWB_TAG_P_T: 60\\nAWB_TAG_CCT: 52')\n"
        f"!simulating('P003', {tag_text(values)!r})\n!simulate(raw, 'P004', **{values!r})\nq\n"
    )
    result, book = session(sandbox, raw, stdin, "import time\nfrom pathlib import Path\n" + SIMULATING)
    shows = result.stdout.split("输入参数: ")
    waits, failed = ([show.count(words) for show in shows[1:4]] for words in ("等它写完 (最多 3 秒)…", "操作失败"))
    assert waits == [1, 1, 0] and failed == [1, 0, 0] and "P002-main_awb_dbg_info.txt 还在写入 (它停在" in shows[1]
    for code in LIGHT_SOURCES:  # the text written in pieces was read whole, as the one written at once
        rows = {row[0][1]: [cell[1] for cell in row[1:12]] for row in book[code][1:]}
        assert sorted(rows) == ["P001.jpg", "P003.jpg", "P004.jpg"] and rows["P003.jpg"] == rows["P004.jpg"]


def test_a_clear_that_leaves_a_file_says_so_and_that_file_is_never_new(sandbox):
    raw = sandbox.simulator()
    held = simulate(raw, "P001", cct=4001)
    simulate(raw, "P002", cct=4002)
    chattr = "!subprocess.run(['chattr', '{}i', " + repr(str(held)) + "], check=True)\n"
    stdin = chattr.format("+") + "r\n\n!simulate(raw, 'P003', cct=4003)\n" + chattr.format("-") + "r\nq\n"
    try:
        result, book = session(sandbox, raw, stdin, "import subprocess")
    finally:
        subprocess.run(["chattr", "-i", str(held)])
    shows = re.split("请?输入参数: ", result.stdout)
    assert f"操作失败: 有 1 个仿真结果文件未能删除, 第一个是 {held} (PermissionError" in shows[2]
    assert "数据已清空" not in shows[2] and "(清空时未能删除的 1 个旧结果文本不算)" in shows[3]
    assert "P003.jpg  P003.jpg" in shows[4] and shows[6].rstrip().endswith("数据已清空! 重新仿真后按回车查询！")
    assert [row[0][1] for row in book["T"][1:]] == ["P002.jpg", "P003.jpg"]
