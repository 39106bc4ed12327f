"""The core's workbook writer against xlwt 1.3 itself, byte for byte: generated workbooks, texts
around the string table's split points, the tools' own writes, the copy of a read workbook as
xlutils makes it, the row limit, and the refusals. The writer (awb_desk._xls) loads nothing and
touches no file, so these run in the test process."""

import datetime
import struct
import subprocess

import pytest
import xlrd
import xlwt
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from xlutils.copy import copy

import xlwt_writes
from awb_desk import _xls
from conftest import program_env, soffice
from console_support import session, simulate
from test_spreadsheet_program import batch_workbook
from xls_twin import Twin

EXAMPLES = settings(max_examples=60, deadline=None, derandomize=True, suppress_health_check=list(HealthCheck))
RK = 2**29


@pytest.fixture(autouse=True)
def fresh_xlwt():
    xlwt_writes.fresh_default_style()


def styles():
    """Styles as the tools and users make them: the default, fresh ones, ones sharing a font
    object, easyxf ones, one built alike the default."""
    font = xlwt.Font()
    font.bold, font.name = True, "宋体"
    shared, formatted = xlwt.XFStyle(), xlwt.XFStyle()
    shared.font = formatted.font = font
    formatted.num_format_str = "0.00"
    return [
        xlwt.Style.default_style,
        xlwt.XFStyle(),
        shared,
        formatted,
        xlwt.easyxf("font: color red; borders: left thin, top_colour blue; pattern: pattern solid, fore_colour yellow"),
        xlwt.easyxf("protection: cell_locked false; font: italic on, underline single, height 300; align: wrap on"),
        xlwt.easyxf("", num_format_str="YYYYMMDD"),
    ]


numbers = st.one_of(
    st.sampled_from([0, -0.0, RK - 1, RK, -RK, -RK - 1, RK / 100, (RK - 1) / 100, -RK / 100, 1.005, 0.1]),
    st.integers(-(2**40), 2**40),
    st.integers(-(2**33), 2**33).map(lambda i: i / 100),
    st.floats(),
)
texts = st.text(st.sampled_from("aZ é\u00ff\u0100中文😀"), max_size=12)
values = st.one_of(
    numbers,
    texts,
    st.none(),
    st.booleans(),
    st.datetimes(datetime.datetime(1899, 12, 1), datetime.datetime(2100, 1, 1)),
    st.dates(datetime.date(1899, 12, 1), datetime.date(2100, 1, 1)),
    st.times(),
)
rows = st.one_of(st.integers(0, 40), st.sampled_from([255, 65535]))
cols = st.one_of(st.integers(0, 30), st.just(255))
style = st.integers(0, 6)
operations = st.lists(
    st.one_of(
        st.tuples(st.just("write"), st.integers(0, 2), rows, cols, values, style),
        st.tuples(st.just("merge"), st.integers(0, 2), rows, st.integers(0, 2), cols, st.integers(0, 2), values, style),
        st.tuples(st.just("col"), st.integers(0, 2), cols, st.integers(0, 65535), style),
        st.tuples(st.just("row"), st.integers(0, 2), rows, st.integers(0, 0x7FFF), style),
        st.tuples(st.just("show"), st.integers(0, 2), st.booleans(), st.integers(0, 2)),
        st.tuples(st.just("save")),
        st.tuples(st.just("seal")),  # the writer keeps its rows as records only: no change in bytes
    ),
    max_size=40,
)


@EXAMPLES
@given(st.integers(0, 2), st.integers(1, 3), operations)
def test_generated_workbooks_are_xlwts_bytes(merge, sheets, ops):
    twin, pool = Twin(merge), styles()
    for k in range(sheets):
        twin.add_sheet(["T", "第二", "Sheet 3"][k])
    for op in ops:
        kind, args = op[0], list(op[1:])
        if args:
            args[0] %= sheets
        if kind == "write":
            twin.write(*args[:4], pool[args[4]])
        elif kind == "merge":
            k, r, dr, c, dc, value, s = args
            twin.write_merge(k, r, min(r + dr, 65535), c, min(c + dc, 255), value, pool[s])
        elif kind == "col":
            twin.col(args[0], args[1], args[2], pool[args[3]])
        elif kind == "row":
            twin.row(args[0], args[1], args[2], pool[args[3]])
        elif kind == "show":
            twin.show(*args)
        elif kind == "seal":
            twin.model.seal_rows()
        else:
            old, new = twin.saves()
            assert new == old
    old, new = twin.saves()
    assert new == old


