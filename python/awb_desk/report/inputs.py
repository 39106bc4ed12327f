"""What a report reads and where it writes: the picture rows of a workbook, the tuning history
beside it and the final gains of each row, every input checked to be a plain file before
anything opens it, and the page's path checked against every input."""

import functools
import io
import math
import os
import stat
import sys
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

import xlrd

from awb_desk import _tables as tables
from awb_desk import history as tuning_history
from awb_desk.errors import described, one_line
from awb_desk.files import write_text

# Issue notes that say the picture has no issue: none, "正常", and the console's note for a
# picture missing from the capture list.
NO_ISSUE_NOTES = ("", "正常", tables.NO_ISSUE_NOTE)

CT, LV = tables.RECORD_TITLES[0], tables.RECORD_TITLES[1]  # record slots 0 and 1
_FIRST = tables.FIRST_PROBABILITY_SLOT
PROBABILITY_TITLES = tables.RECORD_TITLES[_FIRST : _FIRST + len(tables.LIGHT_SOURCES)]
NO_SOURCE = "无数据"

# What the report reads of each show in a tuning history: the values of the sheet the pictures
# are read from, by which a row finds its own show, and the final gains.
CT_TAG = tables.RECORD_TAGS[0]
GAIN_TAGS = tuple(tables.FINAL_GAIN_TAGS)  # final R, G, B gains


def history_tags(sheet):
    return tuple(dict.fromkeys((CT_TAG, *tables.SHEET_TAGS[sheet], *GAIN_TAGS)))


class ReportError(Exception):
    """Input the report cannot be made from, said in the engineer's terms."""


def problem(exc):
    """An error as one line for the console."""
    return one_line(str(exc) if isinstance(exc, (ReportError, tuning_history.HistoryError)) else described(exc))


@dataclass
class Picture:
    row: int  # row number as a spreadsheet program shows it
    name: str
    note: str
    ct: Optional[float]
    lv: Optional[float]
    probabilities: Tuple[Optional[float], ...]  # in light-source order
    has_values: bool  # any value column not 0 and not empty
    # Each value column's value by the tag it was recorded from: a number, or None for an
    # empty cell or one that holds no number.
    recorded: Dict[str, Optional[float]]
    not_numbers: Tuple[str, ...] = ()  # titles of the value columns that hold something not a number
    gains: Tuple[Optional[float], ...] = (None, None, None)  # final R, G, B from the history

    @property
    def has_issue(self):
        return self.note not in NO_ISSUE_NOTES

    def ranked(self):
        """(light source, probability) from the most probable down; ties keep sheet order."""
        known = [(code, p) for code, p in zip(tables.LIGHT_SOURCES, self.probabilities) if p is not None]
        return sorted(known, key=lambda item: -item[1])

    @functools.cached_property
    def source(self):
        """The most probable light source, or NO_SOURCE when no probability is above 0."""
        ranked = self.ranked()
        return ranked[0][0] if ranked and ranked[0][1] > 0 else NO_SOURCE

    @property
    def white_point(self):
        """(R/G, B/G) of the picture's white point, G gain / R gain and G gain / B gain of its
        final gains; None without all three gains above 0."""
        r, g, b = self.gains
        if r is None or g is None or b is None or min(r, g, b) <= 0:
            return None
        return g / r, g / b


@dataclass
class History:
    """A tuning history: each picture's shows in show order, their values numbers or None; or,
    for a history beside the workbook that could not be read, why."""

    path: str
    pictures: Dict[str, list]  # {picture: [tuning_history.Entry, ...]}, first shown first
    problem: Optional[str] = None

    @property
    def reshown(self):
        return {name: shows for name, shows in self.pictures.items() if len(shows) > 1}


