"""The `awb-report` command: a workbook of the AWB desk tools as one HTML page, to see a batch at
a glance: where the pictures sit on colour temperature and brightness, which light source the
algorithm believed for each, and where the pictures with an issue note are.

    awb-report WORKBOOK [-o OUT.html]

The page carries every script it needs and opens with no network. It is written beside the
workbook by default (the workbook's name with ".html"). The page is a list of sections, each
a function of the read workbook that returns its piece of HTML (`SECTIONS`)."""

import argparse
import html
import os
import sys
import uuid
from dataclasses import dataclass
from typing import List, Optional, Tuple

import xlrd

import awb_tables as tables

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
class Workbook:
    path: str
    sheet: str                              # the sheet the pictures were read from
    pictures: List[Picture]

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
        raise ReportError(f"{path} 不是可读的 .xls 工作簿 ({type(exc).__name__}: {exc})") from exc


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


# ---- the page ----

def _shown(value):
    """A number as the workbook shows it: whole numbers without a decimal point."""
    if value is None:
        return ""
    return str(int(value)) if float(value).is_integer() else f"{value:g}"


def _plain(value):
    """A number for the page's data: whole numbers as integers, so the page stays small."""
    return int(value) if value is not None and float(value).is_integer() else value


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


# The page, top to bottom.
SECTIONS = [header_section, scatter_section, heatmap_section, distribution_section, issue_table_section]

STYLE = """
body { font-family: "Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", sans-serif; margin: 24px; color: #212529; }
h1 { font-size: 22px; } h2 { font-size: 18px; margin-top: 32px; }
table { border-collapse: collapse; }
th, td { border: 1px solid #dee2e6; padding: 4px 10px; text-align: left; }
table.facts th { background: #f1f3f5; font-weight: normal; }
table.issues thead th { background: #fff3bf; }
td.num { text-align: right; }
.swatch { display: inline-block; width: 10px; height: 10px; margin-right: 6px; border-radius: 2px; }
"""


def render(workbook):
    """The whole page: plotly's script once in the head, then every section."""
    from plotly.offline import get_plotlyjs

    title = html.escape(f"AWB 报告 - {os.path.basename(workbook.path)}")
    body = "\n".join(section(workbook) for section in SECTIONS)
    return (f'<!DOCTYPE html>\n<html lang="zh-CN"><head><meta charset="utf-8"><title>{title}</title>'
            f"<style>{STYLE}</style><script>{get_plotlyjs()}</script></head>\n<body>\n{body}\n</body></html>\n")


def default_output(workbook_path):
    return os.path.splitext(workbook_path)[0] + ".html"


def write_report(workbook_path, out=None):
    """Reads the workbook and writes its page to `out` (default: beside the workbook) in one
    step: a failure leaves nothing written. Returns the page's path."""
    out = os.path.abspath(out or default_output(workbook_path))
    if os.path.exists(workbook_path) and os.path.exists(out) and os.path.samefile(out, workbook_path):
        raise ReportError(f"报告不能写在表格文件本身上: {out}")
    workbook = read_workbook(workbook_path)
    try:
        page = render(workbook)
    except ImportError as exc:
        raise ReportError(f"绘图库 plotly 无法加载 ({exc}), 请安装: pip install plotly") from exc
    target = os.path.realpath(out)  # a link to the report stays a link
    folder = os.path.dirname(target)
    if not os.path.isdir(folder):
        raise ReportError(f"报告的文件夹不存在: {folder}")
    temporary = f"{target}.{uuid.uuid4().hex[:12]}.tmp"
    try:
        with open(temporary, "x", encoding="utf-8", newline="\n") as f:
            f.write(page)
        os.replace(temporary, target)
    except BaseException:
        if os.path.exists(temporary):
            os.remove(temporary)
        raise
    return out


def problem(exc):
    """An error as one line for the console."""
    text = str(exc) if isinstance(exc, ReportError) else f"{type(exc).__name__}: {exc}"
    return " ".join(text.split())


def run(workbook_path, out=None):
    """Writes the report and says so in one line; returns the exit status."""
    try:
        path = write_report(workbook_path, out)
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
    args = parser.parse_args(argv)
    return run(args.workbook, args.output)


if __name__ == "__main__":
    sys.exit(main())
