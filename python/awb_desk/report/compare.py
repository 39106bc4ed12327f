"""The page comparing two workbooks of the same capture list, a run before and after a tuning
change: which pictures moved on colour temperature and on the plane of white points, how the
change spreads per issue note, where the most probable light source flipped, and the largest
changes. Pictures pair by the text of column 0, the k-th occurrence of a text in the new
workbook with its k-th occurrence in the old one."""

import functools
import math
import os
import statistics
from dataclasses import dataclass
from types import SimpleNamespace

from awb_desk import _tables as tables
from awb_desk.report.charts import (
    chart_text,
    colour,
    figure_html,
    layout,
    plain,
    point_traces,
    rounded,
    white_point_html,
    white_point_traces,
)
from awb_desk.report.inputs import CT, LV, NO_ISSUE_NOTES, Picture, ReportError, shown
from awb_desk.report.single import signed

DEFAULT_TOLERANCE = 100.0  # kelvin of CT change within which a pair has not moved
LARGEST = 50  # pairs in the table of the largest changes
NO_ISSUE_GROUP = "正常 / 无 / (空)"
OLD_COLOUR = "#adb5bd"


@dataclass
class Pair:
    new: Picture
    old: Picture

    @property
    def with_values(self):
        """Both runs recorded AWB values: a row of zeros (a missing dump) compares with nothing."""
        return self.new.has_values and self.old.has_values

    @property
    def comparable(self):
        """Both runs recorded AWB values with a CT that is a number."""
        return self.with_values and self.new.ct is not None and self.old.ct is not None

    @property
    def change(self):
        return self.new.ct - self.old.ct

    @property
    def flipped(self):
        return self.comparable and self.new.source != self.old.source

    @functools.cached_property
    def hover(self):
        """The text shown when the pointer rests on the pair, in every figure; made once."""
        return _hover(self)


@dataclass
class Comparison:
    new: object  # inputs.Workbook
    old: object
    pairs: list
    only_new: list  # pictures of the new workbook without a partner, in row order
    only_old: list
    tolerance: float

    @functools.cached_property
    def comparable(self):
        return [p for p in self.pairs if p.comparable]

    @functools.cached_property
    def moved(self):
        return [p for p in self.comparable if abs(p.change) > self.tolerance]

    @functools.cached_property
    def flipped(self):
        return [p for p in self.pairs if p.flipped]

    def summary(self):
        return (
            f"对比: {len(self.pairs)} 对, {len(self.moved)} 对 CT 变化超过 ±{shown(self.tolerance)}K, "
            f"{len(self.flipped)} 对最可能光源改变, 仅新表 {len(self.only_new)} 张, 仅旧表 {len(self.only_old)} 张"
        )


def compare(new, old, tolerance=DEFAULT_TOLERANCE):
    """Pairs the pictures of two read workbooks; refuses two without any picture in common."""
    olds = {}
    for picture in old.pictures:
        olds.setdefault(picture.name, []).append(picture)
    taken, pairs, only_new = {}, [], []
    for picture in new.pictures:
        k = taken.get(picture.name, 0)
        taken[picture.name] = k + 1
        partners = olds.get(picture.name, ())
        if k < len(partners):
            pairs.append(Pair(picture, partners[k]))
        else:
            only_new.append(picture)
    only_old = sorted((p for name, same in olds.items() for p in same[taken.get(name, 0) :]), key=lambda p: p.row)
    if not pairs:
        raise ReportError(
            f"新表 {new.path} ({len(new.pictures)} 张) 与旧表 {old.path} ({len(old.pictures)} 张) "
            f"没有同名的照片 (按第一列配对), 无法对比"
        )
    return Comparison(new, old, pairs, only_new, only_old, tolerance)


# ---- the page ----


def _both(old, new, text=shown):
    """ "old → new" of a value of both runs; one value when they are the same."""
    old, new = text(old), text(new)
    return old if old == new else f"{old or '-'} → {new or '-'}"


def _source_text(picture):
    ranked = picture.ranked()
    return f"{picture.source} {shown(ranked[0][1])}" if picture.has_values and ranked else picture.source


def _hover(pair):
    new, old = pair.new, pair.old
    note = chart_text(new.note) or "(空)"
    if old.note != new.note:
        note += f" (旧: {chart_text(old.note) or '(空)'})"
    ct = f"{CT} {_both(old.ct, new.ct)}"
    if pair.comparable:
        ct += f" ({signed(pair.change)})"
    lines = [
        chart_text(new.name) or "(无名)",
        f"{tables.ISSUE_NOTE_TITLE}: {note}",
        ct,
        f"{LV} {_both(old.lv, new.lv)}",
        f"最可能的光源: {_both(old, new, _source_text)}",
    ]
    if old.white_point or new.white_point:
        lines.append(f"最终增益 R {_both(old.gains[0], new.gains[0])} · B {_both(old.gains[2], new.gains[2])}")
    lines.append(f"新表第 {new.row} 行, 旧表第 {old.row} 行")
    return "<br>".join(lines)


