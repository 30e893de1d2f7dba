#!/usr/bin/env bash
# The installer's own resources: banner and icon formats on disk, and, compiled into a probe
# program, the version resource, the icon and the manifest as Windows reads them; and the link
# reader used by the installer's scenarios reads back a link it wrote.
# Usage: e2e_resources.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
template=$1
export WINE_BUILD_DIR=$2
source "$(dirname "$0")/lib.sh"
wine_lib_init || exit 1
resources=$WINE_REPO/resources
well_formed() {
  if command -v xmllint >/dev/null; then xmllint --noout "$1"
  elif command -v python3 >/dev/null; then python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$1"
  else echo "(no XML checker installed; not checked)"; fi
}

wine_expect_eq "banner is a GIF89a" GIF89a "$(head -c 6 "$resources/banner.gif")"
wine_expect_eq "banner is 400 x 250" 400x250 "$(identify -format '%wx%h' "$resources/banner.gif")"
wine_check "banner stays under 12 kB" test "$(stat -c %s "$resources/banner.gif")" -lt 12288
# ICONDIR: reserved 0, type 1, one image; the entry: 32 x 32, 0 (= 256) colours, 1 plane, 8 bits.
wine_expect_eq "icon holds one 32 x 32 image with a 256-colour palette" "000001000100202000000100 0800" \
  "$(xxd -p -l 12 "$resources/mainicon.ico") $(xxd -p -s 12 -l 2 "$resources/mainicon.ico")"
wine_check "manifest is well-formed XML" well_formed "$resources/instalador.manifest"

prefix=$(wine_clone_prefix "$template" resources) || exit 1
wine_run "$prefix" 60 "$WINE_WORK/probe" "$WINE_BIN/resource_probe.exe"
wine_expect_eq "probe finds MAINICON and the manifest" 0 $?
wine_check "MAINICON loads at 32 x 32" grep -qx 'icon=yes size=32x32' "$WINE_WORK/probe.out"

wine_inspect "$prefix" version "$WINE_BIN/resource_probe.exe" > "$WINE_WORK/version.txt"
expected_lines=(
  'file_version=1.0.4.6'
  'product_version=1.0.0.0'
  'translation=080A04E4'
  'string 080A04E4 CompanyName="Ostrelia"'
  'string 080A04E4 FileVersion="1.0.4.6"'
  'string 080A04E4 ProductVersion="1.0.0.0"'
)
for key in FileDescription InternalName LegalCopyright LegalTrademarks OriginalFilename ProductName Comments; do
  expected_lines+=("string 080A04E4 $key=\"\"")
done
for line in "${expected_lines[@]}"; do
  wine_check "version resource: $line" grep -qxF "$line" "$WINE_WORK/version.txt"
done
wine_expect_eq "version resource has exactly one translation" 1 "$(grep -c '^translation=' "$WINE_WORK/version.txt")"

# Link reader round trip, with a target that does not exist yet (as on a first install).
link='C:\users\Public\Desktop\Prueba.lnk'
mkdir -p "$(dirname "$(wine_unix_path "$prefix" "$link")")"
wine_run "$prefix" 60 "$WINE_WORK/lnkwrite" "$WINE_BIN/lnkread.exe" --create "$link" \
  'C:\Program Files\Vesko\Lumentra\Pliegorama.exe' '' 'C:\Program Files\Vesko\Lumentra'
wine_expect_eq "link written" 0 $?
wine_expect_eq "link read back" \
  "$(printf '%s\n' 'target=C:\\Program Files\\Vesko\\Lumentra\\Pliegorama.exe' 'arguments=' 'workdir=C:\\Program Files\\Vesko\\Lumentra')" \
  "$(wine_read_link "$prefix" "$link")"
wine_read_link "$prefix" 'C:\no\such.lnk' >/dev/null 2>&1
wine_check "a missing link is an error, not empty fields" test $? -ne 0

wine_checks_done
