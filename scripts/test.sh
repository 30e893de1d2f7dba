#!/usr/bin/env bash
# Runs every test: native unit tests, the same under ASan+UBSan, short fuzzing
# runs, then the Windows build's tests under Wine. Installs what it needs.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

passed=0
failed=0
stage() {  # stage NAME COMMAND...
  local name=$1; shift
  echo "== $name"
  if "$@"; then passed=$((passed + 1)); echo "-- $name: ok"; else failed=$((failed + 1)); echo "-- $name: FAILED"; fi
}

ctest_in() { ctest --test-dir "$1" --output-on-failure -j "$(nproc)"; }

stage "native build" scripts/build.sh host
stage "native tests" ctest_in build/host
stage "sanitizer build" scripts/build.sh asan
stage "native tests under ASan+UBSan" ctest_in build/host-asan
if [ -x fuzz/run.sh ]; then stage "fuzzing (short runs)" fuzz/run.sh short; fi
stage "Windows build" scripts/build.sh win32
if [ -x tests/wine/run.sh ]; then stage "Windows tests under Wine" tests/wine/run.sh; fi

echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