def header(comparison):
    def workbook_facts(workbook):
        history = workbook.history
        if history is None:
            history_text = "无 (最终增益来自调参历史)"
        elif history.problem:
            history_text = f"{history.path} (未读取: {history.problem})"
        else:
            history_text = history.path
        path = workbook.path
        if workbook.read_before:
            path += " (本次批处理开始前读取的内容; 批处理重跑时把旧表移入 备份 文件夹)"
        return [
            ("表格文件", path),
            ("照片数", len(workbook.pictures)),
            ("调参历史", history_text),
            ("无最终增益的行 (不画在白点图上)", len(workbook.without_gains)),
        ]

    c = comparison
    with_values = sum(p.with_values for p in c.pairs)
    facts = [
        ("配对的照片", f"{len(c.pairs)} 对 (按第一列的文字配对)"),
        (f"CT 变化超过 ±{shown(c.tolerance)}K", f"{len(c.moved)} 对"),
        ("最可能光源改变", f"{len(c.flipped)} 对"),
        ("任一次无 AWB 数据的对 (不比较)", f"{len(c.pairs) - with_values} 对"),
        (f"任一次 {CT} 不是数字的对 (不比较)", f"{with_values - len(c.comparable)} 对"),
    ]
    return {
        "new": workbook_facts(c.new),
        "old": workbook_facts(c.old),
        "facts": facts,
        "only_new": [p.name for p in c.only_new],
        "only_old": [p.name for p in c.only_old],
        "new_name": os.path.basename(c.new.path),
        "old_name": os.path.basename(c.old.path),
    }


def ct_figure(comparison):
    """CT of the old run against CT of the new, one point per pair, over the line of no change
    and the band of the tolerance."""
    pairs, tolerance = comparison.comparable, comparison.tolerance
    if not pairs:
        return None
    traces = point_traces((p.new.source, p.new.has_issue, plain(p.old.ct), plain(p.new.ct), p.hover) for p in pairs)
    values = [p.old.ct for p in pairs] + [p.new.ct for p in pairs]
    margin = max(tolerance, 0.05 * (max(values) - min(values)), 50)
    lo, hi = min(values) - margin, max(values) + margin
    shapes = [
        {
            "type": "path",
            "layer": "below",
            "line": {"width": 0},
            "fillcolor": "rgba(134,142,150,0.18)",
            "path": f"M {lo},{lo - tolerance} L {hi},{hi - tolerance} L {hi},{hi + tolerance} "
            f"L {lo},{lo + tolerance} Z",
        },
        {
            "type": "line",
            "layer": "below",
            "x0": lo,
            "y0": lo,
            "x1": hi,
            "y1": hi,
            "line": {"color": "#495057", "width": 1, "dash": "dash"},
        },
    ]
    return figure_html(
        {
            "data": traces,
            "layout": layout(
                f"{CT}: 旧表与新表 (每对一个点; 虚线: 无变化, 灰带: ±{shown(tolerance)}K; 颜色: 新表最可能的光源; "
                "◆: 有问题描述)",
                f"旧表 {CT}",
                f"新表 {CT}",
                height=600,
                shapes=shapes,
                xaxis={"range": [lo, hi], "constrain": "domain"},
                yaxis={"range": [lo, hi], "scaleanchor": "x"},
            ),
        },
        "ct-pairs",
    )


def white_point_figure(comparison):
    """The white points of both runs, each pair's joined by a line from old to new; the old
    points grey, the new coloured by the new run's most probable light source."""
    points = [(p, p.old.white_point, p.new.white_point) for p in comparison.pairs]  # each made once
    olds = [(p, old) for p, old, _ in points if old is not None]
    news = [(p, new) for p, _, new in points if new is not None]
    if not olds and not news:
        return None
    x, y = [], []
    for _, old, new in points:
        if old is not None and new is not None:
            x += [rounded(old[0]), rounded(new[0]), None]
            y += [rounded(old[1]), rounded(new[1]), None]
    traces = [
        {
            "type": "scatter",
            "mode": "lines",
            "name": "旧 → 新",
            "x": x,
            "y": y,
            "hoverinfo": "skip",
            "line": {"color": "#868e96", "width": 1},
        }
    ]
    if olds:
        traces.append(
            {
                "type": "scatter",
                "mode": "markers",
                "name": "旧表",
                "x": [rounded(old[0]) for _, old in olds],
                "y": [rounded(old[1]) for _, old in olds],
                "marker": {"color": "white", "size": 7, "line": {"color": OLD_COLOUR, "width": 1.5}},
                "text": [f"{chart_text(p.old.name) or '(无名)'} (旧表第 {p.old.row} 行)" for p, _ in olds],
                "hovertemplate": "%{text}<br>R/G %{x} · B/G %{y}<extra>旧表</extra>",
            }
        )
    traces += white_point_traces((p.new.source, p.new.has_issue, new, p.hover) for p, new in news)
    return white_point_html(
        traces,
        "白点: 旧表 (空心灰点) 到新表 (彩色点), 每对一条线 (颜色: 新表最可能的光源; ◆: 有问题描述)",
        600,
        "white-point-pairs",
        xaxis={"constrain": "domain"},
    )


