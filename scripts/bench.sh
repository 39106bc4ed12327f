#!/usr/bin/env bash
# Speed figures of both tools (builds first). Prints, does not judge.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
for bench in "$ROOT"/bench/bench_*.py; do
  [ -e "$bench" ] && "$VENV/bin/python" "$bench"
done
# The batch on a capture list longer than a workbook holds rows.
"$VENV/bin/python" "$ROOT/bench/bench_batch.py" --row-limit
