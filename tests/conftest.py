"""Shared fixtures: every test drives the installed modules in a subprocess of its own, with
its own working folder and home folder, because loading them writes files into the working
folder, sends the error stream into the home folder's log and may end the process."""

import json
import os
import shutil
import signal
import subprocess
import sys
import textwrap
import time
from dataclasses import dataclass
from pathlib import Path

import pytest

from read_workbook import read_workbook

REPO = Path(__file__).resolve().parent.parent
TESTS = REPO / "tests"
sys.path[:0] = [str(REPO / "examples"), str(REPO / "bench")]

LIGHT_SOURCES = ("T", "WF", "F", "CWF", "D", "DF", "S")
# The longest any test waits for a thing to happen: far more than any of them takes on a loaded
# machine, so that running out of it means the thing is not coming.
DEADLINE = 60.0
# Set by scripts/test.sh: every marked test runs, and a test that skips fails.
FULL_SUITE = os.environ.get("AWB_FULL_SUITE") == "1"
# The tools are tried as at a desk, where Ctrl-C interrupts them; a suite started in the
# background of a shell inherits Ctrl-C ignored, which every tool process would inherit too. A
# handled signal goes back to its default in each process started from here.
if signal.getsignal(signal.SIGINT) == signal.SIG_IGN:
    signal.signal(signal.SIGINT, signal.default_int_handler)


def soffice():
    return shutil.which("soffice") or shutil.which("libreoffice")


def chromium():
    return shutil.which("chromium") or shutil.which("chromium-browser")


# What each marker needs: a check, and what to say when it fails.
NEEDS = {
    "libreoffice": (soffice, "LibreOffice (soffice) is missing: apt-get install libreoffice-calc-nogui"),
    "chromium": (chromium, "Chromium is missing: apt-get install chromium"),
    "gbk_locale": (
        lambda: shutil.which("localedef") and os.path.exists("/usr/share/i18n/charmaps/GBK.gz"),
        "localedef or the GBK charmap is missing: apt-get install locales",
    ),
    "sigkill": (lambda: hasattr(signal, "SIGKILL"), "this system has no SIGKILL (it is not POSIX)"),
}


def pytest_addoption(parser):
    parser.addoption("--slow", action="store_true", help="run the slow tests too (AWB_FULL_SUITE=1 implies it)")


def pytest_collection_modifyitems(config, items):
    if FULL_SUITE:
        return
    slow = config.getoption("--slow")
    for item in items:
        for name, (present, missing) in NEEDS.items():
            if item.get_closest_marker(name) and not present():
                item.add_marker(pytest.mark.skip(reason=missing))
        if item.get_closest_marker("slow") and not slow:
            item.add_marker(pytest.mark.skip(reason="slow: run with --slow, or the whole suite (scripts/test.sh)"))


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """Under AWB_FULL_SUITE=1 a skip is a failure: the suite never passes by leaving tests out."""
    report = (yield).get_result()
    if FULL_SUITE and report.skipped and not hasattr(report, "wasxfail"):
        reason = report.longrepr[2] if isinstance(report.longrepr, tuple) else str(report.longrepr)
        report.outcome, report.longrepr = "failed", f"skipped under AWB_FULL_SUITE=1: {reason}"


def wait_until(ready, what, deadline=DEADLINE, interval=0.001):
    """Polls `ready()` until it holds and returns its value; past the deadline the test fails
    saying what it waited for."""
    end = time.monotonic() + deadline
    while not (value := ready()):
        if time.monotonic() > end:
            pytest.fail(f"waited {deadline:g} s for {what}", pytrace=False)
        time.sleep(interval)
    return value


@dataclass
class Result:
    returncode: int
    stdout: str
    stderr: str

    def json(self):
        """The last line of standard output, read as JSON (what a snippet reported)."""
        return json.loads(self.stdout.strip().splitlines()[-1])


