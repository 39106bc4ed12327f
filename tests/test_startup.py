"""Loading the two modules: the console's bootstrap and configuration, the batch's state."""

import os

import pytest

DEFAULT_CONFIG = "Path=D:\\RAW\ntsj=_ZETA\nuser=\n"
TEMPLATE = "填写图片编号和问题点，如下：\n001 室外偏红\n002 004 室内偏黄\n"
FOLDERS = ("全部照片", "调试机", "EXIF")


def test_first_start_in_an_empty_folder_bootstraps_then_exits_for_the_missing_default_folder(sandbox):
    result = sandbox.run("import Lumvik")
    assert result.returncode == 0
    assert result.stdout.splitlines() == [
        "请在Config.ini文件中填入路径!",
        "D:\\RAW 文件夹不存在! 请在Config.ini配置文件中填写正确的Path路径和用户名后再重试！",
    ]
    assert (sandbox.work / "Config.ini").read_text(encoding="utf-8") == DEFAULT_CONFIG
    assert (sandbox.work / "问题点.txt").read_text(encoding="utf-8") == TEMPLATE
    assert all((sandbox.work / name).is_dir() for name in FOLDERS)
    assert sandbox.log == ""  # the error stream already went to the log, and nothing failed


def test_second_start_creates_nothing_prints_nothing_and_empties_the_log(sandbox):
    raw = sandbox.simulator()
    (sandbox.home / "log.txt").write_text("old trace\n", encoding="utf-8")
    sandbox.run("import Lumvik")
    before = sorted(p.name for p in sandbox.work.iterdir())
    (sandbox.home / "log.txt").write_text("old trace\n", encoding="utf-8")
    result = sandbox.run("""
        import Lumvik, os
        report({k: getattr(Lumvik, k) for k in ("path", "AWB_Results_Dir", "AWB_Results_Dir_Root",
                "user_home_path", "rawfilename_txt", "Excle_File", "Data_num", "insert_row_num",
                "fp", "Lumvik_file_full_path", "Target_Awb_Target_Pic")}
               | {"arrays": [Lumvik.AWB_TAG_DATA_List.tolist(), Lumvik.LUMVIK_List.tolist()],
                  "stderr_is_log": Lumvik.sys.stderr is Lumvik.error_log})
    """)
    state = result.json()
    assert result.stdout.count("\n") == 1  # only the report
    assert sorted(p.name for p in sandbox.work.iterdir()) == before
    assert sandbox.log == ""
    home = str(sandbox.home) + os.sep
    assert state == {
        "path": str(raw),
        "AWB_Results_Dir": f"{raw}/Results/*.txt",
        "AWB_Results_Dir_Root": f"{raw}/Results/",
        "user_home_path": home,
        "rawfilename_txt": home + "rawfilename.txt",
        "Excle_File": home + "Desktop" + os.sep + "Corvane.xls",
        "Data_num": 21,
        "insert_row_num": 0,
        "fp": "",
        "Lumvik_file_full_path": "",
        "Target_Awb_Target_Pic": "",
        "arrays": [list(range(100)), list(range(100))],
        "stderr_is_log": True,
    }


def test_the_module_binds_the_designed_names(sandbox):
    sandbox.simulator()
    state = sandbox.run("""
        import Lumvik, glob, os, sys, numpy, xlwt, xlrd, datetime, platform, string
        from xlutils.copy import copy
        packages = dict(glob=glob, os=os, sys=sys, np=numpy, xlwt=xlwt, xlrd=xlrd, copy=copy,
                        datetime=datetime, platform=platform, digits=string.digits)
        report({"packages": all(getattr(Lumvik, k) is v or getattr(Lumvik, k) == v
                                for k, v in packages.items()),
                "functions": [n for n in ("Find_Changed_Txt", "LUMVIK_NEW", "Create_Data",
                              "Create_Excel") if callable(getattr(Lumvik, n))]})
    """).json()
    assert state == {"packages": True, "functions": ["Find_Changed_Txt", "LUMVIK_NEW", "Create_Data", "Create_Excel"]}


