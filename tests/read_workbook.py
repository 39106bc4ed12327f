"""Reading a workbook back: the one way the tests look at what the tools wrote, in the test
process or in a snippet run by the sandbox (which finds this module on its path)."""

from typing import NamedTuple

import xlrd


class Cell(NamedTuple):
    """A cell: its xlrd type and value, and, when read with its formats, how it looks."""

    type: int
    value: object
    number_format: str = None
    font_colour: int = None
    bold: int = None
    fill: int = None
    fill_colour: int = None
    horizontal: int = None
    vertical: int = None


class Sheet(list):
    """A sheet's rows, each a list of its cells up to its last; `first_column_width` as a
    spreadsheet program computes it."""

    first_column_width = None


def read_workbook(path, formats=True):
    """{sheet name: Sheet} in the workbook's order. With `formats` the file is read with its
    formatting records, as the tools read it; without, as a plain reader does (a row that only
    holds formatted blanks does not count)."""
    book = xlrd.open_workbook(str(path), formatting_info=formats)

    def cell(c):
        if not formats:
            return Cell(c.ctype, c.value)
        xf = book.xf_list[c.xf_index]
        font = book.font_list[xf.font_index]
        return Cell(
            c.ctype,
            c.value,
            book.format_map[xf.format_key].format_str,
            font.colour_index,
            font.bold,
            xf.background.fill_pattern,
            xf.background.pattern_colour_index,
            xf.alignment.hor_align,
            xf.alignment.vert_align,
        )

    sheets = {}
    for sheet in book.sheets():
        rows = sheets[sheet.name] = Sheet([cell(c) for c in sheet.row(r)] for r in range(sheet.nrows))
        rows.first_column_width = sheet.computed_column_width(0) if formats else None
    return sheets


def date_of(value):
    """A date cell's value as [year, month, day]."""
    return list(xlrd.xldate_as_tuple(value, 0)[:3])
