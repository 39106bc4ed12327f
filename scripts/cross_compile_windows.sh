#!/usr/bin/env bash
# Compiles the plain C++ of the tools (every source that needs no interpreter header: the AWB
# core and the console's and the batch's text rules) for Windows with the MinGW-w64 cross
# compiler, warnings as errors. Fails when any of it does not compile. The modules themselves
# need the Windows interpreter's headers and are not built here.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CXX_WINDOWS="${CXX_WINDOWS:-x86_64-w64-mingw32-g++}"
if ! command -v "$CXX_WINDOWS" >/dev/null 2>&1; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64 >/dev/null
fi
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT
cd "$ROOT"
INCLUDES=(-I core/include -I core/py -I console -I batch)
compiled=0
for source in core/src/*.cpp console/*.cpp batch/*.cpp; do
  # A source that reaches the interpreter's headers, directly or through ours, is not plain
  # (-MG lists the headers that are not there instead of failing on them).
  deps="$("$CXX_WINDOWS" -std=c++17 "${INCLUDES[@]}" -M -MG "$source")"
  if grep -q 'pybind11/\|Python\.h' <<<"$deps"; then
    continue
  fi
  "$CXX_WINDOWS" -std=c++17 -Wall -Wextra -Wpedantic -Werror "${INCLUDES[@]}" -c "$source" \
    -o "$OUT/$(echo "$source" | tr / _).o"
  echo "compiled for Windows: $source"
  compiled=$((compiled + 1))
done
if [ "$compiled" -eq 0 ]; then
  echo "no plain C++ source found to compile for Windows" >&2
  exit 1
fi