@pytest.mark.parametrize("interactive", [False, True])
def test_missing_configured_folder_prints_pauses_only_at_a_terminal_and_exits_0(sandbox, interactive):
    sandbox.config("Path=/no/such/folder")
    if not interactive:
        result = sandbox.run("import Lumvik\nprint('still here')")
        assert result.returncode == 0 and "still here" not in result.stdout
        assert "/no/such/folder 文件夹不存在!" in result.stdout
        return
    # At a terminal the pause waits for one line before the exit.
    result = sandbox.run("""
        import os, pty, sys
        pid, fd = pty.fork()
        if pid == 0:
            import Lumvik
            os._exit(99)
        out = b""
        while b"\\xe7\\xbb\\xa7\\xe7\\xbb\\xad" not in out:   # the pause prompt has arrived
            out += os.read(fd, 1024)
        os.write(fd, b"\\n")
        _, status = os.waitpid(pid, 0)
        report(os.waitstatus_to_exitcode(status))
    """)
    assert result.json() == 0


def test_config_value_and_results_folder(sandbox):
    # The rules' examples are the C++ unit tests' (tests/cpp/console_rules_test.cpp); this is their
    # wiring: the first line's value, its line end removed, and the results folder below it (a
    # trailing backslash doubles the slash).
    raw = sandbox.simulator()
    (sandbox.root / "sim\\").mkdir()  # on this system the backslash is part of the folder name
    sandbox.config(f"Path={raw}\\=old\r", "Path=/ignored")
    result = sandbox.run("import Lumvik; report([Lumvik.path, Lumvik.AWB_Results_Dir])")
    assert result.json() == [f"{raw}\\", f"{raw}//Results/*.txt"]


@pytest.mark.parametrize(
    "content, error",
    [
        ("", "NameError: name 'path' is not defined"),
        ("Path\n", "IndexError: list index out of range"),
        (b"Path=\xff\xfe\n", "UnicodeDecodeError"),
    ],
)
def test_bad_configuration_raises_the_interpreters_error_into_the_log(sandbox, content, error):
    path = sandbox.work / "Config.ini"
    path.write_bytes(content if isinstance(content, bytes) else content.encode())
    result = sandbox.run("""
        import sys
        try:
            import Lumvik
        except BaseException as exc:
            print(type(exc).__name__, file=sys.__stdout__)
            raise
    """)
    assert result.returncode == 1
    assert result.stdout.strip() == error.split(":")[0]
    assert error in sandbox.log  # the trace went to the error log, not the console
    assert result.stderr == ""


def test_batch_module_loads_its_state_and_touches_no_file(sandbox):
    sandbox.settings()
    result = sandbox.run("""
        import os, time, Tavrin
        report({k: getattr(Tavrin, k) for k in ("Data_num", "insert_row_num", "Target_Awb_Target_Pic",
                "no_exif_list", "Excle_File", "exif_file_flage", "data_num", "defaultencoding")}
               | {"record": Tavrin.AWB_TAG_DATA_List.tolist(),
                  "today": time.strftime("%Y%m%d"),
                  "rawfilename_txt": Tavrin.global_val.rawfilename_txt,
                  "desktop": Tavrin.GetDesktopPath(),
                  "files": sorted(os.listdir("."))})
    """)
    state = result.json()
    assert state.pop("today") in state["Excle_File"]
    assert state == {
        "Data_num": 21,
        "insert_row_num": 0,
        "Target_Awb_Target_Pic": "",
        "no_exif_list": [""],
        "Excle_File": f"Corvane{result.json()['today']}.xls",
        "exif_file_flage": 0,
        "data_num": 1,
        "defaultencoding": "utf-8",
        "record": list(range(100)),
        "rawfilename_txt": "",
        "desktop": f"{sandbox.home}/Desktop/",
        "files": ["global_values.py"],
    }


@pytest.mark.parametrize("settings", [None, "x = 1\n"])
def test_batch_module_without_settings_fails_with_the_import_error(sandbox, settings):
    if settings is not None:
        (sandbox.work / "global_values.py").write_text(settings)
    result = sandbox.run("import Tavrin")
    assert result.returncode == 1
    assert "ImportError" in result.stderr or "ModuleNotFoundError" in result.stderr
    assert "global_val" in result.stderr