@dataclass
class Workbook:
    path: str
    sheet: str  # the sheet the pictures were read from
    pictures: List[Picture]
    history: Optional[History] = None  # set when the workbook has a tuning history
    read_before: bool = False  # read before a batch replaced the file at `path`
    unshown: int = 0  # rows without their own show in the history that was read
    what: str = ""  # "新表" or "旧表" in a comparison

    @property
    def unshown_line(self):
        """The line that counts the rows whose show the history does not hold, or None."""
        if not self.unshown:
            return None
        line = (
            f"{self.unshown} 行在调参历史 {self.history.path} 中没有本行的记录 (同一照片、同样的数值), 不画在白点图上"
        )
        return f"{self.what}: {line}" if self.what else line

    @property
    def issues(self):
        return [p for p in self.pictures if p.has_issue]

    @property
    def without_values(self):
        return [p for p in self.pictures if not p.has_values]

    @property
    def with_not_numbers(self):
        return [p for p in self.pictures if p.not_numbers]

    @property
    def without_gains(self):
        return [p for p in self.pictures if p.white_point is None]


# ---- plain files only ----


def plain_file(path, what=""):
    """Refuses a path that is not a plain file (a folder, a FIFO, a device) before anything
    opens it: reading a FIFO waits for a writer that never comes. `what` names the file for
    the engineer ("调参历史 ", "旧表 ")."""
    try:
        status = os.stat(path)
    except FileNotFoundError:
        raise ReportError(f"{what}{path} 不存在") from None
    except OSError as exc:
        raise ReportError(f"{what}{path} 无法访问 ({exc.strerror or described(exc)})") from None
    if stat.S_ISDIR(status.st_mode):
        raise ReportError(f"{what}{path} 是文件夹, 不是文件")
    if not stat.S_ISREG(status.st_mode):
        raise ReportError(f"{what}{path} 不是普通文件 (是管道或设备)")


# ---- reading the workbook ----


def _number(cell):
    """A cell's number: numbers as they are, numeric text read, anything else None."""
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE, xlrd.XL_CELL_BOOLEAN):
        return float(cell.value)
    if cell.ctype == xlrd.XL_CELL_TEXT:
        try:
            value = float(cell.value.strip())
        except ValueError:
            return None
        return value if math.isfinite(value) else None
    return None


def shown(value):
    """A number as the workbook shows it: whole numbers without a decimal point."""
    if value is None:
        return ""
    return str(int(value)) if float(value).is_integer() else f"{value:g}"


def _text(cell):
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return cell.value.strip()
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        return shown(cell.value)
    return ""


def _title_columns(sheet):
    """Each title of the sheet's title row and its first column."""
    columns = {}
    if sheet.nrows:
        for col, cell in enumerate(sheet.row(0)):
            columns.setdefault(_text(cell), col)
    return columns


NEEDED_TITLES = (tables.NAME_TITLE, CT, LV, *PROBABILITY_TITLES)


def _open(path, what):
    plain_file(path, what)
    try:
        # xlrd prints what it finds odd in a file it reads all the same (its size, say) on
        # standard output, among the command's own lines: those notes are let go.
        return xlrd.open_workbook(path, on_demand=True, logfile=io.StringIO())
    except Exception as exc:  # xlrd names a file it cannot read in many ways
        raise ReportError(f"{what}{path} 不是可读的 .xls 工作簿 ({described(exc)})") from exc


def read_workbook(path, what="", empty_ok=False):
    """The pictures of a workbook written by the console or the batch. The seven sheets carry
    the same CT, LV and probabilities, so they are read from the first sheet, in sheet order,
    that has all those columns; columns are found by their titles. A workbook without picture
    rows is refused unless `empty_ok`."""
    book = _open(path, what)
    try:
        names = book.sheet_names()
        present = [code for code in tables.LIGHT_SOURCES if code in names]
        titled = None
        for code in present:
            columns = _title_columns(book.sheet_by_name(code))
            if all(title in columns for title in NEEDED_TITLES):
                titled = code, columns
                break
        if titled is None and not any(tables.NAME_TITLE in _title_columns(book.sheet_by_name(n)) for n in names):
            raise ReportError(f"{what}{path} 不是 AWB 分析表格: 没有以 {tables.NAME_TITLE} 为标题的工作表")
        missing = [code for code in tables.LIGHT_SOURCES if code not in names]
        if missing:
            raise ReportError(
                f"{what}{path} 缺少工作表 {', '.join(missing)} (应有七个: {', '.join(tables.LIGHT_SOURCES)})"
            )
        if titled is None:
            first = _title_columns(book.sheet_by_name(tables.LIGHT_SOURCES[0]))
            lacking = [title for title in NEEDED_TITLES if title not in first]
            raise ReportError(f"{what}{path} 的工作表 {tables.LIGHT_SOURCES[0]} 缺少列: {', '.join(lacking)}")
        code, columns = titled
        pictures = _pictures(book.sheet_by_name(code), code, columns)
    finally:
        book.release_resources()
    if not pictures and not empty_ok:
        raise ReportError(f"{what}{path} 中没有照片行 (只有标题行), 无法生成报告")
    return Workbook(os.path.abspath(path), code, pictures)


