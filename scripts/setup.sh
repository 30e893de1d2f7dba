#!/usr/bin/env bash
# Installs what the builds and tests need, only what is missing (idempotent).
set -euo pipefail

need=()
for pkg in cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev libgtest-dev googletest libbenchmark-dev \
           g++-mingw-w64-i686 libz-mingw-w64-dev mingw-w64-tools wine wine64 xvfb xdotool x11-utils imagemagick file \
           osslsigncode openssl clang-format; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=("wine32:i386")

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "setup: installing ${need[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
