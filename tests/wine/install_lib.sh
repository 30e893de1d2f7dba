#!/usr/bin/env bash
# Shared steps of the install scenarios (e2e_install_*.sh and the main job): a fresh prefix with
# the folders the installer will use, the real Instalador.exe started and driven through its
# dialogs as a person would, a screenshot of every dialog before it is answered, and checks of
# what ends up on disk, in the links and in the registry. Also the one place for what every
# scenario expects to see: captions, the dialogs' texts, the Oracle client's names and paths.
# Source it (it calls wine_lib_init):
#   source install_lib.sh TEMPLATE BUILD_DIR SCENARIO_NAME
# Texts are written as winprobe prints them: \xNN for a byte above 0x7E, \r and \n escaped.
# The dialog shows every line join as CR LF (a static control breaks lines only there), so the
# texts joined by LF CR read back with CR LF; the host tests check the bytes the installer passes.
# shellcheck disable=SC2034  # a library: the scenarios that source it read its variables

INST_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
INST_TEMPLATE=$1
export WINE_BUILD_DIR=$2
INST_SCENARIO=$3
# shellcheck source=lib.sh
source "$INST_LIB_DIR/lib.sh"
wine_lib_init || exit 1

# What the installer shows, as winprobe prints it.
INST_CAPTION='Ostrelia - Instalador 1.0.4.6'
INST_TITLE='Instalador M\xF3dulo de Captura - Sistema Lumentra'
INST_INSTALL_BUTTON='Instalar'
INST_CLOSE_BUTTON='Cerrar'
TXT_SUCCESS='La instalaci\xF3n ha terminado con exito'
TXT_RESTART='Para que se termine de actualizar los cambios, es necesario reiniciar el equipo,\r\n\xBFSi desea reiniciar el equipo en este momento presione si o no para reiniciarlo mas tarde?'
TXT_NO_CLIENT='No se ha encontrado un Cliente de Oracle valido,\r\nse instalara el Cliente de Oracle XE.'
TXT_WAIT='Debe esperar a que el instalador del Cliente de Oracle XE termine.\r\nUna vez terminada la instaci\xF3n presione en Yes para continuar o No para cancelar la instalaci\xF3n.'
TXT_DAMAGED='El instalador est\xE1 da\xF1ado (Sistema de Lumentra). Descargue una copia nueva.'
TXT_NO_PROGRAMS='User Program Path Error.'
# What the uninstaller shows.
TXT_UNINSTALL_QUESTION='\xBFDesea desinstalar el Sistema de Lumentra de este equipo?\r\n\r\nSe quitar\xE1n el programa, el desinstalador y sus accesos directos. El Cliente de Oracle y el archivo tnsnames.ora no se modifican.'
TXT_UNINSTALL_DONE_AT_RESTART='El Sistema de Lumentra ha sido desinstalado. Al reiniciar el equipo se quitar\xE1n tambi\xE9n:'
# The Oracle XE client, its setup (a stand-in here) and what that setup leaves behind.
SETUP_CAPTION='Oracle XE Client'
SETUP_BUTTON='Instalar cliente'
XE_HOME='C:\oraclexe\app\oracle\product\10.2.0\client'
XE_TNSNAMES="$XE_HOME\\NETWORK\\ADMIN\\tnsnames.ora"
XE_KEY='HKLM\SOFTWARE\ORACLE\KEY_XEClient'
XE_UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\OracleXEClient'
XE_DISPLAY_NAME='Oracle Client 10g Express Edition'
CARRIED_TNSNAMES=$WINE_BUILD_DIR/standins/tnsnames.ora
DB_HOST=$(wine_cache_value INSTALADOR_DB_HOST)
DB_HOST=${DB_HOST:-192.0.2.10}
# The Windows Temp folder, which every user may write: the installers write nothing there (earlier
# versions put the product's copy for its version check at TEMP_COPY).
WIN_TEMP='C:\windows\Temp'
TEMP_COPY="$WIN_TEMP\\Pliegorama.exe"
SHELL_FOLDERS_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'

