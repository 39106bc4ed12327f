"""Speed of the workbook report: the whole `awb-report` process on batch workbooks of 100 and
1000 pictures (made by `tavrin` from example dumps, one in fifty missing). Prints wall time, the
page's size and the part of it that is the plotting library's script; it judges nothing.

    python bench/bench_report.py [SIZES...] [--repeat N]

Targets on the reference machine: 1000 pictures in at most 3 s, the page under 6 MB.
"""

import argparse
import subprocess
import sys
import time
from pathlib import Path

from bench_batch import ROOT, make_folder, run_tavrin

OUT = ROOT / "bench" / "out" / "report"
BIN = Path(sys.executable).parent


def make_workbook(count):
    """A batch workbook of `count` pictures, written by the batch itself."""
    folder = make_folder(count)
    run_tavrin(folder)
    (workbook,) = folder.glob("Corvane*.xls")
    return workbook


def timed(argv):
    start = time.perf_counter()
    subprocess.run(argv, check=True, capture_output=True, timeout=600)
    return time.perf_counter() - start


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sizes", nargs="*", type=int, default=[100, 1000])
    parser.add_argument("--repeat", type=int, default=3, help="runs per size (best is shown)")
    args = parser.parse_args(argv)

    print("awb-report, whole process (best of %d runs)" % args.repeat)
    print(f"{'pictures':>8}  {'wall s':>7}  {'page MB':>7}  {'script MB':>9}")
    for count in args.sizes:
        workbook = make_workbook(count)
        OUT.mkdir(parents=True, exist_ok=True)
        page = OUT / f"report-{count}.html"
        wall = min(timed([str(BIN / "awb-report"), str(workbook), "-o", str(page)]) for _ in range(args.repeat))
        text = page.read_text(encoding="utf-8")
        script = len(text[text.index("<script>"):text.index("</script>")].encode("utf-8"))
        print(f"{count:>8}  {wall:>7.2f}  {page.stat().st_size / 1e6:>7.2f}  {script / 1e6:>9.2f}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
