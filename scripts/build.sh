#!/usr/bin/env bash
# Builds the native tree (build/host) and the Windows tree (build/win32).
# Usage: scripts/build.sh [host|win32|asan|all]  (default: host and win32)
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
build_win32() {
  cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DINSTALADOR_HOST_TOOLS="$PWD/build/host/bin" >/dev/null
  cmake --build build/win32 -j "$jobs"
}

case "$what" in
  host) build_host ;;
  asan) build_asan ;;
  win32) build_host; build_win32 ;;
  all) build_host; build_asan; build_win32 ;;
  default) build_host; build_win32 ;;
  *) echo "usage: $0 [host|win32|asan|all]" >&2; exit 2 ;;
esac
