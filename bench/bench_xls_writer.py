"""The workbook part of a batch (its cells and its saves) through xlwt and through the core's
workbook writer, side by side in one process: the same writes replayed both ways
(bench/xlwt_writes.py), best of several runs. It prints both times, their ratio and whether
the bytes agree; it judges nothing.

    python bench/bench_xls_writer.py [PICTURES...] [--repeat N] [--checkpoint N]

Two ways of the writer: the workbook read back from its first save and copied, as the batch
does it today (xlrd's reading included on both sides), and its model kept in memory from its
creation. Target: the writer at least 20 times faster than xlwt for 1000 pictures."""

import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import xlwt_writes


def best(repeat, run):
    times, result = [], None
    for _ in range(repeat):
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return min(times), result


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sizes", nargs="*", type=int, default=[1000])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--checkpoint", type=int, default=250, help="pictures between saves")
    args = parser.parse_args(argv)
    print(f"workbook part of a batch (best of {args.repeat}; a save every {args.checkpoint} pictures and at the end)")
    print(f"{'pictures':>8}  {'how':<24}  {'xlwt s':>7}  {'writer s':>8}  {'faster':>6}  bytes")
    for count in args.sizes:
        pictures = xlwt_writes.pictures(count)
        for label, keep in (("read back and copied", False), ("model kept in memory", True)):
            old, old_saves = best(
                args.repeat, lambda p=pictures, k=keep: xlwt_writes.batch_run(p, args.checkpoint, keep=k)
            )
            new, new_saves = best(
                args.repeat, lambda p=pictures, k=keep: xlwt_writes.batch_run(p, args.checkpoint, model=True, keep=k)
            )
            same = "identical" if old_saves == new_saves else "DIFFER"
            print(f"{count:>8}  {label:<24}  {old:>7.3f}  {new:>8.4f}  {old / new:>5.0f}x  {same}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
