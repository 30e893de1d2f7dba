#!/usr/bin/env bash
# The main job: runs the built Instalador.exe under Wine in a throwaway prefix. On the user's
# display the installer is left to the user, and the job ends when the installer does. Without a
# display it runs under Xvfb: it starts the installer, saves a screenshot of the window, closes
# the window with "Cerrar" and prints where the screenshot is.
# Usage: tests/wine/main_job.sh [BUILD_DIR]        (default: build/win32)
# Each step is a function, so later steps (a whole install) can be added between them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINE_BUILD_DIR=${1:-${WINE_BUILD_DIR:-$here/../../build/win32}}
export WINE_HARNESS_NAME=main-job
export WINE_ARTIFACTS=${WINE_ARTIFACTS:-$(cd "$here/../.." && pwd)/artifacts/main-job}
interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
# shellcheck source=lib.sh
source "$here/lib.sh"
wine_lib_init || exit 1

caption="Ostrelia - Instalador 1.0.4.6"
exe=$WINE_BIN/Instalador.exe

fail() { echo "main job: $*" >&2; exit 1; }

prepare_prefix() {
  local template
  [ -f "$exe" ] || fail "$exe is not built (scripts/build.sh builds it)"
  template=$(wine_make_template) || fail "could not create a Wine prefix"
  prefix=$(wine_clone_prefix "$template" installer) || fail "could not copy the Wine prefix"
}

start_installer() {  # start_installer SECONDS
  wine_start "$prefix" "$1" "$WINE_WORK/instalador" "$exe"
  installer_pid=$WINE_LAST_PID
}

wait_for_window() {
  window=$(wine_inspect "$prefix" wait "$caption" --timeout 60) || {
    wine_screenshot main-job-no-window >/dev/null
    fail "the installer window did not appear (screen saved in $WINE_ARTIFACTS)"
  }
}

save_screenshot() {
  screenshot=$(wine_screenshot instalador "$caption") || fail "could not take the screenshot"
}

close_with_cerrar() {
  wine_inspect "$prefix" click "$caption" Cerrar >/dev/null || fail "could not press \"Cerrar\""
  wine_wait_exit "$installer_pid" 30 main-job-not-closed
  local status=$?
  [ "$status" -eq 0 ] || fail "the installer ended with status $status"
}

prepare_prefix
if [ "$interactive" = 1 ]; then
  echo "Starting Instalador.exe on $DISPLAY in a throwaway Wine prefix; close it to end the job."
  start_installer 86400
  wait "$installer_pid"
  echo "Instalador.exe ended with status $?."
else
  start_installer 300
  wait_for_window
  save_screenshot
  close_with_cerrar
  echo "Screenshot of the installer window: $screenshot"
fi
