"""The commands' entry points: `lumvik`, the simulator log console, `tavrin`, the EXIF batch
recorder, run in the working folder that holds the capture list and the "EXIF" folder of dumps,
and `awb-report`, a workbook as an HTML page."""

import functools
import gc
import importlib.util
import os
import sys
import traceback
import types

from awb_desk.errors import described, first_note, one_line

INTERRUPTED = "已中断"
DEFAULT_SETTINGS_NOTE = "未找到设置模块 global_values, 使用默认设置: rawfilename.txt 在当前文件夹"
SETTINGS_FILE = "global_values.py"


def _printable_output():
    """A character the standard output cannot show is printed as "?" instead of stopping the
    command: before Python 3.15 a redirected stdout on Windows (`tavrin > log.txt`, a .bat, a
    scheduled task) is written in the ANSI code page, GBK on a Chinese desk, which lacks "✓",
    "•" or an emoji pasted into a note."""
    reconfigure = getattr(sys.stdout, "reconfigure", None)
    if reconfigure is not None:
        reconfigure(errors="replace")


# ---- lumvik ----


def lumvik():
    """Loading Lumvik runs its start-up (which makes the error log the process's error stream);
    the console itself, banner included, is the module's own main block."""
    _printable_output()
    console = sys.stderr
    try:
        import Lumvik  # loading runs the console's start-up; its SystemExit passes through
    except Exception as exc:  # noqa: BLE001 - any start-up failure is told in one line
        return _start_up_failed(exc, console)
    try:
        Lumvik._run_console()
    except KeyboardInterrupt:
        return 130
    return 0


def _start_up_failed(exc, console):
    """One line on the console naming the problem; the trace goes to the error log."""
    log = sys.stderr
    traceback.print_exception(type(exc), exc, exc.__traceback__, file=log)
    log.flush()
    problem = first_note(exc, described(exc))
    if log is not console:
        where = f"详情见错误日志 {getattr(log, 'name', log)}"
    else:
        where = "错误日志未能打开"
    print(one_line(f"lumvik 启动失败: {problem}; {where}"), file=console)
    return 1


# ---- tavrin ----


def tavrin(argv=None):
    _printable_output()
    args = _tavrin_arguments(argv)
    problem = _load_settings()
    if problem:
        print(problem, file=sys.stderr)
        return 1
    import Tavrin

    workbook = Tavrin.Excle_File
    earlier = None
    if args.against is not None:
        # The workbook to compare with is read, with its history, before the batch: a bad one
        # costs one line and nothing is written, and the day's workbook itself, which the rerun
        # moves into "备份", is compared as it was.
        from awb_desk import report

        try:
            earlier = report.read_earlier(args.against)
        except KeyboardInterrupt:
            print(f"{INTERRUPTED}: 批处理未开始", file=sys.stderr)
            return 130
        except Exception as exc:  # noqa: BLE001 - told in one line, as the report tells it
            print(f"{report.FAILED}{report.problem(exc)}; 批处理未开始", file=sys.stderr)
            return 1
    try:
        Tavrin.Tavrin()
    except KeyboardInterrupt as exc:
        print(first_note(exc, "已中断"), file=sys.stderr)
        return 130
    except Tavrin.WorkbookFull as exc:
        # The run stopped at the row limit with everything it recorded saved: the page is
        # written for what was saved all the same.
        print("数据处理失败: " + one_line(first_note(exc, described(exc))), file=sys.stderr)
        if exc.workbook is None:
            return 1
        return _write_report(exc.workbook, earlier, args.tolerance, _held_rows(Tavrin, exc.workbook)) or 1
    except Exception as exc:  # noqa: BLE001 - any failure of the batch is told in one line
        # One line in the engineer's terms; the batch has saved every picture it recorded.
        print("数据处理失败: " + one_line(first_note(exc, described(exc))), file=sys.stderr)
        return 1
    # A batch that finished has written its workbook (one that stops early, without a capture
    # list or without picture lines, has ended above with status 1).
    return _write_report(workbook, earlier, args.tolerance, _held_rows(Tavrin, workbook))


def _held_rows(batch, workbook):
    """The rows of the workbook the batch just wrote at `workbook` as the batch holds them, so
    that the report does not read them back: `batch._run_rows(code)`, the rows of the light
    source's sheet, title row included (None when the batch holds none of that workbook). None
    for another workbook than the module's, or a module that keeps no rows."""
    rows, current = getattr(batch, "_run_rows", None), getattr(batch, "Excle_File", None)
    if rows is None or not current or os.path.abspath(current) != os.path.abspath(workbook):
        return None
    return rows


