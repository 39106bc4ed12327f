"""The tuning history: every show of a picture in the console, and every picture a batch run
records, appended to a SQLite database beside the analysis workbook, so that the values of
earlier runs stay at hand after the workbook row was overwritten, and the final gains, which no
workbook holds, are there for the report.

The history of the workbook ``Corvane.xls`` is ``Corvane.history.sqlite`` in the same folder
(a symbolic link to the workbook is resolved first: a link and its target share one history).
Entries are only ever appended; nothing here changes or deletes a row. Several consoles may
write one history at the same time: each write is one short transaction, and a writer waits
up to ``BUSY_SECONDS`` for another one to finish (WAL journal, so readers never wait).

Schema (version 1, kept in ``PRAGMA user_version``): one table, one row per show.

    shows(
        id           INTEGER PRIMARY KEY,  -- append order: a later show has a larger id
        shown_at     TEXT,     -- local time of the show, ISO 8601 with its UTC offset
        picture      TEXT,     -- the picture name as written to column 0 of the workbook
                               -- (a batch's: "picture raw-file")
        result_path  TEXT,     -- the simulator's AWB debug text the values were read from
                               -- (a batch's: the picture's dump)
        issue_note   TEXT,     -- the issue note written beside the values
        "AWB_TAG_CCT" INTEGER, ...  -- one column per AWB tag the show read
    )
    INDEX shows_picture ON shows(picture)

The value columns are named after the tags of the debug text. A tag of the whole picture has
one column ("AWB_TAG_CCT", "AWB_TAG_ALGO_SCENE_LV", "AWB_TAG_P_T" ... "AWB_TAG_P_S",
"AWB_TAG_DATE", and the final gains "AWB_TAG_GAIN_R", "AWB_TAG_GAIN_G", "AWB_TAG_GAIN_B"); a
tag of one light source has one column per light-source code ("AWB_TAG_STA_GAIN_R_D",
"AWB_TAG_WEIGHT_T", ...). Together they are the record of each light source (the workbook's
values) and its static, spatial and equivalent gains (the console summary; a batch keeps only
the final gains). The tools name the columns; a tag that a later tool reads becomes a new
column, NULL in older rows and where a value was not read.

By hand, for example:

    sqlite3 Corvane.history.sqlite "SELECT shown_at, AWB_TAG_CCT, AWB_TAG_GAIN_R,
        AWB_TAG_GAIN_B FROM shows WHERE picture = 'P100.jpg' ORDER BY id"

From Python, ``read_history(path)`` gives every picture's entries in show order.
"""

import atexit
import datetime
import os
import sqlite3
from dataclasses import dataclass, field

from awb_desk.errors import described
from awb_desk.files import is_read_only

SCHEMA_VERSION = 1
SUFFIX = ".history.sqlite"
BUSY_SECONDS = 5.0  # how long a write waits for another console's write
COMMON = ("shown_at", "picture", "result_path", "issue_note")


class HistoryError(Exception):
    """The history could not be opened, read or written; the message says why, for the engineer."""


@dataclass
class Entry:
    """One show: when, which picture, from which result text, its note, and its values by tag."""

    shown_at: datetime.datetime
    picture: str
    result_path: str
    issue_note: str
    values: dict = field(default_factory=dict)
    id: int = None


def history_path(workbook):
    """The history database of a workbook: its real path with ".history.sqlite" for its extension."""
    return os.path.splitext(os.path.realpath(os.fspath(workbook)))[0] + SUFFIX


def record_show(path, picture, result_path, issue_note, values, shown_at=None):
    """Appends one show (now, unless `shown_at` is given) and returns the picture's previous
    entry, read in the same transaction before the append, or None for its first show.
    The previous entry's values are those of the tags in `values`.

    The connection stays open for the next show of this process (closing the last connection
    to a WAL database checkpoints it, which costs more than the show's own write); it is opened
    again when the file at `path` is no longer the one it has open: before each show it checks
    that the file there is still the one it opened (device and inode)."""
    entry = Entry(shown_at or datetime.datetime.now().astimezone(), picture, result_path, issue_note, dict(values))
    path = os.fspath(path)
    db = _kept(path)
    try:
        previous = db.append([entry], previous_of=entry)
        _wrote(path)
        return previous
    except BaseException as e:
        _forget(path)
        if isinstance(e, sqlite3.Error):
            raise HistoryError(_reason(e)) from e
        raise


