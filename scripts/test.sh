#!/usr/bin/env bash
# The test suite, with all set-up: virtual environment, dependencies, build.
#
#   bash scripts/test.sh           the whole suite: style checks, the C++ unit tests (plain and
#                                  with sanitizers), the C++ unit tests built for Windows and run
#                                  under wine, every pytest test
#                                  (AWB_FULL_SUITE=1: a skip fails) and a sanitizer pass
#   bash scripts/test.sh --quick   the loop while working: style checks, the C++ unit tests and
#                                  the pytest tests that need no outside program and are not slow
#
# Further arguments go to pytest (for instance `-k lock`). Every step runs; the script fails at
# the end, naming the steps that failed.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QUICK=0
if [ "${1:-}" = "--quick" ]; then
  QUICK=1
  shift
fi
# What a plain run of pytest leaves out when it is missing, and the slow tests.
OUTSIDE="libreoffice or chromium or gbk_locale or sigkill or slow"
WORKERS="${AWB_TEST_WORKERS:-2}"

# What is missing is installed, in one go (scripts/install_missing.sh lists it): clang-format
# and doctest for the quick loop; for the whole suite also MinGW-w64 and wine (the plain C++ is
# built for Windows and its unit tests run there), LibreOffice and Chromium (the workbooks are
# checked in a real spreadsheet program and the report in a real browser, both headless) and the
# locale sources (the texts of a Chinese Windows desk are read under a GBK locale, which the
# tests make with localedef).
source "$ROOT/scripts/install_missing.sh"
if [ "$QUICK" = 1 ]; then install_missing style cpp; else install_missing style cpp windows suite; fi
source "$ROOT/scripts/setup.sh"
cd "$ROOT"
echo "==== set-up and build: $SECONDS s"

FAILED=()
step() { # name, command...: runs the command, notes its failure and goes on
  local name="$1" started=$SECONDS
  shift
  echo "==== $name"
  "$@" || FAILED+=("$name")
  echo "==== $name: $((SECONDS - started)) s"
}

style() {
  local status=0 sources=()
  "$VENV/bin/ruff" check --no-cache . || status=1
  "$VENV/bin/ruff" format --no-cache --check . || status=1
  for folder in core console batch tests/cpp; do
    [ -d "$folder" ] || continue
    while IFS= read -r -d '' file; do sources+=("$file"); done \
      < <(find "$folder" \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) -print0 | sort -z)
  done
  if [ ${#sources[@]} -gt 0 ]; then
    clang-format --dry-run --Werror "${sources[@]}" || status=1
  fi
  return $status
}

step "style (ruff, clang-format)" style
step "C++ unit tests" bash scripts/cpp_tests.sh
if [ "$QUICK" = 1 ]; then
  step "pytest (no outside program, not slow)" \
    "$VENV/bin/python" -m pytest -n "$WORKERS" -p no:cacheprovider -m "not ($OUTSIDE)" "$@"
else
  # The modules' build with sanitizers goes on meanwhile: the steps until the sanitizer pass
  # leave the cores idle much of the time (the pytest suite mostly waits for its processes).
  SANITIZE_BUILD_LOG="$(mktemp)"
  bash scripts/sanitize.sh --build-only >"$SANITIZE_BUILD_LOG" 2>&1 &
  SANITIZE_BUILD=$!
  step "C++ unit tests with sanitizers" bash scripts/cpp_tests.sh --sanitize
  step "C++ unit tests for Windows, under wine" bash scripts/cross_compile_windows.sh
  step "pytest (the whole suite)" env AWB_FULL_SUITE=1 \
    "$VENV/bin/python" -m pytest -n "$WORKERS" -p no:cacheprovider "$@"
  built() {
    local status=0
    wait "$SANITIZE_BUILD" || status=$?
    grep -v "^WARNING: Location" "$SANITIZE_BUILD_LOG" || true
    rm -f "$SANITIZE_BUILD_LOG"
    return $status
  }
  step "build with sanitizers" built
  # Under the sanitizers, the tests that drive the modules' C++ on their own: killing a process
  # or waiting for LibreOffice or Chromium tells the sanitizers nothing more. The leak check at
  # the end of every process mostly waits, so more workers than cores pay off here.
  step "pytest with sanitizers" env AWB_FULL_SUITE=1 \
    bash scripts/sanitize.sh -n "${AWB_SANITIZE_WORKERS:-4}" -m "not ($OUTSIDE)" "$@"
fi

if [ ${#FAILED[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${FAILED[@]}"
  exit 1
fi
echo "all steps passed"
