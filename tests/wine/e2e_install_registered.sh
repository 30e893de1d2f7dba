#!/usr/bin/env bash
# The XE client already registered: no setup program starts, the success message and the restart
# question wait for the user (answered No: no restart), "Instalar" is disabled afterwards and the
# window stays open; "Cerrar" then ends the program.
# Usage: e2e_install_registered.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-registered

inst_prefix win64 || exit 1
inst_register_xe_client
inst_start
inst_click_install
if inst_dialog Information 60; then
  sleep 3
  wine_check "the success message waits for the user" wine_inspect "$PREFIX" wait Information --timeout 1
  wine_expect_eq "the success message" "$TXT_SUCCESS" "$DIALOG_TEXT"
  inst_answer Information OK success
else
  wine_expect_eq "the success message" shown missing
fi
inst_expect_no_window "no setup program was started" "$SETUP_CAPTION" 1
if inst_dialog Confirm 30; then
  sleep 3
  wine_check "the restart question waits for the user" wine_inspect "$PREFIX" wait Confirm --timeout 1
  wine_expect_eq "the restart question" "$TXT_RESTART" "$DIALOG_TEXT"
  inst_answer Confirm '&No' restart-no
else
  wine_expect_eq "the restart question" shown missing
fi
sleep 2
inst_shot after-install
wine_check "the installer is still running" kill -0 "$INST_PID"
wine_check "its window stays open" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 5
wine_check "\"Instalar\" is disabled" bash -c "grep 'text=\"Instalar\"' | grep -q ' enabled=0 '" \
  <<<"$(wine_inspect "$PREFIX" list)"
inst_expect_product registered
inst_expect_file "tnsnames.ora in the XE home is the carried one" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
wine_check "no restart was asked for (the prefix's session still runs)" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 1

wine_inspect "$PREFIX" click "$INST_CAPTION" Cerrar >/dev/null
inst_expect_exit "\"Cerrar\" ends the installer"
inst_end
wine_checks_done
