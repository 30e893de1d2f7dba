#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan+UBSan and runs each one.
# Usage: fuzz/run.sh short   about 30 s per target (the test command runs this)
#        fuzz/run.sh long    FUZZ_SECONDS per target (default 3600), FUZZ_JOBS parallel workers
# A crash fails the run; its input is copied to tests/data/fuzz-regressions/<target>/,
# where the unit tests replay it from then on.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
mode=${1:-short}
case "$mode" in
  short) seconds=${FUZZ_SECONDS:-30} ;;
  long) seconds=${FUZZ_SECONDS:-3600} ;;
  *) echo "usage: $0 short|long" >&2; exit 2 ;;
esac
jobs=${FUZZ_JOBS:-1}
# Parallel workers write fuzz-N.log files in the current folder: only ask for them when wanted.
parallel=()
[ "$jobs" -gt 1 ] && parallel=(-jobs="$jobs" -workers="$jobs")
build=build/fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DINSTALADOR_FUZZ=ON -DINSTALADOR_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
cmake --build "$build" --target form_reader_fuzz pe_image_fuzz make_seeds -j2 >>"$build.log" 2>&1 ||
  { tail -50 "$build.log"; exit 1; }

status=0
for target in form_reader_fuzz pe_image_fuzz; do
  corpus=$build/corpus/$target
  seeds=$build/seeds/$target
  artifacts=$build/artifacts/$target
  regressions=tests/data/fuzz-regressions/$target
  mkdir -p "$corpus" "$seeds" "$artifacts" "$regressions"
  "$build/bin/make_seeds" "$build/seeds/form_reader_fuzz" "$build/seeds/pe_image_fuzz" 2>/dev/null || mkdir -p "$seeds"
  echo "fuzz: $target for ${seconds}s"
  if ! "$build/bin/$target" "$corpus" "$seeds" "$regressions" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=65536 "${parallel[@]}" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$build/$target.log" 2>&1; then
    status=1
    tail -40 "$build/$target.log"
    for crash in "$artifacts"/*; do
      [ -f "$crash" ] && cp "$crash" "$regressions/" && echo "fuzz: kept $(basename "$crash") in $regressions"
    done
  else
    grep -E "stat::number_of_executed_units|cov:" "$build/$target.log" | tail -2
  fi
done
exit $status
