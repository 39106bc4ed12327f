"""Property-based checks against plain statements of the rules: the tag reader, result
discovery's picture names, and the batch's reading of capture-list lines. Each check runs its
examples in one subprocess (the module is loaded once there); every failure must be the
interpreter's own exception, never a crash."""

from pathlib import Path

import pytest


READER_PROPERTY = r"""
import os, tempfile
from hypothesis import given, settings, strategies as st, HealthCheck
import sys
sys.path.insert(0, os.environ["TESTS"])
from conftest import tag_rule as expected
import Lumvik

TAGS = ["AWB_TAG_P_D", "AWB_TAG_P_DF", "AWB_TAG_CCT", "AWB_TAG_DATE", "标签", ""]
pieces = st.sampled_from(TAGS + [" ", "|", ":", "\t", "-", "+", "0", "7", "12", "99999999999999999999",
                                 "é", "日", "\x00", "\r", "x", "AWB_TAG_P_", "_", "．", "５", "1_000"])
line = st.lists(pieces, max_size=12).map("".join)
ending = st.sampled_from(["\n", "\r\n", "\r"])
texts = st.lists(st.tuples(line, ending), max_size=8)
folder = tempfile.mkdtemp()
count = 0

@settings(max_examples=int(os.environ["EXAMPLES"]), deadline=None, database=None, derandomize=True,
          suppress_health_check=list(HealthCheck))
@given(texts, st.sampled_from(TAGS), st.booleans())
def check(text, tag, huge):
    global count
    count += 1
    body = "".join(l + e for l, e in text)
    if huge:
        body = "x" * 300_000 + ":1\n" + body
    path = os.path.join(folder, "t.txt")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(body)
    with open(path, "r") as f:
        lines = f.readlines()
    try:
        want = expected(lines, tag)
    except ValueError:
        want = ValueError
    Lumvik.fp = open(path, "r")
    try:
        got = Lumvik.LUMVIK_NEW(tag)
    except ValueError:
        got = ValueError
    finally:
        Lumvik.fp.close()
    assert got == want, (text, tag, got, want)

check()
report(count)
"""

DISCOVERY_PROPERTY = r"""
import os, tempfile
from hypothesis import given, settings, strategies as st, HealthCheck
import Lumvik

MARKERS = ["-mfll", "-main", "-sub"]

def picture(name):
    cut = name.find("-mfll")
    best = name[:cut] + ".jpg"
    for marker in ("-main", "-sub"):
        if marker in name:
            best = name[:name.find(marker)] + ".jpg"
    return best

part = st.sampled_from(MARKERS + ["IMG", "_", "0", "照片", "é", " ", ".", "-", "mfll", "a-b", "[1]", "*"])
# Names that begin with "." are hidden files, which no listing of "*.txt" shows.
stem = st.lists(part, min_size=1, max_size=8).map("".join).filter(lambda s: not s.startswith("."))
count = 0

@settings(max_examples=int(os.environ["EXAMPLES"]), deadline=None, database=None, derandomize=True,
          suppress_health_check=list(HealthCheck))
@given(stem, st.booleans(), st.sampled_from(["", "[x]", "RAW-main"]))
def check(stem, companion, folder_name):
    global count
    count += 1
    raw = tempfile.mkdtemp(suffix=folder_name)
    results = os.path.join(raw, "Results")
    os.mkdir(results)
    name = stem + ("_dbg_scolor_info.txt" if companion else ".txt")
    newest = os.path.join(results, name)
    awb = newest.replace("_dbg_scolor_info.txt", "_awb_dbg_info.txt") if companion else newest
    with open(awb, "w") as f:
        f.write("AWB_TAG_CCT: 1\n")
    with open(newest, "w") as f:
        f.write("stats\n")
    os.utime(awb, (1000, 1000))
    Lumvik.AWB_Results_Dir = results + "/*.txt"
    Lumvik.Find_Changed_Txt()
    assert Lumvik.Target_Awb_Target_Pic == picture(name)
    assert Lumvik.Lumvik_file_full_path == awb
    assert Lumvik.fp.name == awb and not Lumvik.fp.closed
    Lumvik.fp.close()

check()
report(count)
"""


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
    out, rows, missing, number = [], [], [""], 1
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
        if dump not in dumps:
            out.append("exif文件不存在： ./EXIF/" + dump)
            if missing[-1] != "./EXIF/" + dump:
                missing.append("./EXIF/" + dump)
        rows.append(fields[0] + " " + fields[1])
    if len(missing) > 1:
        out += ["", "有照片缺少exif数据,请重新导出对应图片的exif数据！"]
        out += [m.replace(".exif", "").replace("EXIF", "全部照片") for m in missing]
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
@pytest.mark.parametrize("prop, examples", [(READER_PROPERTY, 2000), (DISCOVERY_PROPERTY, 500),
                                            (CAPTURE_LIST_PROPERTY, 300)],
                         ids=["tag-reader", "result-names", "capture-list"])
def test_property(sandbox, prop, examples):
    sandbox.simulator()
    sandbox.settings()
    result = sandbox.run(prop, env={"EXAMPLES": str(examples), "TESTS": str(Path(__file__).parent)},
                         timeout=900)
    assert result.returncode == 0, result.stderr + (sandbox.log or "")
    assert result.json() >= examples