lengths = st.one_of(st.integers(0, 40), st.integers(4080, 4130), st.integers(8190, 8240), st.integers(16400, 16460))
strings = st.tuples(lengths, st.sampled_from("aé中😀"), st.sampled_from(["", "x", "中"]))


@EXAMPLES
@given(st.lists(strings, min_size=1, max_size=6), st.lists(st.tuples(st.integers(0, 5), st.integers(0, 5))))
def test_texts_around_the_string_table_split_points_are_xlwts_bytes(texts, overwrites):
    """A piece of the table holds at most 0x2020 bytes: long texts, wide and narrow, straddle
    them; an overwritten text is left in the table, empty when no cell holds it any more."""
    twin = Twin()
    twin.add_sheet("S")
    made = [(char * length)[:length] + tail for length, char, tail in texts]
    for row, text in enumerate(made):
        twin.write(0, row, 0, text)
    for row, which in overwrites:
        twin.write(0, row % len(made), 0, made[which % len(made)] + "!")
    old, new = twin.saves()
    assert new == old


@pytest.mark.parametrize("prewrite", [None, (1, "IMG_7.jpg"), (0, "IMG_7.jpg"), (3, "")])
def test_the_created_workbooks_are_xlwts_bytes(prewrite):
    widen = prewrite is None  # the batch widens its name column; the console writes a name ahead
    made = _xls.create_analysis_workbook(widen, *(prewrite or ()))
    assert made.save() == xlwt_writes.saved(xlwt_writes.xlwt_created(widen, prewrite))


@pytest.mark.parametrize("keep", [True, False], ids=["model kept", "read back and copied"])
def test_a_batch_workbook_is_xlwts_bytes_at_every_save(keep):
    pictures = xlwt_writes.pictures(600)
    old = xlwt_writes.batch_run(pictures, checkpoint=250, keep=keep)
    new = xlwt_writes.batch_run(pictures, checkpoint=250, model=True, keep=keep)
    assert len(new) == 4
    assert new == old


def test_console_shows_are_xlwts_bytes_also_when_a_picture_overwrites_its_row():
    pictures = xlwt_writes.pictures(6, seed=3)
    rows = [1, 2, 1, 3, 2, 4]
    assert xlwt_writes.console_shows(pictures, rows, model=True) == xlwt_writes.console_shows(pictures, rows)


def test_the_tools_own_workbooks_are_xlwts_bytes_for_their_writes(sandbox):
    """A console session of three pictures and a batch of 1,000, run by the tools: each file is
    what xlwt writes for the same writes, replayed from the cells the file holds."""
    raw = sandbox.simulator()
    sandbox.capture_list(["P100.jpg:P100.raw:室外偏红", "P200.jpg:P200.raw:室内偏黄"])
    simulate(raw, "P100", cct=4000)
    session(sandbox, raw, "!simulate(raw, 'P200')\n!simulate(raw, 'P300', cct=7000)\nq\n")
    console = sandbox.workbook.read_bytes()
    assert xlwt_writes.read(console).sheet_by_index(6).col_values(0)[1:] == ["P100.jpg", "P200.jpg", "P300.jpg"]
    assert console == xlwt_writes.replayed(console, console=True)

    data = batch_workbook(sandbox, 998).read_bytes()
    assert {xlwt_writes.read(data).sheet_by_index(k).nrows for k in range(7)} == {1001}
    assert data == xlwt_writes.replayed(data)


def copied(data):
    """The save of xlutils' copy of a workbook read with formatting, and the writer's."""
    book = xlrd.open_workbook(file_contents=data, formatting_info=True)
    return xlwt_writes.saved(copy(book)), _xls.copy_of(book).save()


def foreign_workbook():
    """A workbook the tools did not write: other fonts, formats, merged cells, widths, heights,
    a hidden sheet, another sheet shown, frozen panes, a zoom, truth values, a formula."""
    book = xlwt.Workbook()
    data, hidden, third = book.add_sheet("Données"), book.add_sheet("隐藏"), book.add_sheet("Third")
    fancy = xlwt.easyxf(
        "font: bold on, italic on, name Times New Roman, height 300, underline single, colour blue; "
        "align: horiz center, wrap on, rota 45; borders: left thin, bottom thick, bottom_colour red; "
        "pattern: pattern solid, fore_colour 22",
        num_format_str="0.00%",
    )
    data.write_merge(1, 3, 1, 4, "merged", fancy)
    data.write(0, 0, 3.14, fancy)
    data.write(5, 5, True)
    data.write(5, 6, xlwt.Formula("A1*2"))
    data.write(6, 0, datetime.datetime(2024, 5, 6, 7, 8, 9), xlwt.easyxf(num_format_str="YYYY-MM-DD hh:mm"))
    data.col(3).width, data.col(9).width, data.col(9).hidden = 5000, 2000, 1
    data.row(2).height, data.row(2).height_mismatch = 600, 1
    data.row(7).set_style(fancy)
    data.panes_frozen, data.horz_split_pos, data.vert_split_pos = True, 1, 1
    hidden.visibility = 1
    hidden.write(0, 0, "hidden sheet")
    third.write(2, 2, "第三", xlwt.easyxf("font: name 宋体"))
    third.normal_magn = 150
    book.active_sheet = 2
    return xlwt_writes.saved(book)


