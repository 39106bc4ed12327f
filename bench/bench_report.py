"""Speed of the workbook report: the whole `awb-report` process on batch workbooks of 100 and
1000 pictures (made by `tavrin` from example dumps, one in fifty missing), on the 1000-picture
workbook with a tuning history of each picture shown 20 times beside it, and the comparison of
two runs of the 1000-picture batch, some dumps changed in between, each with the history of its
final gains (`awb-report NEW --against OLD`). Prints wall time, the page's size and the part of
it that is the plotting library's script. With --baseline PYTHON (the interpreter of another
build's environment, today's main say), that build's `awb-report` runs in turn with this one on
the same workbooks, and its time and this build's share of it are printed beside. It judges
nothing.

    python bench/bench_report.py [SIZES...] [--repeat N] [--shows N] [--no-compare] [--baseline PYTHON]

Targets on the reference machine: 1000 pictures in at most 3 s, the page under 6 MB; with the
history of 1000 pictures shown 20 times each, at most 3 s; the comparison of two 1000-picture
workbooks in at most 2 s, the page under 6.5 MB.
"""

import argparse
import datetime
import os
import random
import re
import subprocess
import sys
import time
from pathlib import Path

from bench_batch import ROOT, make_examples, make_folder, run_tavrin

OUT = ROOT / "bench" / "out" / "report"
BIN = Path(sys.executable).parent


def make_workbook(count):
    """A batch workbook of `count` pictures, written by the batch itself."""
    folder = make_folder(count)
    run_tavrin(folder)
    (workbook,) = folder.glob("Corvane*.xls")
    return workbook


def make_history(workbook, count, shows):
    """The tuning history beside the workbook: its `count` pictures, under the names the
    console gives them, each shown `shows` times, one round of all pictures after another; each
    show has every tag of a real one, the colour temperature and final gains drifting from show
    to show. Built with one append."""
    from awb_desk import history as awb_history

    names = make_examples.picture_names(count)
    rng = random.Random(len(names))
    samples = [make_examples.tag_values(rng, j) for j in range(50)]
    start = datetime.datetime.now().astimezone() - datetime.timedelta(days=1)

    def entries():
        for n in range(shows * len(names)):
            show, i = divmod(n, len(names))
            values = dict(samples[i % len(samples)])
            for tag, step in (("AWB_TAG_CCT", 40), ("AWB_TAG_GAIN_R", 6), ("AWB_TAG_GAIN_B", 6)):
                values[tag] += rng.randint(-step, step) * show
            yield awb_history.Entry(
                start + datetime.timedelta(seconds=3 * n),
                names[i],
                f"Results/{names[i][:-4]}-main_awb_dbg_info.txt",
                "正常",
                values,
            )

    path = Path(awb_history.history_path(workbook))
    for old in path.parent.glob(path.name + "*"):
        old.unlink()
    awb_history.append(path, entries())
    return path


def batch_history(folder, workbook):
    """The history of a batch's final gains beside its workbook, one show per capture-list line,
    read from the dumps as they are now."""
    from awb_desk import history as awb_history

    now = datetime.datetime.now().astimezone()
    entries = []
    for line in (folder / "rawfilename.txt").read_text(encoding="utf-8").splitlines():
        picture, raw, _ = line.split(":")
        dump = folder / "EXIF" / f"{picture}.exif"
        if dump.exists():
            text = dump.read_text(encoding="utf-8")
            values = {
                tag: int(re.search(rf"{tag}\b[ |:\t]*(-?\d+)", text).group(1))
                for tag in ("AWB_TAG_CCT", "AWB_TAG_GAIN_R", "AWB_TAG_GAIN_G", "AWB_TAG_GAIN_B")
            }
            entries.append(awb_history.Entry(now, f"{picture} {raw}", str(dump), "", values))
    path = Path(awb_history.history_path(workbook))
    for old in path.parent.glob(path.name + "*"):
        old.unlink()
    awb_history.append(path, entries)


