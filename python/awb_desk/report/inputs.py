"""What a report reads and where it writes: the picture rows of a workbook, the tuning history
beside it and the final gains of each row, every input checked to be a plain file before
anything opens it, and the page's path checked against every input."""

import datetime
import functools
import io
import math
import operator
import os
import sys
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

from awb_desk import _tables as tables
from awb_desk import history as tuning_history
from awb_desk.errors import described, one_line
from awb_desk.files import write_whole

# Issue notes that say the picture has no issue: none, "正常", and the console's note for a
# picture missing from the capture list.
NO_ISSUE_NOTES = ("", "正常", tables.NO_ISSUE_NOTE)

CT, LV = tables.RECORD_TITLES[0], tables.RECORD_TITLES[1]  # record slots 0 and 1
_FIRST = tables.FIRST_PROBABILITY_SLOT
PROBABILITY_TITLES = tables.RECORD_TITLES[_FIRST : _FIRST + len(tables.LIGHT_SOURCES)]
NO_SOURCE = "无数据"

# What the report reads of the shows in a tuning history: CT and the final gains, and the other
# values of the sheet the pictures are read from, by which a row finds its own show.
CT_TAG = tables.RECORD_TAGS[0]
GAIN_TAGS = tuple(tables.FINAL_GAIN_TAGS)  # final R, G, B gains


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


class Show:
    """One show of a picture in a tuning history: its place in show order, its time in desk time,
    and the values of the history's tags, in their order, each a finite number or None."""

    __slots__ = ("id", "shown_at", "values")

    def __init__(self, id, shown_at, values):
        self.id, self.shown_at, self.values = id, shown_at, values


@dataclass
class History:
    """A tuning history: each picture's shows in show order, with the values of `tags`; or, for a
    history beside the workbook that could not be read, why."""

    path: str
    pictures: Dict[str, List[Show]]  # first shown first
    problem: Optional[str] = None
    tags: Tuple[str, ...] = ()  # the tags of each show's values, in order

    def column(self, tag):
        """Where a tag's value stands in each show's values."""
        return self.tags.index(tag)

    @property
    def reshown(self):
        return {name: shows for name, shows in self.pictures.items() if len(shows) > 1}


@dataclass
class Workbook:
    path: str
    sheet: str  # the light source of the sheet the pictures were read from
    pictures: List[Picture]
    sheet_name: str = ""  # that sheet's name, where the workbook's sheets are taken by position
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
    refusal = tables.plain_file_refusal(status.st_mode)
    if refusal is not None:
        raise ReportError(f"{what}{path} {refusal}")


# ---- reading the workbook ----

# A row is a list of its cells' values as xlrd's row_values gives them: numbers as float, texts
# as str, an empty cell as "". A boolean cell read from a file is True or False, an error value
# (#DIV/0!) this mark.
_ERROR_VALUE = object()


def _number(value):
    """A cell's number: numbers as they are, numeric text read, anything else None."""
    if value.__class__ is float:  # as most cells are
        return value
    if isinstance(value, str):
        try:
            number = float(value.strip())
        except ValueError:
            return None
        return number if math.isfinite(number) else None
    if isinstance(value, (float, int)):  # a boolean cell reads as 1 or 0
        return float(value)
    return None


def shown(value):
    """A number as the workbook shows it: whole numbers without a decimal point."""
    if value is None:
        return ""
    return str(int(value)) if float(value).is_integer() else f"{value:g}"


def _text(value):
    if isinstance(value, str):
        return value.strip()
    if isinstance(value, (float, int)) and not isinstance(value, bool):
        return shown(value)
    return ""


def _not_empty(value):
    """A cell that holds something: text that is not only blanks, a number, an error value."""
    return bool(value.strip()) if isinstance(value, str) else True


def _title_columns(rows):
    """Each title of the title row (the first row) and its first column."""
    columns = {}
    if rows:
        for col, value in enumerate(rows[0]):
            columns.setdefault(_text(value), col)
    return columns


NEEDED_TITLES = (tables.NAME_TITLE, CT, LV, *PROBABILITY_TITLES)


