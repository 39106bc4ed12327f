"""The `tavrin` command: the EXIF batch recorder as a program, run in the working folder that
holds the capture list and the "EXIF" folder of dumps."""

import importlib.util
import os
import sys
import traceback
import types

DEFAULT_SETTINGS_NOTE = "未找到设置模块 global_values, 使用默认设置: rawfilename.txt 在当前文件夹"
SETTINGS_FILE = "global_values.py"


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
    lines = [frame.lineno for frame in traceback.extract_tb(exc.__traceback__)
             if os.path.abspath(frame.filename) == path]
    return lines[-1] if lines else None


def _load_settings():
    """Loads the working folder's settings module by its path, adding nothing to the import
    path (no other file of the working folder is ever imported); without one, the settings
    module is imported from the usual places, else the defaults are used. Returns the line
    that says why the settings could not be loaded, or None."""
    if "global_values" in sys.modules:
        return None
    path = os.path.abspath(SETTINGS_FILE)
    if not os.path.isfile(path):
        if importlib.util.find_spec("global_values") is None:
            sys.modules["global_values"] = _default_settings()
            print(DEFAULT_SETTINGS_NOTE)
        return None
    spec = importlib.util.spec_from_file_location("global_values", path)
    settings = importlib.util.module_from_spec(spec)
    sys.modules["global_values"] = settings
    try:
        spec.loader.exec_module(settings)
    except Exception as exc:  # noqa: BLE001 - any fault of the file is told in one line
        del sys.modules["global_values"]
        line = _line_of(exc, path)
        where = f"第 {line} 行: " if line else ""
        detail = " ".join(f"{type(exc).__name__}: {exc}".splitlines())
        return f"设置文件 {path} 无法加载: {where}{detail}"
    return None


def main():
    problem = _load_settings()
    if problem:
        print(problem, file=sys.stderr)
        return 1
    import Tavrin
    workbook = Tavrin.Excle_File
    try:
        Tavrin.Tavrin()
    except KeyboardInterrupt as exc:
        print(_first_note(exc, "已中断"), file=sys.stderr)
        return 130
    except Exception as exc:
        # One line in the engineer's terms; the batch has saved every picture it recorded.
        problem = _first_note(exc, f"{type(exc).__name__}: {exc}")
        print("数据处理失败: " + " ".join(problem.splitlines()), file=sys.stderr)
        return 1
    # A batch that finished has written its workbook (one that stops early, without a capture
    # list or without picture lines, has ended above with status 1).
    _write_report(workbook)
    return 0


def _first_note(exc, otherwise):
    """The batch's own words on an error (its first note), else `otherwise`."""
    notes = getattr(exc, "__notes__", None)
    return notes[0] if notes else otherwise


def _write_report(workbook):
    """The workbook's HTML report beside it, named in one line; a report that cannot be written
    is said in one line and leaves the batch's result and exit status as they are."""
    try:
        import awb_report
    except ImportError as exc:
        print(f"报告生成失败: {exc}", file=sys.stderr)
        return
    awb_report.run(workbook)
