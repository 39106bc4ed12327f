"""The batch end to end: Tavrin() over a capture list, DP_DUMP over a folder tree, the tavrin
command. (What killed batches leave behind: test_kills.)"""

import sys
from pathlib import Path

import pytest

from conftest import tag_text

DUMP = tag_text({"AWB_TAG_CCT": 5100, "AWB_TAG_P_D": 60, "AWB_TAG_DATE": 20261208})
ROWS = """
from read_workbook import read_workbook
report([[row[0].value for row in rows[1:]] for rows in read_workbook(Tavrin.Excle_File, formats=False).values()])
"""
MISSING_HEAD = "\n有照片缺少exif数据,请重新导出对应图片的exif数据！\n"


def batch(sandbox, lines, dumps=(), code="Tavrin.Tavrin()"):
    sandbox.settings()
    sandbox.capture_list(lines, folder=sandbox.work)
    for picture in dumps:
        sandbox.dump(picture, DUMP)
    result = sandbox.run(f"import Tavrin\n{code}\n{ROWS}")
    assert result.returncode == 0, result.stderr
    output, rows = result.stdout.rsplit("\n", 2)[0] + "\n", result.json()
    assert all(sheet == rows[0] for sheet in rows)  # the same pictures on all seven sheets
    return output, rows[0]


def done(sandbox):
    return f"\n数据处理完成！表格文件:{next(sandbox.work.glob('Corvane*.xls')).name}\n"


def test_two_runs_in_one_process(sandbox):
    output, rows = batch(
        sandbox,
        ["a.jpg:a.raw:偏 红", "b.jpg:b.raw:正常", "c.jpg: c.raw :"],
        dumps=["a.jpg", "c.jpg"],
        code="Tavrin.Tavrin(); Tavrin.Tavrin()",
    )
    run = (
        f"{{}} a.jpg:a.raw:偏红\n{{}} b.jpg:b.raw:正常\nexif文件不存在： ./EXIF/b.jpg.exif\n"
        f"{{}} c.jpg:c.raw:\n{MISSING_HEAD}\n./全部照片/b.jpg\n{done(sandbox)}"
    )
    [kept] = (sandbox.work / "备份").glob("*.xls")
    moved = f"之前的表格文件已移入备份: {Path('备份', kept.name)}\n"
    assert output == run.format("01", "02", "03") + moved + run.format("04", "05", "06")
    assert rows == ["a.jpg a.raw", "b.jpg b.raw", "c.jpg c.raw"]  # the second run starts afresh


def test_pictures_whose_dump_fails_get_no_row_and_are_reported(sandbox):
    (sandbox.work / "EXIF" / "dir.jpg.exif").mkdir(parents=True)
    sandbox.dump("text.jpg", "AWB_TAG_CCT: 5000\nAWB_TAG_DATE: 2026-12-08\n")
    # Bytes no decoder takes outside the tag lines cost the picture nothing.
    (sandbox.work / "EXIF" / "bytes.jpg.exif").write_bytes(b"AWB_TAG_CCT: 5000\n\xff\xfe\n")
    names = ["a.jpg", "dir.jpg", "text.jpg", "gone.jpg", "bytes.jpg", "z.jpg"]
    # A note holds no ":": what follows its first one is left out, and said so once at the end.
    notes = {"a.jpg": "n:", "z.jpg": "色温跳变: 见 14:30 的连拍", "gone.jpg": "D:\\raw\\E.raw"}
    lines = [f"{n}:r:{notes.get(n, 'n')}" for n in names]
    output, rows = batch(sandbox, lines, dumps=["a.jpg", "z.jpg"])
    assert [line for line in output.splitlines() if "已跳过" in line] == [
        "exif数据有误,照片已跳过: dir.jpg (IsADirectoryError: [Errno 21] Is a directory: './EXIF/dir.jpg.exif')",
        "exif数据有误,照片已跳过: text.jpg (ValueError: invalid literal for int() with base 10: '2026-12-08\\n')",
    ]
    assert output.endswith(
        f"{MISSING_HEAD}\n./全部照片/gone.jpg\n\n有照片的exif数据有误,未写入表格,请检查对应图片"
        f'的exif数据！\ndir.jpg\ntext.jpg\n\n以下行的问题描述含有 ":", 只记录了其中第一个 ":" 之前的部分 '
        f'(问题描述中不能有 ":", 可改用全角 "："):\n第4行: 记录为 D, 未记录 :\\raw\\E.raw\n'
        f"第6行: 记录为 色温跳变, 未记录 :见14:30的连拍\n{done(sandbox)}"
    )
    assert rows == ["a.jpg r", "gone.jpg r", "bytes.jpg r", "z.jpg r"]