def make_runs(count):
    """Two runs of the `count`-picture batch, some dumps changed in between: (new, old) workbook,
    each with the history of its final gains."""
    folder = make_folder(count)
    run_tavrin(folder)
    (old,) = folder.glob("Corvane*.xls")
    batch_history(folder, old)
    make_examples.rerun_batch(str(folder))
    run_tavrin(folder, fresh=False)
    (moved,) = (folder / "备份").glob("Corvane*.xls")
    from awb_desk import history as awb_history

    if not Path(awb_history.history_path(moved)).exists():  # a batch that leaves the history where it was
        for path in folder.glob(f"{old.stem}.history.sqlite*"):
            path.replace(moved.with_name(moved.stem + path.name[len(old.stem) :]))
    batch_history(folder, old)
    return old, moved


def timed(argv):
    start = time.perf_counter()
    done = subprocess.run(argv, capture_output=True, text=True, timeout=600)
    if done.returncode:
        raise SystemExit(f"{' '.join(argv)} failed:\n{done.stderr}")
    return time.perf_counter() - start


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sizes", nargs="*", type=int, default=[100, 1000])
    parser.add_argument("--repeat", type=int, default=3, help="runs per size (best is shown)")
    parser.add_argument(
        "--shows",
        type=int,
        default=20,
        help="shows of each picture in the history beside the largest workbook (0: none)",
    )
    parser.add_argument("--no-compare", action="store_true", help="leave out the comparison of two runs")
    parser.add_argument(
        "--baseline",
        metavar="PYTHON",
        help="the interpreter of another build's environment, whose awb-report runs in turn with this one",
    )
    args = parser.parse_args(argv)
    commands = {"": BIN / "awb-report"}
    if args.baseline:
        commands = {"baseline": Path(args.baseline).parent / "awb-report", **commands}
        print(f"baseline: {commands['baseline']}")

    print("awb-report, whole process (best of %d runs)" % args.repeat)
    print(f"load average before: {' '.join(f'{n:.1f}' for n in os.getloadavg())}")
    side = f"  {'baseline s':>10}  {'share':>5}" if args.baseline else ""
    print(f"{'pictures':>8}  {'history':>14}  {'wall s':>7}  {'page MB':>7}  {'script MB':>9}{side}")
    OUT.mkdir(parents=True, exist_ok=True)

    def report(workbook, count, history, name, *more):
        walls = {which: [] for which in commands}
        for _ in range(args.repeat):  # in turn, so that both see the same load
            for which, command in commands.items():
                page = OUT / f"{name}{'-' if which else ''}{which}.html"
                walls[which].append(timed([str(command), str(workbook), "-o", str(page), *more]))
        page = OUT / f"{name}.html"
        wall = min(walls[""])
        text = page.read_text(encoding="utf-8")
        script = len(text[text.index("<script>") : text.index("</script>")].encode("utf-8"))
        line = f"{count:>8}  {history:>14}  {wall:>7.2f}  {page.stat().st_size / 1e6:>7.2f}  {script / 1e6:>9.2f}"
        if args.baseline:
            line += f"  {min(walls['baseline']):>10.2f}  {wall / min(walls['baseline']):>5.2f}"
        print(line)

    workbooks = {count: make_workbook(count) for count in args.sizes}
    for count, workbook in workbooks.items():
        report(workbook, count, "-", f"report-{count}")
    if args.shows and workbooks:
        count = max(workbooks)
        started = time.perf_counter()
        make_history(workbooks[count], count, args.shows)
        print(f"  (history of {count} x {args.shows} shows built in {time.perf_counter() - started:.1f} s)")
        report(workbooks[count], count, f"{args.shows} shows each", f"report-{count}-history")
    if not args.no_compare and args.sizes:
        count = max(args.sizes)
        new, old = make_runs(count)
        print(f"comparison of two runs of {count} pictures (awb-report NEW --against OLD), each with its gains")
        report(new, count, "compared", f"compare-{count}", "--against", str(old))
    print(f"load average after: {' '.join(f'{n:.1f}' for n in os.getloadavg())}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
