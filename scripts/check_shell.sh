#!/usr/bin/env bash
# The shell scripts of the build and the tests (scripts/, tests/wine/, fuzz/ and .ci/run): no
# ShellCheck warning, with the files they source followed from each script's own folder. Prints
# the findings under the FAIL line; exit status 1 when there are any. A finding where the code is
# right is silenced at its line with a disable directive for that one code and the reason.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
# shellcheck source=report.sh
source scripts/report.sh
# New scripts too, before their first commit.
mapfile -t files < <(git ls-files --cached --others --exclude-standard \
                       'scripts/*.sh' 'tests/wine/*.sh' 'fuzz/*.sh' .ci/run)
if ! command -v shellcheck >/dev/null 2>&1; then
  report FAIL "shellcheck" "shellcheck is not installed (scripts/setup.sh installs it)"
elif findings=$(shellcheck --severity=warning --external-sources --source-path=SCRIPTDIR --format=gcc \
                  "${files[@]}" 2>&1); then
  version=$(shellcheck --version | sed -n 's/^version: //p')
  report PASS "shellcheck" "${#files[@]} scripts, no warnings, shellcheck $version"
else
  report FAIL "shellcheck" "$(grep -c . <<<"$findings") findings in ${#files[@]} scripts"
  report_details <<<"$findings"
fi
report_exit
