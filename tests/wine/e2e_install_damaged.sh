#!/usr/bin/env bash
# A damaged download: one byte flipped inside the zlib data of item 0 (the product), 2 (the Oracle
# XE client setup) or 3 (the uninstaller) of a built Instalador.exe. The window still shows (nothing
# is decompressed at start-up); "Instalar" then says in plain words that the installer is damaged,
# and nothing is written: no product folder, no shortcut, no program started, "Instalar" enabled.
# Usage: e2e_install_damaged.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" install-damaged
inst_need_payload_tool

# names_damaged_item STATUS REPORT ITEM: payload verify failed and its line for ITEM says damaged.
names_damaged_item() {
  [ "$1" -ne 0 ] && awk -F'\t' -v i="$3" '$1 == i && $5 ~ /^damaged/ { found = 1 } END { exit !found }' <<<"$2"
}

for item in 0 2 3; do
  name=item-$item
  inst_prefix "$name" || { wine_expect_eq "$name prefix" made failed; continue; }
  inst_copy_installer 'C:\damaged'
  installer=$INST_COPY_HOST
  # payload verify: position, name, offset of the stored bytes, their count, status.
  read -r offset size < <("$PAYLOAD_TOOL" verify "$installer" | awk -F'\t' -v i="$item" '$1 == i { print $3, $4 }')
  at=$((offset + size / 2))
  byte=$(od -An -tu1 -j "$at" -N1 "$installer" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 0x5A)))" | dd of="$installer" bs=1 seek="$at" conv=notrunc status=none
  report=$("$PAYLOAD_TOOL" verify "$installer" 2>/dev/null)
  wine_check "$name: payload verify names the damaged item" names_damaged_item $? "$report" "$item"

  inst_start "$INST_COPY"
  wine_check "$name: the window shows" wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 5
  inst_click_install
  inst_expect_dialog "$name: the message" "$INST_TITLE" "$TXT_DAMAGED" OK damaged
  inst_expect_answered "$name: the message is gone"
  inst_expect_install_button "$name: \"Instalar\" stays enabled" enabled
  inst_expect_nothing_written "$name"
  inst_close "$name: \"Cerrar\" ends the installer"
  inst_end
done
wine_checks_done
