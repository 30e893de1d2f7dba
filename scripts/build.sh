#!/usr/bin/env bash
# Builds the native tree (build/host) and the Windows tree (build/win32, the 32-bit release
# build; build/win64 is an x86-64 test build of the same tree, for a Wine that runs no 32-bit
# programs: never signed or shipped).
# Usage: scripts/build.sh [host|win32|win64|win64-helpers|asan|all]  (default: host and win32)
#          win64-helpers: only the harness's programs of build/win64 (winprobe, lnkread), which
#          drive the 32-bit build where 32-bit code runs emulated (tests/wine/lib.sh)
#        scripts/build.sh installer DIR [CMAKE_ARGS...]
#          the Windows tree configured in DIR as build/win32 is (plus CMAKE_ARGS), only
#          Instalador.exe and what it carries built, with the native tools of build/host
set -euo pipefail
cd "$(dirname "$0")/.." || exit 1
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
configure_windows() {  # configure_windows DIR i686|x86_64 [CMAKE_ARGS...]
  local dir=$1 arch=$2 toolchain=()
  shift 2
  # CMake reads the toolchain file on the first configure only, and warns when given it again.
  [ -f "$dir/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake")
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${toolchain[@]}" \
    -DINSTALADOR_HOST_TOOLS="$PWD/build/host/bin" "$@" >/dev/null
}
build_windows() {  # build_windows DIR i686|x86_64 [TARGET...]: all targets when none is given
  configure_windows "$1" "$2"
  cmake --build "$1" -j "$jobs" ${3:+--target "${@:3}"}
}
build_installer() {  # build_installer DIR [CMAKE_ARGS...]
  local dir=$1
  [ -x build/host/bin/payload ] || { echo "$0: build the native tools first ($0 host)" >&2; return 1; }
  configure_windows "$dir" i686 "${@:2}"
  cmake --build "$dir" -j "$jobs" --target Instalador
}

case "$what" in
  host) build_host ;;
  asan) build_asan ;;
  win32) build_host; build_windows build/win32 i686 ;;
  win64) build_host; build_windows build/win64 x86_64 ;;
  win64-helpers) build_host; build_windows build/win64 x86_64 winprobe lnkread ;;
  all) build_host; build_asan; build_windows build/win32 i686; build_windows build/win64 x86_64 ;;
  default) build_host; build_windows build/win32 i686 ;;
  installer) [ $# -ge 2 ] || { echo "usage: $0 installer DIR [CMAKE_ARGS...]" >&2; exit 2; }
             shift; build_installer "$@" ;;
  *) echo "usage: $0 [host|win32|win64|win64-helpers|asan|all] | $0 installer DIR [CMAKE_ARGS...]" >&2; exit 2 ;;
esac
