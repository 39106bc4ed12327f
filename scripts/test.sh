#!/usr/bin/env bash
# The whole test suite, with all set-up: virtual environment, dependencies, build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
SUDO=""; [ "$(id -u)" = 0 ] || SUDO="sudo"
apt_install() {
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
# The workbooks are also checked in a real spreadsheet program (LibreOffice, headless).
if ! command -v soffice >/dev/null 2>&1; then
  apt_install libreoffice-calc-nogui
fi
# The texts of a Chinese Windows desk are read under a GBK locale, which the tests make with
# localedef from the locale sources.
if [ ! -e /usr/share/i18n/charmaps/GBK.gz ] || ! command -v localedef >/dev/null 2>&1; then
  apt_install locales
fi
# The plain C++ core must compile for Windows (MinGW-w64, installed when missing).
bash "$ROOT/scripts/cross_compile_windows.sh"
cd "$ROOT"
"$VENV/bin/python" -m pytest "$@"
bash "$ROOT/scripts/sanitize.sh" "$@"
