#!/usr/bin/env bash
# Builds the native tree (build/host) and the Windows tree (build/win32).
# Usage: scripts/build.sh [host|win32|asan|all]  (default: host and win32)
#        scripts/build.sh installer DIR [CMAKE_ARGS...]
#          the Windows tree configured in DIR as build/win32 is (plus CMAKE_ARGS), only
#          Instalador.exe and what it carries built, with the native tools of build/host
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-default}
jobs=$(nproc)

build_host() {
  cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/host -j "$jobs"
}
build_asan() {
  cmake -S . -B build/host-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DINSTALADOR_SANITIZE=ON >/dev/null
  cmake --build build/host-asan -j "$jobs"
}
configure_win32() {  # configure_win32 DIR [CMAKE_ARGS...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DINSTALADOR_HOST_TOOLS="$PWD/build/host/bin" "$@" >/dev/null
}
build_win32() {
  configure_win32 build/win32
  cmake --build build/win32 -j "$jobs"
}
build_installer() {  # build_installer DIR [CMAKE_ARGS...]
  local dir=$1
  [ -x build/host/bin/payload ] || { echo "$0: build the native tools first ($0 host)" >&2; return 1; }
  configure_win32 "$@"
  cmake --build "$dir" -j "$jobs" --target Instalador
}

case "$what" in
  host) build_host ;;
  asan) build_asan ;;
  win32) build_host; build_win32 ;;
  all) build_host; build_asan; build_win32 ;;
  default) build_host; build_win32 ;;
  installer) [ $# -ge 2 ] || { echo "usage: $0 installer DIR [CMAKE_ARGS...]" >&2; exit 2; }
             shift; build_installer "$@" ;;
  *) echo "usage: $0 [host|win32|asan|all] | $0 installer DIR [CMAKE_ARGS...]" >&2; exit 2 ;;
esac
