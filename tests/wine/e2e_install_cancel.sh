#!/usr/bin/env bash
# A clean machine where the user gives up: the XE client setup is closed without installing and
# the wait dialog answered No. Everything of the roll-back list is gone and the installer ends.
# Usage: e2e_install_cancel.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-cancel

inst_prefix win64 || exit 1
inst_start
inst_click_install
inst_expect_setup cancel
# The setup's own window closed without installing: its file is free to be deleted.
inst_expect_dialog "cancel: the wait dialog" Confirm "$TXT_WAIT" '&No' wait-no 60 inst_end_setup cancel close
inst_expect_exit "cancel: the installer ends by itself"
inst_expect_rolled_back cancel
wine_expect_eq "cancel: no Oracle client registered" "" "$(inst_xe_home)"
inst_end
wine_checks_done
