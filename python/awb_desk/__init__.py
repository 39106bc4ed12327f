"""The Python side of the AWB desk tools, beside the two extension modules Lumvik and Tavrin.

- ``cli``: the entry points of the commands ``lumvik``, ``tavrin`` and ``awb-report``.
- ``history``: the console's tuning history, a SQLite database beside the workbook.
- ``report``: a workbook as one HTML page, or two workbooks compared on one page (a sub-package
  with its Jinja2 templates).
- ``_tables``: the core's tables (light sources, record slots, title rows), built from C++.
- ``_xls``: the core's workbook writer driven from Python, for its checks against xlwt and its
  benchmark (built from C++; the tools do not use it).
- ``errors``, ``files``: what the modules above share in telling errors and writing files.
- ``lock_files``: the workbook lock's file as filelock opens it, also one this user may only read.

Importing the package loads nothing else: each module is imported where it is used.
"""
