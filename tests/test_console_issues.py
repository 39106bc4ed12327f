"""Issue notes: the picture's line in the capture list, and the cleaned note. The rules' examples
are the C++ unit tests' (tests/cpp/console_rules_test.cpp); this is their wiring: the list read,
the note returned and printed, "无" when there is none."""

import pytest

LIST = [
    "DSC_0001.jpg:DSC_0001.raw:偏红",
    "IMG_0002.jpg:IMG_0002.raw:室外-偏红, 2号、 灯_光.jpg",
    "007.jpg:007.raw:阴天，偏蓝",
]


@pytest.mark.parametrize(
    "lines, pictures, notes, printed",
    [
        (None, ["IMG_0002.jpg"], ["无"], "rawfilename.txt 文件不存在!\n"),
        # The key is the name before its first "_": the first line holding "IMG" anywhere.
        (LIST, ["IMG_0009.jpg", "P500.jpg"], ["室外偏红号灯光", "无"], "\n问题:室外偏红号灯光\n\n问题:无\n"),
    ],
    ids=["no-list", "listed"],
)
def test_issue_note(sandbox, lines, pictures, notes, printed):
    sandbox.simulator()
    if lines is not None:
        sandbox.capture_list(lines)
    result = sandbox.run(f"""
        import Lumvik
        print("<start>", end="")
        report([Lumvik.Pic_Issues_Raw(picture) for picture in {pictures!r}])
    """)
    assert result.returncode == 0, sandbox.log
    assert result.json() == notes
    assert result.stdout.split("<start>")[1].rsplit("\n", 2)[0] + "\n" == printed
