"""The `awb-report` command: a workbook of the AWB desk tools as one HTML page, or two workbooks
of the same capture list compared on one page.

    awb-report WORKBOOK [-o OUT.html] [--history FILE]
    awb-report NEW.xls --against OLD.xls [-o OUT.html] [--history FILE] [--tolerance K]

A page carries every script it needs and opens with no network. It is written beside the
(new) workbook by default (the workbook's name with ".html"). Pages are made from the templates
in `templates/`, which escape every text they are given: picture names, notes, titles and file
names show as text, never as markup. The page of one workbook is `single`; the comparison is
`compare`; what both read, and the checks of every path, are in `inputs`.

A workbook's tuning history (beside it, or named with `--history`) gives its rows their final
gains, which place them on the plane of white points, and its pictures shown more than once."""

import argparse
import gc
import importlib.util
import math
import os
import re
import sys

from awb_desk.errors import described
from awb_desk.report.inputs import (
    ReportError,
    check_output,
    guarded_paths,
    plain_file,
    problem,
    read_with_history,
    same_place,
    say_unshown,
    write_page,
)

FAILED = "报告生成失败: "
WRITTEN = "报告: "
INTERRUPTED = "已中断: 报告未写出"

__all__ = [
    "FAILED",
    "WRITTEN",
    "ReportError",
    "comparison_arguments",
    "main",
    "problem",
    "read_earlier",
    "run",
    "tolerance_argument",
    "write_comparison",
    "write_report",
]


def plotly_js():
    """The bytes of plotly.js as the plotting library bundles it, read without loading the
    library's Python package, which the page does not need."""
    spec = importlib.util.find_spec("plotly")
    if spec is None or not spec.submodule_search_locations:
        raise ImportError("No module named 'plotly'")
    script = os.path.join(spec.submodule_search_locations[0], "package_data", "plotly.min.js")
    try:
        with open(script, "rb") as f:
            return f.read()
    except OSError as exc:
        raise ImportError(f"plotly.js 无法读取: {script} ({described(exc)})") from exc


# Where a part given as bytes stands in a rendered page: a text no template holds and no text of
# a workbook or history puts there, since the templates escape its "<".
_PART = re.compile(r"<awb-part (\d+)/>")


def render(template, context):
    """A page from its template, as the bytes of its parts: plotly's script once in the head,
    then the parts in `context`. A part given as bytes (plotly's script, a figure) is HTML that
    goes into the page as it stands, without being decoded and encoded again."""
    from jinja2 import Environment, PackageLoader, select_autoescape
    from markupsafe import Markup

    given = []

    def finalize(value):
        if isinstance(value, bytes):
            given.append(value)
            return Markup(f"<awb-part {len(given) - 1}/>")
        return value

    environment = Environment(
        loader=PackageLoader("awb_desk.report", "templates"),
        autoescape=select_autoescape(["html"]),
        trim_blocks=True,
        lstrip_blocks=True,
        finalize=finalize,
    )
    page = _PART.split(environment.get_template(template).render(plotlyjs=plotly_js(), **context))
    return [given[int(part)] if k % 2 else part.encode() for k, part in enumerate(page)]


def default_output(workbook_path):
    return os.path.splitext(workbook_path)[0] + ".html"


def _page(make):
    try:
        return make()
    except ImportError as exc:
        raise ReportError(f"绘图库无法加载 ({exc}), 请安装: pip install plotly Jinja2") from exc


def write_report(workbook_path, out=None, history_path=None, held=None):
    """Reads the workbook (its rows from `held`, as `inputs.read_workbook` takes them, when
    given), and its tuning history (`history_path`, or the one beside the workbook when there is
    one), and writes its page to `out` (default: beside the workbook) in one step: a failure
    leaves nothing written. Returns the page's path."""
    from awb_desk.report import single

    out = os.path.abspath(out or default_output(workbook_path))
    if history_path is not None:
        plain_file(history_path, "调参历史 ")
    check_output(out, guarded_paths(workbook_path, history_path))
    workbook = read_with_history(workbook_path, history_path, held=held)
    say_unshown(workbook)
    page = _page(lambda: render("report.html", single.context(workbook)))
    write_page(out, page)
    return out


