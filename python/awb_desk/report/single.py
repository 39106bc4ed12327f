"""The page of one workbook: where the pictures sit on colour temperature and brightness and on
the plane of white points, which light source the algorithm believed for each, where the
pictures with an issue note are, and, from the tuning history, the pictures shown more than
once. Each part is a function of the read workbook that returns what its part of the template
shows."""

import os
from types import SimpleNamespace

from awb_desk import _tables as tables
from awb_desk.report.charts import (
    chart_text,
    colour,
    figure_html,
    hover,
    layout,
    plain,
    point_traces,
    white_point_html,
    white_point_traces,
)
from awb_desk.report.inputs import CT, CT_TAG, LV, shown

# What the history part draws of each show: the tag in the history, its name on the page.
GAIN_R_TAG, _, GAIN_B_TAG = tables.FINAL_GAIN_TAGS
HISTORY_QUANTITIES = ((CT_TAG, CT), (GAIN_R_TAG, "最终 R 增益"), (GAIN_B_TAG, "最终 B 增益"))
HISTORY_DRAWN = tuple(tag for tag, _ in HISTORY_QUANTITIES)
HISTORY_TOP = 30  # pictures in the table of the largest CT changes, drawn in a colour of their own
HISTORY_POINTS = 2000  # shows of those pictures up to which each show is drawn as a point
TIME_FORMAT = "%Y-%m-%d %H:%M:%S"
PALETTE = (
    "#2E91E5",
    "#E15F99",
    "#1CA71C",
    "#FB0D0D",
    "#DA16FF",
    "#222A2A",
    "#B68100",
    "#750D86",
    "#EB663B",
    "#511CFB",
    "#00A08B",
    "#FB00D1",
    "#FC0080",
    "#B2828D",
    "#6C7C32",
    "#778AAE",
    "#862A16",
    "#A777F1",
    "#620042",
    "#1616A7",
    "#DA60CA",
    "#6C4516",
    "#0D2A63",
    "#AF0038",
    "#FD3216",
    "#00FE35",
    "#6A76FC",
    "#FED4C4",
    "#FE00CE",
    "#0DF9FF",
)


def _clock(moment):
    """A show's time as the engineer's desk clock shows it."""
    return moment.astimezone().strftime(TIME_FORMAT)


def _instant(moment):
    """A show's time (in desk time) on the page's time axis, to the millisecond, so two shows in
    one second stay apart."""
    return moment.isoformat(sep=" ", timespec="milliseconds")[:23]


def header(workbook):
    facts = [
        ("表格文件", workbook.path),
        ("照片数", len(workbook.pictures)),
        ("有问题描述的照片", len(workbook.issues)),
        ("无 AWB 数据的行 (全为 0 或空)", len(workbook.without_values)),
        ("有不是数字的值的行", _not_numbers_note(workbook.with_not_numbers)),
        ("无最终增益的行 (不画在白点图上)", _gains_note(workbook)),
        ("数据来源", f"工作表 {workbook.sheet_name or workbook.sheet}"),
    ]
    return {"name": os.path.basename(workbook.path), "facts": facts}


def _not_numbers_note(pictures):
    """How many rows hold a value that is not a number, and the first few of them."""
    shown_rows = [f"第 {p.row} 行 {', '.join(p.not_numbers)}" for p in pictures[:5]]
    return f"{len(pictures)} ({'; '.join(shown_rows)}{'; …' if len(pictures) > 5 else ''})" if pictures else 0


def _gains_note(workbook):
    count = len(workbook.without_gains)
    if workbook.history is None:
        return f"{count} (没有调参历史, 最终增益来自调参历史)"
    return count


def ct_lv_figure(workbook, texts):
    """CT against LV, each picture with its hover text of `texts`."""
    traces = point_traces(
        (p.source, p.has_issue, plain(p.ct), plain(p.lv), text) for p, text in zip(workbook.pictures, texts)
    )
    return figure_html(
        {"data": traces, "layout": layout(f"{CT} 与 {LV} (颜色: 最可能的光源; ◆: 有问题描述)", CT, LV, height=560)},
        "ct-lv",
    )


def white_point_figure(pictures, texts):
    """Each picture with final gains at its white point, coloured as everywhere on the page."""
    drawn = [(p.source, p.has_issue, at, text) for p, text in zip(pictures, texts) if (at := p.white_point)]
    if not drawn:
        return None
    return white_point_html(
        white_point_traces(drawn),
        "白点 (最终增益的 G/R 与 G/B; 颜色: 最可能的光源; ◆: 有问题描述)",
        560,
        "white-points",
    )


