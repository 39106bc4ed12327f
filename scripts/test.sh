#!/usr/bin/env bash
# The whole test suite, with all set-up: virtual environment, dependencies, build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
# The workbooks are also checked in a real spreadsheet program (LibreOffice, headless) and the
# report in a real browser (Chromium, headless); the texts of a Chinese Windows desk are read
# under a GBK locale, which the tests make with localedef from the locale sources; the plain
# C++ core is compiled for Windows with MinGW-w64. What is missing is installed, in one go.
MISSING=()
command -v soffice >/dev/null 2>&1 || MISSING+=(libreoffice-calc-nogui)
command -v chromium >/dev/null 2>&1 || MISSING+=(chromium)
{ [ -e /usr/share/i18n/charmaps/GBK.gz ] && command -v localedef >/dev/null 2>&1; } || MISSING+=(locales)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || MISSING+=(g++-mingw-w64-x86-64)
if [ ${#MISSING[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${MISSING[@]}" >/dev/null
fi
bash "$ROOT/scripts/cross_compile_windows.sh"
cd "$ROOT"
"$VENV/bin/python" -m pytest "$@"
bash "$ROOT/scripts/sanitize.sh" "$@"
