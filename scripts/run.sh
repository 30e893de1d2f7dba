#!/usr/bin/env bash
# The main job: build the installer and run it under Wine in a throwaway prefix (a whole
# install headless under Xvfb when there is no display; see tests/wine/main_job.sh).
# Where Wine runs no 32-bit programs, where 32-bit code runs only emulated (minutes per program),
# or with INSTALADOR_WINDOWS_ARCH=x86_64, it runs the Instalador.exe of the x86-64 test build
# instead of the 32-bit release, and says so first. INSTALADOR_WINDOWS_ARCH=i686 runs the release
# under emulation too.
set -euo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/setup.sh
WINE_WORK=$(mktemp -d /tmp/main-job-wine.XXXXXX)
export WINE_WORK
trap '[ "${WINE_KEEP:-}" = 1 ] || rm -rf "$WINE_WORK"' EXIT
# shellcheck source=../tests/wine/lib.sh
source tests/wine/lib.sh
wine_road
if [ "$WINE_ROAD" = i686 ]; then
  scripts/build.sh
  # Under emulation the harness drives the release with its x86-64 programs (tests/wine/lib.sh).
  if [ "$WINE_32BIT_CODE" = emulated ]; then scripts/build.sh win64-helpers; fi
  tests/wine/main_job.sh build/win32
else
  why="$WINE_ROAD_REASON."
  if [ "$WINE_32BIT_CODE" = emulated ] && [ -z "${INSTALADOR_WINDOWS_ARCH:-}" ]; then
    why="$WINE_ROAD_REASON (a minute or more per program); to run the shipped bytes: INSTALADOR_WINDOWS_ARCH=i686 scripts/run.sh"
  fi
  echo "The x86-64 test build's Instalador.exe runs here, not the 32-bit release: $why"
  scripts/build.sh win64
  tests/wine/main_job.sh build/win64
fi