def read_earlier(old_path, new_path=None):
    """The old workbook of a comparison with its tuning history, read into memory now: the batch
    reads the one it compares with before it runs, since a rerun moves the day's workbook and its
    history into "备份". Refuses it being the new workbook itself unless it is read before the
    new one is written (`new_path` None)."""
    if new_path is not None:
        plain_file(new_path, "新表 ")
        plain_file(old_path, "旧表 ")
        if os.path.samefile(new_path, old_path):
            raise ReportError(f"新表和旧表是同一个文件: {new_path}, 请用 --against 指定另一次运行的表格")
    return read_with_history(old_path, what="旧表 ", empty_ok=False)


def write_comparison(new_path, old, out=None, history_path=None, tolerance=None, held=None):
    """Compares the workbook at `new_path` (its rows from `held` when given) with `old` (a path,
    or a workbook `read_earlier` has read) and writes the page to `out` (default: beside the new
    workbook) in one step. Returns the page's path and the summary line."""
    from awb_desk.report import compare

    out = os.path.abspath(out or default_output(new_path))
    if history_path is not None:
        plain_file(history_path, "调参历史 ")
    guarded = guarded_paths(new_path, history_path)
    if isinstance(old, (str, os.PathLike)):
        old_path = os.fspath(old)
        guarded += guarded_paths(old_path)
        check_output(out, guarded)
        old = read_earlier(old_path, new_path)
    else:
        check_output(out, guarded + guarded_paths(old.path))
        old.read_before = same_place(old.path, new_path)
    new = read_with_history(new_path, history_path, what="新表 ", empty_ok=True, held=held)
    say_unshown(new, old)
    comparison = compare.compare(new, old, compare.DEFAULT_TOLERANCE if tolerance is None else tolerance)
    page = _page(lambda: render("compare.html", compare.context(comparison)))
    write_page(out, page)
    return out, comparison.summary()


def run(workbook_path, out=None, history_path=None, against=None, tolerance=None, held=None):
    """Writes the page and says so in one line (a comparison's summary line before it); returns
    the exit status. `held` gives the workbook's rows as a batch that has just written it holds
    them (see `inputs.read_workbook`).

    The cyclic garbage collector is paused meanwhile: what the page is made of (rows, shows,
    figures) holds no cycles to collect, and what was there before (a batch's whole run) is no
    garbage of the page. Its full passes over all of that as the page's objects piled up took a
    twentieth of a second after a batch of 1000 pictures."""
    collecting = gc.isenabled()
    gc.disable()
    try:
        return _run(workbook_path, out, history_path, against, tolerance, held)
    finally:
        if collecting:
            gc.enable()


def _run(workbook_path, out, history_path, against, tolerance, held):
    try:
        if against is None:
            path = write_report(workbook_path, out, history_path, held)
        else:
            path, summary = write_comparison(workbook_path, against, out, history_path, tolerance, held)
            print(summary)
    except KeyboardInterrupt:
        print(INTERRUPTED, file=sys.stderr)
        return 130
    except Exception as exc:  # noqa: BLE001 - any failure of the report is told in one line
        print(FAILED + problem(exc), file=sys.stderr)
        return 1
    print(WRITTEN + path)
    return 0


def tolerance_argument(text):
    """The tolerance in kelvin: a number not below 0."""
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not math.isfinite(value) or value < 0:
        raise argparse.ArgumentTypeError(f"应为不小于 0 的开尔文数: {text}")
    return value


def comparison_arguments(parser, against_help, argv):
    """Adds `--against OLD.xls` and `--tolerance K` to a command's `parser` and parses `argv`;
    a tolerance without a comparison is refused."""
    parser.add_argument("--against", metavar="OLD.xls", help=against_help)
    parser.add_argument(
        "--tolerance", metavar="K", type=tolerance_argument, help="对比时 CT 变化的容差, 单位 K (默认 100)"
    )
    args = parser.parse_args(argv)
    if args.tolerance is not None and args.against is None:
        parser.error("--tolerance 只用于 --against 的对比")
    return args


def main(argv=None):
    parser = argparse.ArgumentParser(prog="awb-report", description="把 AWB 分析表格写成一个离线打开的 HTML 报告")
    parser.add_argument("workbook", help="lumvik 或 tavrin 写的表格文件 (.xls); 与 --against 一起时为新表")
    parser.add_argument("-o", "--output", metavar="OUT.html", help="报告文件 (默认: 表格旁边, 扩展名 .html)")
    parser.add_argument(
        "--history", metavar="FILE", help="表格的调参历史数据库 (默认: 表格旁边的 <表格名>.history.sqlite, 有则用)"
    )
    args = comparison_arguments(parser, "与这个旧表对比 (同一拍摄列表的上一次运行)", argv)
    return run(args.workbook, args.output, args.history, args.against, args.tolerance)
