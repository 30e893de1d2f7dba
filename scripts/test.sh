#!/usr/bin/env bash
# Runs every test: the format check, shellcheck over the scripts, native unit tests, the same
# under ASan+UBSan, short fuzzing runs, the release checks of the 32-bit Windows build (imports and
# hardening of the shipped programs, a reproducible second build, a signed build), then the
# Windows tests under Wine.
# Installs what it needs.
# Three kinds of machine (tests/wine/lib.sh tells them apart; each Windows stage line says which):
# - 32-bit code runs natively: the Windows tests run the 32-bit build, and the x86-64 test build's
#   GoogleTest programs beside it.
# - it runs only emulated (qemu-i386, scripts/setup.sh registers it): the Windows tests run the
#   x86-64 build, and one stage runs the 32-bit release under emulation: the signed installer
#   starts, and a whole clean install (tests/wine/e2e_install_clean.sh) runs in a 64-bit prefix.
# - it does not run: the x86-64 build, and that stage reports what it could not run.
# With INSTALADOR_WINDOWS_ARCH=x86_64 the tests run the x86-64 build on any machine. What needs
# the 32-bit build running and could not run is reported as not run, never as passed.
# A stage's command exits 0 when all of it passed, 77 when what ran passed but some checks could
# not run here (its NOT RUN or SKIP lines say which), anything else when something failed
# (scripts/report.sh prints and counts every stage and check line).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/setup.sh || exit 1

# shellcheck source=report.sh
source scripts/report.sh

ctest_in() { ctest --test-dir "$1" --output-on-failure -j "$(nproc)"; }

report_stage "format check" scripts/check_format.sh
report_stage "shell scripts (shellcheck)" scripts/check_shell.sh
report_stage "native build" scripts/build.sh host
report_stage "native tests" ctest_in build/host
report_stage "sanitizer build" scripts/build.sh asan
report_stage "native tests under ASan+UBSan" ctest_in build/host-asan
if [ -x fuzz/run.sh ]; then report_stage "fuzzing (short runs)" fuzz/run.sh short; fi
report_stage "Windows build" scripts/build.sh win32
report_stage "Windows x86-64 test build" scripts/build.sh win64

# One Wine work folder for the stages that run Wine, so the template prefix is made once and
# Wine is asked once whether it runs 32-bit programs (and how fast).
WINE_WORK=$(mktemp -d /tmp/instalador-wine.XXXXXX) || exit 1
export WINE_WORK
trap '[ "${WINE_KEEP:-}" = 1 ] || rm -rf "$WINE_WORK"' EXIT
# shellcheck source=../tests/wine/lib.sh
source tests/wine/lib.sh
probe_start=$SECONDS
wine_road || exit 1
export WINE_ROAD WINE_ROAD_REASON
# Where 32-bit code runs only emulated, the 32-bit release's stage needs the probe (and its factor).
[ "${INSTALADOR_WINDOWS_ARCH:-}" = x86_64 ] || wine_runs_32bit
machine=$(wine_32bit_code_line)
if [ -z "${WINE_32BIT_SLOW:-}" ]; then echo "$machine; $WINE_ROAD_REASON"
elif [ -n "$WINE_32BIT_REASON" ]; then echo "$machine; ${WINE_32BIT_REASON}; $((SECONDS - probe_start)) s"
else echo "$machine; Wine starts a 32-bit program in $WINE_32BIT_START s: its time-outs x$WINE_32BIT_SLOW;" \
  "the template prefix and this probe $((SECONDS - probe_start)) s"; fi

# release_32bit: where the Windows tests run the x86-64 build, the 32-bit release itself: the
# signed installer starts, and one whole clean install in the run's 64-bit template prefix
# (made once, shared with the x86-64 stages). Under emulation that is all there is time for.
release_32bit() {
  local start_status=0 install_status
  scripts/check_release.sh signed-start || start_status=$?
  if [ "${INSTALADOR_WINDOWS_ARCH:-}" != x86_64 ] && wine_runs_32bit; then
    WINE_ONLY='^e2e_install_clean$' tests/wine/run.sh build/win32
    install_status=$?
  else
    report "NOT RUN" "a whole clean install of the 32-bit release" \
      "${WINE_32BIT_REASON:-forced off by INSTALADOR_WINDOWS_ARCH=x86_64}"
    install_status=77
  fi
  report_worst "$start_status" "$install_status"
}

report_stage "shipped-program checks" scripts/check_release.sh shipped
report_stage "reproducible build" scripts/check_release.sh reproducible
if [ "$WINE_ROAD" = i686 ]; then
  report_stage "signed build" scripts/check_release.sh signed
  report_stage "Windows tests under Wine (32-bit build, $machine)" tests/wine/run.sh build/win32
  report_stage "Windows tests under Wine (x86-64 build: its test programs)" \
    env WINE_ONLY='_tests\.exe$' tests/wine/run.sh build/win64
else
  report_stage "signed build (its start: in the 32-bit release's stage)" scripts/check_release.sh signed-build
  report_stage "Windows tests under Wine (x86-64 build: $WINE_ROAD_REASON)" tests/wine/run.sh build/win64
  report_stage "32-bit release under Wine ($machine)" release_32bit
fi

report_stage_totals
# Stages passed in part pass the command: their NOT RUN lines and the last line say what did not run.
[ "$REPORT_FAILED" -eq 0 ]
