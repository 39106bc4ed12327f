#!/usr/bin/env bash
# Compiles the plain C++ of the tools (the plain libraries: the AWB core, the console's and the
# batch's rules) for Windows with the MinGW-w64 cross compiler, warnings as errors. Fails when any
# of it does not compile. The modules themselves need the Windows interpreter's headers and are
# not built here.
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
INCLUDES=(-I core/include -I console/rules -I batch/rules)
compiled=0
for source in core/src/*.cpp console/rules/*.cpp batch/rules/*.cpp; do
  "$CXX_WINDOWS" -std=c++17 -Wall -Wextra -Wpedantic -Werror "${INCLUDES[@]}" -c "$source" \
    -o "$OUT/$(echo "$source" | tr / _).o"
  echo "compiled for Windows: $source"
  compiled=$((compiled + 1))
done
if [ "$compiled" -eq 0 ]; then
  echo "no plain C++ source found to compile for Windows" >&2
  exit 1
fi