def _tavrin_arguments(argv):
    import argparse

    from awb_desk.report import comparison_arguments

    parser = argparse.ArgumentParser(
        prog="tavrin", description="按 rawfilename.txt 把 EXIF 目录中的 AWB 数据写入当天的表格"
    )
    return comparison_arguments(parser, "批处理结束时写出与这个旧表的对比报告 (而不是本次表格的报告)", argv)


def _default_settings():
    """The settings module the batch uses when the working folder has none: the capture list
    lies in the working folder."""
    settings = types.ModuleType("global_values")

    class global_val:  # noqa: N801 - the name the recorder reads
        rawfilename_txt = ""

    settings.global_val = global_val
    return settings


def _line_of(exc, path):
    """The line of the settings file where loading it failed."""
    if isinstance(exc, SyntaxError) and exc.lineno:
        return exc.lineno
    lines = [
        frame.lineno for frame in traceback.extract_tb(exc.__traceback__) if os.path.abspath(frame.filename) == path
    ]
    return lines[-1] if lines else None


def _load_settings():
    """Loads the working folder's settings module by its path, adding nothing to the import
    path (no other file of the working folder is ever imported); without one, the settings
    module is imported from the usual places, else the defaults are used. Returns the line
    that says why the settings could not be loaded (a fault of the file, or no `global_val`
    in it), or None."""
    if "global_values" in sys.modules:
        return None
    path = os.path.abspath(SETTINGS_FILE)
    if not os.path.isfile(path):
        spec = importlib.util.find_spec("global_values")
        if spec is None:
            sys.modules["global_values"] = _default_settings()
            print(DEFAULT_SETTINGS_NOTE)
            return None
        if spec.loader is None or spec.origin is None:
            return None  # a namespace package: the batch's own import tells what is wrong
        path = spec.origin
    else:
        spec = importlib.util.spec_from_file_location("global_values", path)
    settings = importlib.util.module_from_spec(spec)
    sys.modules["global_values"] = settings
    writes_bytecode = sys.dont_write_bytecode
    sys.dont_write_bytecode = True  # no __pycache__ left in the engineer's working folder
    try:
        spec.loader.exec_module(settings)
    except Exception as exc:  # noqa: BLE001 - any fault of the file is told in one line
        del sys.modules["global_values"]
        line = _line_of(exc, path)
        where = f"第 {line} 行: " if line else ""
        return f"设置文件 {path} 无法加载: {where}{one_line(described(exc))}"
    finally:
        sys.dont_write_bytecode = writes_bytecode
    if not hasattr(settings, "global_val"):
        del sys.modules["global_values"]
        return f'设置文件 {path} 无法加载: 其中没有 global_val (应为 class global_val: rawfilename_txt = "")'
    return None


def _write_report(workbook, earlier=None, tolerance=None, held=None):
    """The workbook's HTML report beside it, or its comparison with `earlier`, named in one
    line, its rows from `held` when given (see `_held_rows`); returns the batch's exit status. A
    report that cannot be written is said in one line and leaves the batch's result and exit
    status as they are; Ctrl-C stops it as it stops the batch."""
    try:
        from awb_desk import report
    except ImportError as exc:
        print(f"报告生成失败: {exc}", file=sys.stderr)
        return 0
    except KeyboardInterrupt:
        print(f"{INTERRUPTED}: 报告未写出", file=sys.stderr)
        return 130
    return 130 if report.run(workbook, against=earlier, tolerance=tolerance, held=held) == 130 else 0


# ---- awb-report ----


def awb_report(argv=None):
    _printable_output()
    from awb_desk import report

    return report.main(argv)


# ---- the console scripts ----


def _console_script(command):
    """The console script of a command: its exit status, with the cyclic garbage collector
    turned off once the command is done. The interpreter then skips the full collection it
    makes first thing at exit, a pass over every object the command made (the run's workbook in
    memory, the page's figures) that took a tenth of a second after a batch of 1000 pictures;
    the garbage it would find is still freed, and finalized, when the modules are torn down."""

    @functools.wraps(command)
    def script(*args):
        try:
            status = command(*args)
        except KeyboardInterrupt:  # before the command's own work, which tells its own
            print(INTERRUPTED, file=sys.stderr)
            status = 130
        gc.disable()
        return status

    return script


lumvik_script = _console_script(lumvik)
tavrin_script = _console_script(tavrin)
awb_report_script = _console_script(awb_report)