def _open(path, what):
    plain_file(path, what)
    import xlrd  # only a report that reads its workbook from the file needs the reader

    try:
        # xlrd prints what it finds odd in a file it reads all the same (its size, say) on
        # standard output, among the command's own lines: those notes are let go.
        return xlrd.open_workbook(path, on_demand=True, logfile=io.StringIO())
    except Exception as exc:  # xlrd names a file it cannot read in many ways
        raise ReportError(f"{what}{path} 不是可读的 .xls 工作簿 ({described(exc)})") from exc


def _sheet_rows(sheet, count=None):
    """The rows of a sheet read by xlrd (the first `count` of them, when given)."""
    import xlrd

    rows = []
    for r in range(sheet.nrows if count is None else min(count, sheet.nrows)):
        values, types = sheet.row_values(r), sheet.row_types(r)
        if xlrd.XL_CELL_BOOLEAN in types or xlrd.XL_CELL_ERROR in types:
            for col, kind in enumerate(types):
                if kind == xlrd.XL_CELL_BOOLEAN:
                    values[col] = bool(values[col])
                elif kind == xlrd.XL_CELL_ERROR:
                    values[col] = _ERROR_VALUE
        rows.append(values)
    return rows


def _titled(sheets):
    """The first of `sheets` ((light source, sheet name, its rows: the first `count` of them
    when asked so), in light-source order) that has every column the report needs: (light
    source, name, rows, title columns)."""
    for code, name, rows in sheets:
        columns = _title_columns(rows(1))
        if all(title in columns for title in NEEDED_TITLES):
            return code, name, rows(), columns
    return None


def _held_sheets(held):
    """The sheet the pictures are read from among those a batch holds, or None when it holds
    none: `held(code)` gives the rows of the light source's sheet, title row included."""
    first = held(tables.LIGHT_SOURCES[0])
    if first is None:
        return None

    def sheet(code):
        rows = first if code == tables.LIGHT_SOURCES[0] else held(code) or []
        return lambda count=None: rows if count is None else rows[:count]

    return _titled((code, code, sheet(code)) for code in tables.LIGHT_SOURCES)


def _file_sheets(path, what):
    """The sheet the pictures are read from in the workbook file at `path`: of each light
    source's sheet as the tools find it (by name wherever it stands, else by position), the
    first in light-source order with every column the report needs."""
    book = _open(path, what)
    try:
        names = book.sheet_names()
        positions, problem = tables.choose_sheets(names)

        def rows(at):
            return lambda count=None: _sheet_rows(book.sheet_by_index(at), count)

        titled = _titled((code, names[at], rows(at)) for code, at in zip(tables.LIGHT_SOURCES, positions or ()))
        if titled is None and not any(tables.NAME_TITLE in _title_columns(rows(at)(1)) for at in range(len(names))):
            raise ReportError(f"{what}{path} 不是 AWB 分析表格: 没有以 {tables.NAME_TITLE} 为标题的工作表")
        if problem is not None:
            raise ReportError(f"{what}{path} {problem}")
        if titled is None:
            first = _title_columns(rows(positions[0])(1))
            lacking = [title for title in NEEDED_TITLES if title not in first]
            raise ReportError(f"{what}{path} 的工作表 {names[positions[0]]} 缺少列: {', '.join(lacking)}")
        return titled
    finally:
        book.release_resources()


def read_workbook(path, what="", empty_ok=False, held=None):
    """The pictures of a workbook written by the console or the batch. The seven sheets carry
    the same CT, LV and probabilities, so they are read from the first sheet, in light-source
    order, that has all those columns; columns are found by their titles. `held`, for the
    workbook a batch has just written, gives each light source's rows as the batch holds them
    (`held(code)`, None when it holds none), which are then not read back from the file. A
    workbook without picture rows is refused unless `empty_ok`."""
    titled = _held_sheets(held) if held is not None else None
    code, name, rows, columns = titled or _file_sheets(path, what)
    pictures = _pictures(rows, code, columns)
    if not pictures and not empty_ok:
        raise ReportError(f"{what}{path} 中没有照片行 (只有标题行), 无法生成报告")
    return Workbook(os.path.abspath(path), code, pictures, sheet_name=name)


