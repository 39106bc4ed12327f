"""Issue notes: the picture's line in the capture list, and the cleaned note."""

import pytest

LIST = ["DSC_0001.jpg:DSC_0001.raw:偏红",
        "IMG_0002.jpg:IMG_0002.raw:室外-偏红, 2号、 灯_光.jpg",
        "007.jpg:007.raw:阴天，偏蓝",
        "008.jpg:008.raw:001 002-",
        "009 没有冒号 9"]


@pytest.mark.parametrize("picture, lines, note, printed", [
    ("IMG_0002.jpg", None, "无", "rawfilename.txt 文件不存在!"),
    ("P500.jpg", LIST, "无", "\n问题:无"),
    ("P500.jpg", [], "无", "\n问题:无"),
    # The key is the name before its first "_": the first line holding "IMG" anywhere.
    ("IMG_0009.jpg", LIST, "室外偏红号灯光", "\n问题:室外偏红号灯光"),
    ("007.jpg", LIST, "阴天偏蓝", "\n问题:阴天偏蓝"),
    ("008.jpg", LIST, "", "\n问题:"),                 # digits and separators only
    ("009.jpg", LIST, "没有冒号", "\n问题:没有冒号"),   # no ":": the whole line
    ("_x.jpg", LIST, "偏红", "\n问题:偏红"),            # empty key: the first line
])
def test_issue_note(sandbox, picture, lines, note, printed):
    sandbox.simulator()
    if lines is not None:
        sandbox.capture_list(lines)
    result = sandbox.run(f"""
        import Lumvik
        print("<start>", end="")
        report(Lumvik.Pic_Issues_Raw({picture!r}))
    """)
    assert result.returncode == 0, sandbox.log
    assert result.json() == note
    assert result.stdout.split("<start>")[1].rsplit("\n", 2)[0] == printed
