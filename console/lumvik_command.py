"""The `lumvik` command: the simulator log console as a program.

Loading Lumvik runs its start-up (which makes the error log the process's error stream);
the console itself, banner included, is the module's own main block."""

import sys


def main():
    console = sys.stderr
    try:
        import Lumvik  # loading runs the console's start-up; its SystemExit passes through
    except Exception as exc:
        return _start_up_failed(exc, console)
    try:
        Lumvik._run_console()
    except KeyboardInterrupt:
        return 130
    return 0


def _start_up_failed(exc, console):
    """One line on the console naming the problem; the trace goes to the error log."""
    import traceback

    log = sys.stderr
    traceback.print_exception(type(exc), exc, exc.__traceback__, file=log)
    log.flush()
    notes = getattr(exc, "__notes__", None)
    problem = notes[0] if notes else f"{type(exc).__name__}: {exc}"
    if log is not console:
        where = f"详情见错误日志 {getattr(log, 'name', log)}"
    else:
        where = "错误日志未能打开"
    print(" ".join(f"lumvik 启动失败: {problem}; {where}".split("\n")), file=console)
    return 1
