#!/usr/bin/env bash
# Shared steps of the install scenarios (e2e_install_*.sh): a fresh prefix with the folders the
# installer will use, the real Instalador.exe started and driven through its dialogs as a person
# would, a screenshot of every dialog before it is answered, and checks of what ends up on disk,
# in the links and in the registry. Source it after lib.sh's variables are known:
#   source install_lib.sh TEMPLATE BUILD_DIR SCENARIO_NAME
# Texts are written as winprobe prints them: \xNN for a byte above 0x7E, \r and \n escaped.
# The dialog shows every line join as CR LF (a static control breaks lines only there), so the
# texts joined by LF CR read back with CR LF; the host tests check the bytes the installer passes.

INST_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
INST_TEMPLATE=$1
export WINE_BUILD_DIR=$2
INST_SCENARIO=$3
# shellcheck source=lib.sh
source "$INST_LIB_DIR/lib.sh"
wine_lib_init || exit 1

INST_CAPTION='Ostrelia - Instalador 1.0.4.6'
INST_TITLE='Instalador M\xF3dulo de Captura - Sistema Lumentra'
TXT_SUCCESS='La instalaci\xF3n ha terminado con exito'
TXT_CANCELLED='La instalaci\xF3n ha sido cancelada'
TXT_RESTART='Para que se termine de actualizar los cambios, es necesario reiniciar el equipo,\r\n\xBFSi desea reiniciar el equipo en este momento presione si o no para reiniciarlo mas tarde?'
TXT_NO_CLIENT='No se ha encontrado un Cliente de Oracle valido,\r\nse instalara el Cliente de Oracle XE.'
TXT_WAIT='Debe esperar a que el instalador del Cliente de Oracle XE termine.\r\nUna vez terminada la instaci\xF3n presione en Yes para continuar o No para cancelar la instalaci\xF3n.'
SETUP_CAPTION='Oracle XE Client'
XE_HOME='C:\oraclexe\app\oracle\product\10.2.0\client'
XE_TNSNAMES="$XE_HOME\\NETWORK\\ADMIN\\tnsnames.ora"
CARRIED_TNSNAMES=$WINE_BUILD_DIR/standins/tnsnames.ora
DB_HOST=$(wine_cache_value INSTALADOR_DB_HOST)
DB_HOST=${DB_HOST:-192.0.2.10}

# inst_prefix NAME [ARCH]: a fresh prefix (win64: the run's template; win32: one made here) and
# the folders the installer will see in it: PF (Program Files of a 32-bit program), PRODUCT,
# DESKTOP, GROUP.
inst_prefix() {
  local name=$1 arch=${2:-win64} template=$INST_TEMPLATE shell='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
  if [ "$arch" = win32 ]; then template=$(wine_make_template win32) || return 1; fi
  INST_NAME=$INST_SCENARIO-$name
  PREFIX=$(wine_clone_prefix "$template" "$name") || return 1
  if [ -d "$PREFIX/drive_c/Program Files (x86)" ]; then PF='C:\Program Files (x86)'; else PF='C:\Program Files'; fi
  PRODUCT="$PF\\Vesko\\Lumentra"
  DESKTOP=$(wine_reg_query "$PREFIX" "$shell" Desktop)
  GROUP="$(wine_reg_query "$PREFIX" "$shell" Programs)\\Ostrelia"
  INST_ANSWERED=none
  INST_SHOTS=0
}

# inst_host WINDOWS_PATH: the path inside the prefix on the host.
inst_host() { wine_unix_path "$PREFIX" "$1"; }

# inst_reg ARGS...: "reg" in the prefix, in the registry view a 32-bit program sees.
inst_reg() { wine_run "$PREFIX" 60 "$WINE_WORK/reg-$INST_NAME" reg "$@" /reg:32 /f; }

# inst_register_xe_client: what the XE client's setup leaves behind (its key and home folder).
inst_register_xe_client() {
  mkdir -p "$(inst_host "$XE_HOME")"
  inst_reg add 'HKLM\SOFTWARE\ORACLE\KEY_XEClient' /v ORACLE_HOME /t REG_SZ /d "$XE_HOME"
}

# inst_start [EXE]: starts the installer and waits for its window (INST_PID).
inst_start() {
  wine_start "$PREFIX" 600 "$WINE_WORK/$INST_NAME-instalador" "${1:-$WINE_BIN/Instalador.exe}"
  INST_PID=$WINE_LAST_PID
  wine_inspect "$PREFIX" wait "$INST_CAPTION" --timeout 60 >/dev/null
}

inst_click_install() { wine_inspect "$PREFIX" click "$INST_CAPTION" Instalar >/dev/null; }

# inst_shot WHAT: a screenshot of the screen as the user sees it now, kept as an artefact.
inst_shot() {
  INST_SHOTS=$((INST_SHOTS + 1))
  wine_screenshot "$(printf '%s-%02d-%s' "$INST_NAME" "$INST_SHOTS" "$1")" >/dev/null
}