def test_a_workbook_that_backups_cannot_take_is_renamed_beside_itself(sandbox):
    batch(sandbox, ["a.jpg:a.raw:n"], dumps=["a.jpg"])
    [day] = sandbox.work.glob("Corvane*.xls")
    first = day.read_bytes()
    sandbox.dump("a.jpg", DUMP.replace("5100", "5400"))
    (sandbox.work / "备份").write_text("")
    result = sandbox.command([str(Path(sys.executable).with_name("tavrin")), "--against", day.name])
    [renamed] = set(sandbox.work.glob("Corvane*.xls")) - {day}
    assert result.returncode == 0 and f"已在原处改名保留: {renamed.name}\n" in result.stdout, result.stderr
    assert "对比: 1 对, 1 对 CT 变化超过 ±100K, 0 对最可能光源改变, 仅新表 0 张, 仅旧表 0 张" in result.stdout
    assert renamed.read_bytes() == first and renamed.with_suffix(".history.sqlite").exists()


def test_dp_dump_records_every_file_of_a_tree_where_it_lies(sandbox):
    files = {"a.jpg.exif": 1, "sub/b.jpg.exif": 2, "other/b.jpg.exif": 3, "sub/deeper/notes.txt": 4}
    for path, cct in files.items():
        (sandbox.work / "walk" / path).parent.mkdir(parents=True, exist_ok=True)
        (sandbox.work / "walk" / path).write_text(tag_text({"AWB_TAG_CCT": cct}), encoding="utf-8")
    output, rows = batch(
        sandbox,
        [],
        dumps=["a.jpg", "b.jpg"],
        code="import os\nfrom read_workbook import read_workbook\n"
        "Tavrin.DP_DUMP('nowhere'); print(Tavrin.Excle_File in os.listdir())\n"
        "Tavrin.DP_DUMP('walk'); print(repr(Tavrin.Target_Awb_Target_Pic))\n"
        "print([row[1].value for row in read_workbook(Tavrin.Excle_File, formats=False)['T'][1:]])",
    )
    # Each file is named by its path below the walked folder, with "/", in name order.
    assert output == (
        "False\n(1, 'a.jpg.exif')\n(1, 'other/b.jpg.exif')\n(1, 'sub/b.jpg.exif')\n"
        "(1, 'sub/deeper/notes.txt')\n'sub/deeper/notes.txt'\n[1.0, 3.0, 2.0, 4.0]\n"
    )
    assert rows == ["a.jpg ", "other/b.jpg ", "sub/b.jpg ", "sub/deeper/notes.txt "]


def test_dp_dump_walks_folders_in_name_order_whatever_order_they_were_made_in(sandbox):
    folders = [f"d{n:02d}" for n in range(12)]
    for folder in reversed(folders):  # newest first: a folder's listing may follow creation order
        (sandbox.work / "walk" / folder).mkdir(parents=True)
        for name in ("b.jpg.exif", "a.jpg.exif"):
            (sandbox.work / "walk" / folder / name).write_text(tag_text({"AWB_TAG_CCT": 5000}), encoding="utf-8")
    _, rows = batch(sandbox, [], code="Tavrin.DP_DUMP('walk')")
    assert rows == [f"{folder}/{name}.jpg " for folder in folders for name in "ab"]


