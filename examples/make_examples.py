"""Generate example inputs for the AWB desk tools.

    python examples/make_examples.py OUTDIR [--pictures N] [--batch-pictures M]

Writes a simulator raw folder, a capture list, a console Config.ini and a
batch working folder under OUTDIR. Everything is drawn from seeded random
generators, so the same arguments always give the same files. Importing the
module does nothing; tests and the benchmark reuse the functions below. The
light sources come from the tools' tables, so it runs where they are installed.
"""

import argparse
import calendar
import datetime
import os
import random
import re

from awb_desk._tables import LIGHT_SOURCES

# Colour temperature band and nominal temperature of each light source.
CCT_BANDS = {
    "T": (2300, 2900),
    "WF": (2900, 3400),
    "F": (3400, 3900),
    "CWF": (3900, 4600),
    "D": (5000, 6200),
    "DF": (6200, 6800),
    "S": (6800, 7500),
}
NOMINAL_CCT = {"T": 2700, "WF": 3200, "F": 3700, "CWF": 4200, "D": 5500, "DF": 6500, "S": 7200}

GLOBAL_TAGS = (
    "AWB_TAG_DATE",
    "AWB_TAG_CCT",
    "AWB_TAG_ALGO_SCENE_LV",
    *(f"AWB_TAG_P_{c}" for c in LIGHT_SOURCES),
    "AWB_TAG_GAIN_R",
    "AWB_TAG_GAIN_G",
    "AWB_TAG_GAIN_B",
)
SOURCE_FIELDS = (
    "DAYLIGHT_PROB",
    "EQV_DAYLIGHT_PROB",
    "DAY_LOCUS_OFFSET",
    "GM_OFFSET",
    "GM_OFFSET_THR",
    "NEW_OFFSET",
    "OFFSET_RATIO",
    "RATIO_OFFSET",
    "IS_ABOVE_DAY_LOCUS",
    "LUT_OFFSET",
    "WEIGHT",
    *(f"{kind}_GAIN_{ch}" for kind in ("STA", "SPAT", "EQV") for ch in "RGB"),
)

NOTES = (
    "室外偏红",
    "室内偏黄",
    "阴天偏蓝",
    "荧光灯下偏绿",
    "肤色偏黄",
    "白墙偏青",
    "夜景偏紫",
    "草地偏黄",
    "正常",
    "正常",
)


def _clamp(v, lo, hi):
    return max(lo, min(hi, v))


def _gains_for(cct, rng, spread=15):
    """R/B gains (G = 256) a grey patch needs under light of the given temperature."""
    t = (cct - 2300) / 5200
    r = round(330 + 420 * t) + rng.randint(-spread, spread)
    b = round(860 - 460 * t) + rng.randint(-spread, spread)
    return _clamp(r, 200, 999), _clamp(b, 200, 999)


