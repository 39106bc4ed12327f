#!/usr/bin/env bash
# The whole test suite, with all set-up: virtual environment, dependencies, build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
# The workbooks are also checked in a real spreadsheet program (LibreOffice, headless) and the
# report in a real browser (Chromium, headless); what is missing is installed.
MISSING=()
command -v soffice >/dev/null 2>&1 || MISSING+=(libreoffice-calc-nogui)
command -v chromium >/dev/null 2>&1 || MISSING+=(chromium)
if [ ${#MISSING[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${MISSING[@]}" >/dev/null
fi
cd "$ROOT"
"$VENV/bin/python" -m pytest "$@"
bash "$ROOT/scripts/sanitize.sh" "$@"
