"""Show times of the simulator log console on workbooks of 100 and 1000 pictures.

    python bench/bench_console.py [--sizes 100 1000] [--later 6] [--no-reference]

For each size it builds a workbook with rows as the console writes them (values from real
record builds of example debug texts), then, in a console process of its own, times the
first show of the session (a new picture: the workbook is read and copied once) and the
later shows (new pictures and re-shows in turn, reusing the workbook kept in memory). For
comparison it also times one show written the plain way: read, copy and save per sheet."""

import argparse
import contextlib
import datetime
import io
import json
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "examples"))

import make_examples  # noqa: E402

SAMPLES = 20  # distinct debug texts whose records fill the workbook
NOTES = make_examples.NOTES


def picture(i):
    return f"{i:04d}_IMG_20261208_{100000 + i:06d}.jpg"


def write_result(results, i, stamp, rng):
    stem = picture(i)[:-4] + "-main"
    text = make_examples.debug_text(make_examples.tag_values(rng, i), rng)
    (results / f"{stem}_awb_dbg_info.txt").write_text(text, encoding="utf-8")
    stats = results / f"{stem}_dbg_scolor_info.txt"
    stats.write_text("zone[0] r=1 g=2 b=3\n", encoding="utf-8")
    os.utime(stats, (stamp, stamp))


def prepare(size, rng):
    """In the console process: a workbook of `size` pictures and a capture list; returns
    show(i), which lets the simulator write picture i's result and times its show."""
    import xlrd
    from xlutils.copy import copy

    import Lumvik
    import per_sheet_writer as ref

    results = Path(Lumvik.AWB_Results_Dir_Root)
    # Records of a few real debug texts, per light source.
    scratch = Path("sample_awb_dbg_info.txt")
    records = []
    for j in range(SAMPLES):
        scratch.write_text(make_examples.debug_text(make_examples.tag_values(rng, j), rng), encoding="utf-8")
        per_source = []
        with open(scratch) as text:
            Lumvik.fp = text
            for code in ref.LIGHT_SOURCES:
                Lumvik.Create_Data(code)
                per_source.append([int(v) for v in Lumvik.AWB_TAG_DATA_List[:21]])
        records.append(per_source)

    # The workbook: created by the console, then `size` picture rows written at once.
    Lumvik.insert_row_num, Lumvik.Target_Awb_Target_Pic = 1, picture(1)
    Lumvik.Create_Excel()
    book = copy(xlrd.open_workbook(Lumvik.Excle_File, formatting_info=True))
    style, red = ref.row_styles()
    now = datetime.datetime.now()
    for k in range(len(ref.LIGHT_SOURCES)):
        ws = book.get_sheet(k)
        for i in range(1, size + 1):
            style.num_format_str = "General"  # the row writer leaves it at "YYYYMMDD"
            ref.write_row(ws, k, i, picture(i), records[i % SAMPLES][k], NOTES[i % len(NOTES)], now, style, red)
    book.save(Lumvik.Excle_File)
    with open(Lumvik.rawfilename_txt, "w", encoding="utf-8") as f:
        for i in range(1, size + 100):
            f.write(f"{picture(i)}:{picture(i)[5:-4]}.raw:{NOTES[i % len(NOTES)]}\n")

    stamp = [time.time() + 10]

    def show(i):
        stamp[0] += 1
        write_result(results, i, stamp[0], rng)
        start = time.perf_counter()
        with contextlib.redirect_stdout(io.StringIO()):
            Lumvik.Find_Changed_Txt()
            Lumvik.Create_Lumvik_DATA()
            Lumvik.fp.close()
        return time.perf_counter() - start

    return show


def child(size, later, reference):
    """Runs in the console process: builds the workbook, then times the shows."""
    import xlrd

    import Lumvik
    import per_sheet_writer as ref

    show = prepare(size, random.Random(size))
    figures = {"first": show(size + 1)}
    # Later shows: a new picture, then a re-show of an earlier one, in turn.
    figures["later"] = [show(size + 2 + n // 2 if n % 2 == 0 else 1 + (n * 37) % size) for n in range(later)]
    figures["rows"] = xlrd.open_workbook(Lumvik.Excle_File).sheets()[0].nrows
    if reference:
        Lumvik.Create_Lumvik_DATA = lambda: ref.create_lumvik_data(Lumvik)
        figures["reference"] = show(size + 2 + later)
    print(json.dumps(figures))


def spawn(args):
    """Runs `args` as a console process in a fresh working folder, home folder and simulator
    folder; returns what it printed last, read as JSON."""
    with tempfile.TemporaryDirectory(prefix="bench_console_") as tmp:
        root = Path(tmp)
        work, home, raw = root / "work", root / "home", root / "sim"
        for folder in (work, home, raw / "Results"):
            folder.mkdir(parents=True)
        (work / "Config.ini").write_text(f"Path={raw}\ntsj=_ZETA\nuser=\n", encoding="utf-8")
        env = dict(os.environ, HOME=str(home), USERPROFILE=str(home), PYTHONUTF8="1")
        proc = subprocess.run(args, cwd=work, env=env, capture_output=True, text=True, encoding="utf-8")
        if proc.returncode != 0:
            log = home / "log.txt"
            sys.exit(
                f"bench child failed ({proc.returncode}):\n{proc.stdout}{proc.stderr}"
                f"{log.read_text(encoding='utf-8') if log.exists() else ''}"
            )
        return json.loads(proc.stdout.strip().splitlines()[-1])


def run(size, later, reference):
    args = [sys.executable, __file__, "--child", str(size), "--later", str(later)]
    return spawn(args if reference else [*args, "--no-reference"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[100, 1000])
    parser.add_argument("--later", type=int, default=6)
    parser.add_argument("--no-reference", dest="reference", action="store_false")
    parser.add_argument("--child", type=int, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        return child(args.child, args.later, args.reference)
    print("console show times (seconds)")
    for size in args.sizes:
        f = run(size, args.later, args.reference)
        line = (
            f"{size:5d} pictures: first show {f['first']:.3f}   later shows median "
            f"{statistics.median(f['later']):.3f}, max {max(f['later']):.3f} ({len(f['later'])} shows)"
        )
        if "reference" in f:
            line += f"   read-copy-save per sheet {f['reference']:.3f}"
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
