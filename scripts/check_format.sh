#!/usr/bin/env bash
# The sources follow .clang-format: clang-format changes nothing in any C or C++ file of the
# repository. Prints the files it would change; exit status 1 when there are any.
# Apply it with: git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format -i
set -uo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if clang-format --dry-run -Werror "${files[@]}" >/dev/null 2>&1; then
  echo "PASS  format (${#files[@]} files follow .clang-format)"
  exit 0
fi
echo "FAIL  format (clang-format would change these files)"
for file in "${files[@]}"; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || echo "      $file"
done
exit 1