# inst_prefix NAME [KIND]: a fresh prefix (win64: the run's template; win32: one made here) and
# the folders the installer will see in it: PF (the Program Files folder it installs into), ORG and
# PRODUCT in it, DESKTOP, GROUP (the Start-menu group); the installed files and links
# (PRODUCT_EXE, PRODUCT_UNINSTALLER, PRODUCT_SETUP the setup's copy, DESKTOP_LINK, GROUP_LINK,
# UNINSTALL_LINK) and INST_INSTALLED, everything an install leaves, each file before its folder.
inst_prefix() {
  local name=$1 arch=${2:-win64} template=$INST_TEMPLATE
  if [ "$arch" = win32 ]; then template=$(wine_make_template win32) || return 1; fi
  INST_NAME=$INST_SCENARIO-$name
  PREFIX=$(wine_clone_prefix "$template" "$name") || return 1
  PF=$(wine_program_files "$arch")
  ORG="$PF\\Vesko"
  PRODUCT="$ORG\\Lumentra"
  PRODUCT_EXE="$PRODUCT\\Pliegorama.exe"
  PRODUCT_UNINSTALLER="$PRODUCT\\DesInstalador.exe"
  PRODUCT_SETUP="$PRODUCT\\OracleXEClient.exe"
  DESKTOP=$(wine_reg_query "$PREFIX" "$SHELL_FOLDERS_KEY" Desktop)
  GROUP="$(wine_reg_query "$PREFIX" "$SHELL_FOLDERS_KEY" Programs)\\Ostrelia"
  DESKTOP_LINK="$DESKTOP\\Sistema de Lumentra.lnk"
  GROUP_LINK="$GROUP\\Sistema de Lumentra.lnk"
  UNINSTALL_LINK="$GROUP\\DesInstalador.lnk"
  INST_INSTALLED=("$PRODUCT_EXE" "$PRODUCT_UNINSTALLER" "$PRODUCT" "$ORG" "$DESKTOP_LINK" "$GROUP_LINK"
                  "$UNINSTALL_LINK" "$GROUP")
  INST_ANSWERED=none
  INST_SHOTS=0
}

# inst_host WINDOWS_PATH: the path inside the prefix on the host.
inst_host() { wine_unix_path "$PREFIX" "$1"; }

# inst_reg ARGS...: "reg" in the prefix, in the registry view a 32-bit program sees.
inst_reg() { wine_run "$PREFIX" 60 "$WINE_WORK/reg-$INST_NAME" reg "$@" /reg:32 /f; }

# inst_xe_home: the XE client's ORACLE_HOME as a 32-bit program reads it (nothing when missing).
inst_xe_home() { wine_reg_query "$PREFIX" "$XE_KEY" ORACLE_HOME /reg:32 2>/dev/null; }

# inst_register_xe_client: what the XE client's setup leaves behind (its key and home folder).
inst_register_xe_client() {
  mkdir -p "$(inst_host "$XE_HOME")"
  inst_reg add "$XE_KEY" /v ORACLE_HOME /t REG_SZ /d "$XE_HOME"
}

# inst_need_payload_tool: PAYLOAD_TOOL, the build's native payload tool; without it the
# scenario is skipped.
inst_need_payload_tool() {
  PAYLOAD_TOOL=$(wine_cache_value INSTALADOR_HOST_TOOLS)/payload
  [ -x "$PAYLOAD_TOOL" ] || { echo "no payload tool at $PAYLOAD_TOOL"; exit 77; }
}

# inst_copy_installer WINDOWS_FOLDER: the built Instalador.exe copied into the folder (made when
# missing); INST_COPY is the copy's Windows path, INST_COPY_HOST its host path.
inst_copy_installer() {
  INST_COPY="$1\\Instalador.exe"
  INST_COPY_HOST=$(inst_host "$1")/Instalador.exe
  mkdir -p "$(dirname "$INST_COPY_HOST")"
  cp "$WINE_BIN/Instalador.exe" "$INST_COPY_HOST"
}

