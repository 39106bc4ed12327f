"""What every figure of the pages shares: the light sources' colours, the look, the text the
pointer shows, and the figure as HTML. Figures are plain data as plotly.js reads them, put in the
page as the JSON of its `Plotly.newPlot` call: plotly's figure classes would check every point,
and its Python package, which the page does not need, costs more to load than the whole page
takes to make."""

import html

import orjson

from awb_desk import _tables as tables
from awb_desk.report.inputs import CT, LV, NO_SOURCE, shown

# One colour per light source, warm to cold, the same in every part of the pages; pictures
# whose probabilities are all 0 (no AWB values) are grey.
COLOURS = dict(zip(tables.LIGHT_SOURCES, ("#e8590c", "#f59f00", "#74b816", "#0ca678", "#1c7ed6", "#5f3dc4", "#c2255c")))
NO_SOURCE_COLOUR = "#868e96"
ISSUE_MARKER = "diamond"  # pictures with an issue note; the others are circles

PLOT_CONFIG = {"displaylogo": False, "responsive": True}

# The look of every figure: white, light grid lines (a few settings, not a whole theme).
_AXIS = {
    "gridcolor": "#EBF0F8",
    "linecolor": "#EBF0F8",
    "zerolinecolor": "#EBF0F8",
    "zerolinewidth": 2,
    "ticks": "",
    "automargin": True,
    "title": {"standoff": 15},
}
FONTS = '"Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", sans-serif'  # Chinese on every desk
TEMPLATE = {
    "layout": {
        "font": {"color": "#2a3f5f", "family": FONTS},
        "hovermode": "closest",
        "hoverlabel": {"align": "left"},
        "paper_bgcolor": "white",
        "plot_bgcolor": "white",
        "title": {"x": 0.05},
        "xaxis": _AXIS,
        "yaxis": _AXIS,
    }
}

WHITE_POINT_AXES = ("R/G (G 增益 / R 增益)", "B/G (G 增益 / B 增益)")


def chart_text(text):
    """Text of a workbook, capture list or history as a figure shows it: plotly draws the text
    of its traces as a little HTML, so "<", ">" and "&" go in as entities, which it shows as
    the characters; quotes stay as they are (plotly would show "&quot;" as it stands)."""
    return html.escape(text, quote=False)


def plain(value):
    """A number for the page's data: whole numbers as integers, so the page stays small."""
    if value.__class__ is int:  # as a history holds most of its values
        return value
    return int(value) if value is not None and float(value).is_integer() else value


def rounded(value, digits=4):
    return None if value is None else round(value, digits)


def colour(source):
    return COLOURS.get(source, NO_SOURCE_COLOUR)


def layout(title, x_title, y_title, **more):
    base = {
        "title": {"text": title},
        "template": TEMPLATE,
        "xaxis": {"title": {"text": x_title}},
        "yaxis": {"title": {"text": y_title}},
        "margin": {"l": 70, "r": 30, "t": 70, "b": 60},
    }
    for key, value in more.items():
        base[key] = {**base[key], **value} if isinstance(value, dict) and isinstance(base.get(key), dict) else value
    return base


# What the JSON in a script must not hold as it stands: "<" and ">" (an HTML parser would end the
# script at "</script>" in a picture's name), "/", and the line separators that end a line of
# script in older browsers; each is written as its JSON escape, which plotly.js reads as the
# character. No byte of them is part of another character in UTF-8.
_UNSAFE_IN_SCRIPT = tuple(
    (character.encode(), f"\\u{ord(character):04x}".encode()) for character in ("<", ">", "/", "\u2028", "\u2029")
)


def script_json(value):
    """`value` as JSON to stand in a page's script, as UTF-8 bytes."""
    data = orjson.dumps(value)
    for unsafe, escaped in _UNSAFE_IN_SCRIPT:
        if unsafe in data:
            data = data.replace(unsafe, escaped)
    return data


def figure_html(figure, div_id):
    """The figure as a <div> of its height and the script that draws it there, plotly.js being in
    the page's head: HTML, as UTF-8 bytes, that the page takes as it stands."""
    height = figure["layout"].get("height")
    return b"".join(
        (
            f'<div style="height:{f"{height}px" if height else "100%"}; width:100%;">'
            f'<div id="{div_id}" class="plotly-graph-div" style="height:100%; width:100%;"></div>'
            "<script>window.PLOTLYENV=window.PLOTLYENV || {};"
            f'if (document.getElementById("{div_id}")) {{Plotly.newPlot("{div_id}", '.encode(),
            script_json(figure["data"]),
            b", ",
            script_json(figure["layout"]),
            b", ",
            script_json(PLOT_CONFIG),
            b")};</script></div>",
        )
    )


def gains_text(gains):
    r, g, b = (shown(v) or "-" for v in gains)
    return f"最终增益 R {r} G {g} B {b}"


def hover(picture):
    """The text shown when the pointer rests on a picture, in every figure of one workbook."""
    top = " · ".join(f"{code} {shown(p)}" for code, p in picture.ranked()[:3])
    lines = [
        chart_text(picture.name) or "(无名)",
        f"{tables.ISSUE_NOTE_TITLE}: {chart_text(picture.note) or '(空)'}",
        f"{CT} {shown(picture.ct)}   {LV} {shown(picture.lv)}",
        f"最可能的光源: {top}" if picture.has_values else "无 AWB 数据 (全为 0)",
    ]
    if picture.white_point is not None:
        lines.append(gains_text(picture.gains))
    lines.append(f"第 {picture.row} 行")
    return "<br>".join(lines)


def marker(source, with_issue, **more):
    return {
        "color": colour(source),
        "size": 11 if with_issue else 8,
        "symbol": ISSUE_MARKER if with_issue else "circle",
        "line": {"color": "#212529" if with_issue else "white", "width": 1.5 if with_issue else 0.5},
        **more,
    }


def point_traces(points):
    """Scatter traces of `points`, (light source, with an issue note, x, y, hover text) each, in
    one pass: one trace per light source and issue mark, in sheet order and the grey group last,
    circles before diamonds, coloured by the light source."""
    groups = {}
    for source, with_issue, x, y, text in points:
        group = groups.get((source, with_issue))
        if group is None:
            group = groups[source, with_issue] = ([], [], [])
        group[0].append(x)
        group[1].append(y)
        group[2].append(text)
    traces = []
    for code in (*tables.LIGHT_SOURCES, NO_SOURCE):
        for with_issue in (False, True):
            if (code, with_issue) in groups:
                x, y, text = groups[code, with_issue]
                traces.append(
                    {
                        "type": "scatter",
                        "mode": "markers",
                        "legendgroup": code,
                        "name": f"{code} (有问题描述)" if with_issue else code,
                        "marker": marker(code, with_issue),
                        "x": x,
                        "y": y,
                        "text": text,
                        "hovertemplate": "%{text}<extra></extra>",
                    }
                )
    return traces


def white_point_traces(points):
    """Scatter traces of pictures at their white points, (light source, with an issue note,
    white point, hover text) each, coloured and marked as every picture of the pages."""
    return point_traces((source, issue, rounded(at[0]), rounded(at[1]), text) for source, issue, at, text in points)


def white_point_html(traces, title, height, div_id, **more):
    """The plane of white points: G/R across, G/B up, a unit as long on both axes."""
    return figure_html(
        {"data": traces, "layout": layout(title, *WHITE_POINT_AXES, height=height, yaxis={"scaleanchor": "x"}, **more)},
        div_id,
    )
