"""The console's workbook rows written the plain, slow way: for every sheet a fresh read of
the file, a writable copy, the row written with newly made styles, and a save. The benchmark
times it beside the console's own writer and builds its workbooks with `write_row`; the
tests hold the console's workbook against it."""

import datetime

import xlrd
import xlwt
from xlutils.copy import copy

from awb_desk._tables import LIGHT_SOURCES, VALUE_COLUMNS


def row_styles():
    pattern, alignment = xlwt.Pattern(), xlwt.Alignment()
    pattern.pattern, pattern.pattern_fore_colour = xlwt.Pattern.SOLID_PATTERN, 3
    alignment.horz, alignment.vert = xlwt.Alignment.HORZ_LEFT, xlwt.Alignment.VERT_CENTER
    style, red = xlwt.XFStyle(), xlwt.easyxf("font: bold 0, color red;")
    for s in (style, red):
        s.pattern, s.alignment = pattern, alignment
    return style, red


def write_row(ws, k, row, name, record, issues, now, style, red):
    """One picture row of sheet k; `style` is left with the "YYYYMMDD" format."""
    values = VALUE_COLUMNS[LIGHT_SOURCES[k]]
    for c in range(1, values + 1):
        ws.write(row, c, int(record[c - 1]), red if c in (7, k + 3) else style)
    style.num_format_str = "YYYYMMDD"
    for c, value in enumerate((name, "", now, "", issues)):
        ws.write(row, values + c if c else 0, value, red if c == 4 else style)


def create_lumvik_data(lumvik):
    """Create_Lumvik_DATA as one read-copy-save cycle per sheet, searching rows by plain
    containment (the summary is left out)."""
    issues = lumvik.Pic_Issues_Raw(lumvik.Target_Awb_Target_Pic)
    lumvik.insert_row_num = 0
    for k, code in enumerate(LIGHT_SOURCES):
        sheet = xlrd.open_workbook(lumvik.Excle_File).sheets()[k]
        for i in range(1, sheet.nrows):
            if "-mfll" in lumvik.Target_Awb_Target_Pic:
                lumvik.Target_Awb_Target_Pic = lumvik.Target_Awb_Target_Pic.split("-mfll")[0] + ".jpg"
            if lumvik.Target_Awb_Target_Pic[:-4] in str(sheet.row_values(i)[0]):
                lumvik.Target_Awb_Target_Pic, lumvik.insert_row_num = str(sheet.row_values(i)[0]), i
                break
        else:
            lumvik.insert_row_num = lumvik.insert_row_num or sheet.nrows
        lumvik.Create_Data(code)
        book = copy(xlrd.open_workbook(lumvik.Excle_File, formatting_info=True))
        write_row(
            book.get_sheet(k),
            k,
            lumvik.insert_row_num,
            lumvik.Target_Awb_Target_Pic,
            lumvik.AWB_TAG_DATA_List,
            issues,
            datetime.datetime.now(),
            *row_styles(),
        )
        book.save(lumvik.Excle_File)