def _not_empty(cell):
    """A cell that holds something: text that is not only blanks, a number, an error value."""
    return cell.ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) and (
        cell.ctype != xlrd.XL_CELL_TEXT or _text(cell)
    )


def _cell(row, col):
    """A row's cell: a row may be shorter than the title row, and a hand-deleted note column reads
    as empty."""
    return row[col] if col is not None and col < len(row) else xlrd.empty_cell


def _pictures(sheet, code, columns):
    # The value columns follow the name column: the AWB values a missing dump leaves at 0.
    value_titles = tables.SHEET_TITLES[code][1 : 1 + tables.VALUE_COLUMNS[code]]
    value_columns = [(t, tag, columns[t]) for t, tag in zip(value_titles, tables.SHEET_TAGS[code]) if t in columns]
    note_column = columns.get(tables.ISSUE_NOTE_TITLE)
    pictures = []
    for r in range(1, sheet.nrows):
        row = sheet.row(r)
        cell = functools.partial(_cell, row)
        name = _text(cell(columns[tables.NAME_TITLE]))
        cells = [cell(col) for _, _, col in value_columns]
        values = [_number(c) for c in cells]
        odd = tuple(t for (t, _, _), c, v in zip(value_columns, cells, values) if v is None and _not_empty(c))
        if not name and all(v is None for v in values) and not odd:
            continue  # a blank row
        pictures.append(
            Picture(
                row=r + 1,
                name=name,
                note=_text(cell(note_column)),
                ct=_number(cell(columns[CT])),
                lv=_number(cell(columns[LV])),
                probabilities=tuple(_number(cell(columns[t])) for t in PROBABILITY_TITLES),
                has_values=any(values) or bool(odd),
                recorded={tag: v for (_, tag, _), v in zip(value_columns, values)},
                not_numbers=odd,
            )
        )
    return pictures


# ---- reading the tuning history ----


def _measure(value):
    """A history value the page can draw: a finite number, else None (a hand-edited text, say)."""
    if isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value):
        return value
    return None


def read_tuning_history(path, named, what, tags):
    """The history at `path`, with the values of `tags`; a value that is not a number is
    missing, for that value only. One the engineer `named` on the command line that cannot be
    read is the command's error; one found beside the workbook costs the page only what it
    draws of the history, said in one line on the error stream and in the page."""
    try:
        plain_file(path, f"{what}调参历史 ")
        shows = tuning_history.read_history(path, tags=tags)
        pictures = {}
        for picture, entries in shows.items():
            for entry in entries:
                entry.values = {tag: _measure(entry.values.get(tag)) for tag in tags}
                entry.shown_at = entry.shown_at.astimezone()  # desk time; a time no clock shows fails here
            pictures.setdefault(str(picture).strip(), []).extend(entries)
        for entries in pictures.values():
            entries.sort(key=lambda e: e.id)  # names that differ only in blanks merge in show order
        return History(path, pictures)
    except Exception as exc:  # a history is read by SQLite and a hand-made one may hold anything
        why = problem(exc)
        if named:
            if not isinstance(exc, ReportError):
                why = f"{what}调参历史 {path} 无法读取: {why}"
            raise ReportError(why) from exc
        print(f"历史记录未读取: {path} ({why})", file=sys.stderr)
        return History(path, {}, why)


