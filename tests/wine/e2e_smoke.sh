#!/usr/bin/env bash
# Smoke test of the harness itself: the product stand-in starts in a fresh prefix under the
# harness's display, its window is found, photographed with its caption, closed, and it exits
# cleanly; and the generated tnsnames.ora holds exactly the product's entry and CR LF.
# Usage: e2e_smoke.sh TEMPLATE_PREFIX BUILD_DIR
set -uo pipefail
template=$1
source "$(dirname "$0")/install_lib.sh" "$1" "$2" smoke

# The stored net service file, byte for byte.
expected="Tramidex = (DESCRIPTION = (ADDRESS_LIST = (ADDRESS = (PROTOCOL = TCP)(HOST = $DB_HOST)(PORT = 1521)) ) (CONNECT_DATA = (SID = vardo) ) )"$'\r\n'
wine_check "tnsnames.ora holds the entry line and CR LF, nothing else" \
  cmp -s <(printf '%s' "$expected") "$CARRIED_TNSNAMES"

prefix=$(wine_clone_prefix "$template" smoke) || exit 1
version=$(wine_cache_value PLIEGORAMA_VERSION)
wine_start "$prefix" 120 "$WINE_WORK/pliegorama" "$WINE_BIN/Pliegorama.exe"
pid=$WINE_LAST_PID

window=$(wine_inspect "$prefix" wait Pliegorama --timeout 30)
wine_check "the Pliegorama window appears" test -n "$window"
wine_inspect "$prefix" list > "$WINE_ARTIFACTS/smoke-windows.txt"
wine_check "the window shows its version ${version:-1.0.4.6}" \
  grep -q "class=\"Static\" text=\"Pliegorama ${version:-1.0.4.6}\\\\n" "$WINE_ARTIFACTS/smoke-windows.txt"

# Wine draws the frame itself (Decorated=N): the X window, and so the screenshot, is the whole
# window with its caption, not only the client area.
shot=$(wine_screenshot smoke-pliegorama Pliegorama)
wine_check "screenshot of the window taken" test -s "$shot"
outer=$(echo "$window" | wine_field size)
wine_expect_eq "screenshot covers the whole window, caption included" "$outer" \
  "$(identify -format '%wx%h' "$shot" 2>/dev/null)"
client=$(echo "$window" | wine_field client)
wine_check "the caption and frame add to the client area ($client in $outer)" test "${outer#*x}" -gt "${client#*x}"
wine_screenshot smoke-screen >/dev/null

wine_check "close request delivered" wine_inspect "$prefix" close Pliegorama
wine_wait_exit "$pid" 30 smoke-not-closed
wine_expect_eq "Pliegorama exits with status 0 when closed" 0 $?
wine_check "its window is gone" wine_inspect "$prefix" gone Pliegorama --timeout 5

wine_checks_done