# inst_start [EXE]: starts the installer and waits for its window (INST_PID).
inst_start() {
  wine_start "$PREFIX" 600 "$WINE_WORK/$INST_NAME-instalador" "${1:-$WINE_BIN/Instalador.exe}"
  INST_PID=$WINE_LAST_PID
  wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 60 >/dev/null
}

inst_click_install() { wine_inspect "$PREFIX" click "$INST_CAPTION" "$INST_INSTALL_BUTTON" >/dev/null; }

# inst_close NAME: "Cerrar" clicked; the installer ends by itself, with status 0.
inst_close() {
  wine_inspect "$PREFIX" click "$INST_CAPTION" "$INST_CLOSE_BUTTON" >/dev/null
  inst_expect_exit "$1"
}

# inst_expect_install_button NAME enabled|disabled: the state of "Instalar" now.
inst_expect_install_button() {
  local line want=1
  [ "$2" = disabled ] && want=0
  line=$(wine_inspect "$PREFIX" list | grep -F "class=\"Button\" text=\"$INST_INSTALL_BUTTON\" " | head -n 1)
  wine_expect_eq "$1" "enabled=$want" "enabled=$(wine_field enabled <<<"$line")"
}

# inst_shot WHAT: a screenshot of the screen as the user sees it now, kept as an artefact.
inst_shot() {
  INST_SHOTS=$((INST_SHOTS + 1))
  wine_screenshot "$(printf '%s-%02d-%s' "$INST_NAME" "$INST_SHOTS" "$1")" >/dev/null
}

# inst_dialog CAPTION [SECONDS]: waits for a visible window titled CAPTION that has not been
# answered yet; sets DIALOG_HWND, DIALOG_OWNER (the window that owns it) and DIALOG_TEXT (its
# message, escaped). Status 1 on timeout.
inst_dialog() {
  local caption=$1 deadline=$(($(date +%s) + $(wine_scale "${2:-60}"))) listing hwnd
  DIALOG_HWND=
  DIALOG_OWNER=
  DIALOG_TEXT=
  while :; do
    listing=$(wine_inspect "$PREFIX" list 2>/dev/null)
    hwnd=$(echo "$listing" | grep '^window ' | grep -F "text=\"$caption\" " | grep ' visible=1' |
           sed -n 's/^window hwnd=\([^ ]*\) .*/\1/p' | grep -v -x -F "$INST_ANSWERED" | head -n 1)
    if [ -n "$hwnd" ]; then
      DIALOG_HWND=$hwnd
      DIALOG_OWNER=$(echo "$listing" | grep "^window hwnd=$hwnd " | wine_field owner)
      # The message: the dialog's text control (ours has id 100, the system's message box 65535).
      DIALOG_TEXT=$(echo "$listing" | grep "parent=$hwnd " | grep 'class="Static"' | grep -v ' text="" ' | wine_field text)
      return 0
    fi
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}

# inst_answer CAPTION BUTTON WHAT: photographs the dialog found by inst_dialog, presses BUTTON.
inst_answer() {
  inst_shot "$3"
  INST_ANSWERED=$(printf '%s\n%s' "$INST_ANSWERED" "$DIALOG_HWND")
  wine_inspect "$PREFIX" click "$1" "$2" >/dev/null
}

# inst_expect_dialog NAME CAPTION TEXT BUTTON WHAT [SECONDS [COMMAND ARGS...]]: the next dialog
# has this caption and text; COMMAND runs while it is up (a check of what shows beside it, or the
# user's doing something else first); then it is photographed and answered with BUTTON. Status 1
# when no such dialog came within SECONDS (default 60); else BUTTON's click's.
inst_expect_dialog() {
  local name=$1 caption=$2 text=$3 button=$4 what=$5 hwnd
  if ! inst_dialog "$caption" "${6:-60}"; then
    inst_shot "missing-$what"
    wine_expect_eq "$name" "dialog '$caption': $text" "no dialog '$caption'"
    return 1
  fi
  wine_expect_eq "$name" "$text" "$DIALOG_TEXT"
  if [ $# -gt 6 ]; then
    hwnd=$DIALOG_HWND  # the command may look for other windows
    "${@:7}"
    DIALOG_HWND=$hwnd
  fi
  inst_answer "$caption" "$button" "$what"
}

# inst_expect_waiting NAME CAPTION: a dialog titled CAPTION, watched for a few seconds, does not go
# away by itself, and is still there then: it waits for the user.
inst_expect_waiting() {
  wine_inspect "$PREFIX" gone "$2" --timeout 3 >/dev/null
  case $? in
    0) wine_expect_eq "$1" "'$2' waits" "'$2' went away by itself" ;;
    1) echo "ok $1" ;;  # still up when the watch ended
    *) wine_expect_eq "$1" "'$2' watched" "winprobe failed" ;;
  esac
}

