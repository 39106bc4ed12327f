"""Speed of the EXIF batch recorder: the whole `tavrin` process on working folders of 100, 500,
1000 and 10,000 pictures (realistic dumps, one in fifty missing), its HTML report included.
Prints wall time, the report's share of it, peak memory and the time per picture; with
--row-limit, the time a capture list of 66,000 lines takes to fill the workbook's 65,535 rows and
stop with its line. With --baseline PYTHON (the interpreter of another build's environment,
today's main say), each run of this build is followed by one of that build in the same folder,
and both are printed side by side with their ratio. It judges nothing.

    python bench/bench_batch.py [SIZES...] [--repeat N] [--baseline PYTHON] [--row-limit]

Targets on the reference machine: 100 pictures in at most 2 s, 500 in at most 6 s, 1000 in at
most 1.2 s with its report, 10,000 in at most 12 s with peak memory under 400 MB (smaller runs
under 300 MB); 66,000 lines reach the row limit in at most 4 minutes.
"""

import argparse
import math
import os
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "examples"))

import make_examples  # noqa: E402

OUT = ROOT / "bench" / "out" / "batch"
# The `tavrin` command, with the time its report takes written to the error stream.
TAVRIN = """
import sys, time
from awb_desk import cli
write_report = cli._write_report
def timed(*args, **kwargs):
    start = time.perf_counter()
    status = write_report(*args, **kwargs)
    print(f"report seconds: {time.perf_counter() - start:.4f}", file=sys.stderr)
    return status
cli._write_report = timed
sys.exit(cli.tavrin_script(sys.argv[1:]))
"""


ROW_LIMIT_LINES = 66_000


def make_folder(count):
    folder = OUT / f"pictures-{count}"
    if folder.exists():
        shutil.rmtree(folder)
    names = make_examples.picture_names(count)
    make_examples.write_batch(str(folder), names, random.Random(count), missing=set(names[::50]))
    return folder


def run_tavrin(folder, *args, fresh=True, expect=0, python=sys.executable):
    """One `tavrin` process of `python` in `folder` (after removing the day's workbook unless
    not `fresh`) that ends with status `expect`: (wall seconds, peak resident MB, rows per sheet,
    the report's seconds)."""
    if fresh:
        for old in [*folder.glob("Corvane*.xls"), *folder.glob("Corvane*.history.sqlite*")]:
            old.unlink()
    with open(folder / "tavrin.out", "wb") as out, open(folder / "tavrin.err", "wb") as err:
        start = time.perf_counter()
        proc = subprocess.Popen([python, "-c", TAVRIN, *args], cwd=folder, stdout=out, stderr=err)
        # wait4 gives this child's own resource usage (ru_maxrss in KiB on Linux).
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != expect:
        raise SystemExit(f"tavrin failed in {folder}:\n{(folder / 'tavrin.err').read_text()}")
    report = re.search(r"report seconds: ([\d.]+)", (folder / "tavrin.err").read_text(encoding="utf-8"))
    return wall, usage.ru_maxrss / 1024, _rows(folder), float(report.group(1)) if report else math.nan


def _rows(folder):
    import xlrd

    (workbook,) = folder.glob("Corvane*.xls")
    book = xlrd.open_workbook(str(workbook))
    return [sheet.nrows - 1 for sheet in book.sheets()]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sizes", nargs="*", type=int, default=[100, 500, 1000, 10_000])
    parser.add_argument("--repeat", type=int, default=3, help="runs per size (best is shown)")
    parser.add_argument(
        "--row-limit",
        action="store_true",
        help=f"only the capture list of {ROW_LIMIT_LINES} lines that fills the workbook",
    )
    parser.add_argument(
        "--baseline",
        metavar="PYTHON",
        help="the interpreter of another build's environment, run in turn with this one and shown beside it",
    )
    args = parser.parse_args(argv)
    if args.row_limit:
        return row_limit(args.baseline)
    if args.baseline:
        return side_by_side(args.sizes, args.repeat, args.baseline)

    print("tavrin, whole process (best of %d runs)" % args.repeat)
    print(f"{'pictures':>8}  {'wall s':>7}  {'report s':>8}  {'ms/picture':>10}  {'peak MB':>7}  rows per sheet")
    for count in args.sizes:
        folder = make_folder(count)
        runs = [run_tavrin(folder) for _ in range(args.repeat)]
        wall = min(r[0] for r in runs)
        report = min(r[3] for r in runs)
        peak = max(r[1] for r in runs)
        rows = runs[-1][2]
        print(
            f"{count:>8}  {wall:>7.2f}  {report:>8.2f}  {1000 * wall / count:>10.2f}  {peak:>7.1f}  "
            f"{rows[0]}" + ("" if len(set(rows)) == 1 else f" (sheets differ: {rows})")
        )
    return 0


def side_by_side(sizes, repeat, baseline):
    """Each size run by the baseline and by this build in turn, in one folder: best wall and
    report times, the highest peak, and this build's times as a share of the baseline's."""
    print(f"tavrin, whole process, baseline {baseline} then this build in turn (best of {repeat} runs each)")
    print(f"load average before: {' '.join(f'{n:.1f}' for n in os.getloadavg())}")
    print(f"{'pictures':>8}  {'':>9}  {'wall s':>7}  {'report s':>8}  {'peak MB':>7}")
    for count in sizes:
        folder = make_folder(count)
        runs = {"baseline": [], "this": []}
        for _ in range(repeat):
            runs["baseline"].append(run_tavrin(folder, python=baseline))
            runs["this"].append(run_tavrin(folder))
        best = {
            name: (min(r[0] for r in done), min(r[3] for r in done), max(r[1] for r in done))
            for name, done in runs.items()
        }
        for name, (wall, report, peak) in best.items():
            print(f"{count if name == 'baseline' else '':>8}  {name:>9}  {wall:>7.2f}  {report:>8.2f}  {peak:>7.1f}")
        (wall, report, _), (old_wall, old_report, _) = best["this"], best["baseline"]
        print(f"{'':>8}  {'share':>9}  {wall / old_wall:>7.2f}  {report / old_report:>8.2f}")
    print(f"load average after: {' '.join(f'{n:.1f}' for n in os.getloadavg())}")
    return 0


def row_limit(baseline=None):
    """A capture list longer than a workbook holds rows: the run that fills it and stops (with
    a baseline, its run first, in the same folder)."""
    folder = make_folder(ROW_LIMIT_LINES)
    for name, python in ([("baseline", baseline)] if baseline else []) + [("this", sys.executable)]:
        wall, peak, rows, _ = run_tavrin(folder, expect=1, python=python)
        last = (folder / "tavrin.err").read_text(encoding="utf-8").strip().splitlines()[-1]
        print(
            f"{name}: tavrin on {ROW_LIMIT_LINES} lines: stopped after {wall:.1f} s with {rows[0]} rows per sheet, "
            f"peak {peak:.0f} MB"
        )
        print(f"  its line: {last}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
