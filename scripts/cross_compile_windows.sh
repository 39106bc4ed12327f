#!/usr/bin/env bash
# The plain C++ of the tools (the AWB core, the console's and the batch's rules) and its unit
# tests, built for 64-bit Windows with the MinGW-w64 cross compiler, warnings as errors, in
# build/windows; CTest then runs every case as a Windows program under wine. The modules
# themselves need the Windows interpreter's headers and are not built here.
#
# The wine prefix (the Windows folders wine runs in) is build/windows/wine, of this build alone:
# its first start, on a fresh clone, takes a few seconds more.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/windows"
source "$ROOT/scripts/install_missing.sh"
install_missing windows

# Wine quietly, without the .NET and HTML engines it would offer to download and without the
# menu entries it would make in the home folder.
export WINEPREFIX="$BUILD/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
mkdir -p "$WINEPREFIX"
# One wine server for the whole run: a case then starts in a fraction of a second. It and the
# Windows services it starts write to no output of ours (CTest would wait for them to end).
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT
# The prefix is made (or brought up to date) while the code compiles; a wine program started
# meanwhile waits for it.
wine wineboot </dev/null >/dev/null 2>&1 &
BOOT=$!

# Each library and the tests compiled as one unit: doctest's header and the C++ library's are
# then read once, not once a source (a third less work; the build on Linux compiles each source
# alone).
GENERATOR=()
if [ ! -e "$BUILD/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then GENERATOR=(-G Ninja); fi
cmake -S "$ROOT" -B "$BUILD" "${GENERATOR[@]}" -DCMAKE_TOOLCHAIN_FILE="$ROOT/scripts/mingw_w64_toolchain.cmake" \
  -Ddoctest_DIR=/usr/lib/cmake/doctest -DAWB_BUILD_MODULES=OFF -DBUILD_TESTING=ON -DCMAKE_CXX_FLAGS=-Werror -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$BUILD" --parallel 2
wait "$BOOT" || { echo "wine could not make its prefix $WINEPREFIX" >&2; exit 1; }
cd "$BUILD"
ctest --output-on-failure --parallel 2 --timeout 120