def _pictures(rows, code, columns):
    # The value columns follow the name column: the AWB values a missing dump leaves at 0.
    value_titles = tables.SHEET_TITLES[code][1 : 1 + tables.VALUE_COLUMNS[code]]
    value_columns = [(t, tag, columns[t]) for t, tag in zip(value_titles, tables.SHEET_TAGS[code]) if t in columns]
    name, note = columns[tables.NAME_TITLE], columns.get(tables.ISSUE_NOTE_TITLE)
    # Each column of a number (the value columns, CT, LV and the probabilities, which are among
    # them on the tools' own sheets) is read once per row: `numbered` holds them, and each of the
    # others' place in it.
    value_cols = [col for _, _, col in value_columns]
    numbered = list(dict.fromkeys([*value_cols, columns[CT], columns[LV], *(columns[t] for t in PROBABILITY_TITLES)]))
    at = {col: k for k, col in enumerate(numbered)}
    ct, lv = at[columns[CT]], at[columns[LV]]
    probabilities = operator.itemgetter(*(at[columns[t]] for t in PROBABILITY_TITLES))  # a tuple of them
    # A row may be shorter than the title row, and a hand-deleted note column reads as empty:
    # rows are read as long as the widest column the pictures take, empty cells after their end.
    width = max(name, *numbered, -1 if note is None else note) + 1
    tags = [tag for _, tag, _ in value_columns]
    pictures = []
    for r in range(1, len(rows)):
        row = rows[r]
        if len(row) < width:
            row = [*row, *[""] * (width - len(row))]
        text = _text(row[name])
        numbers = [_number(row[col]) for col in numbered]
        values = numbers[: len(value_cols)]
        odd = tuple(t for (t, _, col), v in zip(value_columns, values) if v is None and _not_empty(row[col]))
        if not text and all(v is None for v in values) and not odd:
            continue  # a blank row
        pictures.append(
            Picture(
                row=r + 1,
                name=text,
                note="" if note is None else _text(row[note]),
                ct=numbers[ct],
                lv=numbers[lv],
                probabilities=probabilities(numbers),
                has_values=any(values) or bool(odd),
                recorded=dict(zip(tags, values)),
                not_numbers=odd,
            )
        )
    return pictures


# ---- reading the tuning history ----


# What the report reads of every show: the CT and the final gains, which the page draws of a
# history, and by which a row takes its gains.
SHOW_TAGS = (CT_TAG, *GAIN_TAGS)


def read_tuning_history(path, named, what, workbook):
    """The history at `path` with the values of `SHOW_TAGS`, each row of `workbook` given the
    final gains of its own show in it (see `_own_gains`); a value that is not a number is
    missing, for that value only. One the engineer `named` on the command line that cannot be
    read is the command's error; one found beside the workbook costs the page only what it
    draws of the history, said in one line on the error stream and in the page."""

    def reading(measures):
        pictures = {}
        parse = datetime.datetime.fromisoformat
        for row in measures(SHOW_TAGS):
            # Desk time; a time no clock shows fails here. Names that differ only in blanks
            # are one picture's, their shows in show order.
            show = Show(row[0], parse(row[1]).astimezone(), row[3:])
            pictures.setdefault(str(row[2]).strip(), []).append(show)
        history = History(path, pictures, tags=SHOW_TAGS)
        return history, _own_gains(workbook, history, measures)

    try:
        plain_file(path, f"{what}调参历史 ")
        history, (gains, unshown) = tuning_history.read_measures(path, reading)
    except Exception as exc:  # a history is read by SQLite and a hand-made one may hold anything
        why = problem(exc)
        if named:
            if not isinstance(exc, ReportError):
                why = f"{what}调参历史 {path} 无法读取: {why}"
            raise ReportError(why) from exc
        print(f"历史记录未读取: {path} ({why})", file=sys.stderr)
        return History(path, {}, why, SHOW_TAGS)
    for picture, own in gains:
        picture.gains = own
    workbook.unshown = unshown
    return history