# inst_expect_answered NAME: the dialog answered last has gone, so the program took the answer and
# went on: the sign that a later check of what it did not do looks at the state after that step.
inst_expect_answered() {
  local deadline=$(($(date +%s) + $(wine_scale 30))) listing
  [ -n "$DIALOG_HWND" ] || { wine_expect_eq "$1" "an answered dialog" "none"; return 1; }
  while listing=$(wine_inspect "$PREFIX" list); do
    if ! grep -q "^window hwnd=$DIALOG_HWND .* visible=1" <<<"$listing"; then
      echo "ok $1"
      return 0
    fi
    [ "$(date +%s)" -lt "$deadline" ] || break
    sleep 0.5
  done
  inst_shot "still-up"
  wine_expect_eq "$1" "dialog $DIALOG_HWND gone" "still up, or no window list"
}

# inst_expect_no_window NAME CAPTION SECONDS: no window with CAPTION shows within SECONDS.
inst_expect_no_window() {
  if inst_dialog "$2" "$3"; then
    inst_shot "unexpected-$(echo "$2" | tr -c 'A-Za-z0-9\n' '_')"
    wine_expect_eq "$1" "no window '$2'" "window '$2': $DIALOG_TEXT"
  else
    echo "ok $1"
  fi
}

# inst_expect_exit NAME [SECONDS]: the installer ends by itself, with status 0.
inst_expect_exit() {
  wine_wait_exit "$INST_PID" "${2:-60}" "$INST_NAME-not-ended"
  wine_expect_eq "$1" 0 $?
}

# inst_expect_finished NAME: the success message (OK) and the restart question (No), as an
# install ends on a machine whose Oracle client is in place.
inst_expect_finished() {
  inst_expect_dialog "$1: success" Information "$TXT_SUCCESS" OK success
  inst_expect_dialog "$1: restart question" Confirm "$TXT_RESTART" '&No' restart-no
}

# inst_expect_file NAME WINDOWS_PATH [HOST_FILE]: the file exists (with HOST_FILE's bytes).
inst_expect_file() {
  local host
  host=$(inst_host "$2")
  if [ -n "${3:-}" ]; then
    wine_check "$1" cmp -s "$3" "$host"
  else
    wine_check "$1" test -f "$host"
  fi
}

# inst_expect_gone NAME WINDOWS_PATH: neither a file nor a folder is there.
inst_expect_gone() { wine_check "$1" test ! -e "$(inst_host "$2")"; }

# inst_expect_link NAME LINK TARGET: the shell link starts TARGET, without arguments, in the
# product folder (with its trailing backslash).
inst_expect_link() {
  local out target arguments workdir
  out=$(wine_read_link "$PREFIX" "$2" 2>/dev/null)
  target=$(printf '%b' "$(echo "$out" | sed -n 's/^target=//p')")
  arguments=$(printf '%b' "$(echo "$out" | sed -n 's/^arguments=//p')")
  workdir=$(printf '%b' "$(echo "$out" | sed -n 's/^workdir=//p')")
  wine_expect_eq "$1" "$3|(no arguments)|$PRODUCT\\" "$target|${arguments:-(no arguments)}|$workdir"
}

