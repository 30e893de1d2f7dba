#!/usr/bin/env bash
# The installer window under Wine, driven as a person would: its caption, size and buttons,
# the taskbar button (the application's window carries it, with the application title, and owns
# the installer window), the keyboard (Escape does nothing, Enter acts on the focused button),
# "Cerrar" and the taskbar button's Close ending the program with status 0, and an executable
# whose payload is damaged failing at start-up with the "Application Error" box and status 1,
# before any window is shown.
# Usage: e2e_window.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
template=$1
source "$(dirname "$0")/install_lib.sh" "$1" "$2" window

exe=$WINE_BIN/Instalador.exe
[ -f "$exe" ] || { echo "Instalador.exe is not built"; exit 77; }

# child_line LIST CLASS TEXT: the winprobe line of the child window with that class and text.
child_line() { grep -E "^ +child .* class=\"$2\" text=\"$3\" " <<<"$1" | head -n 1; }
# visible_windows PID LIST: the visible top-level windows of one process.
visible_windows() { grep -E "^window .* pid=$1 .* visible=1" <<<"$2"; }
# The X window of a Wine top-level window, for xdotool.
x_window() { timeout 10 xdotool search --name "^$1\$" 2>/dev/null | head -n 1; }
# Keys go where a person's would: to the X window that has the keyboard focus.
press() {  # press CAPTION KEY
  local xid
  xid=$(x_window "$1") || return 1
  [ -n "$xid" ] || return 1
  timeout 10 xdotool windowfocus --sync "$xid" >/dev/null 2>&1
  timeout 10 xdotool key "$2"
}
# x_taskbar_names: the names of the installer's X windows that a desktop's taskbar lists: shown,
# managed (Wine sets their _NET_WM_STATE) and not marked to skip the taskbar.
x_taskbar_names() {
  local id state
  for id in $(timeout 10 xdotool search --class '^instalador\.exe$' 2>/dev/null); do
    timeout 10 xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    state=$(timeout 10 xprop -id "$id" _NET_WM_STATE 2>/dev/null)
    grep -q '^_NET_WM_STATE(ATOM)' <<<"$state" || continue
    grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$state" && continue
    timeout 10 xprop -id "$id" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
  done
}
# wine_pid_of LIST CAPTION: the Windows process id shown for the window with that caption.
wine_pid_of() { grep -E "^window .* text=\"$2\" " <<<"$1" | head -n 1 | wine_field pid; }

# --- 1. The window as it comes up; the keyboard; Enter on "Instalar" ---
prefix=$(wine_clone_prefix "$template" window) || exit 1
wine_start "$prefix" 300 "$WINE_WORK/instalador" "$exe"
pid=$WINE_LAST_PID

window=$(wine_inspect "$prefix" wait "$INST_CAPTION" --timeout 60)
wine_check "the window shows the caption \"$INST_CAPTION\"" test -n "$window"
[ -n "$window" ] || { wine_screenshot window-missing >/dev/null; wine_checks_done; }
wine_expect_eq "client area at 96 DPI" 400x303 "$(wine_field client <<<"$window")"

list=$(wine_inspect "$prefix" list)
echo "$list" > "$WINE_ARTIFACTS/window-controls.txt"
instal=$(child_line "$list" Button "$INST_INSTALL_BUTTON")
cerrar=$(child_line "$list" Button "$INST_CLOSE_BUTTON")
wine_expect_eq "\"Instalar\" at (98,8), 75x25" "98,8 75x25" "$(wine_field pos <<<"$instal") $(wine_field size <<<"$instal")"
wine_expect_eq "\"Cerrar\" at (226,8), 75x25" "226,8 75x25" "$(wine_field pos <<<"$cerrar") $(wine_field size <<<"$cerrar")"
panel=$(grep -E "^ +child hwnd=$(wine_field parent <<<"$instal") " <<<"$list" | head -n 1)
wine_expect_eq "the buttons' panel at (0,256), 400x47" "0,256 400x47" \
  "$(wine_field pos <<<"$panel") $(wine_field size <<<"$panel")"
