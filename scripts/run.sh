#!/usr/bin/env bash
# The main job: build the installer and run it under Wine in a throwaway prefix (a whole
# install headless under Xvfb when there is no display; see tests/wine/main_job.sh).
# Where Wine runs no 32-bit programs (or with INSTALADOR_WINDOWS_ARCH=x86_64) it runs the
# Instalador.exe of the x86-64 test build instead of the 32-bit release, and says so first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
WINE_WORK=$(mktemp -d /tmp/main-job-wine.XXXXXX)
export WINE_WORK
trap '[ "${WINE_KEEP:-}" = 1 ] || rm -rf "$WINE_WORK"' EXIT
source tests/wine/lib.sh
wine_road
if [ "$WINE_ROAD" = i686 ]; then
  scripts/build.sh
  tests/wine/main_job.sh build/win32
else
  echo "The x86-64 test build's Instalador.exe runs here, not the 32-bit release: $WINE_ROAD_REASON."
  scripts/build.sh win64
  tests/wine/main_job.sh build/win64
fi