# inst_expect_product NAME: product, uninstaller and the three links in place.
inst_expect_product() {
  inst_expect_file "$1: Pliegorama.exe is the carried product" "$PRODUCT_EXE" "${INST_CARRIED_EXE:-$WINE_BIN/Pliegorama.exe}"
  inst_expect_file "$1: DesInstalador.exe is the uninstaller" "$PRODUCT_UNINSTALLER" "$WINE_BIN/DesInstalador.exe"
  inst_expect_link "$1: desktop link" "$DESKTOP_LINK" "$PRODUCT_EXE"
  inst_expect_link "$1: Start-menu product link" "$GROUP_LINK" "$PRODUCT_EXE"
  inst_expect_link "$1: Start-menu uninstaller link" "$UNINSTALL_LINK" "$PRODUCT_UNINSTALLER"
  inst_expect_gone "$1: no temporary copy left" "$TEMP_COPY"
}

# inst_expect_rolled_back NAME: everything of the roll-back list is gone.
inst_expect_rolled_back() {
  local path
  for path in "$PRODUCT_SETUP" "${INST_INSTALLED[@]}"; do inst_expect_gone "$1: $path is gone" "$path"; done
}

# inst_expect_nothing_written NAME: an install stopped before its first step: no folder, link,
# temporary copy or setup program.
inst_expect_nothing_written() {
  inst_expect_gone "$1: no organisation folder" "$ORG"
  inst_expect_gone "$1: no desktop link" "$DESKTOP_LINK"
  inst_expect_gone "$1: no Start-menu group" "$GROUP"
  inst_expect_gone "$1: no temporary copy" "$TEMP_COPY"
  inst_expect_no_window "$1: no setup program" "$SETUP_CAPTION" 1
}

# inst_end: ends the prefix's processes (a failed scenario may leave some).
inst_end() { wine_end_prefix "$PREFIX"; }

# inst_expect_setup NAME: the XE client's setup program runs.
inst_expect_setup() { wine_check "$1: the setup program runs" wine_inspect "$PREFIX" wait "$SETUP_CAPTION" --timeout 60; }

# What the setup stand-in records of its environment at its start.
SETUP_RECORD_KEY='HKCU\Software\Ostrelia\Standins\OracleXEClient'
USER_ONLY_VARIABLE=INSTALADOR_USER_ONLY

# inst_plant_user_variable: a variable of the user's own (HKCU\Environment), which Wine, like
# Windows, gives every program the user starts, an elevated installer among them.
inst_plant_user_variable() {
  wine_run "$PREFIX" 60 "$WINE_WORK/reg-$INST_NAME-env" reg add 'HKCU\Environment' /v "$USER_ONLY_VARIABLE" \
    /t REG_SZ /d planted /f
}

# inst_expect_setup_environment NAME: the running setup was started from the machine's environment
# (without the user's own variable) with TEMP and TMP naming a new folder of its own in the product
# folder (SETUP_TEMP, a Windows path), there while it runs.
inst_expect_setup_environment() {
  local temp tmp
  temp=$(wine_reg_query "$PREFIX" "$SETUP_RECORD_KEY" TEMP)
  tmp=$(wine_reg_query "$PREFIX" "$SETUP_RECORD_KEY" TMP)
  SETUP_TEMP=$temp
  wine_expect_eq "$1: the setup's TEMP is a new folder of its own in the product folder" \
    "$PRODUCT\\~OracleXE-<16 hex digits>" "$(sed -E 's/~OracleXE-[0-9a-f]{16}$/~OracleXE-<16 hex digits>/' <<<"$temp")"
  wine_expect_eq "$1: the setup's TMP is the same folder" "$temp" "$tmp"
  wine_check "$1: the setup's temporary folder is there while it runs" test -d "$(inst_host "${temp:-missing}")"
  wine_expect_eq "$1: the user's own variable does not reach the setup" unset \
    "$(wine_reg_query "$PREFIX" "$SETUP_RECORD_KEY" "$USER_ONLY_VARIABLE")"
}