wine_expect_eq "the focus starts on \"Instalar\"" 1 "$(wine_field focus <<<"$instal")"
# Neither button is a default button (BS_DEFPUSHBUTTON is style 1).
for line in "$instal" "$cerrar"; do
  style=$(wine_field style <<<"$line")
  wine_expect_eq "$(wine_field text <<<"$line") is a plain push button" 0 $(( style & 0xF ))
done
style=$(wine_field style <<<"$window")
exstyle=$(wine_field exstyle <<<"$window")
wine_expect_eq "dialog frame: no sizing border, no minimise or maximise box" 0 $(( style & 0x70000 ))
wine_expect_eq "dialog frame: modal frame style" 1 $(( exstyle & 0x1 ))
read -r left top right bottom <<<"$(wine_field screen <<<"$window" | tr ',' ' ')"
screen_size=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ { print $2; exit }')
if [ -n "$screen_size" ]; then
  wine_check "centred on the screen ($screen_size)" \
    test $(( (left + right) / 2 - ${screen_size%x*} / 2 )) -ge -1 -a $(( (left + right) / 2 - ${screen_size%x*} / 2 )) -le 1 \
    -a $(( (top + bottom) / 2 - ${screen_size#*x} / 2 )) -ge -1 -a $(( (top + bottom) / 2 - ${screen_size#*x} / 2 )) -le 1
fi

# One taskbar button, the application's: a window without size (so only the button shows it),
# captioned with the title, that owns the installer window. Read from Windows' side, and from
# what a taskbar on the X side reads.
buttons=$(wine_inspect "$prefix" taskbar "$INST_CAPTION")
echo "$buttons" > "$WINE_ARTIFACTS/window-taskbar.txt"
wine_expect_eq "one taskbar button" 1 "$(grep -c '^window ' <<<"$buttons")"
wine_expect_eq "the taskbar button carries the application title" "$INST_TITLE" "$(wine_field text <<<"$buttons")"
wine_expect_eq "the application's window has no size" 0x0 "$(wine_field size <<<"$buttons")"
wine_expect_eq "the application's window owns the installer window" "$(wine_field hwnd <<<"$buttons")" \
  "$(wine_field owner <<<"$window")"
wine_expect_eq "the X side lists one taskbar entry, the application title" \
  "$(printf '%b' "$INST_TITLE" | iconv -f CP1252 -t UTF-8)" "$(x_taskbar_names)"

shot=$(wine_screenshot window-instalador "$INST_CAPTION")
wine_check "screenshot of the window taken" test -s "$shot"
wine_expect_eq "the screenshot is the whole window, caption included" "$(wine_field size <<<"$window")" \
  "$(identify -format '%wx%h' "$shot" 2>/dev/null)"

winpid=$(wine_pid_of "$list" "$INST_CAPTION")
# Escape does nothing; Enter acts on the focused button: "Instalar" starts the install, which on
# this clean prefix finds no Oracle client, starts the client's setup and asks to wait for it.
# Keys are taken in order, so once Enter has been acted on, Escape has been too.
wine_check "Escape pressed" press "$INST_CAPTION" Escape
wine_check "Enter pressed on \"Instalar\"" press "$INST_CAPTION" Return
confirm=$(wine_inspect "$prefix" wait Confirm --timeout 60)
wine_check "Enter on \"Instalar\" started the install (its wait dialog is up)" test -n "$confirm"
list=$(wine_inspect "$prefix" list)
wine_expect_eq "Escape did nothing: the window stays, alone beside the wait dialog" 1 \
  "$(visible_windows "$winpid" "$list" | grep -c -v -F 'text="Confirm"')"
wine_check "the process still runs after Escape" kill -0 "$pid"
wine_screenshot window-after-enter >/dev/null
if [ -n "$confirm" ]; then
  # "No" cancels: what was installed is removed and the window closes itself.
  wine_check "the wait dialog answered No" wine_inspect "$prefix" click Confirm '&No'
  wine_wait_exit "$pid" 60 window-not-ended
  wine_expect_eq "the installer ends with status 0 after the cancelled install" 0 $?
else
  kill "$pid" 2>/dev/null
fi
wine_end_prefix "$prefix"

# window_ends NAME WHAT ACTION: a fresh installer in prefix NAME; once its window shows, the
# function ACTION (given the prefix) closes it in the way WHAT names, and it ends with status 0.
window_ends() {
  local name=$1 what=$2 action=$3 pid
  prefix=$(wine_clone_prefix "$template" "$name") || exit 1
  wine_start "$prefix" 120 "$WINE_WORK/instalador-${name#window-}" "$exe"
  pid=$WINE_LAST_PID
  if wine_inspect "$prefix" wait "$INST_CAPTION" --timeout 60 >/dev/null; then
    "$action" "$prefix"
    wine_wait_exit "$pid" 30 "$name-not-ended"
    wine_expect_eq "$what ends the installer with status 0" 0 $?
  else
    wine_check "the window came up for the test of: $what" false
    kill "$pid" 2>/dev/null
  fi
  wine_end_prefix "$prefix"
}

# --- 2. "Cerrar", clicked with the mouse, ends the program with status 0 ---
click_cerrar() {
  local cerrar bl bt br bb
  cerrar=$(child_line "$(wine_inspect "$1" list)" Button "$INST_CLOSE_BUTTON")
  read -r bl bt br bb <<<"$(wine_field screen <<<"$cerrar" | tr ',' ' ')"
  timeout 10 xdotool mousemove $(( (bl + br) / 2 )) $(( (bt + bb) / 2 )) click 1
}
window_ends window-close '"Cerrar"' click_cerrar

# --- 2b. Close on the taskbar button closes the window like its close box: status 0 ---
close_from_taskbar() { wine_check "the taskbar button's Close asked" wine_inspect "$1" close "$INST_TITLE"; }
window_ends window-taskbar-close "the taskbar button's Close" close_from_taskbar

# --- 3. A damaged payload: the start-up failure box, status 1, no window ---
prefix=$(wine_clone_prefix "$template" window-damaged) || exit 1
damaged=$WINE_WORK/Instalador-damaged.exe
cp "$exe" "$damaged"
# The payload stream starts with its signature and the root's class name "TFormExe".
offset=$(grep -obUaP 'TPF0\x08TFormExe' "$damaged" | head -n 1 | cut -d: -f1)
wine_check "the payload stream found in the executable" test -n "$offset"
if [ -n "$offset" ]; then
  printf 'XXXX' | dd of="$damaged" bs=1 seek="$offset" conv=notrunc status=none
  wine_start "$prefix" 120 "$WINE_WORK/instalador-damaged" "$damaged"
  pid=$WINE_LAST_PID
  box=$(wine_inspect "$prefix" wait "Application Error" --timeout 60)
  wine_check "the \"Application Error\" box appears" test -n "$box"
  list=$(wine_inspect "$prefix" list --all)
  echo "$list" > "$WINE_ARTIFACTS/window-damaged.txt"
  wine_check "the box names the fault" grep -q 'text="[^"]*Invalid stream format' <<<"$list"
  wine_check "the installer window was never created" bash -c "! grep -q 'class=\"InstaladorForm\"' <<<\"\$1\"" _ "$list"
  wine_screenshot window-damaged "Application Error" >/dev/null
  wine_check "the box answered OK" wine_inspect "$prefix" click "Application Error" OK
  wine_wait_exit "$pid" 30 window-damaged-not-ended
  wine_expect_eq "a damaged payload ends the installer with status 1" 1 $?
fi
wine_end_prefix "$prefix"

wine_checks_done
