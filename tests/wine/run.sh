#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: every *_tests.exe of the build (GoogleTest), each in a
# fresh copy of one template prefix, then every tests/wine/e2e_*.sh scenario. One line per item,
# then "N passed, N failed"; exit status 1 when anything failed, 77 when nothing failed but
# something was skipped. The 32-bit build (build/win32)
# and the x86-64 test build (build/win64) run the same programs and scenarios; what differs by
# architecture is in lib.sh.
# Usage: tests/wine/run.sh [BUILD_DIR]        (default: build/win32)
#   WINE_ONLY=REGEX        run only the items whose name matches
#   WINE_ALSO_WIN32=0      for the 32-bit build, do not run the *_tests.exe again in a 32-bit prefix
#                          (they do by default: the installer meets both kinds of machine)
#   WINE_TEST_TIMEOUT=S    per test executable (default 600); WINE_SCENARIO_TIMEOUT=S per scenario (900);
#                          both, like every time-out of the harness, scaled by lib.sh's WINE_SLOW
# A scenario gets the template prefix and the build folder as its arguments; exit status 77 means
# "skipped" (for instance: the program it drives is not built).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINE_BUILD_DIR=${1:-${WINE_BUILD_DIR:-$here/../../build/win32}}

# shellcheck source=../../scripts/report.sh
source "$here/../../scripts/report.sh"
# finish: the totals; exit status 1 when anything failed, 77 when nothing failed but something
# was skipped.
finish() {
  report_totals
  report_exit
}

for tool in wine wineserver Xvfb xdotool import timeout; do
  command -v "$tool" >/dev/null 2>&1 || { report FAIL "harness" "$tool is not installed (scripts/setup.sh installs it)"; finish; }
done

# shellcheck source=lib.sh
source "$here/lib.sh"
wine_lib_init || { report FAIL "harness" "could not prepare the build folder or the display"; finish; }
selected() { [ -z "${WINE_ONLY:-}" ] || [[ $1 =~ $WINE_ONLY ]]; }
relative() { echo "${1#"$WINE_REPO"/}"; }

# A 32-bit build where Wine runs no 32-bit programs: one line that says so, not a failure per item.
if [ "$WINE_BUILD_ARCH" = i686 ] && ! wine_runs_32bit; then
  report FAIL "harness" "$WINE_32BIT_REASON: the 32-bit build cannot run here; the x86-64 build can\
 (scripts/build.sh win64 && tests/wine/run.sh build/win64)"
  finish
fi

read -r -a archs <<<"$WINE_PREFIX_KINDS"
[ "${WINE_ALSO_WIN32:-1}" = 1 ] || archs=("${archs[0]}")
arch=${archs[0]}
started=$(date +%s)
template=$(wine_make_template "$arch") || { report FAIL "template prefix ($arch)" "wineboot failed"; finish; }
echo "wine: $("$WINE_LOADER" --version), $WINE_BUILD_ARCH build, $(wine_32bit_code_line " (" ")")," \
  "time-outs x$WINE_SLOW, $arch template prefix in $(($(date +%s) - started)) s, display $DISPLAY"

# run_test_exe EXE ARCH TEMPLATE
run_test_exe() {
  local exe=$1 arch=$2 template=$3 name label log prefix status detail start seconds count skips
  name=$(basename "$exe" .exe)
  label=$(basename "$exe")
  [ "$arch" = "${archs[0]}" ] || label="$label [$arch]"
  log="$WINE_ARTIFACTS/$name-$arch.log"
  prefix=$(wine_clone_prefix "$template" "$name-$arch") || { report FAIL "$label" "could not copy the prefix"; return; }
  # The executable runs from a scratch folder so files it leaves land there.
  mkdir -p "$prefix/drive_c/scratch"
  start=$(date +%s)
  (cd "$prefix/drive_c/scratch" && wine_start "$prefix" "$((${WINE_TEST_TIMEOUT:-600} + 30))" "$log.tmp" "$exe" \
     && wine_wait_exit "$WINE_LAST_PID" "${WINE_TEST_TIMEOUT:-600}" "timeout-$name-$arch")
  status=$?
  seconds=$(($(date +%s) - start))
  cat "$log.tmp.out" "$log.tmp.err" > "$log" 2>/dev/null
  rm -f "$log.tmp.out" "$log.tmp.err"
  wine_end_prefix "$prefix"
  rm -rf "$prefix"
  count=$(grep -o '^\[==========\] [0-9]* tests\? from [0-9]* test suites\? ran' "$log" | grep -o '^\[==========\] [0-9]*' | grep -o '[0-9]*$')
  if [ "$status" -eq 0 ]; then
    # GoogleTest's summary line for the tests that skipped themselves (one registry view on a
    # 32-bit machine, say): they count as run, not as passed.
    skips=$(grep -o '^\[  SKIPPED \] [0-9]* tests\?, listed below' "$log" | grep -o '[0-9][0-9]*' | head -n 1)
    report PASS "$label" "${count:-?} tests${skips:+, $skips of them skipped}, $seconds s"
    return
  fi
  if [ "$status" -eq 124 ]; then
    detail="timed out after $(wine_scale "${WINE_TEST_TIMEOUT:-600}") s, screenshot $(relative "$WINE_ARTIFACTS")/timeout-$name-$arch.png"
  else
    detail="exit $status"
  fi
  report FAIL "$label" "$detail, log $(relative "$log")"
  grep '^\[  FAILED  \] [A-Za-z_]' "$log" | grep -v 'listed below' | sed -e 's/ ([0-9]* ms)$//' | sort -u |
    report_details
}

shopt -s nullglob
if [ ! -d "$WINE_BIN" ]; then
  report FAIL "build" "no $(relative "$WINE_BIN"); build the Windows tree first (scripts/build.sh win32)"
else
  for a in "${archs[@]}"; do
    t=$template
    [ "$a" = "$arch" ] || t=$(wine_make_template "$a") || { report FAIL "template prefix ($a)" "wineboot failed"; continue; }
    for exe in "$WINE_BIN"/*_tests.exe; do
      selected "$(basename "$exe")" || continue
      run_test_exe "$exe" "$a" "$t"
    done
  done
fi

for script in "$here"/e2e_*.sh; do
  name=$(basename "$script" .sh)
  selected "$name" || continue
  log="$WINE_ARTIFACTS/$name.log"
  start=$(date +%s)
  WINE_WORK="$WINE_WORK/$name" WINE_OWNS_WORK="" timeout -k 15 "$(wine_scale "${WINE_SCENARIO_TIMEOUT:-900}")" \
    bash "$script" "$template" "$WINE_BUILD_DIR" >"$log" 2>&1 </dev/null
  status=$?
  seconds=$(($(date +%s) - start))
  case $status in
    0) report PASS "$name" "$seconds s" ;;
    77) report SKIP "$name" "$(tail -n 1 "$log")" ;;
    124) report FAIL "$name" "timed out after $(wine_scale "${WINE_SCENARIO_TIMEOUT:-900}") s, log $(relative "$log")" ;;
    *) report FAIL "$name" "exit $status, log $(relative "$log")"
       grep '^FAIL' "$log" | report_details ;;
  esac
done

# A selection that matches nothing ran nothing: that is no pass (a renamed scenario, a typo).
if [ $((REPORT_PASSED + REPORT_FAILED + REPORT_NOT_RUN)) -eq 0 ]; then
  report FAIL "selection" "no test program or scenario of $(relative "$WINE_BUILD_DIR") matches WINE_ONLY='${WINE_ONLY:-}'"
fi

finish