# inst_dialog CAPTION [SECONDS]: waits for a visible window titled CAPTION that has not been
# answered yet; sets DIALOG_HWND, DIALOG_OWNER (the window that owns it) and DIALOG_TEXT (its
# message, escaped). Status 1 on timeout.
inst_dialog() {
  local caption=$1 deadline=$(($(date +%s) + ${2:-60})) listing hwnd
  DIALOG_HWND=
  DIALOG_OWNER=
  DIALOG_TEXT=
  while [ "$(date +%s)" -lt "$deadline" ]; do
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
    sleep 0.5
  done
  return 1
}

# inst_answer CAPTION BUTTON WHAT: photographs the dialog found by inst_dialog, presses BUTTON.
inst_answer() {
  inst_shot "$3"
  INST_ANSWERED=$(printf '%s\n%s' "$INST_ANSWERED" "$DIALOG_HWND")
  wine_inspect "$PREFIX" click "$1" "$2" >/dev/null
}

# inst_expect_dialog NAME CAPTION TEXT BUTTON WHAT [SECONDS]: the next dialog has this caption and
# text; it is photographed and answered with BUTTON.
inst_expect_dialog() {
  if ! inst_dialog "$2" "${6:-60}"; then
    inst_shot "missing-$5"
    wine_expect_eq "$1" "dialog '$2': $3" "no dialog '$2'"
    return 1
  fi
  wine_expect_eq "$1" "$3" "$DIALOG_TEXT"
  inst_answer "$2" "$4" "$5"
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
  inst_expect_file "$1: Pliegorama.exe is the carried product" "$PRODUCT\\Pliegorama.exe" \
    "${INST_CARRIED_EXE:-$WINE_BIN/Pliegorama.exe}"
  inst_expect_file "$1: DesInstalador.exe is the uninstaller" "$PRODUCT\\DesInstalador.exe" "$WINE_BIN/DesInstalador.exe"
  inst_expect_link "$1: desktop link" "$DESKTOP\\Sistema de Lumentra.lnk" "$PRODUCT\\Pliegorama.exe"
  inst_expect_link "$1: Start-menu product link" "$GROUP\\Sistema de Lumentra.lnk" "$PRODUCT\\Pliegorama.exe"
  inst_expect_link "$1: Start-menu uninstaller link" "$GROUP\\DesInstalador.lnk" "$PRODUCT\\DesInstalador.exe"
  inst_expect_gone "$1: no temporary copy left" 'C:\windows\Temp\Pliegorama.exe'
}

# inst_expect_rolled_back NAME: everything of the roll-back list is gone.
inst_expect_rolled_back() {
  local path
  for path in "$PRODUCT\\OracleXEClient.exe" "$PRODUCT\\Pliegorama.exe" "$PRODUCT\\DesInstalador.exe" "$PRODUCT" \
              "$PF\\Vesko" "$DESKTOP\\Sistema de Lumentra.lnk" "$GROUP\\Sistema de Lumentra.lnk" \
              "$GROUP\\DesInstalador.lnk" "$GROUP"; do
    inst_expect_gone "$1: $path is gone" "$path"
  done
}

# inst_end: ends the prefix's processes (a failed scenario may leave some).
inst_end() { wine_end_prefix "$PREFIX"; }

# inst_setup_road NAME: the wait dialog with the setup stand-in beside it; Yes before the client
# is registered shows the dialog again; the stand-in's "Instalar cliente", then Yes, ends the
# installer with the product's entry in the XE client's tnsnames.ora and the setup deleted.
inst_setup_road() {
  wine_check "$1: the setup program runs" wine_inspect "$PREFIX" wait "$SETUP_CAPTION" --timeout 60
  inst_expect_dialog "$1: the wait dialog" Confirm "$TXT_WAIT" '&Yes' wait-yes-too-early || return 1
  if ! inst_dialog Confirm 30; then
    wine_expect_eq "$1: Yes before the registration shows the wait dialog again" shown missing
    return 1
  fi
  wine_expect_eq "$1: Yes before the registration shows the wait dialog again" "$TXT_WAIT" "$DIALOG_TEXT"
  inst_shot setup-and-wait-dialog
  wine_check "$1: the setup registers the client" wine_inspect "$PREFIX" click "$SETUP_CAPTION" 'Instalar cliente'
  wine_check "$1: the setup program ends" wine_inspect "$PREFIX" gone "$SETUP_CAPTION" --timeout 30
  inst_answer Confirm '&Yes' wait-yes
  inst_expect_exit "$1: the installer ends by itself"
  inst_expect_file "$1: tnsnames.ora in the XE home is the carried one" "$XE_TNSNAMES" "$CARRIED_TNSNAMES"
  inst_expect_gone "$1: OracleXEClient.exe is gone" "$PRODUCT\\OracleXEClient.exe"
  wine_expect_eq "$1: the XE client is registered in the 32-bit view" "$XE_HOME" \
    "$(wine_reg_query "$PREFIX" 'HKLM\SOFTWARE\ORACLE\KEY_XEClient' ORACLE_HOME /reg:32)"
}
