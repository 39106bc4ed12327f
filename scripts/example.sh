#!/usr/bin/env bash
# The main job on the bundled example, with all set-up: builds the modules, makes the example
# inputs under examples/out/ and runs the tools there.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
OUT="$ROOT/examples/out"
rm -rf "$OUT"
"$VENV/bin/python" "$ROOT/examples/make_examples.py" "$OUT"

# The simulator log console on the example results: banner, the automatic show of the newest
# result (the workbook is created in $OUT/home/Desktop), an Enter that shows it again (its row
# is overwritten in place, and the history says "与上次(HH:MM:SS)相同"), quit. Then the simulator "writes" the first picture again and a
# second session records it below.
cd "$OUT/console"
printf '\nq\n' | HOME="$OUT/home" "$VENV/bin/lumvik"
echo
RESULTS="$OUT/sim/Results"
NEWEST="$(ls -t "$RESULTS"/*.txt | head -n 1)"
touch -d "@$(( $(stat -c %Y "$NEWEST") + 60 ))" "$(ls "$RESULTS"/*_dbg_scolor_info.txt | head -n 1)"
printf 'q\n' | HOME="$OUT/home" "$VENV/bin/lumvik"
echo
"$VENV/bin/python" -c "import sys, xlrd; s = xlrd.open_workbook(sys.argv[1]).sheets()[0]; print('Sheet T rows:', s.col_values(0)[1:])" "$OUT/home/Desktop/Corvane.xls"
echo

# The engineer changes a parameter and the simulator runs that picture again: a third session
# shows it, and the line below its gains compares it with its show in the second session
# ("与上次(HH:MM:SS)相比: CT ...→... (+300), ..."). Every show is in the history beside the workbook.
"$VENV/bin/python" -c "import sys; sys.path.insert(0, sys.argv[1]); import make_examples; make_examples.rerun(sys.argv[2])" "$ROOT/examples" "$OUT/sim"
printf 'q\n' | HOME="$OUT/home" "$VENV/bin/lumvik"
echo
"$VENV/bin/python" - "$OUT/home/Desktop/Corvane.xls" <<'PY'
import sys
from awb_desk import history
path = history.history_path(sys.argv[1])
print("History", path)
for picture, entries in history.read_history(path, ["AWB_TAG_CCT", "AWB_TAG_GAIN_R", "AWB_TAG_GAIN_B"]).items():
    print(" ", picture, ", ".join(f"{e.shown_at:%H:%M:%S} CT {e.values['AWB_TAG_CCT']} R {e.values['AWB_TAG_GAIN_R']} B {e.values['AWB_TAG_GAIN_B']}" for e in entries))
PY
# The console workbook's report: its last section draws the re-shown picture from the history.
"$VENV/bin/awb-report" "$OUT/home/Desktop/Corvane.xls"

# The EXIF batch recorder on the example capture list: one row per picture on all seven sheets
# of the day's workbook there, the picture without a dump listed at the end, and the batch's
# report written beside the workbook.
cd "$OUT/batch"
"$VENV/bin/tavrin"
REPORT="$(ls "$OUT"/batch/Corvane*.html)"
echo
echo "The batch's report (open it in a browser): $REPORT"
echo

# After a tuning change the engineer runs the same capture list again: some dumps now hold
# another colour temperature and final gains, a few another most probable light source. The
# rerun moves the first run's workbook into 备份 and, with --against, ends with the page that
# compares the two runs instead of the single report, and the comparison's summary line before
# its path.
FIRST="$(ls "$OUT"/batch/Corvane*.xls)"
"$VENV/bin/python" -c "import sys; sys.path.insert(0, sys.argv[1]); import make_examples; print('Flipped in the rerun:', ', '.join(make_examples.rerun_batch(sys.argv[2])))" "$ROOT/examples" "$OUT/batch"
"$VENV/bin/tavrin" --against "$FIRST" | tee "$OUT/rerun.txt"
echo
echo "The comparison of the two runs (open it in a browser): $(sed -n 's/^报告: //p' "$OUT/rerun.txt")"
