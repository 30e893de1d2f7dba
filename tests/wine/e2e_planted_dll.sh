#!/usr/bin/env bash
# Run elevated from the user's Downloads folder, beside a version.dll that someone left there, and
# with another in the user's temporary folder: a whole install (over an installed product, so the
# copy in the Windows Temp folder and the version test run too) and the uninstaller, with Windows'
# DLL search order (version=n,b). Neither program ever loads the planted DLL, which would note
# every program that loads it in C:\version-marker.log; the same DLL beside a program that imports
# version.dll does get loaded, so the check can fail. The uninstaller copies and starts nothing:
# its own file waits in its place for the restart, which removes it.
# Usage: e2e_planted_dll.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/install_lib.sh" "$1" "$2" planted-dll
planted="version uxtheme msimg32 winmm shdocvw comctl32 dwmapi propsys oleacc userenv profapi cryptbase apphelp ntmarta wtsapi32 dbghelp mpr netapi32 wintrust crypt32 secur32 iphlpapi dnsapi bcrypt ncrypt riched20 hhctrl sxs dxgi d3d9 opengl32 winspool usp10 wldp"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;${planted// /,}=n,b"

[ -f "$WINE_BIN/marker_version.dll" ] || { echo "marker_version.dll is not built"; exit 77; }
inst_prefix win64 || exit 1
marker_log=$(inst_host 'C:\version-marker.log')
downloads="${DESKTOP%\\*}\\Downloads"
temp=$(wine_run_text "$PREFIX" 60 cmd /c echo '%TEMP%' 2>/dev/null)
inst_copy_installer "$downloads"
mkdir -p "$(inst_host "$temp")"
for folder in "$downloads" "$temp"; do
  for name in $planted; do cp "$WINE_BIN/marker_version.dll" "$(inst_host "$folder")/$name.dll"; done
done

# The marker works: a program that imports version.dll, started beside it, loads it.
cp "$WINE_BIN/winprobe.exe" "$(inst_host "$downloads")/"
wine_run "$PREFIX" 60 "$WINE_WORK/control" "$downloads\\winprobe.exe" version "$INST_COPY"
wine_check "the planted DLL is loaded by a program that imports it" grep -qi 'Downloads\\winprobe.exe' "$marker_log"
rm -f "$marker_log" "$(inst_host "$downloads")/winprobe.exe"

mkdir -p "$(inst_host "$PRODUCT")"
cp "$WINE_BIN/Pliegorama.exe" "$(inst_host "$PRODUCT_EXE")"
inst_register_xe_client
inst_start "$INST_COPY"
inst_click_install
inst_expect_finished install
inst_close "install: \"Cerrar\" ends the installer"
inst_expect_product installed

inst_run_uninstaller
shopt -s nullglob
copies=("$(inst_host "$temp")"/DesInstalador* "$(inst_host "$WIN_TEMP")"/*DesInstalador*)
shopt -u nullglob
wine_expect_eq "no copy of the uninstaller in the user's or the Windows temporary folder" 0 "${#copies[@]}"

# Wine's own user32 imports version.dll (Windows' does not), so under Wine the loader brings the
# planted one in for it before the program's first instruction; the marker tells that apart from
# the program importing it, or anything loading one later.
[ -e "$marker_log" ] && sed 's/^/      noted: /' "$marker_log"
wine_expect_eq "neither program loaded a planted DLL for itself" "" \
  "$(tr -d '\r' < "$marker_log" 2>/dev/null | grep -v 'Downloads\\version.dll at start-up, for a system DLL$')"

inst_restart
inst_expect_gone "the restart removes the uninstaller's own file" "$PRODUCT_UNINSTALLER"
inst_expect_gone "and its folders" "$ORG"
inst_end
wine_checks_done
