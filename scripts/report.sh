#!/usr/bin/env bash
# The one PASS/FAIL reporter of the test command (scripts/test.sh), its checks (scripts/check_format.sh,
# scripts/check_shell.sh, scripts/check_release.sh) and the Windows tests (tests/wine/run.sh). Source
# it. The lines, which the CI and README.md rely on:
#   PASS  NAME (DETAIL)      a check passed
#   FAIL  NAME (DETAIL)      it failed; the lines after it, indented by six blanks, say why
#   SKIP  NAME (DETAIL)      a scenario skipped itself (what it drives is not built, say)
#   NOT RUN NAME (DETAIL)    it could not run on this machine
# and a test command's stage: "== NAME" before it, "-- NAME: ok|ok in part, ...|FAILED (N s)" after.
# Exit statuses, of a check script and of a stage alike: 0 when all passed, 77 when what ran passed
# but something did not run here (its SKIP or NOT RUN lines say what), anything else when one failed.

REPORT_PASSED=0
REPORT_NOT_RUN=0  # SKIP and NOT RUN lines, and stages passed in part
REPORT_FAILED=0

# report PASS|FAIL|SKIP|"NOT RUN" NAME [DETAIL]: one line, counted. Any other result counts as a
# failure: what is not known to have passed has not.
report() {
  printf '%-5s %s%s\n' "$1" "$2" "${3:+ ($3)}"
  case $1 in
    PASS) REPORT_PASSED=$((REPORT_PASSED + 1)) ;;
    SKIP | "NOT RUN") REPORT_NOT_RUN=$((REPORT_NOT_RUN + 1)) ;;
    *) REPORT_FAILED=$((REPORT_FAILED + 1)) ;;
  esac
}

# report_details < LINES: the lines that say why a check failed, under its FAIL line: the first 20,
# then how many more there are.
report_details() { awk 'NR <= 20 { print "      " $0 } END { if (NR > 20) print "      (" NR - 20 " more)" }'; }

# report_status: returns the exit status of what was reported so far (1, 77 or 0).
report_status() {
  [ "$REPORT_FAILED" -eq 0 ] || return 1
  [ "$REPORT_NOT_RUN" -eq 0 ] || return 77
  return 0
}

# report_exit: ends the script with that status.
report_exit() {
  report_status
  exit $?
}

# report_worst STATUS...: returns the worst of exit statuses of this kind: the first failure, else 77
# when one did not run in full, else 0.
report_worst() {
  local status worst=0
  for status in "$@"; do
    case $status in
      0) ;;
      77) worst=77 ;;
      *) return "$status" ;;
    esac
  done
  return "$worst"
}

# report_totals: "N passed, N failed", after "N skipped" when something was skipped or not run.
report_totals() {
  [ "$REPORT_NOT_RUN" -eq 0 ] || echo "$REPORT_NOT_RUN skipped"
  echo "$REPORT_PASSED passed, $REPORT_FAILED failed"
}

# report_stage NAME COMMAND...: runs one stage of the test command, in a subshell (its own reports
# and variables stay there), and reports it by its exit status, with its time.
report_stage() {
  local name=$1 start=$SECONDS status
  shift
  echo "== $name"
  ("$@")
  status=$?
  case $status in
    0) REPORT_PASSED=$((REPORT_PASSED + 1)); echo "-- $name: ok ($((SECONDS - start)) s)" ;;
    77) REPORT_NOT_RUN=$((REPORT_NOT_RUN + 1))
        echo "-- $name: ok in part, some checks not run here ($((SECONDS - start)) s)" ;;
    *) REPORT_FAILED=$((REPORT_FAILED + 1)); echo "-- $name: FAILED ($((SECONDS - start)) s)" ;;
  esac
}

# report_stage_totals: the test command's last line.
report_stage_totals() {
  if [ "$REPORT_NOT_RUN" -eq 0 ]; then
    echo "stages: $REPORT_PASSED passed, $REPORT_FAILED failed"
  else
    echo "stages: $REPORT_PASSED passed, $REPORT_NOT_RUN passed in part (checks not run here), $REPORT_FAILED failed"
  fi
}
