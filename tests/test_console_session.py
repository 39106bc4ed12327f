"""A whole console session on piped input: the first automatic show, a second picture going
below, a re-show overwriting its row in place, a clear, a show with nothing to show, quit."""

import re

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
