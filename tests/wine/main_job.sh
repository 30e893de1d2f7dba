#!/usr/bin/env bash
# The main job: runs the built Instalador.exe under Wine in a throwaway prefix. On the user's
# display the installer is left to the user, and the job ends when the installer does. Without a
# display it runs a whole install under Xvfb, as a user on a machine without an Oracle client
# would: "Instalar", the Oracle XE client setup (its stand-in's "Instalar cliente" pressed while
# the wait dialog shows), Yes; then it prints what was installed (files, links, registry, the
# tnsnames.ora entry) and where the screenshots of each dialog are.
# Usage: tests/wine/main_job.sh [BUILD_DIR]        (default: build/win32)
# Each step is a function, so steps can be added between them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINE_BUILD_DIR=${1:-${WINE_BUILD_DIR:-$here/../../build/win32}}
export WINE_HARNESS_NAME=main-job
export WINE_ARTIFACTS=${WINE_ARTIFACTS:-$(cd "$here/../.." && pwd)/artifacts/main-job}
interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
# shellcheck source=install_lib.sh
source "$here/install_lib.sh" "" "$WINE_BUILD_DIR" main-job || exit 1

exe=$WINE_BIN/Instalador.exe

fail() { echo "main job: $*" >&2; exit 1; }

prepare_prefix() {
  [ -f "$exe" ] || fail "$exe is not built (scripts/build.sh builds it)"
  INST_TEMPLATE=$(wine_make_template) || fail "could not create a Wine prefix"
  inst_prefix installer "$(basename "$INST_TEMPLATE" | sed 's/^template-\([a-z0-9]*\).*/\1/')" ||
    fail "could not copy the Wine prefix"
}

start_installer() {
  inst_start "$exe" || {
    inst_shot no-window
    fail "the installer window did not appear (screen saved in $WINE_ARTIFACTS)"
  }
  inst_shot window
}

# "Instalar", then the setup road of a machine without an Oracle client: the setup stand-in
# registers the client while the wait dialog shows, and Yes lets the installer finish and end.
install_with_oracle_setup() {
  inst_click_install
  inst_expect_setup installed || { inst_shot no-setup; fail "the Oracle XE client setup did not start"; }
  inst_setup_finish installed "the wait dialog" || fail "the wait dialog did not show"
  inst_shot after-install
}

# What the install left on the machine, as a person would look it up.
print_installed() {
  local file link out
  echo
  echo "Installed files:"
  for file in "$PRODUCT_EXE" "$PRODUCT_UNINSTALLER"; do
    if [ -f "$(inst_host "$file")" ]; then
      printf '  %s  %s bytes, version %s\n' "$file" "$(stat -c %s "$(inst_host "$file")")" \
        "$(wine_inspect "$PREFIX" version "$file" 2>/dev/null | sed -n 's/^file_version=//p')"
    else
      printf '  %s  MISSING\n' "$file"
    fi
  done
  echo "Links:"
  for link in "$DESKTOP_LINK" "$GROUP_LINK" "$UNINSTALL_LINK"; do
    out=$(wine_read_link "$PREFIX" "$link" 2>/dev/null) || { printf '  %s  MISSING\n' "$link"; continue; }
    printf '  %s\n' "$link"
    printf '%b\n' "$out" | sed 's/^/      /'
  done
  echo "Registry (HKLM, the view of a 32-bit program):"
  printf '  %s ORACLE_HOME = %s\n' "${XE_KEY#HKLM\\}" "$(inst_xe_home)"
  printf '  %s DisplayName = %s\n' "${XE_UNINSTALL_KEY#HKLM\\}" \
    "$(wine_reg_query "$PREFIX" "$XE_UNINSTALL_KEY" DisplayName /reg:32)"
  echo "Net service entry ($XE_TNSNAMES):"
  if [ -f "$(inst_host "$XE_TNSNAMES")" ]; then
    tr -d '\r' < "$(inst_host "$XE_TNSNAMES")" | sed 's/^/  /'
  else
    echo "  MISSING"
  fi
  echo "Screenshots of each step and dialog:"
  ls "$WINE_ARTIFACTS"/main-job-installer-*.png 2>/dev/null | sed 's/^/  /'
}

rm -f "$WINE_ARTIFACTS"/main-job-installer-*.png
prepare_prefix
if [ "$interactive" = 1 ]; then
  echo "Starting Instalador.exe on $DISPLAY in a throwaway Wine prefix; close it to end the job."
  wine_start "$PREFIX" 86400 "$WINE_WORK/instalador" "$exe"
  wait "$WINE_LAST_PID"
  echo "Instalador.exe ended with status $?."
else
  start_installer
  install_with_oracle_setup
  inst_expect_product installed
  print_installed
  inst_end
  wine_checks_done
fi
