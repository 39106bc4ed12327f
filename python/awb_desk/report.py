"""The `awb-report` command: a workbook of the AWB desk tools as one HTML page, to see a batch at
a glance: where the pictures sit on colour temperature and brightness, which light source the
algorithm believed for each, and where the pictures with an issue note are.

    awb-report WORKBOOK [-o OUT.html] [--history FILE]

The page carries every script it needs and opens with no network. It is written beside the
workbook by default (the workbook's name with ".html"). The page is a list of sections, each
a function of the read workbook that returns its piece of HTML (`SECTIONS`).

When the console's tuning history of the workbook lies beside it (or `--history` names one),
the page ends with the pictures shown more than once: their CT and final R and B gains against
show time, and the largest CT changes between a picture's first and last show."""

import argparse
import html
import os
import sys
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

import xlrd

from awb_desk import _tables as tables
from awb_desk import history as tuning_history
from awb_desk.errors import described, one_line
from awb_desk.files import write_text

FAILED = "报告生成失败: "
WRITTEN = "报告: "

# Issue notes that say the picture has no issue ("无" is the console's note for a picture
# missing from the capture list).
NO_ISSUE_NOTES = ("", "正常", "无")

CT, LV = tables.RECORD_TITLES[0], tables.RECORD_TITLES[1]  # record slots 0 and 1
_FIRST = tables.FIRST_PROBABILITY_SLOT
PROBABILITY_TITLES = tables.RECORD_TITLES[_FIRST:_FIRST + len(tables.LIGHT_SOURCES)]

# One colour per light source, warm to cold, the same in every part of the page; pictures
# whose probabilities are all 0 (no AWB values) are grey.
COLOURS = dict(zip(tables.LIGHT_SOURCES,
                   ("#e8590c", "#f59f00", "#74b816", "#0ca678", "#1c7ed6", "#5f3dc4", "#c2255c")))
NO_SOURCE = "无数据"
NO_SOURCE_COLOUR = "#868e96"
ISSUE_MARKER = "diamond"  # pictures with an issue note; the others are circles

PLOT_CONFIG = {"displaylogo": False, "responsive": True}

# What the history section draws of each show: the tag in the history, its name on the page.
CT_TAG = tables.RECORD_TAGS[0]
GAIN_R_TAG, _, GAIN_B_TAG = tables.FINAL_GAIN_TAGS
HISTORY_QUANTITIES = ((CT_TAG, CT), (GAIN_R_TAG, "最终 R 增益"), (GAIN_B_TAG, "最终 B 增益"))
HISTORY_TAGS = tuple(tag for tag, _ in HISTORY_QUANTITIES)
HISTORY_TOP = 30  # pictures in the table of the largest CT changes, drawn in a colour of their own
HISTORY_POINTS = 2000  # shows of those pictures up to which each show is drawn as a point
TIME_FORMAT = "%Y-%m-%d %H:%M:%S"


class ReportError(Exception):
    """Input the report cannot be made from, said in the engineer's terms."""


@dataclass
class Picture:
    row: int                                # row number as a spreadsheet program shows it
    name: str
    note: str
    ct: Optional[float]
    lv: Optional[float]
    probabilities: Tuple[Optional[float], ...]  # in light-source order
    has_values: bool                        # any value column not 0 and not empty

    @property
    def has_issue(self):
        return self.note not in NO_ISSUE_NOTES

    def ranked(self):
        """(light source, probability) from the most probable down; ties keep sheet order."""
        known = [(code, p) for code, p in zip(tables.LIGHT_SOURCES, self.probabilities) if p is not None]
        return sorted(known, key=lambda item: -item[1])

    @property
    def source(self):
        """The most probable light source, or NO_SOURCE when no probability is above 0."""
        ranked = self.ranked()
        return ranked[0][0] if ranked and ranked[0][1] > 0 else NO_SOURCE


