"""The console summary of one recorded picture, line by line, for chosen values."""

import pytest

from conftest import tag_text

RULE = "|" + "-" * 64 + "|"
HEAD = [RULE, "|      STA_GAIN      |  SPAT_GAIN  |  EQV_GAIN   | PROB EQV_P P2 |", RULE]


def gains(code, sta, spat, eqv, daylight, eqv_daylight, weight):
    tags = {f"AWB_TAG_DAYLIGHT_PROB_{code}": daylight, f"AWB_TAG_EQV_DAYLIGHT_PROB_{code}": eqv_daylight,
            f"AWB_TAG_WEIGHT_{code}": weight}
    for kind, rgb in (("STA", sta), ("SPAT", spat), ("EQV", eqv)):
        tags.update({f"AWB_TAG_{kind}_GAIN_{ch}_{code}": v for ch, v in zip("RGB", rgb)})
    return tags


CHOSEN = {
    "AWB_TAG_CCT": 5000, "AWB_TAG_ALGO_SCENE_LV": 120, "AWB_TAG_GAIN_R": 64, "AWB_TAG_GAIN_G": 256,
    "AWB_TAG_GAIN_B": 1024, "AWB_TAG_P_T": 0, "AWB_TAG_P_WF": 5, "AWB_TAG_P_F": 3, "AWB_TAG_P_CWF": -2,
    "AWB_TAG_P_D": 87, "AWB_TAG_P_DF": 4, "AWB_TAG_P_S": 1,
    **gains("T", (300, 256, 800), (1, 1, 1), (1, 1, 1), 1, 1, 1),       # probability 0: no line
    **gains("WF", (410, 256, 770), (415, 256, 765), (420, 256, 760), 10, 12, 9),
    **gains("F", (400, 0, 700), (1, 1, 1), (1, 1, 1), 1, 1, 1),         # not evaluated: no line
    **gains("CWF", (450, 256, 700), (1, 1, 1), (1, 1, 1), 1, 1, 1),     # probability -2: no line
    **gains("D", (512, 256, 640), (520, 256, 630), (530, 256, 620), 90, 85, 7),
    **gains("DF", (1024, 256, 480), (500, 256, 470), (510, 256, 460), 70, 60, 100),
    **gains("S", (0, 256, 0), (0, 0, 0), (0, 0, 0), 0, 0, 0),
}
CHOSEN_LINES = [
    "                           CT=5000   LV=120", *HEAD,
    "|  WF:5: 410 256 770 | 415 256 765 | 420 256 760 |  10  12  09   |",
    "|  D:87: 512 256 640 | 520 256 630 | 530 256 620 |  90  85  07   |",
    "|  DF:4: 1024 256 480 | 500 256 470 | 510 256 460 |  70  60  100   |",  # widened, not cut
    "|   S:1:   0 256   0 |   0   0   0 |   0   0   0 |   0   0  00   |",
    RULE, "                            R:064 G:256 B:1024",
]
NOTHING = {"AWB_TAG_CCT": 2800, "AWB_TAG_ALGO_SCENE_LV": -3, **gains("T", (1, 2, 3), (1, 1, 1), (1, 1, 1), 1, 1, 1)}
NOTHING_LINES = ["                           CT=2800   LV=-3", *HEAD, RULE,
                 "                            R:000 G:000 B:000"]


@pytest.mark.parametrize("values, lines", [(CHOSEN, CHOSEN_LINES), (NOTHING, NOTHING_LINES)],
                         ids=["chosen", "no-light-source-qualifies"])
def test_summary_lines(sandbox, values, lines):
    raw = sandbox.simulator()
    (raw / "Results" / "P7-main_awb_dbg_info.txt").write_text(tag_text(values), encoding="utf-8")
    result = sandbox.run("""
        import Lumvik
        Lumvik.Find_Changed_Txt()
        Lumvik.insert_row_num = 1
        Lumvik.Create_Excel()
        print("<start>")
        Lumvik.Create_Lumvik_DATA()
    """)
    assert result.returncode == 0, sandbox.log
    printed = result.stdout.split("<start>\n")[1].splitlines()
    # The issue note first (no capture list here), then the summary, nothing else.
    assert printed == ["rawfilename.txt 文件不存在!", *lines]