def probability_figure(workbook, texts):
    pictures = workbook.pictures
    # One column per picture, in workbook order. Each column's category is the picture's hover
    # text (unique: it names the row), so the text is in the page once and not once per cell;
    # the axis shows the pictures' running numbers instead.
    columns = texts
    ticks = range(0, len(pictures), max(1, len(pictures) // 10))
    heatmap = {
        "type": "heatmap",
        "x": columns,
        "y": list(tables.LIGHT_SOURCES),
        "colorscale": "YlOrRd",
        "zmin": 0,
        "z": [[plain(p.probabilities[k]) for p in pictures] for k in range(len(tables.LIGHT_SOURCES))],
        "hovertemplate": "%{y}: %{z}<br>%{x}<extra></extra>",
        "colorbar": {"title": {"text": "概率"}},
    }
    return figure_html(
        {
            "data": [heatmap],
            "layout": layout(
                "七种光源的概率 (照片按表格顺序)",
                "照片 (表格中的顺序)",
                "光源",
                height=380,
                xaxis={
                    "type": "category",
                    "tickmode": "array",
                    "tickvals": [columns[i] for i in ticks],
                    "ticktext": [str(i + 1) for i in ticks],
                },
                yaxis={"autorange": "reversed", "type": "category"},
            ),
        },
        "probabilities",
    )


def distribution_figure(workbook):
    by_source = {}
    for p in workbook.pictures:
        by_source.setdefault(p.source, []).append(plain(p.ct))
    boxes = []
    for source in tables.LIGHT_SOURCES:  # rows of zeros have no colour temperature to show
        cts = by_source.get(source)
        if not cts:
            continue
        # Boxes only: the pictures' own points are the scatter's, and the page draws each once.
        boxes.append(
            {
                "type": "box",
                "y": cts,
                "name": f"{source} ({len(cts)})",
                "marker": {"color": colour(source)},
                "boxpoints": False,
                "boxmean": True,
            }
        )
    if not boxes:
        return None
    return figure_html(
        {
            "data": boxes,
            "layout": layout(f"各最可能光源的 {CT} 分布", "最可能的光源 (照片数)", CT, height=460, showlegend=False),
        },
        "ct-distribution",
    )


def issue_rows(workbook):
    """The table's rows, as objects whose attributes the template reads: the template finds an
    attribute at once, a dict's key only after looking for such an attribute in vain."""
    return [
        SimpleNamespace(
            name=p.name, note=p.note, ct=shown(p.ct), lv=shown(p.lv), source=p.source, colour=colour(p.source)
        )
        for p in workbook.issues
    ]


def _history_figure(history, reshown, changes):
    """CT and the final R and B gains of every re-shown picture against show time, in three
    plots over one time axis, one line per picture in each. The pictures of the table of CT
    changes (all, when there are few) have a colour, a legend entry and their points; the
    others are thin grey lines, one trace per plot with a gap between pictures, since a browser
    draws a thousand pictures' lines and points as SVG slowly."""
    changed = dict.fromkeys(c["picture"] for c in changes)  # the table's order
    order = [*changed, *(name for name in reshown if name not in changed)]
    coloured, rest = order[:HISTORY_TOP], order[HISTORY_TOP:]
    # Each show: its time, and CT, R, B and the show's number, which the hover tells.
    ct, r, b = (history.column(tag) for tag in HISTORY_DRAWN)
    points = {
        name: (
            [_instant(e.shown_at) for e in shows],
            [[plain(e.values[ct]), plain(e.values[r]), plain(e.values[b]), k] for k, e in enumerate(shows, 1)],
        )
        for name, shows in reshown.items()
    }

    def hover_of(name):  # the picture's name, where plotly finds it, then the show
        return (
            f"<b>%{{{name}}}</b> (第 %{{customdata[3]}} 次显示)<br>%{{x|{TIME_FORMAT}}}<br>"
            f"{CT} %{{customdata[0]}} · R %{{customdata[1]}} · B %{{customdata[2]}}<extra></extra>"
        )

    # What every coloured line shares is said once, in the figure's template; a point per show
    # unless the coloured pictures were shown thousands of times.
    markers = sum(len(reshown[name]) for name in coloured) <= HISTORY_POINTS
    title = f"显示多次的照片: {CT} 与最终 R、B 增益随显示时间的变化 (每张照片一条线"
    title += f"; 彩色: {CT} 变化最大的 {len(coloured)} 张, 灰色: 其余 {len(rest)} 张)" if rest else ")"
    figure_layout = layout(title, None, None, height=860, legend={"title": {"text": "照片"}})
    figure_layout["template"] = {
        **figure_layout["template"],
        "data": {
            "scatter": [
                {
                    "mode": "lines+markers" if markers else "lines",
                    "marker": {"size": 5},
                    "line": {"width": 1.5},
                    "hovertemplate": hover_of("fullData.name"),
                    "showlegend": False,
                }
            ]
        },
    }
    rows, spacing = len(HISTORY_QUANTITIES), 0.04
    height = (1 - spacing * (rows - 1)) / rows
    # The grey lines' times and hover data, the same in the three plots, are made once.
    grey_x, grey_data = [], []
    for name in rest:
        times, shows = points[name]
        text = chart_text(name)
        grey_x += [*times, None]
        grey_data += [*([*show, text] for show in shows), None]
    names = {name: chart_text(name) for name in coloured}
    traces = []
    for q, (_tag, label) in enumerate(HISTORY_QUANTITIES):
        suffix = str(q + 1) if q else ""  # plotly's names of the plots' axes: x, x2, x3
        top = 1 - q * (height + spacing)
        figure_layout[f"xaxis{suffix}"] = {
            "anchor": f"y{suffix}",
            "domain": [0, 1],
            **({"matches": f"x{rows}", "showticklabels": False} if q < rows - 1 else {"title": {"text": "显示时间"}}),
        }
        figure_layout[f"yaxis{suffix}"] = {
            "anchor": f"x{suffix}",
            "domain": [max(0, top - height), top],
            "title": {"text": label},
        }
        axes = {"xaxis": f"x{suffix}", "yaxis": f"y{suffix}"}
        if rest:
            y = []
            for name in rest:
                y += [*(show[q] for show in points[name][1]), None]
            traces.append(
                {
                    "type": "scatter",
                    "mode": "lines",
                    "name": f"其余 {len(rest)} 张照片",
                    "legendgroup": "rest",
                    "showlegend": q == 0,
                    "line": {"color": "#ced4da", "width": 1},
                    "x": grey_x,
                    "y": y,
                    "customdata": grey_data,
                    "hovertemplate": hover_of("customdata[4]"),
                    **axes,
                }
            )
        for n, name in enumerate(coloured):
            times, shows = points[name]
            trace = {
                "type": "scatter",
                "name": names[name],
                "legendgroup": str(n),
                "line": {"color": PALETTE[n % len(PALETTE)]},
                "x": times,
                "y": [show[q] for show in shows],
                "customdata": shows,
                **axes,
            }
            if q == 0:
                trace["showlegend"] = True
            traces.append(trace)
    return figure_html({"data": traces, "layout": figure_layout}, "history")


def _ct_changes(history, reshown):
    """Every re-shown picture with a CT at two shows: its first and last CT, the change, the
    number of shows and the times of those two shows; the largest change (either way) first."""
    ct = history.column(CT_TAG)
    changes = []
    for name, shows in reshown.items():
        known = [e for e in shows if e.values[ct] is not None]
        if len(known) > 1:
            first, last = known[0], known[-1]
            changes.append(
                {
                    "picture": name,
                    "first": first.values[ct],
                    "last": last.values[ct],
                    "change": last.values[ct] - first.values[ct],
                    "shows": len(shows),
                    "since": first.shown_at,
                    "until": last.shown_at,
                }
            )
    changes.sort(key=lambda c: -abs(c["change"]))  # ties keep the order of first show
    return changes


def signed(value):
    return ("+" if value > 0 else "") + shown(value)


def history_part(workbook):
    """What the page shows of the tuning history, or None without one."""
    history = workbook.history
    if history is None:
        return None
    part = {"path": history.path, "problem": history.problem, "pictures": len(history.pictures)}
    reshown = history.reshown
    if history.problem is not None or not reshown:
        return {**part, "reshown": 0}
    changes = _ct_changes(history, reshown)
    rows = [
        {
            "picture": c["picture"],
            "first": shown(c["first"]),
            "last": shown(c["last"]),
            "change": signed(c["change"]),
            "shows": c["shows"],
            "since": _clock(c["since"]),
            "until": _clock(c["until"]),
        }
        for c in changes[:HISTORY_TOP]
    ]
    return {
        **part,
        "reshown": len(reshown),
        "shows": sum(map(len, reshown.values())),
        "top": HISTORY_TOP,
        "changed": len(changes),
        "rows": rows,
        "figure": _history_figure(history, reshown, changes),
    }


def context(workbook):
    """Everything the page of one workbook shows, for its template."""
    texts = [hover(p) for p in workbook.pictures]  # each picture's hover, made once for three figures
    return {
        "title": f"AWB 报告 - {os.path.basename(workbook.path)}",
        "header": header(workbook),
        "ct_lv": ct_lv_figure(workbook, texts),
        "white_points": white_point_figure(workbook.pictures, texts),
        "unshown": workbook.unshown_line,
        "probabilities": probability_figure(workbook, texts),
        "distribution": distribution_figure(workbook),
        "issues": issue_rows(workbook),
        "history": history_part(workbook),
        "CT": CT,
        "LV": LV,
        "note_title": tables.ISSUE_NOTE_TITLE,
    }
