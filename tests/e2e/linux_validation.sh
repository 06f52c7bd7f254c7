#!/usr/bin/env bash
# The Linux program's outcomes that need no scheduler: help, missing options and a bad GMT
# offset. Each run's standard output is compared byte for byte, and its exit status too.
set -euo pipefail
cd "$(dirname "$0")/../.."

program=build/linux/runwarden
expected_dir=tests/e2e/expected
[[ -x $program ]] || { echo "missing $program: build the linux preset first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check NAME LOCALE STATUS EXPECTED_FILE ARGUMENT...
check() {
  local name=$1 locale=$2 want_status=$3 want_file=$4
  shift 4
  local status=0
  LC_ALL=$locale "$program" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
  if ! cmp -s "$want_file" "$work/$name.out"; then
    echo "FAIL $name: output differs" >&2
    diff <(od -c "$want_file") <(od -c "$work/$name.out") | head -20 >&2 || true
    failures=$((failures + 1))
  elif [[ $status -ne $want_status ]]; then
    echo "FAIL $name: exit status $status, expected $want_status" >&2
    failures=$((failures + 1))
  elif [[ -s $work/$name.err ]]; then
    echo "FAIL $name: wrote to standard error" >&2
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# expect NAME TEXT...: one file of the given lines, each ended by LF.
expect() {
  local name=$1
  shift
  printf '%s\n' "$@" >"$work/$name.want"
}

help_with_result() {
  local name=$1 help=$2
  { cat "$help"; printf '%s\n' 'ScriptRes:Unknown:TimeFrame is required'; } >"$work/$name.want"
}

help_with_result no_arguments "$expected_dir/help_c_locale.out"
check no_arguments C 2 "$work/no_arguments.want"

help_with_result help_switch "$expected_dir/help_c_locale.out"
check help_switch C 2 "$work/help_switch.want" '/?' -task:backup -timeframe:today
check help_minus_h C 2 "$work/help_switch.want" -h

help_with_result help_utf8 "$expected_dir/help_utf8_locale.out"
check help_utf8 C.UTF-8 2 "$work/help_utf8.want" -?

expect missing_task 'ScriptRes:Unknown:Scheduled Task name is required'
check missing_task C 2 "$work/missing_task.want" -timeframe:today
check empty_task C 2 "$work/missing_task.want" -task: -timeframe:60

expect missing_time_frame 'ScriptRes:Unknown:TimeFrame is required'
check missing_time_frame C 2 "$work/missing_time_frame.want" '-task:Daily Backup'
check unknown_keyword C 2 "$work/missing_time_frame.want" -task:backup -timeframe:tomorrow
check no_help_later C 2 "$work/missing_time_frame.want" -task:backup -h

expect bad_gmt 'ScriptRes:Unknown:Invalid gmt offset specified. Number should be in range -760..+780'
check gmt_above C 2 "$work/bad_gmt.want" -task:backup -timeframe:today -remotegmt:781
check gmt_below C 2 "$work/bad_gmt.want" -task:backup -timeframe:today -remotegmt:-781
check gmt_no_value C 2 "$work/bad_gmt.want" -task:backup -timeframe:today -remotegmt

if ((failures)); then
  echo "$failures end-to-end case(s) failed" >&2
  exit 1
fi