def _own_show(picture, show):
    """Whether a history entry is the show that wrote the picture's row: every value the row
    holds is the one the entry recorded of the same tag (a value the entry lacks, as a history
    made by hand may, is no objection). The history keeps whole numbers that the workbook
    keeps as the nearest real number."""
    for tag, value in picture.recorded.items():
        recorded = show.values.get(tag)
        if recorded is not None and value != float(recorded):
            return False
    return True


def attach_gains(workbook):
    """Gives each row of the workbook the final gains of its own show in the history: an entry
    of the row's column-0 text that recorded the row's values, the last such one. Where n rows
    share a text, each takes its own show, in order: from the last row up, each row takes the
    last of its shows before the one the row below it took. A row without such an entry has
    no gains, and is counted: the history of another run (one that could not be moved or
    written in a rerun, one read as a rerun replaced it) never gives a row its values."""
    history = workbook.history
    if history is None or history.problem is not None:
        return
    rows = {}
    for picture in workbook.pictures:
        rows.setdefault(picture.name, []).append(picture)
    workbook.unshown = 0
    for name, same in rows.items():
        shows = history.pictures.get(name, ())
        end = len(shows)
        for picture in reversed(same):
            k = next((k for k in range(end - 1, -1, -1) if _own_show(picture, shows[k])), None)
            if k is None:
                workbook.unshown += 1
            else:
                picture.gains, end = tuple(shows[k].values[tag] for tag in GAIN_TAGS), k


def read_with_history(path, history_path=None, what="", empty_ok=False):
    """The workbook at `path` with its tuning history (`history_path` when the engineer named
    one, else the one beside it when there is one) and each row's final gains."""
    named = history_path is not None
    history_path = history_path if named else tuning_history.history_path(path)
    workbook = read_workbook(path, what, empty_ok)
    if named or os.path.lexists(history_path):
        workbook.history = read_tuning_history(history_path, named, what, history_tags(workbook.sheet))
    attach_gains(workbook)
    workbook.what = what.strip()
    return workbook


def say_unshown(*workbooks):
    """One line on the error stream for each workbook with rows whose show its history lacks."""
    for workbook in workbooks:
        if workbook.unshown_line:
            print(workbook.unshown_line, file=sys.stderr)


# ---- the page's path ----


def same_place(a, b):
    """Whether two paths name one file: the same name once links are resolved, or one file."""
    if os.path.normcase(os.path.realpath(a)) == os.path.normcase(os.path.realpath(b)):
        return True
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def guarded_paths(workbook_path, history_path=None):
    """(path, what it is) of every file the page must not be written over: the workbook, its
    tuning history beside it and any named one, and the files SQLite keeps beside a history."""
    histories = dict.fromkeys(p for p in (tuning_history.history_path(workbook_path), history_path) if p)
    guarded = [(workbook_path, "表格文件")]
    for history in histories:
        guarded.append((history, "调参历史"))
        guarded += [(history + suffix, "调参历史的日志文件") for suffix in tuning_history.DATABASE_COMPANIONS]
    return guarded


def check_output(out, guarded):
    """Refuses a page path that names a folder, lies in no folder, or names one of the inputs."""
    target = os.path.realpath(out)  # a link to the report stays a link
    if os.path.isdir(target):
        raise ReportError(f"报告的位置 {out} 是文件夹, 请给出报告文件名 (.html)")
    folder = os.path.dirname(target)
    if not os.path.isdir(folder):
        raise ReportError(f"报告的文件夹不存在: {folder}")
    for path, what in guarded:
        if same_place(target, path):
            raise ReportError(f"报告不能写在{what}本身上: {out}")
    return target


def write_page(out, page):
    """Writes the page whole at `out` (checked by `check_output`); a failure is said in the
    engineer's terms, naming the page, and leaves nothing behind."""
    target = os.path.realpath(out)
    try:
        write_text(target, page)
    except OSError as exc:
        raise ReportError(f"报告无法写入 {out} ({exc.strerror or described(exc)})") from exc
