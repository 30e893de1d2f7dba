#!/usr/bin/env bash
# Updates over an installed Pliegorama 1.0.4.6: an installer carrying 1.0.4.7 replaces it, one
# carrying 1.0.4.6 or 1.1.0.7 keeps it (the build number must go up and no earlier number down);
# the Windows Temp folder, which every user may write, is left as it was: another user's folder (in
# the 1.0.4.7 update) or file at T, where earlier versions put the product's copy for the version
# test, is neither read, replaced nor deleted, and nothing is added.
# Installers carrying other products are the built one with its payload resource swapped for
# one packed here.
# Usage: e2e_install_update.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-update

inst_need_payload_tool
installed=$WINE_BIN/Pliegorama.exe

# The Windows Temp folder as it is: every name in it with its size and time.
temp_state() { (cd "$(inst_host "$WIN_TEMP")" && find . -printf '%p %s %T@\n' | sort); }

# case CARRIED_VERSION CARRIED_EXE EXPECTED(replaced|kept) [folder-at-copy]
run_case() {
  local version=$1 carried=$2 expected=$3 blocked=${4:-} name host_product temp_before
  name=carried-${version//./_}
  inst_prefix "$name" || { wine_expect_eq "$name prefix" made failed; return; }
  inst_copy_installer 'C:\variants'
  if [ "$carried" != "$installed" ]; then
    "$PAYLOAD_TOOL" build "$WINE_WORK/$name.payload" --exe "$carried" --tnsnames "$CARRIED_TNSNAMES" \
      --oracle "$WINE_BIN/OracleXEClient.exe" --uninstaller "$WINE_BIN/DesInstalador.exe" >"$WINE_WORK/$name.pack.log" 2>&1
    cp "$WINE_WORK/$name.payload" "$(inst_host 'C:\variants\payload.bin')"
    wine_check "$name: installer carrying $version made" wine_run "$PREFIX" 60 "$WINE_WORK/$name-setresource" \
      "$WINE_BIN/setresource.exe" "$INST_COPY" TFORMEXE 'C:\variants\payload.bin'
  fi
  host_product=$(inst_host "$PRODUCT_EXE")
  mkdir -p "$(dirname "$host_product")"
  cp "$installed" "$host_product"
  touch -d '2020-01-01 00:00:00' "$host_product"
  inst_register_xe_client
  # What a standard user can leave in the Windows Temp folder, which they may write.
  if [ -n "$blocked" ]; then
    mkdir -p "$(inst_host "$TEMP_COPY")"
  else
    echo "another user's file" > "$(inst_host "$TEMP_COPY")"
  fi
  touch -d '2020-01-01 00:00:00' "$(inst_host "$TEMP_COPY")"
  temp_before=$(temp_state)

  inst_start "$INST_COPY"
  inst_click_install
  inst_expect_finished "$name"
  inst_close "$name: the installer ends on \"Cerrar\""

  if [ "$expected" = replaced ]; then
    wine_check "$name: Pliegorama.exe replaced by $version" cmp -s "$carried" "$host_product"
  else
    wine_check "$name: Pliegorama.exe 1.0.4.6 kept untouched" \
      test "$(stat -c %Y "$host_product")" = "$(date -d '2020-01-01 00:00:00' +%s)"
    wine_check "$name: Pliegorama.exe still holds 1.0.4.6" cmp -s "$installed" "$host_product"
  fi
  wine_expect_eq "$name: installed version" "$([ "$expected" = replaced ] && echo "$version" || echo 1.0.4.6)" \
    "$(wine_inspect "$PREFIX" version "$PRODUCT_EXE" | sed -n 's/^file_version=//p')"
  wine_expect_eq "$name: the Windows Temp folder is as it was (T neither made nor deleted)" "$temp_before" \
    "$(temp_state)"
  inst_expect_file "$name: the uninstaller is rewritten" "$PRODUCT_UNINSTALLER" "$WINE_BIN/DesInstalador.exe"
  inst_end
}

run_case 1.0.4.7 "$WINE_BIN/Pliegorama_1_0_4_7.exe" replaced folder-at-copy
run_case 1.0.4.6 "$installed" kept
run_case 1.1.0.7 "$WINE_BIN/Pliegorama_1_1_0_7.exe" kept
wine_checks_done
