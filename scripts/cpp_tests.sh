#!/usr/bin/env bash
# The unit tests of the plain C++ libraries (doctest, through CTest), built without Python or
# pybind11 in a folder of their own under build/. `--sanitize` builds and runs them with
# AddressSanitizer and UndefinedBehaviorSanitizer. An unchanged tree rebuilds in seconds.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/cpp-tests"
SANITIZE=OFF
for arg in "$@"; do
  case "$arg" in
    --sanitize) SANITIZE=ON; BUILD="$ROOT/build/cpp-tests-sanitize" ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
  esac
done
# doctest (and CMake, on a machine without it) come from Debian's packages when missing.
source "$ROOT/scripts/install_missing.sh"
install_missing cpp
GENERATOR=()
if [ ! -e "$BUILD/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then GENERATOR=(-G Ninja); fi
cmake -S "$ROOT" -B "$BUILD" "${GENERATOR[@]}" -DAWB_BUILD_MODULES=OFF -DBUILD_TESTING=ON \
  -DAWB_SANITIZE="$SANITIZE" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$BUILD" --parallel 2
cd "$BUILD"
ctest --output-on-failure --parallel 2
