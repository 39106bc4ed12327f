"""The tools' workbook writes replayed twice: through xlwt (and xlrd with xlutils' copy) as the
tools' binding makes them, and through the core's writer (awb_desk._xls) as its model takes
them. The benchmark times the two side by side; the tests hold their bytes equal.

A run is a list of pictures (name, record values, issue note, date); each replay returns the
bytes of every save it made."""

import datetime
import io
import random

import xlrd
import xlwt
from xlutils.copy import copy
from xlwt.Cell import NumberCell

from awb_desk import _xls
from awb_desk._tables import LIGHT_SOURCES, SHEET_TITLES, VALUE_COLUMNS

NOTES = ("正常", "偏黄", "无", "Fine", "偏蓝, 需要复查")
SHOW_TIME = datetime.datetime(2026, 12, 8, 15, 30, 12)


def pictures(count, seed=0):
    """`count` batch pictures: "picture raw-file" names, 21 record values, a note and a date."""
    rng = random.Random(seed)
    return [
        (
            f"IMG_{i:05d}.jpg IMG_{i:05d}.raw",
            [rng.randint(-5000, 70000) for _ in range(21)],
            rng.choice(NOTES),
            20260101 + i % 28,
        )
        for i in range(count)
    ]


def red(sheet, column):
    """The probability of "D" and the sheet's own light source are red."""
    return column in (7, sheet + 3)


def saved(book):
    out = io.BytesIO()
    book.save(out)
    return out.getvalue()


def read(data):
    return xlrd.open_workbook(file_contents=data, formatting_info=True)


def fresh_default_style():
    """xlwt's default cell style is one object per process, and each save settles its border
    colours (no line, no colour), which changes how a later copy tells it from the others: a
    replay starts as a fresh process does."""
    xlwt.Style.default_style.borders = xlwt.Borders()


# Through xlwt, as the binding does it.


def xlwt_created(widen_name_column, prewrite=None):
    """Create_Excel: seven sheets, a fresh yellow centred title style per sheet."""
    book = xlwt.Workbook()
    for code in LIGHT_SOURCES:
        sheet = book.add_sheet(code, cell_overwrite_ok=True)
        style = xlwt.XFStyle()
        style.pattern = xlwt.Pattern()
        style.pattern.pattern, style.pattern.pattern_fore_colour = xlwt.Pattern.SOLID_PATTERN, 5
        style.alignment = xlwt.Alignment()
        style.alignment.horz, style.alignment.vert = xlwt.Alignment.HORZ_CENTER, xlwt.Alignment.VERT_CENTER
        if widen_name_column:
            sheet.col(0).width = 3840
        for column, title in enumerate(SHEET_TITLES[code]):
            sheet.write(0, column, title, style)
        if prewrite:
            sheet.write(prewrite[0], 0, prewrite[1])
    return book


def xlwt_batch_styles(book):
    """The batch's `style` and `style1`, added to the workbook at once."""
    alignment = xlwt.Alignment()
    alignment.horz, alignment.vert = xlwt.Alignment.HORZ_LEFT, xlwt.Alignment.VERT_CENTER
    plain = xlwt.XFStyle()
    plain.alignment, plain.font = alignment, xlwt.Font()
    plain.font.colour_index = 0
    red_style = xlwt.easyxf("font: bold 0, color red;")
    red_style.alignment = alignment
    return plain, red_style, book.add_style(plain), book.add_style(red_style)


def xlwt_batch_row(book, k, row, picture, styles):
    """batch/writer.cpp write_sheet: numbers as number cells of the styles' indexes, the name
    and the note through the row's write(), the date last."""
    name, values, note, date = picture
    _, red_style, plain_xf, red_xf = styles
    cells = book.get_sheet(k).row(row)
    last = VALUE_COLUMNS[LIGHT_SOURCES[k]]
    for column in range(1, last + 1):
        cells.insert_cell(column, NumberCell(row, column, red_xf if red(k, column) else plain_xf, values[column - 1]))
    cells.write(0, name)
    cells.write(last + 4, note, red_style)
    cells.insert_cell(last + 2, NumberCell(row, last + 2, red_xf, date))


def xlwt_console_styles():
    """The console's row styles: one green fill and one alignment shared by three styles."""
    fill, alignment = xlwt.Pattern(), xlwt.Alignment()
    fill.pattern, fill.pattern_fore_colour = xlwt.Pattern.SOLID_PATTERN, 3
    alignment.horz, alignment.vert = xlwt.Alignment.HORZ_LEFT, xlwt.Alignment.VERT_CENTER
    value, date, red_style = xlwt.XFStyle(), xlwt.XFStyle(), xlwt.easyxf("font: bold 0, color red;")
    date.num_format_str = "YYYYMMDD"
    for style in (value, date, red_style):
        style.pattern, style.alignment = fill, alignment
    return value, date, red_style


def xlwt_console_row(book, k, row, picture, styles, now=SHOW_TIME):
    """console/ingest.cpp write_row."""
    name, values, note, _ = picture
    value, date, red_style = styles
    sheet = book.get_sheet(k)
    last = VALUE_COLUMNS[LIGHT_SOURCES[k]]
    for column in range(1, last + 1):
        sheet.write(row, column, values[column - 1], red_style if red(k, column) else value)
    for column, cell in ((0, name), (last + 1, ""), (last + 2, now), (last + 3, "")):
        sheet.write(row, column, cell, date)
    sheet.write(row, last + 4, note, red_style)


# Through the core's writer.


