#!/usr/bin/env bash
# Another Oracle home registered (not the XE client):
#  - with a tnsnames.ora of several entries: no setup program; the product's entry is set in place
#    of its old line, every other line is kept, all with CR LF;
#  - without tnsnames.ora: the error dialog first, then the XE client setup road.
# Usage: e2e_install_other_home.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-other-home

HOME_DIR='C:\oracle\product\10.2.0\db_1'
OTHER_TNSNAMES="$HOME_DIR\\network\\ADMIN\\tnsnames.ora"

register_other_home() {
  mkdir -p "$(inst_host "$HOME_DIR\\network\\ADMIN")"
  inst_reg add 'HKLM\SOFTWARE\ORACLE' /v ORACLE_HOME /t REG_SZ /d "$HOME_DIR"
  inst_reg add 'HKLM\SOFTWARE\ORACLE\ALL_HOMES' /v HOME_COUNTER /t REG_SZ /d 1
}

# --- with tnsnames.ora ---
inst_prefix with-file || exit 1
register_other_home
printf '%s\n' \
  '# tnsnames.ora de la empresa' \
  'VENTAS =' \
  '  (DESCRIPTION =' \
  '    (ADDRESS = (PROTOCOL = TCP)(HOST = 10.0.0.5)(PORT = 1521))' \
  '    (CONNECT_DATA = (SID = ventas))' \
  '  )' \
  'TRAMIDEX = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = 10.9.9.9)(PORT = 1521)))' \
  'NOMINA = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = 10.0.0.6)(PORT = 1521))(CONNECT_DATA = (SID = nomina)))' \
  > "$(inst_host "$OTHER_TNSNAMES")"
expected=$WINE_WORK/expected-tnsnames.ora
printf '%s\r\n' \
  '# tnsnames.ora de la empresa' \
  'VENTAS =' \
  '  (DESCRIPTION =' \
  '    (ADDRESS = (PROTOCOL = TCP)(HOST = 10.0.0.5)(PORT = 1521))' \
  '    (CONNECT_DATA = (SID = ventas))' \
  '  )' \
  "Tramidex =(DESCRIPTION =(ADDRESS_LIST =(ADDRESS = (PROTOCOL = TCP)(HOST = $DB_HOST)(PORT = 1521)))(CONNECT_DATA = (SID = vardo)))" \
  'NOMINA = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = 10.0.0.6)(PORT = 1521))(CONNECT_DATA = (SID = nomina)))' \
  > "$expected"
inst_start
inst_click_install
inst_expect_finished "with file"
inst_expect_no_window "with file: no setup program" "$SETUP_CAPTION" 1
wine_check "with file: the product's entry set, the other entries intact" cmp "$expected" "$(inst_host "$OTHER_TNSNAMES")"
inst_expect_gone "with file: nothing written for an XE client" "$XE_HOME"
inst_expect_product with-file
inst_close "with file: \"Cerrar\" ends the installer"
inst_end

# --- without tnsnames.ora ---
inst_prefix without-file || exit 1
register_other_home
inst_start
inst_click_install
inst_expect_dialog "without file: the error dialog comes first" Error "$TXT_NO_CLIENT" OK error 60 \
  inst_expect_no_window "without file: no setup program before the error dialog is closed" "$SETUP_CAPTION" 2
inst_setup_road without-file
inst_expect_product without-file
inst_expect_gone "without file: no tnsnames.ora made in the other home" "$OTHER_TNSNAMES"
inst_end
wine_checks_done
