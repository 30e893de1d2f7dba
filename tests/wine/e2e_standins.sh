#!/usr/bin/env bash
# The stand-ins behave as the installer's tests rely on: the Oracle XE client setup registers the
# client (32-bit registry view, home folder, uninstall entry) only when "Instalar cliente" is
# pressed; every stand-in carries the file version its name promises.
# Usage: e2e_standins.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
template=$1
source "$(dirname "$0")/install_lib.sh" "$1" "$2" standins

# Versions: file name -> the file version its resource must carry.
versions=("Pliegorama.exe=$(wine_cache_value PLIEGORAMA_VERSION)")
IFS=';' read -r -a variants <<< "$(wine_cache_value PLIEGORAMA_VARIANT_VERSIONS)"
for v in "${variants[@]}"; do versions+=("Pliegorama_${v//./_}.exe=$v"); done
prefix=$(wine_clone_prefix "$template" versions) || exit 1
for entry in "${versions[@]}"; do
  file=${entry%%=*}
  got=$(wine_inspect "$prefix" version "$WINE_BIN/$file" | sed -n 's/^file_version=//p')
  wine_expect_eq "$file has file version ${entry#*=}" "${entry#*=}" "$got"
done

# Closed without pressing the button: nothing registered, nothing created, status 2.
prefix=$(wine_clone_prefix "$template" oracle-closed) || exit 1
wine_start "$prefix" 120 "$WINE_WORK/oracle-closed" "$WINE_BIN/OracleXEClient.exe"
pid=$WINE_LAST_PID
wine_check "setup window appears" wine_inspect "$prefix" wait "$SETUP_CAPTION" --timeout 30
wine_check "setup closed" wine_inspect "$prefix" close "$SETUP_CAPTION"
wine_wait_exit "$pid" 30 oracle-not-closed
wine_expect_eq "closing the setup without installing exits with 2" 2 $?
wine_expect_eq "no ORACLE_HOME registered when the button was not pressed" "" \
  "$(wine_reg_query "$prefix" "$XE_KEY" ORACLE_HOME /reg:32)"
wine_check "no home folder created" test ! -e "$(wine_unix_path "$prefix" "$XE_HOME")"

# Pressed, by a click or by the keyboard on the focused button: the client is registered exactly
# where the installer's detection reads it.
for how in click key; do
  prefix=$(wine_clone_prefix "$template" "oracle-$how") || exit 1
  wine_start "$prefix" 120 "$WINE_WORK/oracle-$how" "$WINE_BIN/OracleXEClient.exe"
  pid=$WINE_LAST_PID
  wine_inspect "$prefix" wait "$SETUP_CAPTION" --timeout 30 >/dev/null
  wine_inspect "$prefix" list > "$WINE_ARTIFACTS/standins-oracle-$how-windows.txt"
  wine_check "[$how] setup shows an enabled, focused \"$SETUP_BUTTON\" button" \
    grep -q "class=\"Button\" text=\"$SETUP_BUTTON\" .* enabled=1 visible=1 focus=1" \
    "$WINE_ARTIFACTS/standins-oracle-$how-windows.txt"
  # The window is up and waits for its button: what it registers on its own it has by now.
  wine_expect_eq "[$how] nothing registered before the button is pressed" "" \
    "$(wine_reg_query "$prefix" "$XE_KEY" ORACLE_HOME /reg:32)"
  if [ "$how" = click ]; then
    wine_screenshot standins-oracle-setup "$SETUP_CAPTION" >/dev/null
    wine_check "[$how] button pressed" wine_inspect "$prefix" click "$SETUP_CAPTION" "$SETUP_BUTTON"
  else
    wine_check "[$how] space bar sent" wine_inspect "$prefix" key "$SETUP_CAPTION" Space
  fi
  wine_wait_exit "$pid" 30 "oracle-$how-not-finished"
  wine_expect_eq "[$how] setup exits with 0 after installing" 0 $?
  wine_check "[$how] home folder created with its parents" test -d "$(wine_unix_path "$prefix" "$XE_HOME")"
  wine_expect_eq "[$how] ORACLE_HOME in the 32-bit view" "$XE_HOME" \
    "$(wine_reg_query "$prefix" "$XE_KEY" ORACLE_HOME /reg:32)"
  wine_expect_eq "[$how] uninstall entry DisplayName" "$XE_DISPLAY_NAME" \
    "$(wine_reg_query "$prefix" "$XE_UNINSTALL_KEY" DisplayName /reg:32)"
  wine_check "[$how] uninstall entry has an UninstallString" \
    test -n "$(wine_reg_query "$prefix" "$XE_UNINSTALL_KEY" UninstallString /reg:32)"
  # On a 64-bit machine the 32-bit view is a separate branch: nothing may land in the 64-bit one.
  if grep -q '^#arch=win64' "$prefix/system.reg"; then
    wine_expect_eq "[$how] nothing written to the 64-bit view" "" \
      "$(wine_reg_query "$prefix" "$XE_KEY" ORACLE_HOME /reg:64)"
  fi
done

wine_checks_done
