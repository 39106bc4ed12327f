"""What every figure of the pages shares: the light sources' colours, the look, the text the
pointer shows, and the figure as HTML. Figures are plain data as plotly.js reads them: plotly's
figure classes would check every point, which costs more than the whole rest of a page."""

import html

from markupsafe import Markup

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
    return int(value) if value is not None and float(value).is_integer() else value


def rounded(value, digits=4):
    return None if value is None else round(value, digits)


def colour(source):
    return COLOURS.get(source, NO_SOURCE_COLOUR)


def source_order(items, source=lambda picture: picture.source):
    """The light sources of `items` that occur, in sheet order, and then the grey group."""
    present = {source(i) for i in items}
    return [code for code in (*tables.LIGHT_SOURCES, NO_SOURCE) if code in present]


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


def figure_html(figure, div_id):
    """The figure as a <div> and its script, plotly.js being in the page's head."""
    import plotly.io as pio

    return Markup(
        pio.to_html(figure, include_plotlyjs=False, full_html=False, div_id=div_id, config=PLOT_CONFIG, validate=False)
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


def point_traces(items, source, issue, x, y, text):
    """Scatter traces of `items`, one per light source and issue mark: coloured by
    `source(item)`, diamonds where `issue(item)`, at (`x(item)`, `y(item)`), hover `text(item)`."""
    traces = []
    for code in source_order(items, source):
        for with_issue in (False, True):
            group = [i for i in items if source(i) == code and issue(i) == with_issue]
            if group:
                traces.append(
                    {
                        "type": "scatter",
                        "mode": "markers",
                        "legendgroup": code,
                        "name": f"{code} (有问题描述)" if with_issue else code,
                        "marker": marker(code, with_issue),
                        "x": [x(i) for i in group],
                        "y": [y(i) for i in group],
                        "text": [text(i) for i in group],
                        "hovertemplate": "%{text}<extra></extra>",
                    }
                )
    return traces


def white_point_traces(items, picture, hover):
    """Scatter traces of `items` at the white points of their pictures (`picture(item)`), coloured
    and marked as every picture of the pages, hover `hover(item)`."""
    return point_traces(
        items,
        lambda i: picture(i).source,
        lambda i: picture(i).has_issue,
        lambda i: rounded(picture(i).white_point[0]),
        lambda i: rounded(picture(i).white_point[1]),
        hover,
    )


def white_point_html(traces, title, height, div_id, **more):
    """The plane of white points: G/R across, G/B up, a unit as long on both axes."""
    return figure_html(
        {"data": traces, "layout": layout(title, *WHITE_POINT_AXES, height=height, yaxis={"scaleanchor": "x"}, **more)},
        div_id,
    )