class Sandbox:
    """A working folder and a home folder for one test, and a way to run Python there."""

    def __init__(self, root: Path):
        self.root = root
        self.work = root / "work"
        self.home = root / "home"
        self.work.mkdir()
        self.home.mkdir()

    def env(self, extra=None):
        env = {k: v for k, v in os.environ.items() if not k.startswith("PYTHON")}
        env.update(
            HOME=str(self.home),
            USERPROFILE=str(self.home),
            LC_ALL="C.UTF-8",
            PYTHONUTF8="1",
            PYTHONDONTWRITEBYTECODE="1",
        )
        env.update(extra or {})
        return env

    def run(self, code, stdin="", args=(), cwd=None, env=None, timeout=120):
        """Runs a Python snippet; `report(x)` in it prints x as JSON on the last line. The test
        support modules can be imported after everything else (read_workbook, say)."""
        prelude = (
            f"import json, sys\nsys.path.append({str(TESTS)!r})\n"
            "def report(x):\n    print(json.dumps(x, ensure_ascii=False, default=repr))\n"
        )
        return self.command(
            [sys.executable, "-c", prelude + textwrap.dedent(code), *args],
            stdin=stdin,
            cwd=cwd,
            env=env,
            timeout=timeout,
        )

    def start(self, code, stdin=subprocess.PIPE, cwd=None, env=None, stderr=subprocess.PIPE):
        """Starts a Python snippet and leaves it running: the caller talks to it and waits for it."""
        return subprocess.Popen(
            [sys.executable, "-c", code],
            cwd=cwd or self.work,
            env=self.env(env),
            text=True,
            encoding="utf-8",
            stdin=stdin,
            stdout=subprocess.PIPE,
            stderr=stderr,
        )

    def command(self, argv, stdin="", cwd=None, env=None, timeout=120):
        proc = subprocess.run(
            argv,
            input=stdin,
            capture_output=True,
            text=True,
            encoding="utf-8",
            cwd=cwd or self.work,
            env=self.env(env),
            timeout=timeout,
        )
        return Result(proc.returncode, proc.stdout, proc.stderr)

    # ---- console set-up ----

    @property
    def log(self):
        path = self.home / "log.txt"
        return path.read_text(encoding="utf-8") if path.exists() else None

    @property
    def workbook(self):
        return self.home / "Desktop" / "Corvane.xls"

    def simulator(self, name="sim"):
        """An empty simulator raw folder with its results folder, named in Config.ini."""
        raw = self.root / name
        (raw / "Results").mkdir(parents=True)
        self.config(f"Path={raw}")
        return raw

    def config(self, *lines, end="\n"):
        (self.work / "Config.ini").write_text("".join(line + end for line in lines), encoding="utf-8")

    def capture_list(self, lines, folder=None):
        path = (folder or self.home) / "rawfilename.txt"
        path.write_text("".join(line + "\n" for line in lines), encoding="utf-8")
        return path

    # ---- batch set-up ----

    def settings(self, prefix=""):
        (self.work / "global_values.py").write_text(
            f"class global_val:\n    rawfilename_txt = {prefix!r}\n", encoding="utf-8"
        )

    def dump(self, picture, text):
        folder = self.work / "EXIF"
        folder.mkdir(exist_ok=True)
        (folder / f"{picture}.exif").write_text(text, encoding="utf-8")


def program_env():
    """The environment for an outside program (a spreadsheet program, a browser): without the
    sanitizer runtime that the sanitizer pass preloads into the interpreter."""
    return {k: v for k, v in os.environ.items() if not k.startswith(("LD_PRELOAD", "ASAN", "LSAN", "UBSAN"))}


@pytest.fixture
def sandbox(tmp_path):
    return Sandbox(tmp_path)


def tag_matches(line, tag):
    """The tag reader's rule as the engineer reads it: blanks, tabs and bars go, the tag must occur
    and ":" must stand right at the tag's length. Returns the cleaned line, or None."""
    cleaned = line.replace(" ", "").replace("\t", "").replace("|", "")
    return cleaned if tag in cleaned and len(cleaned) > len(tag) and cleaned[len(tag)] == ":" else None


def tag_rule(lines, tag):
    """The value of the last line that carries the tag: all after its first ":" through int()."""
    value = 0
    for line in lines:
        cleaned = tag_matches(line, tag)
        if cleaned is not None:
            value = int(cleaned[cleaned.index(":") + 1 :])
    return value


def tag_text(values, extra=()):
    """A debug text holding the given tags, one plain line each, among a few other lines."""
    lines = ["==== AWB DEBUG INFO ====", "frame_id: 12", *extra]
    lines += [f"{tag}: {value}" for tag, value in values.items()]
    return "\n".join(lines) + "\n"


def write_result(raw, stem, values, marker="-main", mtime=None):
    """One simulator result: the AWB text and its newer colour-statistics companion."""
    results = Path(raw) / "Results"
    awb = results / f"{stem}{marker}_awb_dbg_info.txt"
    stats = results / f"{stem}{marker}_dbg_scolor_info.txt"
    awb.write_text(tag_text(values), encoding="utf-8")
    stats.write_text("zone[0] r=1 g=2 b=3\n", encoding="utf-8")
    if mtime is not None:
        os.utime(awb, (mtime, mtime))
        os.utime(stats, (mtime + 1, mtime + 1))
    return awb


def workbook_cells(path):
    """Every cell of a workbook that is not empty, as read back with its formatting:
    {(sheet, row, column): (type, value, font colour, bold, horizontal, vertical, fill)}."""
    return {
        (name, r, col): (c.type, c.value, c.font_colour, c.bold, c.horizontal, c.vertical, c.fill)
        for name, rows in read_workbook(path).items()
        for r, row in enumerate(rows)
        for col, c in enumerate(row)
        if c.type != 0
    }