def change_figure(comparison):
    """The distribution of the CT change over the pairs, with the tolerance marked."""
    changes = [plain(p.change) for p in comparison.comparable]
    if not changes:
        return None
    tolerance = comparison.tolerance
    lines = [
        {
            "type": "line",
            "xref": "x",
            "yref": "paper",
            "x0": x,
            "x1": x,
            "y0": 0,
            "y1": 1,
            "line": {"color": "#495057", "width": 1, "dash": "dot" if x else "dash"},
        }
        for x in (-tolerance, 0, tolerance)
    ]
    histogram = {
        "type": "histogram",
        "x": changes,
        "marker": {"color": "#1c7ed6"},
        "name": "对数",
        "xbins": {"size": _bin_width(changes, tolerance)},
        "hovertemplate": f"{CT} 变化 %{{x}}<br>%{{y}} 对<extra></extra>",
    }
    return figure_html(
        {
            "data": [histogram],
            "layout": layout(
                f"{CT} 变化 (新表 − 旧表) 的分布 (点线: ±{shown(tolerance)}K)",
                f"{CT} 变化 (K)",
                "对数",
                height=420,
                shapes=lines,
                bargap=0.05,
            ),
        },
        "ct-change",
    )


def _bin_width(changes, tolerance):
    """A round width (1, 2 or 5 times a power of ten) that cuts the range of the changes into
    about 60 bins, and the tolerance into at least two."""
    wanted = min((max(changes) - min(changes)) / 60, tolerance / 2 if tolerance else math.inf)
    width = 1
    while width * 10 <= wanted:
        width *= 10
    return next(w for w in (5 * width, 2 * width, width) if w <= max(wanted, 1))


def note_groups(comparison):
    """The mean and median CT change of the pairs of each issue note of the new run, every
    note of no issue as one group first, then the notes with the most pairs."""
    groups = {}
    for pair in comparison.comparable:
        note = pair.new.note
        groups.setdefault(NO_ISSUE_GROUP if note in NO_ISSUE_NOTES else note, []).append(pair)
    order = sorted(groups, key=lambda note: (note != NO_ISSUE_GROUP, -len(groups[note])))
    return [
        {
            "note": note,
            "pairs": len(groups[note]),
            "mean": signed(round(statistics.fmean(p.change for p in groups[note]), 1)),
            "median": signed(statistics.median(p.change for p in groups[note])),
            "moved": sum(abs(p.change) > comparison.tolerance for p in groups[note]),
        }
        for note in order
    ]


def _gain_change(old, new):
    """ "old → new" of a final gain, each side empty without it, and all empty without both."""
    return f"{shown(old)} → {shown(new)}" if old is not None or new is not None else ""


def _row(pair):
    """A row of the tables of pairs, as an object whose attributes the template reads."""
    new, old = pair.new, pair.old
    return SimpleNamespace(
        name=new.name,
        note=new.note,
        old_note=old.note if old.note != new.note else None,
        ct=f"{shown(old.ct)} → {shown(new.ct)}",
        change=signed(pair.change) if pair.comparable else "",
        r=_gain_change(old.gains[0], new.gains[0]),
        b=_gain_change(old.gains[2], new.gains[2]),
        old_source=_source_text(old),
        new_source=_source_text(new),
        old_colour=colour(old.source),
        new_colour=colour(new.source),
    )


def context(comparison):
    """Everything the comparison page shows, for its template."""
    largest = sorted((p for p in comparison.comparable if p.change), key=lambda p: -abs(p.change))[:LARGEST]
    return {
        "title": f"AWB 对比 - {os.path.basename(comparison.new.path)} 与 {os.path.basename(comparison.old.path)}",
        "header": header(comparison),
        "summary": comparison.summary(),
        "ct_pairs": ct_figure(comparison),
        "white_points": white_point_figure(comparison),
        "unshown": [w.unshown_line for w in (comparison.new, comparison.old) if w.unshown_line],
        "change": change_figure(comparison),
        "notes": note_groups(comparison),
        "flips": [_row(p) for p in comparison.flipped],
        "largest": [_row(p) for p in largest],
        "largest_limit": LARGEST,
        "changed": sum(1 for p in comparison.comparable if p.change),
        "CT": CT,
        "note_title": tables.ISSUE_NOTE_TITLE,
        "tolerance": shown(comparison.tolerance),
    }