def stage_run(path, tags, rows, wait=None):
    """Inserts a batch run's pictures into the history at `path` in one transaction and leaves
    it open: the batch commits it once its workbook is saved with the same pictures, or rolls
    it back when that save fails, so that the history holds what the workbook holds. It goes
    through the connection this process keeps open to the history between the run's writes,
    checked before each one as for a show. A row is (when, in seconds since the epoch,
    picture, the dump's path, relative to the working folder or not, issue_note, then the
    values of `tags` in order, None for a value not read). The write waits up to `wait`
    seconds (``BUSY_SECONDS`` unless given) for another one. Returns the open transaction, a
    ``Staged``."""
    path = os.fspath(path)
    clock, folders = {}, {}
    rows = [(_local_time(row[0], clock), row[1], _absolute(row[2], folders), *row[3:]) for row in rows]
    db = _kept(path)
    try:
        db.db.execute(f"PRAGMA busy_timeout = {int(1000 * (BUSY_SECONDS if wait is None else wait))}")
        tags = list(tags)
        try:
            db.insert(tags, rows, commit=False)
        except OverflowError:  # a whole number beyond 64 bits, kept as for a show
            db.insert(tags, ([*row[:4], *map(_storable, row[4:])] for row in rows), commit=False)
    except BaseException as e:
        _forget(path)
        if isinstance(e, sqlite3.Error):
            raise HistoryError(_reason(e)) from e
        raise
    return Staged(path, db)