def test_a_copy_of_a_read_workbook_is_xlutils_copy_bytes():
    batch = xlwt_writes.batch_run(xlwt_writes.pictures(1000), checkpoint=1000)[-1]
    console = xlwt_writes.console_shows(xlwt_writes.pictures(4), [1, 2, 1, 3])[-1]
    for data in (batch, console, xlwt_writes.saved(xlwt_writes.xlwt_created(True)), foreign_workbook()):
        old, new = copied(data)
        assert new == old


@pytest.mark.libreoffice
def test_a_copy_of_a_workbook_saved_by_a_spreadsheet_program_is_xlutils_copy_bytes(tmp_path):
    (tmp_path / "in.xls").write_bytes(foreign_workbook())
    subprocess.run(
        [
            soffice(),
            "--headless",
            "--norestore",
            f"-env:UserInstallation={(tmp_path / 'profile').as_uri()}",
            "--convert-to",
            "xls:MS Excel 97",
            "--outdir",
            str(tmp_path / "out"),
            str(tmp_path / "in.xls"),
        ],
        env=program_env(),
        capture_output=True,
        timeout=180,
        check=True,
    )
    converted = (tmp_path / "out" / "in.xls").read_bytes()
    old, new = copied(converted)
    assert new == old
    # The spreadsheet program's file is its own (its records, its styles), and the copy still
    # holds its cells and their formats.
    assert converted != foreign_workbook()
    read = xlrd.open_workbook(file_contents=new, formatting_info=True)
    assert read.sheet_by_index(0).cell_value(1, 1) == "merged"


def test_refusals_are_xlwts_words():
    def refusal(write):
        with pytest.raises(ValueError) as caught:
            write()
        return str(caught.value)

    twin = Twin()
    twin.add_sheet("T")
    old, new = twin.sheets[0]
    xf = twin.model.default_xf()
    assert refusal(lambda: new.write(65536, 0, 1, xf)) == refusal(lambda: old.write(65536, 0, 1))
    assert refusal(lambda: new.write(0, 256, 1, xf)) == refusal(lambda: old.write(0, 256, 1))
    # xlwt takes a text over 32,767 characters and fails at every save after; the writer refuses
    # it at once, in the same words.
    old.write(0, 0, "x" * 32768)
    with pytest.raises(Exception, match=r"^String longer than 32767 characters$"):
        xlwt_writes.saved(twin.xlwt)
    assert refusal(lambda: new.write(0, 0, "x" * 32768, xf)) == "String longer than 32767 characters"

    def until_refused(add):
        count = 0
        with pytest.raises(ValueError) as caught:
            while count < 5000:
                add()
                count += 1
        return count, str(caught.value)

    # 4,094 cell styles at most: XF indexes 0x10 to 0xFFE.
    assert until_refused(twin.model.style) == until_refused(lambda: twin.xlwt.add_style(xlwt.XFStyle()))


@pytest.mark.slow
def test_a_workbook_at_the_row_limit_is_xlwts_bytes():
    """65,536 rows of a text and eight numbers RK cannot hold: over 7 MB, so the container
    needs an extra sector allocation index."""
    twin = Twin()
    twin.add_sheet("T")
    old_sheet = twin.sheets[0][0]
    xf = twin.xf(xlwt.Style.default_style)
    for row in range(65536):
        numbers = [row + 1 / (c + 3) for c in range(8)]
        old_sheet.write(row, 0, "IMG_%05d.jpg" % row)
        for c, number in enumerate(numbers, 1):
            old_sheet.write(row, c, number)
        twin.model.write_cells(0, row, list(range(9)), ["IMG_%05d.jpg" % row, *numbers], [xf] * 9)
    old, new = twin.saves()
    assert len(new) > 7 * 2**20
    assert struct.unpack_from("<l", new, 0x48)[0] > 0  # extra index sectors
    assert new == old
    assert xlrd.open_workbook(file_contents=new).sheet_by_index(0).nrows == 65536