def test_capture_list_lines_dump_names_and_echoes(sandbox):
    # The rules' examples are the C++ unit tests' (tests/cpp/text_rules_test.cpp,
    # batch_rules_test.cpp); this is their wiring: lines passed over or numbered, dumps found by
    # name in any letter case, long lines echoed cut.
    # A copy named with blanks ("IMG_1 - 副本.jpg") is read from the dump of its name as written.
    long = "x" * 300
    output, rows = batch(
        sandbox,
        [
            "a.jpg:a.raw:n",
            "",
            "bad line",
            "X.JPG:x.raw:n",
            "Y.Jpg:y.raw",
            " ",
            "Y.Jpg:y.raw:n",
            long,
            f"Z.jpg:z.raw:{long}",
            " IMG_1 - 副本.jpg :r:n",
        ],
        dumps=["a.jpg", "X.JPG", "z.JPG", "IMG_1 - 副本.jpg"],  # "Z.jpg" is found as a Windows desk finds it
    )
    assert output == (
        f"01 a.jpg:a.raw:n\n第3行格式错误,已跳过: badline\n02 X.JPG:x.raw:n\n"
        f"第5行格式错误,已跳过: Y.Jpg:y.raw\n03 Y.Jpg:y.raw:n\nexif文件不存在： ./EXIF/Y.Jpg.exif\n"
        f"第8行格式错误,已跳过: {long[:200]}…\n04 {('Z.jpg:z.raw:' + long)[:200]}…\n"
        f"05 IMG_1-副本.jpg:r:n\n{MISSING_HEAD}\n./全部照片/Y.Jpg\n{done(sandbox)}"
    )
    assert rows == ["a.jpg a.raw", "X.JPG x.raw", "Y.Jpg y.raw", "Z.jpg z.raw", "IMG_1-副本.jpg r"]


def test_tavrin_command_settings_and_a_missing_capture_list(sandbox):
    tavrin = str(Path(sys.executable).with_name("tavrin"))
    sandbox.capture_list(["a.jpg:a.raw:n"], folder=sandbox.work)
    result = sandbox.command([tavrin])
    assert result.stdout.startswith(
        "未找到设置模块 global_values, 使用默认设置: rawfilename.txt 在当前文件夹\n01 a.jpg:a.raw:n\n"
    ), result.stderr
    assert "ModuleNotFoundError: No module named 'global_values'" in sandbox.run("import Tavrin").stderr
    sandbox.settings("lists/")  # the working folder's own settings: no list there, the workbook stays
    workbook = next(sandbox.work.glob("Corvane*.xls"))
    before = workbook.read_bytes()
    Path(f"{workbook}.lock").unlink()
    missing = sandbox.command([tavrin])
    assert (missing.returncode, missing.stdout) == (1, "")
    assert missing.stderr == "数据处理失败: rawfilename.txt 文件不存在: lists/rawfilename.txt\n"
    assert workbook.read_bytes() == before
    # The interpreter's own error for a missing file; nothing locked where nothing was written.
    error = sandbox.run("""import Tavrin, errno
try:
    Tavrin.Tavrin()
except FileNotFoundError as e:
    report([e.errno == errno.ENOENT, e.strerror, e.filename, e.__notes__])
Tavrin.DP_DUMP("EXIF"); Tavrin.DP_DUMP("nowhere")
""").json()
    assert error == [
        True,
        "No such file or directory",
        "lists/rawfilename.txt",
        ["rawfilename.txt 文件不存在: lists/rawfilename.txt"],
    ]
    assert sorted(p.name for p in sandbox.work.glob("*.lock")) == []


@pytest.mark.slow
def test_a_full_workbook_stops_the_batch_saying_where_and_writes_its_page(sandbox):
    batch(sandbox, ["P1.jpg:r:n", "P2.jpg:r:n"], dumps=["P1.jpg"])
    [old] = sandbox.work.glob("Corvane*.xls")
    sandbox.capture_list(["", *(f"P{n}.jpg:r:n" for n in range(1, 65538))], folder=sandbox.work)
    result = sandbox.command([str(Path(sys.executable).with_name("tavrin")), "--against", old.name], timeout=900)
    assert result.returncode == 1 and result.stderr == (
        "数据处理失败: 工作簿已满: .xls 工作表最多 65536 行, 本行(第 65537 行)无法写入; 记录停在 rawfilename.txt "
        f"第 65537 行 (P65536.jpg), 表格中已保存 65535 张照片: {old.name}\n"
    )
    assert "\n对比: 2 对, " in result.stdout and result.stdout.endswith(f"报告: {old.with_suffix('.html')}\n")
