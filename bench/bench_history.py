"""What the tuning history costs a console show.

    python bench/bench_history.py [--entries 100000] [--pictures 5000] [--shows 15] [--size 100]

In a console process of its own, on a workbook of `--size` pictures, it builds a history of
`--entries` shows of `--pictures` pictures with the history's own append (one transaction),
then times re-shows of pictures of that history in rounds, one show of each kind per round:
without a history (the history call left out), with a new, empty history, and with the large
history. It prints the medians and what the large history adds to a show."""

import argparse
import datetime
import json
import random
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import bench_console
from bench_console import make_examples


def entries(count, pictures, size):
    """`count` past shows of the workbook's first `pictures` pictures, one minute apart."""
    from awb_desk import history as awb_history

    rng = random.Random(count)
    samples = [make_examples.tag_values(rng, j) for j in range(50)]
    start = datetime.datetime.now().astimezone() - datetime.timedelta(minutes=count)
    for n in range(count):
        i = 1 + n % pictures
        yield awb_history.Entry(
            start + datetime.timedelta(minutes=n),
            bench_console.picture(i),
            f"Results/{bench_console.picture(i)[:-4]}-main_awb_dbg_info.txt",
            "正常",
            samples[n % len(samples)],
        )


def child(count, pictures, shows, size):
    import Lumvik
    from awb_desk import history as awb_history

    show = bench_console.prepare(size, random.Random(size))
    real = awb_history.record_show
    large = awb_history.history_path(Lumvik.Excle_File)
    empty = str(Path(large).with_name("empty.history.sqlite"))
    started = time.perf_counter()
    awb_history.append(large, entries(count, pictures, size))
    built = time.perf_counter() - started

    kinds = {
        "none": lambda *args: None,
        "empty": lambda path, *args: real(empty, *args),
        "large": real,
    }
    times = {kind: [] for kind in kinds}
    show(1)  # the workbook read into the console's memory
    for n in range(shows):
        for kind, record in kinds.items():
            awb_history.record_show = record
            # A picture of the large history; the empty one starts afresh for each.
            Path(empty).unlink(missing_ok=True)
            times[kind].append(show(1 + (n * 37) % min(size, pictures)))
    with awb_history._Database(large, write=False) as db:
        stored = db.db.execute("SELECT count(*) FROM shows").fetchone()[0]
    print(json.dumps({"built": built, "stored": stored, "size": Path(large).stat().st_size, **times}))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--entries", type=int, default=100_000)
    parser.add_argument("--pictures", type=int, default=5000)
    parser.add_argument("--shows", type=int, default=15)
    parser.add_argument("--size", type=int, default=100)
    parser.add_argument("--child", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        return child(args.entries, args.pictures, args.shows, args.size)
    f = bench_console.spawn(
        [
            sys.executable,
            str(Path(__file__).resolve()),
            "--child",
            "--entries",
            str(args.entries),
            "--pictures",
            str(args.pictures),
            "--shows",
            str(args.shows),
            "--size",
            str(args.size),
        ]
    )
    ms = {kind: 1000 * statistics.median(f[kind]) for kind in ("none", "empty", "large")}
    print(f"tuning history (console show on a {args.size}-picture workbook, median of {args.shows} shows each)")
    print(f"  history of {f['stored']} entries ({f['size'] / 1e6:.0f} MB) built in {f['built']:.1f} s")
    print(
        f"  show without history {ms['none']:.1f} ms, with a new history {ms['empty']:.1f} ms, "
        f"with {f['stored']} entries {ms['large']:.1f} ms: +{ms['large'] - ms['none']:.1f} ms"
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
