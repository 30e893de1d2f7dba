#!/usr/bin/env bash
# The uninstaller, started from its Start-menu link after an install: it asks, removes the
# product, its links, the Start-menu group, the product and organisation folders and itself, says
# so, and leaves the Oracle client and tnsnames.ora alone.
# Usage: e2e_install_uninstall.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-uninstall

TXT_QUESTION='\xBFDesea desinstalar el Sistema de Lumentra de este equipo?\r\n\r\nSe quitar\xE1n el programa, el desinstalador y sus accesos directos. El Cliente de Oracle y el archivo tnsnames.ora no se modifican.'
TXT_DONE='El Sistema de Lumentra ha sido desinstalado.'

inst_prefix win64 || exit 1
inst_register_xe_client
inst_start
inst_click_install
inst_expect_dialog "install: success" Information "$TXT_SUCCESS" OK success
inst_expect_dialog "install: restart question" Confirm "$TXT_RESTART" '&No' restart-no
wine_inspect "$PREFIX" click "$INST_CAPTION" Cerrar >/dev/null
inst_expect_exit "install: \"Cerrar\" ends the installer"
inst_expect_product installed

# As from the Start menu: the shell opens the link.
wine_start "$PREFIX" 300 "$WINE_WORK/uninstaller" start /wait "$GROUP\\DesInstalador.lnk"
uninstaller_pid=$WINE_LAST_PID
inst_expect_dialog "the uninstaller asks first" Confirm "$TXT_QUESTION" '&Yes' uninstall-question
inst_expect_dialog "the uninstaller reports the outcome" Information "$TXT_DONE" OK uninstall-done
wine_wait_exit "$uninstaller_pid" 60 "$INST_NAME-uninstaller-not-ended"
wine_expect_eq "the uninstaller ends with status 0" 0 $?
# Its own file and folders go once it has ended.
for i in $(seq 1 60); do
  [ -e "$(inst_host "$PF\\Vesko")" ] || break
  sleep 0.5
done
for path in "$PRODUCT\\Pliegorama.exe" "$PRODUCT\\DesInstalador.exe" "$PRODUCT" "$PF\\Vesko" \
            "$DESKTOP\\Sistema de Lumentra.lnk" "$GROUP\\Sistema de Lumentra.lnk" "$GROUP\\DesInstalador.lnk" "$GROUP"; do
  inst_expect_gone "uninstalled: $path is gone" "$path"
done
inst_expect_file "the XE client's tnsnames.ora stays" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
wine_expect_eq "the XE client stays registered" "$XE_HOME" \
  "$(wine_reg_query "$PREFIX" 'HKLM\SOFTWARE\ORACLE\KEY_XEClient' ORACLE_HOME /reg:32)"
inst_end
wine_checks_done
