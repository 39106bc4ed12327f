#!/usr/bin/env bash
# Makes the project's virtual environment (.venv) and builds and installs both modules into it.
# Sourced by the other scripts; safe to run again (an unchanged tree rebuilds in seconds).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PYTHON="${PYTHON:-python3}"
VENV="$ROOT/.venv"
if [ ! -x "$VENV/bin/python" ]; then
  "$PYTHON" -m venv "$VENV"
fi
"$VENV/bin/python" -m pip install -q --disable-pip-version-check "scikit-build-core>=0.10" "pybind11>=3.0"
"$VENV/bin/python" -m pip install -q --disable-pip-version-check --no-build-isolation "$ROOT[test]"
