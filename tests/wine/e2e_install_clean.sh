#!/usr/bin/env bash
# A clean machine of each kind the build is tried on (64-bit, and 32-bit for the 32-bit build):
# the XE client setup starts without the error dialog, from the machine's environment (a variable
# of the user's own does not reach it) with TEMP and TMP naming a new folder of its own in the
# product folder; Yes before it has registered the client shows the wait dialog again, after the
# registration Yes writes tnsnames.ora into the XE home; the setup program and its folder are
# deleted, the installer ends, and the product, the uninstaller and the three links are in place.
# Usage: e2e_install_clean.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-clean

for arch in $WINE_PREFIX_KINDS; do
  inst_prefix "$arch" "$arch" || { wine_expect_eq "$arch prefix" made failed; continue; }
  inst_plant_user_variable
  inst_start
  inst_shot window
  inst_click_install
  inst_expect_setup "$arch"
  # An error would have come instead of the setup, and would be up now.
  inst_expect_no_window "$arch: no error dialog before the setup" Error 0
  inst_expect_setup_environment "$arch"
  inst_setup_road "$arch"
  inst_expect_gone "$arch: the setup's temporary folder is gone" "${SETUP_TEMP:-missing}"
  inst_expect_product "$arch"
  inst_end
done

wine_checks_done
