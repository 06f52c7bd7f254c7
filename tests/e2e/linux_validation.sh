#!/usr/bin/env bash
# The Linux program's outcomes that need no scheduler: help, the version, missing options
# and a bad GMT offset. Standard output is compared byte for byte, the exit status exactly.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh

program=build/linux/runwarden
expected=tests/e2e/expected
require_built "$program"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME LOCALE ARGUMENT...: output to $work/NAME.out, exit status in $status.
run() {
  local name=$1 locale=$2
  shift 2
  status=0
  LC_ALL=$locale "$program" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
  expect_bytes "$name (standard error)" '' "$work/$name.err"
}

# help_then_result NAME HELP_FILE: the help text, then the result line after it.
help_then_result() {
  { cat "$2"; printf 'ScriptRes:Unknown:TimeFrame is required\n'; } >"$work/$1.want"
}

help_then_result help_c "$expected/help_c_locale.out"
help_then_result help_utf8 "$expected/help_utf8_locale.out"

run no_arguments C
expect_file no_arguments "$work/help_c.want" "$work/no_arguments.out"
expect_status no_arguments 2 "$status"

# A help switch first: nothing after it is read.
run help_switch C '/?' -task:backup -timeframe:today
expect_file help_switch "$work/help_c.want" "$work/help_switch.out"
expect_status help_switch 2 "$status"

# The box drawing in UTF-8; the rest of the text unchanged.
run help_utf8 C.UTF-8 -?
expect_file help_utf8 "$work/help_utf8.want" "$work/help_utf8.out"
expect_status help_utf8 2 "$status"

# -version answers alone, whatever else the line holds; a help switch first still wins.
version=$(project_version build/linux)
run version C -task:backup -timeframe:tomorrow -version
expect_bytes version "runwarden $version\n" "$work/version.out"
expect_status version 0 "$status"
run help_before_version C -h -version
expect_file help_before_version "$work/help_c.want" "$work/help_before_version.out"
expect_status help_before_version 2 "$status"

run missing_task C -timeframe:today
expect_bytes missing_task 'ScriptRes:Unknown:Scheduled Task name is required\n' "$work/missing_task.out"
expect_status missing_task 2 "$status"

run empty_task C -task: -timeframe:60
expect_bytes empty_task 'ScriptRes:Unknown:Scheduled Task name is required\n' "$work/empty_task.out"
expect_status empty_task 2 "$status"

run missing_time_frame C '-task:Daily Backup'
expect_bytes missing_time_frame 'ScriptRes:Unknown:TimeFrame is required\n' "$work/missing_time_frame.out"
expect_status missing_time_frame 2 "$status"

run unknown_keyword C -task:backup -timeframe:Tomorrow
expect_bytes unknown_keyword 'ScriptRes:Unknown:TimeFrame is required\n' "$work/unknown_keyword.out"
expect_status unknown_keyword 2 "$status"

# -h after the first argument asks for nothing.
run late_help C -task:backup -h
expect_bytes late_help 'ScriptRes:Unknown:TimeFrame is required\n' "$work/late_help.out"
expect_status late_help 2 "$status"

gmt_message='ScriptRes:Unknown:Invalid gmt offset specified. Number should be in range -760..+780\n'
for offset in -remotegmt:781 -remotegmt:-781 -remotegmt -remotegmt:abc; do
  run "gmt$offset" C -task:backup -timeframe:today "$offset"
  expect_bytes "gmt$offset" "$gmt_message" "$work/gmt$offset.out"
  expect_status "gmt$offset" 2 "$status"
done

# No credential store on Linux: -cred: stops the check before any manager is asked.
run credential C -task:backup -timeframe:today -cred:backup01 -user:monitor
expect_bytes credential 'ScriptRes:Unknown:Cannot read credential "backup01": Linux keeps no credentials for the check; a remote Linux computer is reached with ssh keys.\n' "$work/credential.out"
expect_status credential 2 "$status"

finish
