"""Property-based check against a plain statement of the batch's reading of capture-list lines,
through Tavrin() end to end: what it prints and the rows it writes. The examples run in one
subprocess (the module is loaded once there); every failure must be the interpreter's own
exception, never a crash. (The tag rule and result discovery's picture names are checked the
same way, against their plain statements, by the C++ unit tests.)"""

import pytest

CAPTURE_LIST_PROPERTY = r"""
import contextlib, io, os, re, tempfile
from hypothesis import given, settings, strategies as st, HealthCheck
import Tavrin

def dump_name(picture):
    # The picture's name up to and including its first "jpg" in any letter case, else whole.
    jpg = re.search("jpg", picture, re.IGNORECASE | re.ASCII)
    return (picture[:jpg.end()] if jpg else picture) + ".exif"

def expected(lines, dumps):
    # What a batch prints for these capture-list lines, and the rows it writes.
    out, rows, missing, number, cut = [], [], [""], 1, []
    for count, line in enumerate(lines, 1):
        cleaned = line.replace("\r\n", "").replace("\n", "").replace(" ", "")
        if not cleaned:
            continue
        fields = cleaned.split(":")
        if len(fields) < 3:
            out.append("第%d行格式错误,已跳过: %s" % (count, cleaned))
            continue
        out.append("%02d %s" % (number, cleaned))
        number += 1
        dump = dump_name(fields[0])
        if dump not in dumps and dump.upper() not in {d.upper() for d in dumps}:  # found as on Windows
            out.append("exif文件不存在： ./EXIF/" + dump)
            if missing[-1] != "./EXIF/" + dump:
                missing.append("./EXIF/" + dump)
        rows.append(fields[0] + " " + fields[1])
        if any(fields[3:]):  # a note cut at a colon is named at the end
            cut.append("第%d行: 记录为 %s, 未记录 %s" % (count, fields[2], "".join(":" + f for f in fields[3:])))
    if len(missing) > 1:
        out += ["", "有照片缺少exif数据,请重新导出对应图片的exif数据！"]
        out += [m.replace(".exif", "").replace("EXIF", "全部照片") for m in missing]
    if cut:
        out += ["", '以下行的问题描述含有 ":", 只记录了其中第一个 ":" 之前的部分 '
                    '(问题描述中不能有 ":", 可改用全角 "："):']
        out += cut
    return out + ["", "数据处理完成！表格文件:" + Tavrin.Excle_File], rows

piece = st.sampled_from(["a", "IMG_1", "jpg", ".jpg", "JPG", "X.jpg", ":", "::", " ", "\t", "照片",
                         "室外偏红", "-", "，", "EXIF", ".exif", "\x00", "\r", "7"])
line = st.lists(piece, max_size=10).map("".join)
count = 0

@settings(max_examples=int(os.environ["EXAMPLES"]), deadline=None, database=None, derandomize=True,
          suppress_health_check=list(HealthCheck))
@given(st.lists(st.tuples(line, st.sampled_from(["\n", "\r\n"])), max_size=6), st.data())
def check(lines, data):
    global count
    count += 1
    os.chdir(tempfile.mkdtemp())
    os.mkdir("EXIF")
    with open("rawfilename.txt", "w", encoding="utf-8", newline="") as f:
        f.write("".join(l + e for l, e in lines))
    with open("rawfilename.txt", "r") as f:
        read = f.readlines()
    names = sorted({dump_name(l.replace(" ", "").split(":")[0]) for l, _ in lines})
    dumps = {n for n in names if "/" not in n and "\x00" not in n and n not in (".exif",)
             and data.draw(st.booleans())}
    for name in dumps:
        with open(os.path.join("EXIF", name), "w") as f:
            f.write("AWB_TAG_CCT: 5000\n")
    Tavrin.data_num, Tavrin.no_exif_list = 1, [""]
    printed = io.StringIO()
    want_out, want_rows = expected(read, dumps)
    try:
        with contextlib.redirect_stdout(printed):
            Tavrin.Tavrin()
    except ValueError as exc:  # no picture line: one line naming the list, nothing printed or written
        assert not want_rows and printed.getvalue() == "" and "rawfilename.txt 中没有照片行" in exc.__notes__[0]
        assert not os.path.exists(Tavrin.Excle_File)
        return
    assert printed.getvalue().split("\n")[:-1] == want_out
    import xlrd
    book = xlrd.open_workbook(Tavrin.Excle_File)
    assert all(s.col_values(0, 1) == want_rows for s in book.sheets())

check()
report(count)
"""


@pytest.mark.slow
def test_capture_list_property(sandbox):
    examples = 300
    sandbox.settings()
    result = sandbox.run(CAPTURE_LIST_PROPERTY, env={"EXAMPLES": str(examples)}, timeout=900)
    assert result.returncode == 0, result.stderr + (sandbox.log or "")
    assert result.json() >= examples