def _probabilities(rng, dominant):
    """Seven light-source probabilities summing to 100, most of it on `dominant`."""
    i = LIGHT_SOURCES.index(dominant)
    probs = dict.fromkeys(LIGHT_SOURCES, 0)
    probs[dominant] = rng.randint(45, 92)
    rest = 100 - probs[dominant]
    neighbours = [LIGHT_SOURCES[j] for j in (i - 1, i + 1) if 0 <= j < len(LIGHT_SOURCES)]
    share = rng.randint(rest // 2, rest)
    probs[rng.choice(neighbours)] += share
    rest -= share
    # The remainder goes to at most two more sources; the others stay at 0.
    others = rng.sample([c for c in LIGHT_SOURCES if probs[c] == 0], 2)
    part = rng.randint(0, rest)
    probs[others[0]] += part
    probs[others[1]] += rest - part
    return probs


def tag_values(rng, index):
    """Plausible value of every AWB tag for picture number `index`."""
    dominant = rng.choices(LIGHT_SOURCES, weights=(2, 1, 1, 2, 4, 1, 1))[0]
    cct = rng.randint(*CCT_BANDS[dominant])
    outdoor = dominant in ("D", "DF", "S")
    probs = _probabilities(rng, dominant)
    gain_r, gain_b = _gains_for(cct, rng, spread=25)
    values = {
        "AWB_TAG_DATE": 20261200 + rng.randint(1, 28),
        "AWB_TAG_CCT": cct,
        "AWB_TAG_ALGO_SCENE_LV": rng.randint(95, 160) if outdoor else rng.randint(20, 90),
    }
    values.update((f"AWB_TAG_P_{c}", p) for c, p in probs.items())
    values.update(AWB_TAG_GAIN_R=_clamp(gain_r, 300, 900), AWB_TAG_GAIN_G=256, AWB_TAG_GAIN_B=_clamp(gain_b, 300, 900))
    # Every fourth picture has a light source the algorithm skipped.
    skipped = rng.choice([c for c in LIGHT_SOURCES if probs[c] == 0]) if index % 4 == 0 else None
    for c in LIGHT_SOURCES:
        daylight = {"D": 90, "DF": 70, "S": 80, "CWF": 35}.get(c, 10)
        above = rng.randint(0, 1)
        per = {
            "DAYLIGHT_PROB": _clamp(daylight + rng.randint(-15, 10), 0, 100),
            "EQV_DAYLIGHT_PROB": _clamp(daylight + rng.randint(-25, 20), 0, 100),
            "DAY_LOCUS_OFFSET": rng.randint(-60, 60) if above else rng.randint(-60, 0),
            "GM_OFFSET": rng.randint(-40, 40),
            "GM_OFFSET_THR": rng.randint(10, 60),
            "NEW_OFFSET": rng.randint(-50, 50),
            "OFFSET_RATIO": rng.randint(0, 100),
            "RATIO_OFFSET": rng.randint(-30, 30),
            "IS_ABOVE_DAY_LOCUS": above,
            "LUT_OFFSET": rng.randint(-20, 20),
            "WEIGHT": _clamp(probs[c] + rng.randint(0, 12), 0, 99),
        }
        sta_r, sta_b = _gains_for(NOMINAL_CCT[c], rng)
        spat_r, spat_b = _clamp(sta_r + rng.randint(-20, 20), 200, 999), _clamp(sta_b + rng.randint(-20, 20), 200, 999)
        eqv_r, eqv_b = _clamp(spat_r + rng.randint(-12, 12), 200, 999), _clamp(spat_b + rng.randint(-12, 12), 200, 999)
        for kind, r, b in (("STA", sta_r, sta_b), ("SPAT", spat_r, spat_b), ("EQV", eqv_r, eqv_b)):
            per.update({f"{kind}_GAIN_R": r, f"{kind}_GAIN_G": 256, f"{kind}_GAIN_B": b})
        if c == skipped:
            per["STA_GAIN_G"] = 0
        values.update((f"AWB_TAG_{field}_{c}", per[field]) for field in SOURCE_FIELDS)
    return values


def _tag_line(tag, value, rng):
    style = rng.random()
    if style < 0.15:
        return f"| {tag} | : | {value} |"
    if style < 0.25:
        return f"{tag}:\t{value}"
    return f"{tag}: {value}"


def _stat_lines(rng, count):
    lines = []
    for n in range(count):
        kind = rng.random()
        if kind < 0.6:
            lines.append(f"zone[{n}] r={rng.randint(40, 900)} g={rng.randint(60, 1000)} b={rng.randint(30, 900)}")
        elif kind < 0.85:
            lines.append(f"hist_y[{n}] = {rng.randint(0, 4096)}")
        else:
            lines.append(f"grey_cnt={rng.randint(0, 768)} sat_cnt={rng.randint(0, 40)}")
    return lines


def debug_text(values, rng):
    """AWB debug text holding every tag of `values` once, among ordinary noise lines."""
    lines = [
        "==== AWB DEBUG INFO ====",
        f"frame_id: {rng.randint(1, 400)}",
        f"[AWB] stat window {rng.choice(('32x24', '64x48', '16x12'))}",
        f"ae_exp_time(us): {rng.choice((1000, 5000, 10000, 20000, 33333))}",
        f"gain_table_version: {rng.randint(1, 5)}",
        "",
    ]
    done = set()

    def emit(tag):
        if tag in values and tag not in done:
            lines.append(_tag_line(tag, values[tag], rng))
            done.add(tag)

    lines.append("---- global ----")
    for tag in GLOBAL_TAGS:
        emit(tag)
    for c in LIGHT_SOURCES:
        lines += ["", f"---- light source {c} ----"]
        for field in SOURCE_FIELDS:
            emit(f"AWB_TAG_{field}_{c}")
        lines += _stat_lines(rng, rng.randint(1, 3))
    leftover = [t for t in values if t not in done]
    if leftover:
        lines += ["", "---- other ----"]
        for tag in leftover:
            emit(tag)
    lines += ["", "[AWB] done", ""]
    return "\n".join(lines)


def picture_names(count, start=1):
    """Picture names "PNNN_IMG_YYYYMMDD_HHMMSS.jpg" in capture order.

    The console finds a picture's note by the text before the first "_" of its
    name, anywhere in a capture-list line. "P" and a running number of one
    width for the whole list stand nowhere else in a list line (the raw name
    and the Chinese notes hold no "P"), so every key finds its own line
    whatever the count and the capture times."""
    last = start + count - 1
    width = max(3, len(str(last)))
    rng = random.Random(f"pictures/{start}/{count}")
    moment = datetime.datetime(2026, 12, 8, 9, 12, 47)
    names = []
    for number in range(start, last + 1):
        moment += datetime.timedelta(seconds=rng.randint(35, 700))
        names.append(f"P{number:0{width}d}_IMG_{moment:%Y%m%d_%H%M%S}.jpg")
    return names


def _stem(name):
    return name[:-4] if name.lower().endswith(".jpg") else name


def _write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def _number(name):
    return int(name.split("_", 1)[0].lstrip("P"))


def write_simulator(folder, names, rng):
    """Simulator raw folder: Results/ with an AWB text and a colour-statistics text per picture."""
    results = os.path.join(folder, "Results")
    os.makedirs(results, exist_ok=True)
    markers = ["-main"] * len(names)
    if len(names) >= 3:
        markers[1] = "-sub"
    if len(names) >= 4:
        markers[-2] = "-mfll"
    base = calendar.timegm((2026, 12, 8, 9, 0, 0, 0, 0, 0))
    written = []
    for i, (name, marker) in enumerate(zip(names, markers)):
        values = tag_values(rng, _number(name))
        awb = os.path.join(results, f"{_stem(name)}{marker}_awb_dbg_info.txt")
        scolor = os.path.join(results, f"{_stem(name)}{marker}_dbg_scolor_info.txt")
        _write(awb, debug_text(values, rng))
        stats = ["==== SCOLOR STATISTICS ===="] + _stat_lines(rng, rng.randint(19, 59))
        _write(scolor, "\n".join(stats) + "\n")
        stamp = base + 60 * i
        os.utime(awb, (stamp, stamp))
        os.utime(scolor, (stamp + 1, stamp + 1))
        written.append((name, values))
    return written


def rerun(folder, shift=300):
    """The simulator run again on the newest result's picture after a parameter change: its AWB
    text gets a colour temperature `shift` kelvin higher and the final gains to match, and the
    result becomes newer than every other. Returns the AWB text's path."""
    results = os.path.join(folder, "Results")
    texts = [os.path.join(results, n) for n in os.listdir(results) if n.endswith(".txt")]
    stem = re.sub(r"_(dbg_scolor|awb_dbg)_info\.txt$", "", max(texts, key=os.path.getmtime))
    awb, stats = stem + "_awb_dbg_info.txt", stem + "_dbg_scolor_info.txt"
    with open(awb, encoding="utf-8") as f:
        text = f.read()
    _write(awb, _shifted(text, shift))
    stamp = max(os.path.getmtime(t) for t in texts) + 60
    for path, moment in ((awb, stamp), (stats, stamp + 1)):
        os.utime(path, (moment, moment))
    return awb


def _tag(text, tag):
    return int(re.search(rf"{tag}\b[ |:\t]*(-?\d+)", text).group(1))


def _set_tags(text, values):
    for tag, value in values.items():
        text = re.sub(rf"({tag}\b[ |:\t]*)-?\d+", rf"\g<1>{value}", text)
    return text


def _shifted(text, shift):
    """A debug text with its colour temperature `shift` kelvin higher and the final gains to match."""
    cct = _tag(text, "AWB_TAG_CCT") + shift
    red, blue = _gains_for(cct, random.Random(cct), spread=0)
    return _set_tags(text, {"AWB_TAG_CCT": cct, "AWB_TAG_GAIN_R": red, "AWB_TAG_GAIN_B": blue})


def rerun_batch(folder, shift_every=5, shift=250, flip_every=7):
    """The batch's dumps after a tuning change, for running the batch again: every
    `shift_every`-th dump (in name order) gets a colour temperature `shift` kelvin higher, then
    lower, in turn, with the final gains to match; every `flip_every`-th has the probabilities
    of its two most probable light sources swapped. Returns the names of the pictures whose
    most probable light source flipped, in name order."""
    exif = os.path.join(folder, "EXIF")
    flipped = []
    for i, name in enumerate(sorted(n for n in os.listdir(exif) if n.endswith(".exif"))):
        path = os.path.join(exif, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if i % shift_every == 0:
            text = _shifted(text, shift if i // shift_every % 2 == 0 else -shift)
        probabilities = {c: _tag(text, f"AWB_TAG_P_{c}") for c in LIGHT_SOURCES}
        first, second = sorted(LIGHT_SOURCES, key=lambda c: -probabilities[c])[:2]
        if i % flip_every == 3 and probabilities[first] > probabilities[second]:
            text = _set_tags(
                text, {f"AWB_TAG_P_{first}": probabilities[second], f"AWB_TAG_P_{second}": probabilities[first]}
            )
            flipped.append(name[: -len(".exif")])
        _write(path, text)
    return flipped


def write_capture_list(path, names, rng, notes=None):
    """Capture list: "<picture>:<raw file>:<issue note>" per line."""
    if notes is None:
        notes = [rng.choice(NOTES) for _ in names]
    lines = [f"{name}:{_stem(name).split('_', 1)[1]}.raw:{note}\n" for name, note in zip(names, notes)]
    _write(path, "".join(lines))


def write_batch(folder, names, rng, missing=()):
    """Batch working folder: capture list, EXIF dumps, empty photo folder, recorder settings."""
    exif_dir = os.path.join(folder, "EXIF")
    os.makedirs(exif_dir, exist_ok=True)
    os.makedirs(os.path.join(folder, "全部照片"), exist_ok=True)
    write_capture_list(os.path.join(folder, "rawfilename.txt"), names, rng)
    for name in names:
        path = os.path.join(exif_dir, f"{name}.exif")
        if name in missing:
            if os.path.exists(path):
                os.remove(path)
            continue
        exif = [
            "ExifVersion: 0231",
            "Make: Lumora",
            f"Model: LX-{rng.randint(3, 9)} Pro",
            f"ExposureTime: 1/{rng.choice((30, 50, 100, 250, 1000))}",
            f"FNumber: {rng.choice(('1.8', '2.2', '2.8'))}",
            f"ISO: {rng.choice((50, 100, 200, 400, 800, 1600))}",
            "ImageWidth: 4000",
            "ImageHeight: 3000",
            "",
        ]
        _write(path, "\n".join(exif) + "\n" + debug_text(tag_values(rng, _number(name)), rng))
    _write(
        os.path.join(folder, "global_values.py"),
        '# Settings of the batch recorder: folder prefix of rawfilename.txt ("" = this working folder).\n'
        "class global_val:\n"
        '    rawfilename_txt = ""\n',
    )


def main(argv=None):
    parser = argparse.ArgumentParser(description="Generate example inputs for the AWB tools.")
    parser.add_argument("outdir")
    parser.add_argument("--pictures", type=int, default=6)
    parser.add_argument("--batch-pictures", type=int, default=36)
    args = parser.parse_args(argv)
    out = os.path.abspath(args.outdir)

    sim, home, console, batch = (os.path.join(out, d) for d in ("sim", "home", "console", "batch"))
    names = picture_names(args.pictures)
    write_simulator(sim, names, random.Random(1208))
    print(f"sim:     {sim} ({len(names)} pictures)")

    os.makedirs(home, exist_ok=True)
    write_capture_list(os.path.join(home, "rawfilename.txt"), names, random.Random(1209))
    print(f"home:    {home}")

    os.makedirs(console, exist_ok=True)
    _write(os.path.join(console, "Config.ini"), f"Path={sim}\ntsj=_ZETA\nuser=\n")
    print(f"console: {console}")

    batch_names = picture_names(args.batch_pictures)
    missing = batch_names[4:5]
    write_batch(batch, batch_names, random.Random(1210), missing=missing)
    print(f"batch:   {batch} ({len(batch_names)} pictures, no dump for {', '.join(missing) or 'none'})")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