def _local_time(seconds, clock):
    """Seconds since the epoch as the local time with its UTC offset, ISO 8601 to the
    millisecond; `clock` keeps each whole second's text (a batch records many in one)."""
    whole = int(seconds // 1)
    text = clock.get(whole)
    if text is None:
        text = clock[whole] = datetime.datetime.fromtimestamp(whole).astimezone().isoformat()
    return f"{text[:19]}.{int((seconds - whole) * 1000):03d}{text[19:]}"


def _absolute(path, folders):
    """A path made absolute from the working folder; `folders` keeps each folder's."""
    if not path:
        return path
    folder, name = os.path.split(path)
    absolute = folders.get(folder)
    if absolute is None:
        absolute = folders[folder] = os.path.abspath(folder)
    return os.path.join(absolute, name)


class Staged:
    """A batch run's pictures inserted into a history, not yet committed (see `stage_run`)."""

    def __init__(self, path, db):
        self.path, self.db = path, db

    def commit(self):
        self._end("COMMIT")
        _wrote(self.path)

    def rollback(self):
        self._end("ROLLBACK")

    def _end(self, statement):
        try:
            if self.db.db is not None and self.db.db.in_transaction:
                self.db.db.execute(statement)
        except BaseException as e:
            _forget(self.path)
            if isinstance(e, sqlite3.Error):
                raise HistoryError(_reason(e)) from e
            raise


def release(path):
    """Closes the connection this process keeps open to the history at `path`, if any: the
    last one to close writes the journal back into the history and removes its files."""
    _forget(os.fspath(path))


def names_taken(workbook):
    """Whether a workbook put at `workbook` would find its history's name, or a journal name of
    it, taken by another file."""
    path = history_path(workbook)
    return any(os.path.lexists(path + suffix) for suffix in ("", *DATABASE_COMPANIONS))


def move(path, target):
    """Moves the history at `path` to `target`, with the journal files SQLite keeps beside it
    by name, its shows first written back into it where no other program holds it. Returns
    False when there is no history at `path`. Raises HistoryError when `target` or one of its
    journal names is taken, and OSError when a file cannot be moved; then nothing was moved."""
    path, target = os.fspath(path), os.fspath(target)
    if not os.path.lexists(path):
        return False
    names = ["", *DATABASE_COMPANIONS]
    taken = [target + suffix for suffix in names if os.path.lexists(target + suffix)]
    if taken:
        raise HistoryError(f"{taken[0]} 已存在")
    _forget(path)
    try:
        with _Database(path, write=False) as db:
            if db.db.execute("PRAGMA journal_mode").fetchone()[0] == "wal":
                db.db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
    except HistoryError:
        pass  # not a history to write back (it moves as it is), or one held by another program
    moved = []
    try:
        for suffix in sorted(names, key=bool, reverse=True):  # the journal files first, the history last
            if os.path.lexists(path + suffix):
                os.rename(path + suffix, target + suffix)
                moved.append(suffix)
    except OSError:
        for suffix in reversed(moved):
            os.rename(target + suffix, path + suffix)
        raise
    return True


def append(path, entries):
    """Appends entries (``Entry``, their ids ignored) in one transaction, in the given order."""
    entries = list(entries)
    if entries:
        with _Database(path) as db:
            db.append(entries)


def read_history(path, tags=None):
    """Every picture's entries, ``{picture: [Entry, ...]}``: pictures in the order of their first
    show, entries in show order. `tags` limits the values read (all tags when None); a tag the
    history lacks reads as None."""
    return _reading(path, lambda db: db.read(tags))


def read_measures(path, reading):
    """What `reading(measures)` makes of the history at `path`, opened for reading only while it
    runs. ``measures(tags, ids=None)`` gives each show's values of `tags` that can be drawn, in
    show order, as a list of ``(id, shown_at, picture, value, ...)`` (only the shows of `ids`,
    when given): `shown_at` as the history holds it, each value a finite number, else None (a
    NULL, a tag the history lacks, a text where a number belongs, as a hand edit leaves it).
    SQLite sorts the values out as it reads them, and reads only the columns asked for."""
    return _reading(path, lambda db: reading(db.read_measures))


def _reading(path, read):
    """What `read` reads of the history at `path`, opened for reading only."""
    if not os.path.isfile(path):
        raise HistoryError(f"{path} 不存在")
    try:
        with _Database(path, write=False) as db:
            return read(db)
    except HistoryError as e:
        if not isinstance(e.__cause__, sqlite3.OperationalError) or not _cannot_make_journals(e.__cause__):
            raise
    # A reader of a WAL history needs its index file ("-shm") beside it, which a folder that
    # takes no new file (a read-only share, say) or a history the reader may not write keeps
    # SQLite from making: the history is read from a copy, with its journal, in the temporary
    # folder.
    import shutil
    import tempfile

    with tempfile.TemporaryDirectory(prefix="awb-history-") as folder:
        copy = os.path.join(folder, os.path.basename(path))
        for suffix in ("", "-wal"):
            if os.path.isfile(path + suffix):
                shutil.copyfile(path + suffix, copy + suffix)
        with _Database(copy, write=False) as db:
            return read(db)


def _cannot_make_journals(error):
    return any(words in str(error) for words in ("unable to open", "readonly", "read-only"))


# The files SQLite keeps beside a history while it is open, found by name: "-wal" holds the
# latest shows until they are written into the history itself, "-shm" indexes it.
JOURNALS = ("-wal", "-shm")
DATABASE_COMPANIONS = (*JOURNALS, "-journal")  # and the rollback journal of one not in WAL mode


@dataclass
class _Kept:
    identity: tuple  # the history file's (device, inode) when it was opened
    db: "_Database"
    journals: dict  # {suffix: (device, inode)} of the journal files it used, as last seen


_kept_open = {}  # path: _Kept


def _identity(path):
    try:
        status = os.stat(path)
    except FileNotFoundError:
        return None
    return status.st_dev, status.st_ino


def _kept(path):
    """This process's open connection to the history at `path`, opened when there is none or
    when the file there was replaced or removed since (see `_let_go`)."""
    _refuse_read_only(path)
    kept = _kept_open.get(path)
    if kept is not None:
        identity = _identity(path)
        if identity is not None and identity == kept.identity:
            return kept.db
        _let_go(path, kept)
    db = _Database(path).__enter__()
    _kept_open[path] = _Kept(_identity(path), db, {})
    return db


def _wrote(path):
    """Notes the journal files the kept connection at `path` used for the write just done."""
    kept = _kept_open.get(path)
    if kept is not None:
        kept.journals = {suffix: _identity(path + suffix) for suffix in JOURNALS}


def _let_go(path, kept):
    """Closes the kept connection to a history that was replaced or removed under it. SQLite
    finds a history's journal files by name, and does not write back or remove those of a
    history that was moved: left there, they would be read as the journal of whatever file
    comes to the path (another history merged with it, a garbage file taken for a history).
    So the shows still in them are first written into the file they belong to, and they are
    removed from the path; a process that still has that file open keeps using them. When
    another program holds that history so that its shows cannot be written back, the
    connection stays kept, and nothing is written until they are."""
    db = kept.db.db
    try:
        busy = db.execute("PRAGMA wal_checkpoint(TRUNCATE)").fetchone()[0]
    except sqlite3.Error as e:
        raise HistoryError(f"{_REPLACED}, 原来的历史无法写完: {_reason(e)}") from e
    if busy:
        raise HistoryError(f"{_REPLACED}, 原来的历史仍被其他程序占用, 其最后的记录尚未写回")
    for suffix, identity in kept.journals.items():
        if identity is not None and _identity(path + suffix) == identity:
            try:
                os.remove(path + suffix)
            except FileNotFoundError:
                pass
            except OSError as e:
                raise HistoryError(f"{_REPLACED}, 原来的历史的日志文件 {path + suffix} 无法移走: {described(e)}") from e
    _forget(path)


_REPLACED = "历史记录文件在本程序运行中被替换或移走"


def _forget(path):
    kept = _kept_open.pop(path, None)
    if kept is not None:
        try:
            kept.db.close()
        except sqlite3.Error:
            pass  # the error that made it go is the one to tell


@atexit.register
def _close_kept():
    for path in list(_kept_open):
        _forget(path)


def _refuse_read_only(path):
    """A history the user marked read-only is left as it is."""
    if is_read_only(path):
        raise HistoryError("数据库文件是只读的")


def _quoted(name):
    if not isinstance(name, str) or not name or '"' in name or name in COMMON or name == "id":
        raise HistoryError(f"不能作为历史记录列名: {name!r}")
    return f'"{name}"'


def _reason(error):
    """The engineer's words for a failing SQLite call, with SQLite's own."""
    text = str(error)
    if "locked" in text or "busy" in text:
        why = f"被其他程序占用超过 {BUSY_SECONDS:g} 秒"
    elif "readonly" in text or "read-only" in text:
        why = "数据库文件或所在文件夹是只读的"
    elif "not a database" in text or "malformed" in text:
        why = "文件不是完好的 SQLite 数据库"
    elif "unable to open" in text:
        why = "无法打开数据库文件"
    else:
        why = "读写数据库出错"
    return f"{why}: {described(error)}"


class _Database:
    """A connection to a history: opened and checked on entry (WAL journal, schema version),
    closed on exit; the console keeps one open between shows (`_kept`). SQLite's errors
    leave as HistoryError."""

    def __init__(self, path, write=True):
        self.path, self.write = os.fspath(path), write
        self.db = None

    def __enter__(self):
        if self.write:
            _refuse_read_only(self.path)
        try:
            if self.write:
                self.db = sqlite3.connect(self.path, timeout=BUSY_SECONDS, isolation_level=None)
            else:
                # A reader that may write opens the file for writing all the same: it changes
                # nothing, and when it closes it removes the journal files ("-wal", "-shm")
                # that any reader of a WAL database makes, which a read-only one leaves behind.
                folder = os.path.dirname(os.path.abspath(self.path))
                mode = "rw" if os.access(self.path, os.W_OK) and os.access(folder, os.W_OK) else "ro"
                uri = "file:" + _uri_path(self.path) + "?mode=" + mode
                self.db = sqlite3.connect(uri, uri=True, timeout=BUSY_SECONDS, isolation_level=None)
            self.version = self.db.execute("PRAGMA user_version").fetchone()[0]
            if self.version > SCHEMA_VERSION:
                raise HistoryError(f"数据库版本 {self.version} 比本程序认识的版本 {SCHEMA_VERSION} 新")
            if self.write:
                if self.db.execute("PRAGMA journal_mode").fetchone()[0] != "wal":
                    self.db.execute("PRAGMA journal_mode=WAL")
                self.db.execute("PRAGMA synchronous=NORMAL")  # WAL stays whole; a power cut may lose the last show
        except sqlite3.Error as e:
            self.close()
            raise HistoryError(_reason(e)) from e
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, kind, error, trace):
        self.close()
        if isinstance(error, sqlite3.Error):
            raise HistoryError(_reason(error)) from error
        return False

    def close(self):
        if self.db is not None:
            db, self.db = self.db, None
            db.close()

    # ---- writing ----

    def append(self, entries, previous_of=None):
        tags = list(dict.fromkeys(tag for entry in entries for tag in entry.values))
        rows = (
            [
                e.shown_at.isoformat(timespec="milliseconds"),
                e.picture,
                e.result_path,
                e.issue_note,
                *(_storable(e.values.get(t)) for t in tags),
            ]
            for e in entries
        )
        return self.insert(tags, rows, previous_of)

    def insert(self, tags, rows, previous_of=None, commit=True):
        """Inserts rows of the common columns and `tags` in one transaction, left open unless
        `commit`; returns the previous entry of `previous_of`'s picture, read inside it, when
        asked."""
        self.db.execute("BEGIN IMMEDIATE")
        try:
            self._ensure_columns(tags)
            previous = None
            if previous_of is not None:
                previous = self._previous(previous_of.picture, list(previous_of.values))
            columns = list(COMMON) + tags
            self.db.executemany(
                f"INSERT INTO shows ({', '.join(map(_column, columns))}) VALUES ({', '.join('?' * len(columns))})", rows
            )
            if commit:
                self.db.execute("COMMIT")
        except BaseException:
            if self.db.in_transaction:
                self.db.execute("ROLLBACK")
            raise
        return previous

    def _ensure_columns(self, tags):
        """Creates the table on a new database, and a column for each tag it lacks."""
        version = self.db.execute("PRAGMA user_version").fetchone()[0]  # again, inside the lock
        if version == 0:
            self.db.execute(
                "CREATE TABLE shows (id INTEGER PRIMARY KEY, shown_at TEXT NOT NULL, "
                "picture TEXT NOT NULL, result_path TEXT NOT NULL, issue_note TEXT NOT NULL"
                + "".join(f", {_quoted(t)} INTEGER" for t in tags)
                + ")"
            )
            self.db.execute("CREATE INDEX shows_picture ON shows(picture)")
            self.db.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")
            return
        known = {row[1] for row in self.db.execute("PRAGMA table_info(shows)")}
        for tag in tags:
            if tag not in known:
                self.db.execute(f"ALTER TABLE shows ADD COLUMN {_quoted(tag)} INTEGER")

    def _previous(self, picture, tags):
        row = self.db.execute(
            f"SELECT id, {', '.join(map(_column, COMMON + tuple(tags)))} FROM shows "
            "WHERE picture = ? ORDER BY id DESC LIMIT 1",
            (picture,),
        ).fetchone()
        return None if row is None else _entry(row, tags)

    # ---- reading ----

    def read(self, tags):
        if self.version == 0:
            return {}
        known = [row[1] for row in self.db.execute("PRAGMA table_info(shows)")]
        if tags is None:
            tags = [name for name in known if name != "id" and name not in COMMON]
        present = [t for t in tags if t in known]
        rows = self.db.execute(f"SELECT id, {', '.join(map(_column, COMMON + tuple(present)))} FROM shows ORDER BY id")
        history = {}
        for row in rows:
            entry = _entry(row, present)
            entry.values = {t: entry.values.get(t) for t in tags}
            history.setdefault(entry.picture, []).append(entry)
        return history

    def read_measures(self, tags, ids=None):
        if self.version == 0:
            return []
        known = {row[1] for row in self.db.execute("PRAGMA table_info(shows)")}
        # A number beyond those a real number holds (an infinity) is no measure either; NaN is
        # kept as NULL. Comparisons, unlike abs(), take the smallest whole number as it is.
        columns = ["id", "shown_at", "picture"]
        for tag in tags:
            c = _quoted(tag)
            finite = f"typeof({c}) IN ('integer', 'real') AND {c} > -9e999 AND {c} < 9e999"
            columns.append(f"CASE WHEN {finite} THEN {c} END" if tag in known else "NULL")
        select = f"SELECT {', '.join(columns)} FROM shows"
        if ids is None:
            return self.db.execute(f"{select} ORDER BY id").fetchall()
        ids, rows = sorted(ids), []
        for start in range(0, len(ids), _IDS_AT_ONCE):
            chunk = ids[start : start + _IDS_AT_ONCE]
            rows += self.db.execute(f"{select} WHERE id IN ({', '.join('?' * len(chunk))}) ORDER BY id", chunk)
        return rows


_IDS_AT_ONCE = 500  # shows asked for by id in one query: every SQLite takes 999 parameters


def _storable(value):
    """A value as SQLite can keep it: a whole number beyond 64 bits, which a debug text may
    hold, goes in as its digits and is kept as the nearest real number, as in the workbook."""
    if isinstance(value, int) and not -(2**63) <= value < 2**63:
        return str(value)
    return value


def _column(name):
    return name if name in COMMON else _quoted(name)


def _entry(row, tags):
    shown_at, picture, result_path, issue_note = row[1:5]
    return Entry(
        datetime.datetime.fromisoformat(shown_at), picture, result_path, issue_note, dict(zip(tags, row[5:])), row[0]
    )


def _uri_path(path):
    """A file path as the path part of an SQLite URI ("?" and "#" escaped, Windows drives kept):
    what urllib.request's pathname2url does, without the import of urllib.request's HTTP stack
    (a sixtieth of a second in a command that opens one history)."""
    if os.name == "nt":
        from nturl2path import pathname2url
    else:
        from urllib.parse import quote as pathname2url

    return pathname2url(os.path.abspath(path))
