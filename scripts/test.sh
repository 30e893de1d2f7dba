#!/usr/bin/env bash
# Runs every test: the format check, native unit tests, the same under ASan+UBSan, short fuzzing
# runs, the release checks of the Windows build (imports and hardening of the shipped
# programs, a reproducible second build, a signed build), then the Windows build's tests
# under Wine. Installs what it needs.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

passed=0
failed=0
stage() {  # stage NAME COMMAND...
  local name=$1 start=$SECONDS; shift
  echo "== $name"
  if "$@"; then passed=$((passed + 1)); echo "-- $name: ok ($((SECONDS - start)) s)"
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

# One Wine work folder for the stages that run Wine, so the template prefix is made once.
WINE_WORK=$(mktemp -d /tmp/instalador-wine.XXXXXX) || exit 1
export WINE_WORK
trap '[ "${WINE_KEEP:-}" = 1 ] || rm -rf "$WINE_WORK"' EXIT
stage "shipped-program checks" scripts/check_release.sh shipped
stage "reproducible build" scripts/check_release.sh reproducible
stage "signed build" scripts/check_release.sh signed
if [ -x tests/wine/run.sh ]; then stage "Windows tests under Wine" tests/wine/run.sh; fi

echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
