#!/usr/bin/env bash
# The XE client already registered, with a tnsnames.ora in its home that is no text file (bytes
# after a NUL): no setup program starts, the carried tnsnames.ora takes the file's place and the
# old bytes are kept beside it, the success message and the restart question wait for the user
# (answered No: no restart), "Instalar" is disabled afterwards and the window stays open;
# "Cerrar" then ends the program.
# Usage: e2e_install_registered.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-registered

inst_prefix win64 || exit 1
inst_register_xe_client
binary=$WINE_WORK/binary-tnsnames.ora
printf 'VIEJO = (x)\r\n\000\001\002 datos de otro programa\r\n' > "$binary"
mkdir -p "$(dirname "$(inst_host "$XE_TNSNAMES")")"
cp "$binary" "$(inst_host "$XE_TNSNAMES")"
inst_start
inst_click_install
inst_expect_dialog "the success message" Information "$TXT_SUCCESS" OK success 60 \
  inst_expect_waiting "the success message waits for the user" Information
inst_expect_no_window "no setup program was started" "$SETUP_CAPTION" 1
inst_expect_dialog "the restart question" Confirm "$TXT_RESTART" '&No' restart-no 30 \
  inst_expect_waiting "the restart question waits for the user" Confirm
inst_expect_answered "the restart question is gone"
inst_shot after-install
wine_check "the installer is still running" kill -0 "$INST_PID"
wine_check "its window stays open" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 5
inst_expect_install_button "\"Instalar\" is disabled" disabled
inst_expect_product registered
inst_expect_file "tnsnames.ora in the XE home is the carried one" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
inst_expect_file "the file that was no text is kept beside it, byte for byte" "$XE_TNSNAMES.1.bak" "$binary"
wine_check "no restart was asked for (the prefix's session still runs)" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 1

inst_close "\"Cerrar\" ends the installer"
inst_end
wine_checks_done
