"""Result discovery: the newest simulator text names the current picture and opens its AWB text."""

import pytest

from conftest import write_result

CONSOLE = "import Lumvik\n"


def discover(sandbox, extra=""):
    return sandbox.run(
        CONSOLE
        + extra
        + """
Lumvik.Find_Changed_Txt()
report([Lumvik.Target_Awb_Target_Pic, Lumvik.Lumvik_file_full_path, Lumvik.fp.name,
        Lumvik.fp.closed, Lumvik.fp.mode])
"""
    )


def test_newest_colour_statistics_text_opens_its_awb_companion(sandbox):
    raw = sandbox.simulator()
    write_result(raw, "IMG_0001", {"AWB_TAG_CCT": 1}, mtime=1_000_000)
    write_result(raw, "IMG_0002", {"AWB_TAG_CCT": 2}, mtime=2_000_000)
    write_result(raw, "IMG_0000", {"AWB_TAG_CCT": 0}, mtime=500_000)
    awb = f"{raw}/Results/IMG_0002-main_awb_dbg_info.txt"
    assert discover(sandbox).json() == ["IMG_0002.jpg", awb, awb, False, "r"]


def test_picture_name_from_the_result_name(sandbox):
    # The naming rule's examples are the C++ unit tests' (tests/cpp/console_rules_test.cpp).
    raw = sandbox.simulator("sim-main")  # a marker in the folder's name must not matter
    name = "照片-mfll-main_dbg_scolor_info.txt"
    (raw / "Results" / name).write_text("AWB_TAG_CCT: 1\n")
    (raw / "Results" / name.replace("_dbg_scolor_info.", "_awb_dbg_info.")).write_text("AWB_TAG_CCT: 1\n")
    assert discover(sandbox).json()[0] == "照片-mfll.jpg"


def test_an_awb_text_that_is_newest_is_opened_itself(sandbox):
    raw = sandbox.simulator()
    awb = write_result(raw, "P", {"AWB_TAG_CCT": 1}, mtime=1_000)
    import os

    os.utime(awb, (5_000, 5_000))
    assert discover(sandbox).json()[1] == str(awb)


def test_equally_new_texts_take_the_first_by_name(sandbox):
    raw = sandbox.simulator()
    for stem in ("B", "A", "C"):
        write_result(raw, stem, {"AWB_TAG_CCT": 1}, mtime=1_000)
    assert discover(sandbox).json()[0] == "A.jpg"


def test_a_folder_with_glob_characters_is_taken_literally(sandbox):
    raw = sandbox.simulator("sim[1]")
    write_result(raw, "P", {"AWB_TAG_CCT": 1})
    assert discover(sandbox).json()[0] == "P.jpg"


def test_windows_naming_takes_the_name_after_the_backslash(sandbox):
    raw = sandbox.simulator()
    write_result(raw, "W", {"AWB_TAG_CCT": 1})
    fake = """
import os, types
Lumvik.platform = types.SimpleNamespace(system=lambda: "Windows")
Lumvik.glob = types.SimpleNamespace(escape=lambda p: p,
                                    glob=lambda p: [p[:-5].rstrip("/") + "\\\\W-main_dbg_scolor_info.txt"])
Lumvik.os = types.SimpleNamespace(path=types.SimpleNamespace(getmtime=lambda p: 1.0, isfile=lambda p: True),
                                  stat=lambda p: os.stat(p.replace("\\\\", "/")))
"""
    picture, full, *_ = discover(sandbox, fake).json()
    assert (picture, full) == ("W.jpg", f"{raw}/Results/W-main_awb_dbg_info.txt")


@pytest.mark.parametrize(
    "setup, error",
    [
        ("", "ValueError"),  # nothing in the results folder
        ("stats_only", "FileNotFoundError"),  # the AWB companion is missing
    ],
)
def test_failures_reach_the_caller_and_keep_fp(sandbox, setup, error):
    raw = sandbox.simulator()
    if setup == "stats_only":
        (raw / "Results" / "P-main_dbg_scolor_info.txt").write_text("x\n")
    result = sandbox.run(
        CONSOLE
        + """
try:
    Lumvik.Find_Changed_Txt()
except Exception as exc:
    report([type(exc).__name__, Lumvik.fp, Lumvik.Target_Awb_Target_Pic])
"""
    )
    expected_picture = "P.jpg" if setup else ""
    assert result.json() == [error, "", expected_picture]
