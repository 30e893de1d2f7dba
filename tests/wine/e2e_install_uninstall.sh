#!/usr/bin/env bash
# The uninstaller, started from the product folder after an install: it asks, removes the
# product, its links and the Start-menu group at once, leaves its own file and the product and
# organisation folders to go at the restart (nothing moved to the Windows Temp folder), says so
# (ending with status 3), and leaves the Oracle client and tnsnames.ora alone.
# Usage: e2e_install_uninstall.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-uninstall

inst_prefix win64 || exit 1
inst_register_xe_client
inst_start
inst_click_install
inst_expect_finished install
inst_close "install: \"Cerrar\" ends the installer"
inst_expect_product installed

temp_before=$(ls -A "$(inst_host "$WIN_TEMP")")
inst_run_uninstaller
for path in "${INST_INSTALLED[@]}"; do
  [[ " ${INST_AT_RESTART[*]} " == *" $path "* ]] || inst_expect_gone "uninstalled: $path is gone" "$path"
done
wine_expect_eq "nothing added to the Windows Temp folder" "$temp_before" "$(ls -A "$(inst_host "$WIN_TEMP")")"
inst_restart
for path in "${INST_AT_RESTART[@]}"; do inst_expect_gone "the restart removes $path" "$path"; done
inst_expect_file "the XE client's tnsnames.ora stays" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
wine_expect_eq "the XE client stays registered" "$XE_HOME" "$(inst_xe_home)"
inst_end
wine_checks_done
