#!/usr/bin/env bash
# Runs every test: the format check, native unit tests, the same under ASan+UBSan, short fuzzing
# runs, the release checks of the 32-bit Windows build (imports and hardening of the shipped
# programs, a reproducible second build, a signed build), then the Windows tests under Wine.
# Installs what it needs.
# Where Wine runs 32-bit programs, the Windows tests run the 32-bit build, and the x86-64 test
# build's GoogleTest programs beside it; elsewhere (or with INSTALADOR_WINDOWS_ARCH=x86_64) they
# run the x86-64 build, and the stage line says so. What needs the 32-bit build running is then
# reported as not run, never as passed.
# A stage's command exits 0 when all of it passed, 77 when what ran passed but some checks could
# not run here (its NOT RUN or SKIP lines say which), anything else when something failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

passed=0
partly=0
failed=0
stage() {  # stage NAME COMMAND...
  local name=$1 start=$SECONDS status; shift
  echo "== $name"
  "$@"
  status=$?
  if [ "$status" -eq 0 ]; then passed=$((passed + 1)); echo "-- $name: ok ($((SECONDS - start)) s)"
  elif [ "$status" -eq 77 ]; then
    partly=$((partly + 1)); echo "-- $name: ok in part, some checks not run here ($((SECONDS - start)) s)"
  else failed=$((failed + 1)); echo "-- $name: FAILED ($((SECONDS - start)) s)"; fi
}

ctest_in() { ctest --test-dir "$1" --output-on-failure -j "$(nproc)"; }

stage "format check" scripts/check_format.sh
stage "native build" scripts/build.sh host
stage "native tests" ctest_in build/host
stage "sanitizer build" scripts/build.sh asan
stage "native tests under ASan+UBSan" ctest_in build/host-asan
if [ -x fuzz/run.sh ]; then stage "fuzzing (short runs)" fuzz/run.sh short; fi
stage "Windows build" scripts/build.sh win32
stage "Windows x86-64 test build" scripts/build.sh win64

# One Wine work folder for the stages that run Wine, so the template prefix is made once and
# Wine is asked once whether it runs 32-bit programs.
WINE_WORK=$(mktemp -d /tmp/instalador-wine.XXXXXX) || exit 1
export WINE_WORK
trap '[ "${WINE_KEEP:-}" = 1 ] || rm -rf "$WINE_WORK"' EXIT
# shellcheck source=../tests/wine/lib.sh
source tests/wine/lib.sh
wine_road || exit 1
export WINE_ROAD WINE_ROAD_REASON

stage "shipped-program checks" scripts/check_release.sh shipped
stage "reproducible build" scripts/check_release.sh reproducible
stage "signed build" scripts/check_release.sh signed
if [ "$WINE_ROAD" = i686 ]; then
  stage "Windows tests under Wine" tests/wine/run.sh build/win32
  stage "Windows tests under Wine (x86-64 build: its test programs)" \
    env WINE_ONLY='_tests\.exe$' tests/wine/run.sh build/win64
else
  stage "Windows tests under Wine (x86-64 build: $WINE_ROAD_REASON)" tests/wine/run.sh build/win64
fi

if [ "$partly" -eq 0 ]; then echo "stages: $passed passed, $failed failed"
else echo "stages: $passed passed, $partly passed in part (checks not run here), $failed failed"; fi
[ "$failed" -eq 0 ]
