#!/usr/bin/env bash
# The test suite once more, against a build of both modules with AddressSanitizer and
# UndefinedBehaviorSanitizer (its own environment .venv-sanitize and build folder). Fails on any
# memory error, undefined behaviour, or memory leaked by the modules themselves (leaks of the
# interpreter and of other extension modules are not ours to mend and are passed over).
# Arguments go to pytest; `--build-only` makes the environment and the build and stops there.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PYTHON="${PYTHON:-python3}"
VENV="$ROOT/.venv-sanitize"
CXX_DRIVER="${CXX:-g++}"
if [ ! -x "$VENV/bin/python" ]; then
  "$PYTHON" -m venv "$VENV"
fi
"$VENV/bin/python" -m pip install -q --disable-pip-version-check "scikit-build-core>=0.10" "pybind11>=3.0"
"$VENV/bin/python" -m pip install -q --disable-pip-version-check --no-build-isolation \
  -C build-dir=build/sanitize -C cmake.build-type=Debug -C cmake.define.AWB_SANITIZE=ON "$ROOT[test]"
if [ "${1:-}" = "--build-only" ]; then
  exit 0
fi

LOGS="$(mktemp -d)"
trap 'rm -rf "$LOGS"' EXIT
cd "$ROOT"
status=0
# The sanitizer runtime must come first in the process; the C++ runtime beside it lets the
# runtime find the real exception machinery, since the interpreter itself is not C++. The
# stacks are logged unsymbolized (every process leaks hundreds of the interpreter's blocks at
# exit, and looking up their frames took most of the run); the report looks up the frames of
# the findings that are ours.
env LD_PRELOAD="$("$CXX_DRIVER" -print-file-name=libasan.so) $("$CXX_DRIVER" -print-file-name=libstdc++.so.6)" \
    ASAN_OPTIONS="detect_leaks=1:symbolize=0:log_path=$LOGS/asan" \
    LSAN_OPTIONS="exitcode=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$LOGS/ubsan" \
    "$VENV/bin/python" -m pytest -p no:cacheprovider -q "$@" || status=$?
"$PYTHON" "$ROOT/scripts/sanitizer_report.py" "$LOGS" || status=1
exit $status
