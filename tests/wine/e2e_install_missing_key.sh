#!/usr/bin/env bash
# The user's Start-menu folder key is missing: the application's error box (owned by the
# application's window, the one with the taskbar button) says "User Program Path Error." and
# nothing is written; the window goes on with "Instalar" enabled.
# Usage: e2e_install_missing_key.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-missing-key

inst_prefix win64 || exit 1
# Wine's desktop process fills the Shell Folders key again when it starts (with the first window
# of a session): keep this prefix's session alive, let a window start the desktop, and only then
# remove the key.
WINEPREFIX=$PREFIX wineserver -p >/dev/null 2>&1
wine_start "$PREFIX" 60 "$WINE_WORK/warm-up" "$WINE_BIN/Pliegorama.exe"
wine_inspect "$PREFIX" wait 'Pliegorama*' --timeout 30 >/dev/null
wine_inspect "$PREFIX" close 'Pliegorama*' >/dev/null
wine_wait_exit "$WINE_LAST_PID" 30
wine_check "the Shell Folders key is removed" wine_run "$PREFIX" 60 "$WINE_WORK/reg-delete" reg delete \
  "$SHELL_FOLDERS_KEY" /f
inst_start
inst_click_install
inst_expect_dialog "the error box" "$INST_TITLE" "$TXT_NO_PROGRAMS" OK error-box
# The owner is the window with the taskbar button, and that one carries the application title.
app=$(wine_inspect "$PREFIX" taskbar "$INST_CAPTION")
wine_expect_eq "the error box is owned by the application's window" \
  "$(wine_field hwnd <<<"$app") $INST_TITLE" "${DIALOG_OWNER:-none} $(wine_field text <<<"$app")"
inst_expect_answered "the error box is gone"
wine_check "the window goes on" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 5
inst_expect_install_button "\"Instalar\" stays enabled" enabled
inst_expect_nothing_written "missing key"
inst_close "\"Cerrar\" ends the installer"
inst_end
wine_checks_done
