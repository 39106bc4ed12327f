"""Texts as Windows desks save them, through both tools: Config.ini, the capture list, the debug
text and the dump with a UTF-8 or UTF-16 byte-order mark, in GBK on a GBK system, and with
bytes no decoder takes (one line naming the text and the encoding tried)."""

import codecs
import os
import subprocess

import pytest

TEXT = "AWB_TAG_CCT: 5100\nAWB_TAG_P_T: 61\n"  # a mark in front would hide the first tag
MARKED = {"utf-8-bom": b"", "utf-16-le-bom": codecs.BOM_UTF16_LE, "utf-16-be-bom": codecs.BOM_UTF16_BE}
ENCODINGS = [*MARKED, pytest.param("gbk-on-a-gbk-system", marks=pytest.mark.gbk_locale), "broken-bytes"]
READ = (
    "from read_workbook import read_workbook\n"
    "row = [c.value for c in read_workbook({}.Excle_File, formats=False)['T'][1]]\n"
)
RUN = {
    "console": "import Lumvik\nLumvik._run_console()\nprint()\n" + READ.format("Lumvik"),
    "batch": "import Tavrin\nTavrin.Tavrin()\n" + READ.format("Tavrin"),
}


def encode(encoding, text, value_text=False):
    text = text.replace("\n", "\r\n")
    if encoding in MARKED:
        codec = encoding[:-4].replace("-8", "-8-sig")
        return MARKED[encoding] + text.encode(codec)
    if encoding == "broken-bytes" and value_text:
        return text.encode("utf-8") + b"\xff\xfe\x80\r\n"
    return text.encode("gbk" if encoding.startswith("gbk") else "utf-8")


@pytest.fixture(scope="module")
def gbk_system(tmp_path_factory):
    """A Chinese Windows desk's default encoding: a zh_CN.GBK locale made with localedef into a
    folder of its own (no administrator needed)."""
    folder = tmp_path_factory.mktemp("locales")
    subprocess.run(
        ["localedef", "-i", "zh_CN", "-f", "GBK", str(folder / "zh_CN.GBK")],
        check=True,
        timeout=120,
        capture_output=True,
        env={k: v for k, v in os.environ.items() if k != "LD_PRELOAD"},
    )
    return {"LOCPATH": str(folder), "LC_ALL": "zh_CN.GBK", "PYTHONUTF8": "0", "PYTHONIOENCODING": "utf-8"}


@pytest.mark.parametrize("tool", RUN)
@pytest.mark.parametrize("encoding", ENCODINGS)
def test_texts_in_every_encoding(sandbox, request, encoding, tool):
    env = request.getfixturevalue("gbk_system") if encoding.startswith("gbk") else {}
    if tool == "console":
        raw = sandbox.simulator()
        (sandbox.work / "Config.ini").write_bytes(encode(encoding, f"Path={raw}\ntsj=_ZETA\n"))
        (raw / "Results" / "A-main_dbg_scolor_info.txt").write_text("stats\n")
        text, shown, lists = raw / "Results" / "A-main_awb_dbg_info.txt", None, sandbox.home
    else:
        sandbox.settings()
        (sandbox.work / "EXIF").mkdir()
        text, shown, lists = sandbox.work / "EXIF" / "A.jpg.exif", "./EXIF/A.jpg.exif", sandbox.work
    (lists / "rawfilename.txt").write_bytes(encode(encoding, "A.jpg:A.raw:室内偏黄\n"))
    text.write_bytes(encode(encoding, TEXT, value_text=True))

    result = sandbox.run(RUN[tool] + "report(row)", stdin="q\n", env=env)

    if encoding == "broken-bytes":
        [line] = [line for line in result.stdout.splitlines() if "操作失败" in line or "已跳过" in line]
        assert (shown or str(text)) in line and "utf-8" in line and "不是整数" not in line, line
    else:
        assert "操作失败" not in result.stdout and "已跳过" not in result.stdout, result.stdout + result.stderr
        row = result.json()
        assert (row[0], row[1], row[3], row[-1]) == ("A.jpg" + " A.raw" * (tool == "batch"), 5100, 61, "室内偏黄")