def model_batch_plans(book):
    """The seven sheets' row plans for the writer, made once: each cell in the order written,
    with its column, the field of the picture it takes (the 21 record values, then the name, the
    note and the date) and its XF index (the batch's two styles are added at once)."""
    plain, red_style, _ = book.row_styles("batch")
    plain_xf, red_xf, default_xf = book.xf(plain), book.xf(red_style), book.default_xf()
    plans = []
    for k, code in enumerate(LIGHT_SOURCES):
        last = VALUE_COLUMNS[code]
        columns = [*range(1, last + 1), 0, last + 4, last + 2]
        fields = [*range(last), 21, 22, 23]
        xfs = [red_xf if red(k, c) else plain_xf for c in range(1, last + 1)] + [default_xf, red_xf, red_xf]
        plans.append(_xls.RowPlan(k, columns, fields, xfs))
    return plans


def model_batch_picture(book, plans, row, picture):
    name, values, note, date = picture
    book.write_planned(plans, row, [*values, name, note, date])


def model_console_row(book, styles, k, row, picture, now=SHOW_TIME):
    name, values, note, _ = picture
    value, red_style, date = styles
    last = VALUE_COLUMNS[LIGHT_SOURCES[k]]
    value_xf, red_xf, date_xf = book.xf(value), book.xf(red_style), book.xf(date)
    columns = [*range(1, last + 1), 0, last + 1, last + 2, last + 3, last + 4]
    xfs = [red_xf if red(k, c) else value_xf for c in range(1, last + 1)] + [date_xf] * 4 + [red_xf]
    book.write_cells(k, row, columns, [*values[:last], name, "", now, "", note], xfs)


# The runs.


def batch_run(pictures, checkpoint=250, model=False, keep=False):
    """A batch: its workbook made and saved, read back and copied (or, `keep`, the writer's model
    kept as made), every picture's seven rows, a save every `checkpoint` pictures and at the end."""
    if model:
        made = _xls.create_analysis_workbook(True)
        saves = [made.save()]
        book = made if keep else _xls.copy_of(read(saves[0]))
        plans = model_batch_plans(book)
        write = lambda row, picture: model_batch_picture(book, plans, row, picture)  # noqa: E731

        def save():
            saved = book.save()
            book.seal_rows()  # the rows saved are kept as their records only
            return saved

    else:
        fresh_default_style()
        made = xlwt_created(True)
        saves = [saved(made)]
        book = made if keep else copy(read(saves[0]))
        styles = xlwt_batch_styles(book)

        def write(row, picture):
            for k in range(len(LIGHT_SOURCES)):
                xlwt_batch_row(book, k, row, picture, styles)

        def save():
            for k in range(len(LIGHT_SOURCES)):  # each checkpoint hands the rows to the writer for good
                book.get_sheet(k).flush_row_data()
            return saved(book)

    for i, picture in enumerate(pictures):
        write(i + 1, picture)
        if (i + 1) % checkpoint == 0 or i + 1 == len(pictures):
            saves.append(save())
    if not model:
        for k in range(len(LIGHT_SOURCES)):  # the files xlwt keeps flushed rows in
            records = book.get_sheet(k).row_tempfile
            if records:
                records.close()
    return saves


def console_shows(pictures, rows, model=False):
    """The console: its workbook made with the first picture's name, then one show per picture,
    each reading the last save and copying it, writing the picture's row (`rows[i]`, so that a
    re-shown picture overwrites its row) and saving."""
    first = pictures[0][0].split()[0]
    if model:
        saves = [_xls.create_analysis_workbook(False, 1, first).save()]
    else:
        fresh_default_style()
        saves = [saved(xlwt_created(False, (1, first)))]
    for picture, row in zip(pictures, rows):
        picture = (picture[0].split()[0], *picture[1:])
        if model:
            book = _xls.copy_of(read(saves[-1]))
            styles = book.row_styles("console")
            for k in range(len(LIGHT_SOURCES)):
                model_console_row(book, styles, k, row, picture)
            saves.append(book.save())
        else:
            book = copy(read(saves[-1]))
            styles = xlwt_console_styles()
            for k in range(len(LIGHT_SOURCES)):
                xlwt_console_row(book, k, row, picture, styles)
            saves.append(saved(book))
    return saves


def replayed(data, console=False):
    """xlwt's bytes for a tool's writes in one run or session, replayed from the cells its workbook
    `data` holds (per sheet and row: name, the sheet's values, note, date): the workbook created,
    saved, read back and copied, then every picture's seven rows. The console too keeps the copy
    it read at its first show (read back at every show, the copy would number its styles apart)."""
    book = xlrd.open_workbook(file_contents=data)
    sheets = []
    for k, code in enumerate(LIGHT_SOURCES):
        last, sheet = VALUE_COLUMNS[code], book.sheet_by_index(k)
        rows = map(sheet.row_values, range(1, sheet.nrows))
        sheets.append([(row[0], row[1 : last + 1], row[last + 4], row[last + 2]) for row in rows])
    fresh_default_style()
    book = copy(read(saved(xlwt_created(not console, console and (1, sheets[0][0][0])))))
    styles = xlwt_console_styles() if console else xlwt_batch_styles(book)
    for row, pictures in enumerate(zip(*sheets), 1):
        for k, picture in enumerate(pictures):
            if console:
                xlwt_console_row(book, k, row, picture, styles, now=picture[3])
            else:
                xlwt_batch_row(book, k, row, picture, styles)
    return saved(book)