@dataclass
class History:
    """The console's tuning history of the workbook: each picture's shows in show order, with the
    values the page draws; or, for a history beside the workbook that could not be read, why."""

    path: str
    pictures: Dict[str, list]               # {picture: [tuning_history.Entry, ...]}, first shown first
    problem: Optional[str] = None

    @property
    def reshown(self):
        return {name: shows for name, shows in self.pictures.items() if len(shows) > 1}


@dataclass
class Workbook:
    path: str
    sheet: str                              # the sheet the pictures were read from
    pictures: List[Picture]
    history: Optional[History] = None       # set when the workbook has a tuning history

    @property
    def issues(self):
        return [p for p in self.pictures if p.has_issue]

    @property
    def without_values(self):
        return [p for p in self.pictures if not p.has_values]


# ---- reading the workbook ----

def _number(cell):
    """A cell's number: numbers as they are, numeric text read, anything else None."""
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE, xlrd.XL_CELL_BOOLEAN):
        return float(cell.value)
    if cell.ctype == xlrd.XL_CELL_TEXT:
        try:
            return float(cell.value.strip())
        except ValueError:
            return None
    return None


def _text(cell):
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return cell.value.strip()
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        return _shown(cell.value)
    return ""


def _title_columns(sheet):
    """Each title of the sheet's title row and its first column."""
    columns = {}
    if sheet.nrows:
        for col, cell in enumerate(sheet.row(0)):
            columns.setdefault(_text(cell), col)
    return columns


NEEDED_TITLES = (tables.NAME_TITLE, CT, LV, *PROBABILITY_TITLES)


def _open(path):
    if not os.path.exists(path):
        raise ReportError(f"{path} 不存在")
    if os.path.isdir(path):
        raise ReportError(f"{path} 是文件夹, 不是表格文件")
    try:
        return xlrd.open_workbook(path, on_demand=True)
    except Exception as exc:  # xlrd names a file it cannot read in many ways
        raise ReportError(f"{path} 不是可读的 .xls 工作簿 ({described(exc)})") from exc


def read_workbook(path):
    """The pictures of a workbook written by the console or the batch. The seven sheets carry
    the same CT, LV and probabilities, so they are read from the first sheet, in sheet order,
    that has all those columns; columns are found by their titles."""
    book = _open(path)
    try:
        names = book.sheet_names()
        present = [code for code in tables.LIGHT_SOURCES if code in names]
        titled = None
        for code in present:
            columns = _title_columns(book.sheet_by_name(code))
            if all(title in columns for title in NEEDED_TITLES):
                titled = code, columns
                break
        if titled is None and not any(tables.NAME_TITLE in _title_columns(book.sheet_by_name(n))
                                      for n in names):
            raise ReportError(f"{path} 不是 AWB 分析表格: 没有以 {tables.NAME_TITLE} 为标题的工作表")
        missing = [code for code in tables.LIGHT_SOURCES if code not in names]
        if missing:
            raise ReportError(f"{path} 缺少工作表 {', '.join(missing)} "
                              f"(应有七个: {', '.join(tables.LIGHT_SOURCES)})")
        if titled is None:
            first = _title_columns(book.sheet_by_name(tables.LIGHT_SOURCES[0]))
            lacking = [title for title in NEEDED_TITLES if title not in first]
            raise ReportError(f"{path} 的工作表 {tables.LIGHT_SOURCES[0]} 缺少列: {', '.join(lacking)}")
        code, columns = titled
        pictures = _pictures(book.sheet_by_name(code), code, columns)
    finally:
        book.release_resources()
    if not pictures:
        raise ReportError(f"{path} 中没有照片行 (只有标题行), 无法生成报告")
    return Workbook(os.path.abspath(path), code, pictures)


