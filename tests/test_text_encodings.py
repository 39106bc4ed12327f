"""Texts as Windows desks save them, through both tools: the capture list, Config.ini, the
debug text and the dump with a UTF-8 or UTF-16 byte-order mark, in GBK on a GBK system, and
with bytes no decoder takes."""

import codecs
import os
import shutil
import subprocess

import pytest

from conftest import tag_text

VALUES = {"AWB_TAG_P_T": 61, "AWB_TAG_DATE": 20261208}
TEXT = "AWB_TAG_CCT: 5100\n" + tag_text(VALUES)  # a mark in front would hide the first tag
CAPTURE_LIST = "A.jpg:A.raw:室内偏黄\n"
UTF8 = lambda text: text.encode("utf-8")  # noqa: E731
ENCODINGS = {  # how the lists and the value text are made, and whether the system's encoding is GBK
    "utf-8-bom": (lambda text: text.encode("utf-8-sig"),) * 2 + (False,),
    "utf-16-le-bom": (lambda text: codecs.BOM_UTF16_LE + text.encode("utf-16-le"),) * 2 + (False,),
    "utf-16-be-bom": (lambda text: codecs.BOM_UTF16_BE + text.encode("utf-16-be"),) * 2 + (False,),
    "gbk-on-a-gbk-system": (lambda text: text.encode("gbk"),) * 2 + (True,),
    "broken-bytes": (UTF8, lambda text: UTF8(text).replace(b"\n", b"\n\xff\xfe\x80\n", 1), False),
}
CONSOLE = """
import Lumvik, xlrd
Lumvik._run_console()
print()
sheet = xlrd.open_workbook(Lumvik.Excle_File).sheet_by_name("T")
report([sheet.cell_value(1, 1), sheet.cell_value(1, 3), sheet.cell_value(1, 24)])
"""
BATCH = """
import Tavrin, xlrd
Tavrin.Tavrin()
sheet = xlrd.open_workbook(Tavrin.Excle_File).sheet_by_name("T")
report([sheet.cell_value(1, 0), sheet.cell_value(1, 1), sheet.cell_value(1, 3), sheet.cell_value(1, 22)])
"""


@pytest.fixture(scope="module")
def gbk_system(tmp_path_factory):
    """The environment of a Chinese Windows desk's default encoding: a zh_CN.GBK locale made
    with localedef into a folder of its own (no administrator needed)."""
    localedef = shutil.which("localedef")
    if not localedef:
        pytest.skip("localedef (Debian's libc-bin with the locales package) is not installed")
    folder = tmp_path_factory.mktemp("locales")
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}  # no sanitizer in localedef
    subprocess.run([localedef, "-i", "zh_CN", "-f", "GBK", str(folder / "zh_CN.GBK")],
                   check=True, capture_output=True, timeout=120, env=env)
    return {"LOCPATH": str(folder), "LC_ALL": "zh_CN.GBK", "PYTHONUTF8": "0", "PYTHONIOENCODING": "utf-8"}


def write(path, text, encode):
    path.write_bytes(encode(text.replace("\n", "\r\n")))


@pytest.mark.parametrize("tool", ["console", "batch"])
@pytest.mark.parametrize("encoding", ENCODINGS)
def test_texts_in_every_encoding(sandbox, request, encoding, tool):
    lists, values, gbk = ENCODINGS[encoding]
    env = request.getfixturevalue("gbk_system") if gbk else {}
    if tool == "console":
        raw = sandbox.simulator()
        write(sandbox.work / "Config.ini", f"Path={raw}\ntsj=_ZETA\nuser=\n", lists)
        write(sandbox.home / "rawfilename.txt", CAPTURE_LIST, lists)
        (raw / "Results" / "A-main_dbg_scolor_info.txt").write_text("stats\n")
        text = raw / "Results" / "A-main_awb_dbg_info.txt"
        name, expected = str(text), [5100, 61, "室内偏黄"]
    else:
        sandbox.settings()
        write(sandbox.work / "rawfilename.txt", CAPTURE_LIST, lists)
        (sandbox.work / "EXIF").mkdir()
        text = sandbox.work / "EXIF" / "A.jpg.exif"
        name, expected = "./EXIF/A.jpg.exif", ["A.jpg A.raw", 5100, 61, 20261208]
    write(text, TEXT, values)

    result = sandbox.run(CONSOLE if tool == "console" else BATCH, stdin="q\n", env=env)

    if encoding == "broken-bytes":  # one line naming the text and the encoding tried
        [line] = [line for line in result.stdout.splitlines() if "操作失败" in line or "已跳过" in line]
        assert name in line and "utf-8" in line and "不是整数" not in line, line
    else:
        assert result.returncode == 0, result.stderr + (sandbox.log or "")
        assert "操作失败" not in result.stdout and "已跳过" not in result.stdout, result.stdout
        assert result.json() == expected
