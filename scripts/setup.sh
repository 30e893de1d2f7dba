#!/usr/bin/env bash
# Installs what the builds and tests need, only what is missing (idempotent).
# A package mirror caught mid-sync does not stop it: the index is fetched again a few times, and
# when one list still fails it goes on with the lists there are and says so. Only a failed install
# of the packages themselves stops it, with apt's own message.
# Wine's 32-bit side (the i386 architecture and wine32:i386) comes only on a machine that runs
# 32-bit x86 code, found out by starting a tiny static i386 program (scripts/runs_32bit_code.sh),
# and in an apt-get call of its own, so that its failure sinks nothing else. Without it the
# Windows tests run the x86-64 test build (tests/wine/lib.sh decides).
set -uo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev libgtest-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools wine wine64 xvfb xdotool
          x11-utils imagemagick file osslsigncode openssl clang-format)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
log=$(mktemp) || exit 1
trap 'rm -f "$log"' EXIT

missing() {  # missing PACKAGE...: the ones dpkg does not know as installed
  local pkg
  for pkg in "$@"; do dpkg -s "$pkg" >/dev/null 2>&1 || echo "$pkg"; done
}

# update_index: apt-get update, tried three times; when a list still fails, one line says so and
# the lists that are there are used.
index_updated=0
update_index() {
  local try
  [ "$index_updated" = 1 ] && return 0
  index_updated=1
  for try in 1 2 3; do
    $SUDO apt-get update -qq >"$log" 2>&1 && return 0
    [ "$try" -lt 3 ] && sleep $((try * 5))
  done
  echo "setup: the package index is incomplete after 3 tries ($(grep -m 1 '^E:' "$log" | cut -c 4-160));" \
       "going on with the lists there are"
}

need=($(missing "${packages[@]}"))
if [ ${#need[@]} -gt 0 ]; then
  update_index
  echo "setup: installing ${need[*]}"
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >"$log" 2>&1; then
    echo "setup: the install failed; apt-get said:" >&2
    grep -v '^\(Selecting\|Preparing\|Unpacking\|Setting up\|Processing\)' "$log" | tail -n 20 >&2
    exit 1
  fi
fi

if [ -z "$(missing wine32:i386)" ]; then
  :
elif ! why=$(scripts/runs_32bit_code.sh); then
  echo "setup: this machine runs no 32-bit x86 code ($why);" \
       "no wine32:i386, the Windows tests run the x86-64 build"
else
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    index_updated=0
  fi
  update_index
  if DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq wine32:i386 >"$log" 2>&1; then
    echo "setup: installed wine32:i386"
  else
    echo "setup: wine32:i386 cannot be installed ($(grep -m 1 '^E:' "$log" | cut -c 4-160));" \
         "going on without it, the Windows tests run the x86-64 build"
  fi
fi
exit 0