def _pictures(sheet, code, columns):
    # The value columns follow the name column: the AWB values a missing dump leaves at 0.
    value_titles = tables.SHEET_TITLES[code][1:1 + tables.VALUE_COLUMNS[code]]
    value_columns = [columns[t] for t in value_titles if t in columns]
    note_column = columns.get(tables.ISSUE_NOTE_TITLE)
    pictures = []
    for r in range(1, sheet.nrows):
        row = sheet.row(r)
        # A row may be shorter than the title row; a hand-deleted note column reads as empty.
        cell = lambda col: row[col] if col is not None and col < len(row) else xlrd.empty_cell  # noqa: E731
        name = _text(cell(columns[tables.NAME_TITLE]))
        values = [_number(cell(col)) for col in value_columns]
        if not name and all(v is None for v in values):
            continue  # a blank row
        pictures.append(Picture(
            row=r + 1, name=name, note=_text(cell(note_column)),
            ct=_number(cell(columns[CT])), lv=_number(cell(columns[LV])),
            probabilities=tuple(_number(cell(columns[t])) for t in PROBABILITY_TITLES),
            has_values=any(v for v in values)))
    return pictures


# ---- reading the tuning history ----

def read_tuning_history(path, named):
    """The history at `path`, with the values the page draws. One the engineer `named` on the
    command line that cannot be read is the command's error; one found beside the workbook
    costs the page only its section, said in one line on the error stream and in the page."""
    try:
        if not os.path.exists(path):
            raise ReportError(f"调参历史 {path} 不存在")
        if os.path.isdir(path):
            raise ReportError(f"调参历史 {path} 是文件夹, 不是数据库文件")
        return History(path, tuning_history.read_history(path, tags=HISTORY_TAGS))
    except Exception as exc:  # a history is read by SQLite and a hand-made one may hold anything
        why = problem(exc)
        if named:
            raise ReportError(why if isinstance(exc, ReportError) else f"调参历史 {path} 无法读取: {why}") from exc
        print(f"历史记录未读取: {path} ({why})", file=sys.stderr)
        return History(path, {}, why)


# ---- the page ----

def _shown(value):
    """A number as the workbook shows it: whole numbers without a decimal point."""
    if value is None:
        return ""
    return str(int(value)) if float(value).is_integer() else f"{value:g}"


def _plain(value):
    """A number for the page's data: whole numbers as integers, so the page stays small."""
    return int(value) if value is not None and float(value).is_integer() else value


def _clock(moment):
    """A show's time as the engineer's desk clock shows it."""
    return moment.astimezone().strftime(TIME_FORMAT)


def _instant(moment):
    """A show's time on the page's time axis: desk time to the millisecond, so two shows in one
    second stay apart."""
    return moment.astimezone().replace(tzinfo=None).isoformat(sep=" ", timespec="milliseconds")


def _hover(picture):
    """The text shown when the pointer rests on a picture, in the scatter and the heat map."""
    top = " · ".join(f"{code} {_shown(p)}" for code, p in picture.ranked()[:3])
    lines = [html.escape(picture.name) or "(无名)",
             f"{tables.ISSUE_NOTE_TITLE}: {html.escape(picture.note) or '(空)'}",
             f"{CT} {_shown(picture.ct)}   {LV} {_shown(picture.lv)}",
             f"最可能的光源: {top}" if picture.has_values else "无 AWB 数据 (全为 0)",
             f"第 {picture.row} 行"]
    return "<br>".join(lines)


def _source_order(workbook):
    """The light sources that occur, in sheet order, and then the grey group."""
    present = {p.source for p in workbook.pictures}
    return [code for code in (*tables.LIGHT_SOURCES, NO_SOURCE) if code in present]


def _colour(source):
    return COLOURS.get(source, NO_SOURCE_COLOUR)


def _figure_html(fig, div_id):
    import plotly.io as pio

    return pio.to_html(fig, include_plotlyjs=False, full_html=False, div_id=div_id,
                       config=PLOT_CONFIG, validate=False)


def _layout(title, x_title, y_title, **more):
    return dict(title=dict(text=title), template="plotly_white", hoverlabel=dict(align="left"),
                xaxis=dict(title=dict(text=x_title)), yaxis=dict(title=dict(text=y_title)),
                margin=dict(l=70, r=30, t=70, b=60), **more)


