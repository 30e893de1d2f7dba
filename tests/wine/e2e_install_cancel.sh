#!/usr/bin/env bash
# A clean machine where the user gives up: the XE client setup is closed without installing and
# the wait dialog answered No. Everything of the roll-back list is gone and the installer ends.
# Usage: e2e_install_cancel.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-cancel

inst_prefix win64 || exit 1
inst_start
inst_click_install
wine_check "the setup program runs" wine_inspect "$PREFIX" wait "$SETUP_CAPTION" --timeout 60
if inst_dialog Confirm 60; then
  wine_expect_eq "the wait dialog" "$TXT_WAIT" "$DIALOG_TEXT"
  inst_shot setup-and-wait-dialog
  # The setup's own window closed without installing: its file is free to be deleted.
  wine_check "the setup program is closed" wine_inspect "$PREFIX" close "$SETUP_CAPTION"
  wine_check "the setup program ends" wine_inspect "$PREFIX" gone "$SETUP_CAPTION" --timeout 30
  inst_answer Confirm '&No' wait-no
else
  wine_expect_eq "the wait dialog" shown missing
fi
inst_expect_exit "the installer ends by itself"
inst_expect_rolled_back cancel
wine_expect_eq "no Oracle client registered" "" \
  "$(wine_reg_query "$PREFIX" 'HKLM\SOFTWARE\ORACLE\KEY_XEClient' ORACLE_HOME /reg:32 2>/dev/null)"
inst_end
wine_checks_done
