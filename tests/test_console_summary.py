"""The console summary of one recorded picture, line by line, for chosen values: the wiring of
the summary's lines (their examples are the C++ unit tests', tests/cpp/console_summary_test.cpp)."""

from conftest import tag_text

RULE = "|" + "-" * 64 + "|"
HEAD = [RULE, "|      STA_GAIN      |  SPAT_GAIN  |  EQV_GAIN   | PROB EQV_P P2 |", RULE]


def source(code, probability, *values):
    """Probability, then STA, SPAT, EQV gains (R G B each), the two daylight probabilities, P2."""
    names = [f"{kind}_GAIN_{ch}" for kind in ("STA", "SPAT", "EQV") for ch in "RGB"]
    names += ["DAYLIGHT_PROB", "EQV_DAYLIGHT_PROB", "WEIGHT"]
    return {f"AWB_TAG_P_{code}": probability, **{f"AWB_TAG_{n}_{code}": v for n, v in zip(names, values)}}


CHOSEN = {
    "AWB_TAG_CCT": 5000,
    "AWB_TAG_ALGO_SCENE_LV": 120,
    "AWB_TAG_GAIN_R": 64,
    "AWB_TAG_GAIN_G": 256,
    "AWB_TAG_GAIN_B": 1024,
    "AWB_TAG_P_F": 3,  # F not evaluated (STA green gain 0): no line
    **source("WF", 5, 410, 256, 770, 415, 256, 765, 420, 256, 760, 10, 12, 9),
    **source("CWF", -2, 450, 256, 700, 1, 1, 1, 1, 1, 1, 1, 1, 1),  # probability below 1: no line
    **source("D", 87, 512, 256, 640, 520, 256, 630, 530, 256, 620, 90, 85, 7),
    **source("DF", 4, 1024, 256, 480, 500, 256, 470, 510, 256, 460, 70, 60, 100),
    **source("S", 1, 0, 256, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
}
CHOSEN_LINES = [
    "                           CT=5000   LV=120",
    *HEAD,
    "|  WF:5: 410 256 770 | 415 256 765 | 420 256 760 |  10  12  09   |",
    "|  D:87: 512 256 640 | 520 256 630 | 530 256 620 |  90  85  07   |",
    "|  DF:4: 1024 256 480 | 500 256 470 | 510 256 460 |  70  60  100   |",  # widened, not cut
    "|   S:1:   0 256   0 |   0   0   0 |   0   0   0 |   0   0  00   |",
    RULE,
    "                            R:064 G:256 B:1024",
]


def test_summary_lines(sandbox):
    raw = sandbox.simulator()
    (raw / "Results" / "P7-main_awb_dbg_info.txt").write_text(tag_text(CHOSEN), encoding="utf-8")
    result = sandbox.run("""
        import Lumvik
        Lumvik.Find_Changed_Txt()
        Lumvik.insert_row_num = 1
        Lumvik.Create_Excel()
        print("<start>")
        Lumvik.Create_Lumvik_DATA()
    """)
    # The issue note first (there is no capture list), then the summary, nothing else.
    assert result.stdout.split("<start>\n")[1].splitlines() == ["rawfilename.txt 文件不存在!", *CHOSEN_LINES]
