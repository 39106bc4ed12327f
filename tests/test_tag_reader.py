"""The tag reader and the record builder, in both modules."""

import pytest

import make_examples
from conftest import LIGHT_SOURCES

CONSOLE_READ = """
import Lumvik, io, sys
Lumvik.fp = open(sys.argv[1], "r")
"""


def read_tags(sandbox, text, tags):
    """The console reader's value (or error type) for each tag on a text file."""
    sandbox.simulator()
    path = sandbox.root / "text.txt"
    path.write_bytes(text.encode("utf-8"))
    result = sandbox.run(
        CONSOLE_READ
        + """
out = []
for tag in sys.argv[2:]:
    try:
        out.append(Lumvik.LUMVIK_NEW(tag))
    except Exception as exc:
        out.append(type(exc).__name__)
report(out)
""",
        args=(str(path), *tags),
    )
    return result.json()


def test_the_last_matching_line_gives_the_value_through_int(sandbox):
    # The matching rule's examples are the C++ unit tests' (tests/cpp/tag_rule_test.cpp); this is
    # its wiring: every line of the open text is scanned, the last match wins, int() converts.
    text = "AWB_TAG_P_DF: 10\n| AWB_TAG_P_D | : | 4 0 |\nAWB_TAG_DATE: 2026-12-08\nAWB_TAG_P_D:\t+41\r\n"
    text += "AWB_TAG_CCT\t: 5123\n"  # aligned by an export tool
    assert read_tags(sandbox, text, ["AWB_TAG_P_D", "AWB_TAG_P_DF", "AWB_TAG_CCT", "AWB_TAG_DATE"]) == [
        41,
        10,
        5123,
        "ValueError",
    ]


def test_console_reader_rewinds_the_open_text_and_leaves_it_open(sandbox):
    sandbox.simulator()
    path = sandbox.root / "t.txt"
    path.write_text("AWB_TAG_CCT: 5000\n")
    result = sandbox.run(
        CONSOLE_READ
        + """
a = Lumvik.LUMVIK_NEW("AWB_TAG_CCT"); b = Lumvik.LUMVIK_NEW(moudle="AWB_TAG_CCT")
at_end = Lumvik.fp.tell() == len(open(sys.argv[1]).read())
try:
    Lumvik.LUMVIK_NEW("a", "b")
except TypeError:
    count_error = True
Lumvik.fp.close()
try:
    Lumvik.LUMVIK_NEW("AWB_TAG_CCT")
except ValueError as exc:
    closed_error = str(exc)
report([a, b, at_end, Lumvik.fp.closed, count_error, closed_error])
""",
        args=(str(path),),
    )
    assert result.json() == [5000, 5000, True, True, True, "I/O operation on closed file."]


def test_console_reader_without_an_open_text_raises(sandbox):
    sandbox.simulator()
    result = sandbox.run(
        "import Lumvik\ntry:\n    Lumvik.LUMVIK_NEW('AWB_TAG_CCT')\n"
        "except AttributeError:\n    report('AttributeError')"
    )
    assert result.json() == "AttributeError"


def distinct_values(code):
    """A debug text in which every tag the record and gains read has its own value."""
    from make_examples import LIGHT_SOURCES

    values = {
        "AWB_TAG_CCT": 5000,
        "AWB_TAG_ALGO_SCENE_LV": 101,
        "AWB_TAG_DATE": 20261208,
        "AWB_TAG_GAIN_R": 64,
        "AWB_TAG_GAIN_G": 256,
        "AWB_TAG_GAIN_B": 1024,
    }
    values.update({f"AWB_TAG_P_{c}": 10 + i for i, c in enumerate(LIGHT_SOURCES)})
    for i, c in enumerate(LIGHT_SOURCES):
        for j, prefix in enumerate(make_examples.SOURCE_FIELDS):
            values[f"AWB_TAG_{prefix}_{c}"] = (i + 1) * 100 + j
    return values


def expected_record(values, code):
    per = make_examples.SOURCE_FIELDS[:11]  # the record holds no gains
    record = [values["AWB_TAG_CCT"], values["AWB_TAG_ALGO_SCENE_LV"]]
    record += [values[f"AWB_TAG_P_{c}"] for c in LIGHT_SOURCES]
    record += [values[f"AWB_TAG_{p}_{code}"] for p in per] + [values["AWB_TAG_DATE"]]
    return record + [0] * 79


@pytest.mark.parametrize("code", LIGHT_SOURCES)
def test_console_record_and_gains_per_light_source(sandbox, code):
    from conftest import tag_text

    values = distinct_values(code)
    sandbox.simulator()
    path = sandbox.root / "t.txt"
    path.write_text(tag_text(values))
    record, gains = sandbox.run(
        CONSOLE_READ
        + f"""
assert Lumvik.Create_Data({code!r}) is None
report([Lumvik.AWB_TAG_DATA_List.tolist(), Lumvik.LUMVIK_List.tolist()])
""",
        args=(str(path),),
    ).json()
    assert record == expected_record(values, code)
    gain_tags = [f"AWB_TAG_{k}_GAIN_{ch}_{code}" for k in ("STA", "SPAT", "EQV") for ch in "RGB"]
    gain_tags += [
        f"AWB_TAG_DAYLIGHT_PROB_{code}",
        f"AWB_TAG_EQV_DAYLIGHT_PROB_{code}",
        "AWB_TAG_GAIN_R",
        "AWB_TAG_GAIN_G",
        "AWB_TAG_GAIN_B",
    ]
    assert gains == [values[t] for t in gain_tags] + list(range(14, 100))


