"""Texts as Windows desks save them, through both tools: Config.ini, the capture list, the debug
text and the dump with a UTF-8 or UTF-16 byte-order mark, with bytes no decoder takes in a line
that is no tag line, and on a Chinese desk (a zh_CN.GBK locale, with and without the
interpreter's UTF-8 mode) in GBK or in UTF-8 without a mark, as today's Notepad saves it, with a
note the desk's GBK output cannot show."""

import codecs
import os
import subprocess
import sys

import pytest

from read_workbook import read_workbook

TEXT = "AWB_TAG_CCT: 5100\nAWB_TAG_P_T: 61\n"  # a mark in front would hide the first tag
MARKED = {"utf-8-bom": b"", "utf-16-le-bom": codecs.BOM_UTF16_LE, "utf-16-be-bom": codecs.BOM_UTF16_BE}
DESKS = ["gbk", "gbk-utf8-mode", "utf-8", "utf-8-utf8-mode"]  # the texts' encoding on a GBK desk
ENCODINGS = [
    *MARKED,
    "broken-bytes",
    *(pytest.param(d + "-on-a-gbk-desk", marks=pytest.mark.gbk_locale) for d in DESKS),
]
NOTE = "偏绿偏暗"
RUN = {
    "console": "import Lumvik\nLumvik._run_console()\n",  # the module's own print, as a host runs it
    "batch": "import sys\nfrom awb_desk import cli\nsys.exit(cli.tavrin([]))\n",  # the command
}


def encode(encoding, text, value_text=False):
    text = text.replace("\n", "\r\n")
    if encoding in MARKED:
        codec = encoding[:-4].replace("-8", "-8-sig")
        return MARKED[encoding] + text.encode(codec)
    if encoding == "broken-bytes" and value_text:
        return text.encode("utf-8") + b"\xff\xfe\x80\r\n"
    if "desk" in encoding and value_text:  # a line of a dump exported on a Chinese desk
        text = "SourceFile: D:\\测试照片\\P002_IMG.jpg\r\n" + text
    return text.encode("gbk" if encoding.startswith("gbk") else "utf-8")


@pytest.fixture(scope="module")
def gbk_system(tmp_path_factory):
    """A Chinese Windows desk's system encoding: the zh_CN.GBK locale, made with localedef into a
    folder of its own (no administrator needed) where the system has none."""
    env = {"LC_ALL": "zh_CN.GBK"}
    probe = [sys.executable, "-c", "import locale; locale.setlocale(locale.LC_ALL, '')"]
    if subprocess.run(probe, env={**os.environ, **env}, capture_output=True, timeout=60).returncode != 0:
        folder = tmp_path_factory.mktemp("locales")
        subprocess.run(
            ["localedef", "-i", "zh_CN", "-f", "GBK", str(folder / "zh_CN.GBK")],
            check=True,
            timeout=120,
            capture_output=True,
            env={k: v for k, v in os.environ.items() if k != "LD_PRELOAD"},
        )
        env["LOCPATH"] = str(folder)
    return env


@pytest.mark.parametrize("tool", RUN)
@pytest.mark.parametrize("encoding", ENCODINGS)
def test_texts_in_every_encoding(sandbox, request, encoding, tool):
    env, shown_note, output = {}, NOTE, "utf-8"
    if "desk" in encoding:
        utf8_mode = "utf8-mode" in encoding
        env = {**request.getfixturevalue("gbk_system"), "PYTHONUTF8": str(int(utf8_mode))}
        output = "utf-8" if utf8_mode else "gbk"  # a redirected stdout: the desk's own encoding
        if encoding.startswith("utf-8"):
            shown_note += "✓"  # a character GBK lacks, pasted from a chat
    if tool == "console":
        raw = sandbox.simulator()
        config = f"Path={raw}\ntsj=_ZETA\nuser=张工\n"
        (sandbox.work / "Config.ini").write_bytes(encode(encoding, config))
        (raw / "Results" / "A-main_dbg_scolor_info.txt").write_text("stats\n")
        text, lists, workbook = raw / "Results" / "A-main_awb_dbg_info.txt", sandbox.home, sandbox.workbook
    else:
        sandbox.settings()
        (sandbox.work / "EXIF").mkdir()
        text, lists, workbook = sandbox.work / "EXIF" / "A.jpg.exif", sandbox.work, None
    (lists / "rawfilename.txt").write_bytes(encode(encoding, f"A.jpg:A.raw:{shown_note}\n"))
    text.write_bytes(encode(encoding, TEXT, value_text=True))

    run = subprocess.run(
        [sys.executable, "-c", RUN[tool]],
        input=b"q\n",
        capture_output=True,
        cwd=sandbox.work,
        env=sandbox.env(env),
        timeout=120,
    )
    stdout = run.stdout.decode(output)

    assert run.returncode == 0 and "操作失败" not in stdout and "已跳过" not in stdout, stdout + run.stderr.decode()
    printed = shown_note.replace("✓", "?" if output == "gbk" else "✓")
    assert (f"问题:{printed}\n" if tool == "console" else f"01 A.jpg:A.raw:{printed}\n") in stdout
    row = [c.value for c in read_workbook(workbook or next(sandbox.work.glob("Corvane*.xls")), formats=False)["T"][1]]
    assert (row[0], row[1], row[3], row[-1]) == ("A.jpg" + " A.raw" * (tool == "batch"), 5100, 61, shown_note)
