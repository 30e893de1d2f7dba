#!/usr/bin/env bash
# Updates over an installed Pliegorama 1.0.4.6: an installer carrying 1.0.4.7 replaces it, one
# carrying 1.0.4.6 or 1.1.0.7 keeps it (the build number must go up and no earlier number down);
# no temporary copy is left behind. Installers carrying other products are the built one with
# its payload resource swapped for one packed here.
# Usage: e2e_install_update.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-update

payload_tool=$(wine_cache_value INSTALADOR_HOST_TOOLS)/payload
installed=$WINE_BIN/Pliegorama.exe
[ -x "$payload_tool" ] || { echo "no payload tool at $payload_tool"; exit 77; }

# case CARRIED_VERSION CARRIED_EXE EXPECTED(replaced|kept)
run_case() {
  local version=$1 carried=$2 expected=$3 name installer host_product
  name=carried-${version//./_}
  inst_prefix "$name" || { wine_expect_eq "$name prefix" made failed; return; }
  installer=$(inst_host 'C:\variants')/Instalador.exe
  mkdir -p "$(dirname "$installer")"
  cp "$WINE_BIN/Instalador.exe" "$installer"
  if [ "$carried" != "$installed" ]; then
    "$payload_tool" build "$WINE_WORK/$name.payload" --exe "$carried" --tnsnames "$CARRIED_TNSNAMES" \
      --oracle "$WINE_BIN/OracleXEClient.exe" --uninstaller "$WINE_BIN/DesInstalador.exe" >"$WINE_WORK/$name.pack.log" 2>&1
    cp "$WINE_WORK/$name.payload" "$(inst_host 'C:\variants\payload.bin')"
    wine_check "$name: installer carrying $version made" wine_run "$PREFIX" 60 "$WINE_WORK/$name-setresource" \
      "$WINE_BIN/setresource.exe" 'C:\variants\Instalador.exe' TFORMEXE 'C:\variants\payload.bin'
  fi
  host_product=$(inst_host "$PRODUCT\\Pliegorama.exe")
  mkdir -p "$(dirname "$host_product")"
  cp "$installed" "$host_product"
  touch -d '2020-01-01 00:00:00' "$host_product"
  inst_register_xe_client

  inst_start 'C:\variants\Instalador.exe'
  inst_click_install
  inst_expect_dialog "$name: success" Information "$TXT_SUCCESS" OK success
  inst_expect_dialog "$name: restart question" Confirm "$TXT_RESTART" '&No' restart-no
  wine_inspect "$PREFIX" click "$INST_CAPTION" Cerrar >/dev/null
  inst_expect_exit "$name: the installer ends on \"Cerrar\""

  if [ "$expected" = replaced ]; then
    wine_check "$name: Pliegorama.exe replaced by $version" cmp -s "$carried" "$host_product"
  else
    wine_check "$name: Pliegorama.exe 1.0.4.6 kept untouched" \
      test "$(stat -c %Y "$host_product")" = "$(date -d '2020-01-01 00:00:00' +%s)"
    wine_check "$name: Pliegorama.exe still holds 1.0.4.6" cmp -s "$installed" "$host_product"
  fi
  wine_expect_eq "$name: installed version" "$([ "$expected" = replaced ] && echo "$version" || echo 1.0.4.6)" \
    "$(wine_inspect "$PREFIX" version "$PRODUCT\\Pliegorama.exe" | sed -n 's/^file_version=//p')"
  inst_expect_gone "$name: no temporary copy left" 'C:\windows\Temp\Pliegorama.exe'
  inst_expect_file "$name: the uninstaller is rewritten" "$PRODUCT\\DesInstalador.exe" "$WINE_BIN/DesInstalador.exe"
  inst_end
}

run_case 1.0.4.7 "$WINE_BIN/Pliegorama_1_0_4_7.exe" replaced
run_case 1.0.4.6 "$installed" kept
run_case 1.1.0.7 "$WINE_BIN/Pliegorama_1_1_0_7.exe" kept
wine_checks_done
