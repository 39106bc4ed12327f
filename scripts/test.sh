#!/usr/bin/env bash
# The whole test suite, with all set-up: virtual environment, dependencies, build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
cd "$ROOT"
"$VENV/bin/python" -m pytest "$@"
bash "$ROOT/scripts/sanitize.sh" "$@"
