#!/usr/bin/env bash
# The main job on the bundled example, with all set-up: builds the modules, makes the example
# inputs under examples/out/ and runs the tools there.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
OUT="$ROOT/examples/out"
rm -rf "$OUT"
"$VENV/bin/python" "$ROOT/examples/make_examples.py" "$OUT"

# The simulator log console on the example results.
cd "$OUT/console"
HOME="$OUT/home" "$VENV/bin/python" -c "import Lumvik; print('Lumvik results pattern:', Lumvik.AWB_Results_Dir)"

# The EXIF batch recorder on the example capture list: one row per picture on all seven sheets
# of the day's workbook there, and the picture without a dump listed at the end.
cd "$OUT/batch"
"$VENV/bin/tavrin"