def header_section(workbook):
    name = html.escape(os.path.basename(workbook.path))
    facts = [("表格文件", html.escape(workbook.path)),
             ("照片数", len(workbook.pictures)),
             ("有问题描述的照片", len(workbook.issues)),
             ("无 AWB 数据的行 (全为 0 或空)", len(workbook.without_values)),
             ("数据来源", f"工作表 {html.escape(workbook.sheet)}")]
    rows = "".join(f"<tr><th>{label}</th><td>{value}</td></tr>" for label, value in facts)
    return f'<header><h1>AWB 报告: {name}</h1><table class="facts">{rows}</table></header>'


def scatter_section(workbook):
    import plotly.graph_objects as go

    fig = go.Figure()
    for source in _source_order(workbook):
        for with_issue in (False, True):
            group = [p for p in workbook.pictures if p.source == source and p.has_issue == with_issue]
            if not group:
                continue
            fig.add_trace(go.Scatter(
                x=[_plain(p.ct) for p in group], y=[_plain(p.lv) for p in group], mode="markers",
                name=f"{source} (有问题描述)" if with_issue else source, legendgroup=source,
                marker=dict(color=_colour(source), size=11 if with_issue else 8,
                            symbol=ISSUE_MARKER if with_issue else "circle",
                            line=dict(color="#212529" if with_issue else "white", width=1.5 if with_issue else 0.5)),
                text=[_hover(p) for p in group], hovertemplate="%{text}<extra></extra>"))
    fig.update_layout(**_layout(f"{CT} 与 {LV} (颜色: 最可能的光源; ◆: 有问题描述)", CT, LV, height=560))
    return f"<section><h2>{CT} 与 {LV}</h2>{_figure_html(fig, 'ct-lv')}</section>"


