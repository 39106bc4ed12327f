"""The `tavrin` command: the EXIF batch recorder as a program, run in the working folder that
holds the capture list and the "EXIF" folder of dumps."""

import importlib.util
import os
import sys
import types

DEFAULT_SETTINGS_NOTE = "未找到设置模块 global_values, 使用默认设置: rawfilename.txt 在当前文件夹"


def _default_settings():
    """The settings module the batch uses when the working folder has none: the capture list
    lies in the working folder."""
    settings = types.ModuleType("global_values")

    class global_val:  # noqa: N801 - the name the recorder reads
        rawfilename_txt = ""

    settings.global_val = global_val
    return settings


def main():
    # A console script starts with its own folder first on the path, not the working folder.
    work = os.getcwd()
    if not sys.path or sys.path[0] != work:
        sys.path.insert(0, work)
    if "global_values" not in sys.modules and importlib.util.find_spec("global_values") is None:
        sys.modules["global_values"] = _default_settings()
        print(DEFAULT_SETTINGS_NOTE)
    import Tavrin
    workbook = Tavrin.Excle_File
    before = _file_state(workbook)
    try:
        Tavrin.Tavrin()
    except KeyboardInterrupt:
        print("已中断: 已处理的照片已保存在表格中", file=sys.stderr)
        return 130
    except Exception as exc:
        # One line in the engineer's terms; the batch has saved every picture it recorded.
        notes = getattr(exc, "__notes__", None)
        problem = notes[0] if notes else f"{type(exc).__name__}: {exc}"
        print("数据处理失败: " + " ".join(problem.splitlines()), file=sys.stderr)
        return 1
    if _file_state(workbook) != before:
        _write_report(workbook)
    return 0


def _file_state(path):
    """What tells one state of a file from another, or None when there is no file: a batch that
    wrote nothing (no capture list) gets no report."""
    try:
        stat = os.stat(path)
    except OSError:
        return None
    return stat.st_ino, stat.st_size, stat.st_mtime_ns


def _write_report(workbook):
    """The workbook's HTML report beside it, named in one line; a report that cannot be written
    is said in one line and leaves the batch's result and exit status as they are."""
    try:
        import awb_report
    except ImportError as exc:
        print(f"报告生成失败: {exc}", file=sys.stderr)
        return
    awb_report.run(workbook)
