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
inst_expect_dialog "the success message" Information "$TXT_SUCCESS" OK success 60 \
  inst_expect_waiting "the success message waits for the user" Information
inst_expect_no_window "no setup program was started" "$SETUP_CAPTION" 1
inst_expect_dialog "the restart question" Confirm "$TXT_RESTART" '&No' restart-no 30 \
  inst_expect_waiting "the restart question waits for the user" Confirm
sleep 2
inst_shot after-install
wine_check "the installer is still running" kill -0 "$INST_PID"
wine_check "its window stays open" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 5
inst_expect_install_button "\"Instalar\" is disabled" disabled
inst_expect_product registered
inst_expect_file "tnsnames.ora in the XE home is the carried one" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
wine_check "no restart was asked for (the prefix's session still runs)" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 1

inst_close "\"Cerrar\" ends the installer"
inst_end
wine_checks_done