def heatmap_section(workbook):
    import plotly.graph_objects as go

    pictures = workbook.pictures
    # One column per picture, in workbook order. Each column's category is the picture's hover
    # text (unique: it names the row), so the text is in the page once and not once per cell;
    # the axis shows the pictures' running numbers instead.
    columns = [_hover(p) for p in pictures]
    step = max(1, len(pictures) // 10)
    ticks = range(0, len(pictures), step)
    fig = go.Figure(go.Heatmap(
        z=[[_plain(p.probabilities[k]) for p in pictures] for k in range(len(tables.LIGHT_SOURCES))],
        x=columns, y=list(tables.LIGHT_SOURCES), colorscale="YlOrRd", zmin=0,
        hovertemplate="%{y}: %{z}<br>%{x}<extra></extra>", colorbar=dict(title=dict(text="概率"))))
    fig.update_layout(**_layout("七种光源的概率 (照片按表格顺序)", "照片 (表格中的顺序)", "光源", height=380))
    fig.update_xaxes(type="category", tickmode="array", tickvals=[columns[i] for i in ticks],
                     ticktext=[str(i + 1) for i in ticks])
    fig.update_yaxes(autorange="reversed", type="category")
    return f"<section><h2>光源概率</h2>{_figure_html(fig, 'probabilities')}</section>"


def distribution_section(workbook):
    import plotly.graph_objects as go

    if all(p.source == NO_SOURCE for p in workbook.pictures):
        return f"<section><h2>{CT} 分布</h2><p>没有可显示的 {CT}: 所有照片行都无 AWB 数据。</p></section>"
    fig = go.Figure()
    for source in _source_order(workbook):
        if source == NO_SOURCE:
            continue  # rows of zeros have no colour temperature to show
        cts = [_plain(p.ct) for p in workbook.pictures if p.source == source]
        # Boxes only: the pictures' own points are the scatter's, and the page draws each once.
        fig.add_trace(go.Box(y=cts, name=f"{source} ({len(cts)})", marker_color=_colour(source),
                             boxpoints=False, boxmean=True))
    fig.update_layout(**_layout(f"各最可能光源的 {CT} 分布", "最可能的光源 (照片数)", CT, height=460,
                                showlegend=False))
    return f"<section><h2>{CT} 分布</h2>{_figure_html(fig, 'ct-distribution')}</section>"


def issue_table_section(workbook):
    issues = workbook.issues
    if not issues:
        return "<section><h2>有问题描述的照片</h2><p>没有带问题描述的照片。</p></section>"
    head = "".join(f"<th>{t}</th>" for t in ("照片", tables.ISSUE_NOTE_TITLE, CT, LV, "最可能的光源"))
    rows = []
    for p in issues:
        swatch = f'<span class="swatch" style="background:{_colour(p.source)}"></span>'
        rows.append(f"<tr><td>{html.escape(p.name)}</td><td>{html.escape(p.note)}</td>"
                    f'<td class="num">{_shown(p.ct)}</td><td class="num">{_shown(p.lv)}</td>'
                    f"<td>{swatch}{html.escape(p.source)}</td></tr>")
    return (f"<section><h2>有问题描述的照片 ({len(issues)})</h2>"
            f'<table class="issues"><thead><tr>{head}</tr></thead><tbody>{"".join(rows)}</tbody></table></section>')


def _history_figure(reshown, changes):
    """CT and the final R and B gains of every re-shown picture against show time, in three
    plots over one time axis, one line per picture in each. The pictures of the table of CT
    changes (all, when there are few) have a colour, a legend entry and their points; the
    others are thin grey lines, one trace per plot with a gap between pictures, since a browser
    draws a thousand pictures' lines and points as SVG slowly. The figure is built as plain
    data, as plotly.js reads it (plotly's classes would check thousands of traces one by one);
    only the layout goes through plotly's classes."""
    import plotly.colors
    import plotly.graph_objects as go
    import plotly.io as pio
    from plotly.subplots import make_subplots

    palette = plotly.colors.qualitative.Dark24 + plotly.colors.qualitative.Light24
    changed = dict.fromkeys(c[0] for c in changes)  # the table's order
    order = [*changed, *(name for name in reshown if name not in changed)]
    coloured, rest = order[:HISTORY_TOP], order[HISTORY_TOP:]
    # Each show: its time, and CT, R, B and the show's number, which the hover tells.
    points = {name: ([_instant(e.shown_at) for e in shows],
                     [[*(_plain(e.values[t]) for t in HISTORY_TAGS), k] for k, e in enumerate(shows, 1)])
              for name, shows in reshown.items()}

    def hover(name):  # the picture's name, where plotly finds it, then the show
        return (f"<b>%{{{name}}}</b> (第 %{{customdata[3]}} 次显示)<br>%{{x|{TIME_FORMAT}}}<br>"
                f"{CT} %{{customdata[0]}} · R %{{customdata[1]}} · B %{{customdata[2]}}<extra></extra>")

    # What every coloured line shares is said once, in the figure's template; a point per show
    # unless the coloured pictures were shown thousands of times.
    markers = sum(len(reshown[name]) for name in coloured) <= HISTORY_POINTS
    template = go.layout.Template(pio.templates["plotly_white"])
    template.data.scatter = [go.Scatter(mode="lines+markers" if markers else "lines", marker=dict(size=5),
                                        line=dict(width=1.5), hovertemplate=hover("fullData.name"),
                                        showlegend=False)]
    title = f"显示多次的照片: {CT} 与最终 R、B 增益随显示时间的变化 (每张照片一条线"
    title += f"; 彩色: {CT} 变化最大的 {len(coloured)} 张, 灰色: 其余 {len(rest)} 张)" if rest else ")"
    layout = make_subplots(rows=len(HISTORY_QUANTITIES), cols=1, shared_xaxes=True, vertical_spacing=0.04).layout
    layout.update(_layout(title, None, None, height=860, legend=dict(title=dict(text="照片"))))
    layout.template = template
    traces = []
    for q, (tag, label) in enumerate(HISTORY_QUANTITIES):
        suffix = str(q + 1) if q else ""  # plotly's names of the plot's axes: x, x2, x3
        axes = dict(xaxis=f"x{suffix}", yaxis=f"y{suffix}")
        layout[f"yaxis{suffix}"].title.text = label
        if rest:
            x, y, data = [], [], []
            for name in rest:
                times, shows = points[name]
                x += [*times, None]
                y += [*(show[q] for show in shows), None]
                data += [*([*show, html.escape(name)] for show in shows), None]
            traces.append(dict(type="scatter", mode="lines", name=f"其余 {len(rest)} 张照片", legendgroup="rest",
                               showlegend=q == 0, line=dict(color="#ced4da", width=1), x=x, y=y, customdata=data,
                               hovertemplate=hover("customdata[4]"), **axes))
        for n, name in enumerate(coloured):
            times, shows = points[name]
            trace = dict(type="scatter", name=html.escape(name), legendgroup=str(n),
                         line=dict(color=palette[n % len(palette)]), x=times, y=[show[q] for show in shows],
                         customdata=shows, **axes)
            if q == 0:
                trace["showlegend"] = True
            traces.append(trace)
    layout[f"xaxis{len(HISTORY_QUANTITIES)}"].title.text = "显示时间"
    return {"data": traces, "layout": layout.to_plotly_json()}


def _ct_changes(reshown):
    """(picture, first CT, last CT, change, shows, first time, last time) of every re-shown
    picture with a CT at two shows, the largest change (either way) first."""
    changes = []
    for name, shows in reshown.items():
        known = [e for e in shows if e.values[CT_TAG] is not None]
        if len(known) > 1:
            first, last = known[0], known[-1]
            change = last.values[CT_TAG] - first.values[CT_TAG]
            changes.append((name, first.values[CT_TAG], last.values[CT_TAG], change, len(shows),
                            first.shown_at, last.shown_at))
    changes.sort(key=lambda c: -abs(c[3]))  # ties keep the order of first show
    return changes


def _signed(value):
    return ("+" if value > 0 else "") + _shown(value)


def history_section(workbook):
    history = workbook.history
    if history is None:
        return ""
    source = f'<p class="source">调参历史: {html.escape(history.path)}</p>'
    head = f"<section><h2>调参历史: 显示多次的照片</h2>{source}"
    if history.problem is not None:
        return f"{head}<p>历史记录未读取: {html.escape(history.problem)}</p></section>"
    reshown = history.reshown
    if not reshown:
        return (f"{head}<p>没有显示过两次以上的照片 (历史中共 {len(history.pictures)} 张照片, "
                f"各显示一次)。</p></section>")
    changes = _ct_changes(reshown)
    shown = changes[:HISTORY_TOP]
    titles = ("照片", f"首次 {CT}", f"最后 {CT}", "变化", "显示次数", "首次显示", "最后显示")
    rows = "".join(
        f"<tr><td>{html.escape(name)}</td><td class=\"num\">{_shown(first)}</td><td class=\"num\">{_shown(last)}</td>"
        f"<td class=\"num\">{_signed(change)}</td><td class=\"num\">{count}</td>"
        f"<td>{_clock(since)}</td><td>{_clock(until)}</td></tr>"
        for name, first, last, change, count, since, until in shown)
    table = (f"<h3>{CT} 变化最大的照片 (最后一次与首次显示相比, 按变化的绝对值从大到小, "
             f"最多列出 {HISTORY_TOP} 张, 共 {len(changes)} 张)</h3>"
             f'<table class="changes"><thead><tr>{"".join(f"<th>{t}</th>" for t in titles)}</tr></thead>'
             f"<tbody>{rows}</tbody></table>")
    summary = (f"<p>{len(reshown)} 张照片显示过多次 (共 {sum(map(len, reshown.values()))} 次显示); "
               f"只显示一次的 {len(history.pictures) - len(reshown)} 张照片不画出。</p>")
    return f"{head}{summary}{_figure_html(_history_figure(reshown, changes), 'history')}{table}</section>"


# The page, top to bottom.
SECTIONS = [header_section, scatter_section, heatmap_section, distribution_section, issue_table_section,
            history_section]

STYLE = """
body { font-family: "Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", sans-serif; margin: 24px; color: #212529; }
h1 { font-size: 22px; } h2 { font-size: 18px; margin-top: 32px; }
table { border-collapse: collapse; }
th, td { border: 1px solid #dee2e6; padding: 4px 10px; text-align: left; }
table.facts th { background: #f1f3f5; font-weight: normal; }
table.issues thead th { background: #fff3bf; }
table.changes thead th { background: #d0ebff; }
h3 { font-size: 15px; margin-top: 20px; }
p.source { color: #495057; }
td.num { text-align: right; }
.swatch { display: inline-block; width: 10px; height: 10px; margin-right: 6px; border-radius: 2px; }
"""


def render(workbook):
    """The whole page: plotly's script once in the head, then every section."""
    from plotly.offline import get_plotlyjs

    title = html.escape(f"AWB 报告 - {os.path.basename(workbook.path)}")
    body = "\n".join(filter(None, (section(workbook) for section in SECTIONS)))
    return (f'<!DOCTYPE html>\n<html lang="zh-CN"><head><meta charset="utf-8"><title>{title}</title>'
            f"<style>{STYLE}</style><script>{get_plotlyjs()}</script></head>\n<body>\n{body}\n</body></html>\n")


def default_output(workbook_path):
    return os.path.splitext(workbook_path)[0] + ".html"


def _refuse_to_overwrite(out, path, what):
    if os.path.exists(path) and os.path.exists(out) and os.path.samefile(out, path):
        raise ReportError(f"报告不能写在{what}本身上: {out}")


def write_report(workbook_path, out=None, history_path=None):
    """Reads the workbook, and its tuning history (`history_path`, or the one beside the
    workbook when there is one), and writes its page to `out` (default: beside the workbook) in
    one step: a failure leaves nothing written. Returns the page's path."""
    out = os.path.abspath(out or default_output(workbook_path))
    named = history_path is not None
    history_path = history_path if named else tuning_history.history_path(workbook_path)
    _refuse_to_overwrite(out, workbook_path, "表格文件")
    _refuse_to_overwrite(out, history_path, "调参历史")
    workbook = read_workbook(workbook_path)
    if named or os.path.exists(history_path):
        workbook.history = read_tuning_history(history_path, named)
    try:
        page = render(workbook)
    except ImportError as exc:
        raise ReportError(f"绘图库 plotly 无法加载 ({exc}), 请安装: pip install plotly") from exc
    target = os.path.realpath(out)  # a link to the report stays a link
    folder = os.path.dirname(target)
    if not os.path.isdir(folder):
        raise ReportError(f"报告的文件夹不存在: {folder}")
    write_text(target, page)
    return out


def problem(exc):
    """An error as one line for the console."""
    return one_line(str(exc) if isinstance(exc, (ReportError, tuning_history.HistoryError)) else described(exc))


def run(workbook_path, out=None, history_path=None):
    """Writes the report and says so in one line; returns the exit status."""
    try:
        path = write_report(workbook_path, out, history_path)
    except KeyboardInterrupt:
        print(FAILED + "已中断", file=sys.stderr)
        return 130
    except Exception as exc:
        print(FAILED + problem(exc), file=sys.stderr)
        return 1
    print(WRITTEN + path)
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(prog="awb-report", description="把 AWB 分析表格写成一个离线打开的 HTML 报告")
    parser.add_argument("workbook", help="lumvik 或 tavrin 写的表格文件 (.xls)")
    parser.add_argument("-o", "--output", metavar="OUT.html", help="报告文件 (默认: 表格旁边, 扩展名 .html)")
    parser.add_argument("--history", metavar="FILE",
                        help="lumvik 的调参历史数据库 (默认: 表格旁边的 <表格名>.history.sqlite, 有则用)")
    args = parser.parse_args(argv)
    return run(args.workbook, args.output, args.history)


if __name__ == "__main__":
    sys.exit(main())