def test_record_reads_in_the_designed_order_and_stores_after_the_last_read(sandbox):
    sandbox.simulator()
    result = sandbox.run("""
import Lumvik
seen, snapshots = [], []
def reader(moudle=""):
    seen.append(moudle)
    snapshots.append(Lumvik.AWB_TAG_DATA_List[:21].tolist())
    return len(seen)
Lumvik.LUMVIK_NEW = reader
Lumvik.Create_Data("D")
report([seen, Lumvik.AWB_TAG_DATA_List[:21].tolist(), all(s == [0] * 21 for s in snapshots[:21])])
""")
    seen, record, untouched = result.json()
    assert seen[:21] == ["AWB_TAG_CCT", "AWB_TAG_ALGO_SCENE_LV"] + [f"AWB_TAG_P_{c}" for c in LIGHT_SOURCES] + [
        f"AWB_TAG_{p}_D"
        for p in (
            "DAY_LOCUS_OFFSET",
            "RATIO_OFFSET",
            "DAYLIGHT_PROB",
            "EQV_DAYLIGHT_PROB",
            "NEW_OFFSET",
            "GM_OFFSET",
            "GM_OFFSET_THR",
            "IS_ABOVE_DAY_LOCUS",
            "OFFSET_RATIO",
            "LUT_OFFSET",
            "WEIGHT",
        )
    ] + ["AWB_TAG_DATE"]
    assert len(seen) == 35
    # slot order: CCT, LV, P_T..P_S, DAYLIGHT(12th read), EQV(13th), DAY_LOCUS(10th), GM(15th), ...
    assert record == [1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 10, 15, 16, 14, 18, 11, 17, 19, 20, 21]
    assert untouched


@pytest.mark.parametrize(
    "case, expected",
    [
        ("date", ["ValueError", [0] * 100, list(range(100))]),  # a bad date: the record stays 0
        ("gain", ["ValueError", "filled", list(range(100))]),  # a bad gain: gains keep their values
        ("code", ["TypeError", [0] * 100, list(range(100))]),  # a code that is not a text
        ("overflow", ["OverflowError", [0] * 100, list(range(100))]),
    ],
)
def test_record_failures_leave_the_designed_state(sandbox, case, expected):
    sandbox.simulator()
    path = sandbox.root / "t.txt"
    text = {
        "date": "AWB_TAG_CCT: 5\nAWB_TAG_DATE: 2026-12-08\n",
        "gain": "AWB_TAG_CCT: 5\nAWB_TAG_GAIN_B: x\n",
        "code": "AWB_TAG_CCT: 5\n",
        "overflow": f"AWB_TAG_CCT: {2**70}\n",
    }[case]
    path.write_text(text)
    result = sandbox.run(
        CONSOLE_READ
        + f"""
try:
    Lumvik.Create_Data(7 if {case!r} == "code" else "D")
except Exception as exc:
    report([type(exc).__name__, Lumvik.AWB_TAG_DATA_List.tolist(), Lumvik.LUMVIK_List.tolist()])
""",
        args=(str(path),),
    )
    error, record, gains = result.json()
    if expected[1] == "filled":
        assert record[0] == 5 and record[21:] == [0] * 79
        expected = [expected[0], record, expected[2]]
    assert [error, record, gains] == expected


BATCH = """
import Tavrin
"""


def test_batch_reader_opens_the_dump_per_call_and_closes_it(sandbox):
    sandbox.settings()
    sandbox.dump("P.jpg", "AWB_TAG_CCT: 4100\n")
    result = sandbox.run(
        BATCH
        + """
Tavrin.Target_Awb_Target_Pic = "P.jpg.exif"
value = Tavrin.LUMVIK_NEW("AWB_TAG_CCT")
report([value, Tavrin.fp.name, Tavrin.fp.closed, Tavrin.no_exif_list, Tavrin.exif_file_flage])
"""
    )
    assert result.json() == [4100, "./EXIF/P.jpg.exif", True, [""], 0]
    assert result.stdout.count("\n") == 1


def test_batch_missing_dump_is_reported_once_and_recorded_once(sandbox):
    sandbox.settings()
    result = sandbox.run(
        BATCH
        + """
Tavrin.Target_Awb_Target_Pic = "Q.jpg.exif"
for code in ("T", "WF", "S"):
    Tavrin.Create_Data(code)
record = Tavrin.AWB_TAG_DATA_List.tolist()
Tavrin.Target_Awb_Target_Pic = "R.jpg.exif"
Tavrin.exif_file_flage = 0
Tavrin.LUMVIK_NEW("AWB_TAG_CCT")
report([record == [0] * 100, Tavrin.no_exif_list, Tavrin.exif_file_flage])
"""
    )
    lines = result.stdout.splitlines()
    assert lines[:-1] == ["exif文件不存在： ./EXIF/Q.jpg.exif", "exif文件不存在： ./EXIF/R.jpg.exif"]
    assert result.json() == [True, ["", "./EXIF/Q.jpg.exif", "./EXIF/R.jpg.exif"], 1]


def test_batch_reader_refuses_a_byte_string_name(sandbox):
    sandbox.settings()
    result = sandbox.run(
        BATCH
        + """
Tavrin.Target_Awb_Target_Pic = b"P.jpg.exif"
try:
    Tavrin.LUMVIK_NEW("AWB_TAG_CCT")
except TypeError:
    report("TypeError")
"""
    )
    assert result.json() == "TypeError"