# inst_end_setup NAME register|close: while the wait dialog shows, the setup is photographed beside
# it and the user ends it: "Instalar cliente" (the client is registered) or its window closed
# without installing. Status 1 when it did not end.
inst_end_setup() {
  inst_shot setup-and-wait-dialog
  if [ "$2" = register ]; then
    wine_check "$1: the setup registers the client" wine_inspect "$PREFIX" click "$SETUP_CAPTION" "$SETUP_BUTTON"
  else
    wine_check "$1: the setup program is closed" wine_inspect "$PREFIX" close "$SETUP_CAPTION"
  fi
  wine_check "$1: the setup program ends" wine_inspect "$PREFIX" gone "$SETUP_CAPTION" --timeout 30
}

# inst_setup_finish NAME CHECK [SECONDS]: the wait dialog (checked as CHECK) with the setup beside
# it; the setup's "Instalar cliente", then Yes, ends the installer with the product's entry in the
# XE client's tnsnames.ora, the setup deleted and the client registered. Status 1 when the wait
# dialog did not show.
inst_setup_finish() {
  inst_expect_dialog "$1: $2" Confirm "$TXT_WAIT" '&Yes' wait-yes "${3:-60}" inst_end_setup "$1" register || return 1
  inst_expect_exit "$1: the installer ends by itself"
  inst_expect_file "$1: tnsnames.ora in the XE home is the carried one" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
  inst_expect_gone "$1: OracleXEClient.exe is gone" "$PRODUCT_SETUP"
  wine_expect_eq "$1: the XE client is registered in the 32-bit view" "$XE_HOME" "$(inst_xe_home)"
  return 0
}

# inst_setup_road NAME: the setup runs; Yes before the client is registered shows the wait dialog
# again; then inst_setup_finish.
inst_setup_road() {
  inst_expect_setup "$1"
  inst_expect_dialog "$1: the wait dialog" Confirm "$TXT_WAIT" '&Yes' wait-yes-too-early || return 1
  inst_setup_finish "$1" "Yes before the registration shows the wait dialog again" 30
}

# inst_run_uninstaller: the program the uninstaller's link names (inst_expect_link checks the link),
# started itself so that its exit status is seen: the shell's start /wait does not pass it on.
# It asks first, then says it is done and that its own file and the folders that hold it go at the
# restart (INST_AT_RESTART, Windows paths), and ends with status 3.
inst_run_uninstaller() {
  local pid path expected
  wine_start "$PREFIX" 300 "$WINE_WORK/uninstaller" "$PRODUCT_UNINSTALLER"
  pid=$WINE_LAST_PID
  inst_expect_dialog "the uninstaller asks first" Confirm "$TXT_UNINSTALL_QUESTION" '&Yes' uninstall-question
  INST_AT_RESTART=("$PRODUCT_UNINSTALLER" "$PRODUCT" "$ORG")
  if inst_dialog Information 60; then
    expected=$TXT_UNINSTALL_DONE_AT_RESTART
    for path in "${INST_AT_RESTART[@]}"; do expected+="\\r\\n${path//\\/\\\\}"; done
    wine_expect_eq "the uninstaller reports the outcome" "$expected" "$DIALOG_TEXT"
    inst_answer Information OK uninstall-done
  else
    wine_expect_eq "the uninstaller reports the outcome" shown missing
  fi
  wine_wait_exit "$pid" 60 "$INST_NAME-uninstaller-not-ended"
  wine_expect_eq "the uninstaller ends with status 3 (its own file goes at the restart)" 3 $?
  for path in "${INST_AT_RESTART[@]}"; do
    wine_check "$path waits for the restart, in its place" test -e "$(inst_host "$path")"
  done
  wine_check "it is to go at the restart" grep -qi 'DesInstalador.exe' <<<"$(wine_reg_query "$PREFIX" \
    'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)"
}

# inst_restart: every program of the prefix ends, then Windows starts and deletes what it was asked
# to at its restart.
inst_restart() {
  wine_end_prefix "$PREFIX"
  wine_run "$PREFIX" 120 "$WINE_WORK/restart-$INST_NAME" wineboot.exe -r
}