def _own_show(recorded, values):
    """Whether a history entry, whose values of the tags compared are `values`, is the show that
    wrote a row whose values are `recorded`, as (the place of the tag's value in `values`, the
    row's value): every value the row holds is the one the entry recorded of the same tag (a
    value the entry lacks, as a history made by hand may, is no objection). The history keeps
    whole numbers that the workbook keeps as the nearest real number."""
    for at, value in recorded:
        kept = values[at]
        if kept is not None and value != float(kept):
            return False
    return True


def _own_gains(workbook, history, measures):
    """The final gains of each row's own show in the history: an entry of the row's column-0
    text that recorded the row's values, the last such one. Where n rows share a text, each
    takes its own show, in order: from the last row up, each row takes the last of its shows
    before the one the row below it took. A row without such an entry has no gains, and is
    counted: the history of another run (one that could not be moved or written in a rerun,
    one read as a rerun replaced it) never gives a row its values. Returns ([(picture, its
    final gains)], rows without their own show).

    The sheet's other values are read only for the shows a row is compared with: a row is
    mostly its picture's last show (of n rows of a text, one of the last n), so those shows'
    values are read first, and all of a picture's shows only for a row that is none of them."""
    rows = {}
    for picture in workbook.pictures:
        rows.setdefault(picture.name, []).append(picture)
    compared = (CT_TAG, *(tag for tag in tables.SHEET_TAGS[workbook.sheet] if tag != CT_TAG))
    at = {tag: k for k, tag in enumerate(compared)}
    ct, gains = history.column(CT_TAG), [history.column(tag) for tag in GAIN_TAGS]
    values = {}  # id: the values of `compared` of the shows read so far

    def read(shows):
        wanted = [show for show in shows if show.id not in values]
        if wanted:
            kept = {row[0]: row[3:] for row in measures(compared[1:], [show.id for show in wanted])}
            lacking = (None,) * (len(compared) - 1)  # a show no longer there objects to no row
            values.update((show.id, (show.values[ct], *kept.get(show.id, lacking))) for show in wanted)

    def match(same, shows):
        """Each of `same` (the rows of one text) and the place of its own show in `shows`, or
        None when a show it is compared with has not been read."""
        end, found = len(shows), []
        for picture in reversed(same):
            recorded = [(at[tag], value) for tag, value in picture.recorded.items()]
            for k in range(end - 1, -1, -1):
                if shows[k].id not in values:
                    return None
                if _own_show(recorded, values[shows[k].id]):
                    found.append((picture, k))
                    end = k
                    break
            else:
                found.append((picture, None))
        return found

    read([show for name, same in rows.items() for show in history.pictures.get(name, ())[-len(same) :]])
    matched = {name: match(same, history.pictures.get(name, ())) for name, same in rows.items()}
    read([show for name, found in matched.items() if found is None for show in history.pictures[name]])
    own, unshown = [], 0
    for name, same in rows.items():
        shows = history.pictures.get(name, ())
        for picture, k in matched[name] or match(same, shows):  # all its shows are read now
            if k is None:
                unshown += 1
            else:
                own.append((picture, tuple(shows[k].values[g] for g in gains)))
    return own, unshown


def read_with_history(path, history_path=None, what="", empty_ok=False, held=None):
    """The workbook at `path` with its tuning history (`history_path` when the engineer named
    one, else the one beside it when there is one) and each row's final gains; `held` as for
    `read_workbook`."""
    named = history_path is not None
    history_path = history_path if named else tuning_history.history_path(path)
    workbook = read_workbook(path, what, empty_ok, held)
    if named or os.path.lexists(history_path):
        workbook.history = read_tuning_history(history_path, named, what, workbook)
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
    """Writes the page (its parts' bytes) whole at `out` (checked by `check_output`); a failure
    is said in the engineer's terms, naming the page, and leaves nothing behind."""
    target = os.path.realpath(out)
    try:
        write_whole(target, page)
    except OSError as exc:
        raise ReportError(f"报告无法写入 {out} ({exc.strerror or described(exc)})") from exc
