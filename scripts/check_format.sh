#!/usr/bin/env bash
# The sources follow .clang-format: clang-format changes nothing in any C or C++ file of the
# repository. Prints the files it would change; exit status 1 when there are any.
# Apply it with: git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format -i
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
# shellcheck source=report.sh
source scripts/report.sh
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if clang-format --dry-run -Werror "${files[@]}" >/dev/null 2>&1; then
  report PASS "format" "${#files[@]} files follow .clang-format"
else
  report FAIL "format" "clang-format would change these files"
  for file in "${files[@]}"; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || echo "$file"
  done | report_details
fi
report_exit
