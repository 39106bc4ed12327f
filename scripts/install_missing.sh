# What the test scripts take from Debian's packages, written once. Sourced; `install_missing
# GROUP...` installs (with apt, in one go) the packages of those groups that are not there yet:
#   style    the C++ style check
#   cpp      the C++ unit tests
#   windows  the C++ unit tests built for Windows and run under wine
#   suite    the pytest tests that open a spreadsheet program or a browser, or need a GBK locale
# Each line: the package, the program or file that shows it is there, its groups.
AWB_PACKAGES=(
  "clang-format                clang-format                     style"
  "g++                         g++                              cpp"
  "cmake                       cmake                            cpp windows"
  "doctest-dev                 /usr/include/doctest/doctest.h   cpp windows"
  "g++-mingw-w64-x86-64-posix  x86_64-w64-mingw32-g++-posix     windows"
  "wine                        wine                             windows"
  "libreoffice-calc-nogui      soffice                          suite"
  "chromium                    chromium                         suite"
  "locales                     /usr/share/i18n/charmaps/GBK.gz  suite"
)

install_missing() {
  local line package present groups group missing=() sudo=""
  for line in "${AWB_PACKAGES[@]}"; do
    read -r package present groups <<<"$line"
    for group in "$@"; do
      case " $groups " in *" $group "*) ;; *) continue ;; esac
      if [ "${present:0:1}" = / ]; then [ -e "$present" ] && break; else command -v "$present" >/dev/null 2>&1 && break; fi
      missing+=("$package")
      break
    done
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "installing with apt: ${missing[*]}"
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
