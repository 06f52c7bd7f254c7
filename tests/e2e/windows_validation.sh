#!/usr/bin/env bash
# The Windows program's outcomes that need no scheduler, under Wine: help, the version,
# missing options and a bad GMT offset, with CR LF line ends and the banner's code page 437
# bytes unchanged. The program splits its one command-line text itself, which the quoted
# cases show.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

program=build/windows/runwarden.exe
require_built "$program"
wine_start

work=$(mktemp -d)
trap 'rm -rf "$work"; wine_stop' EXIT

# run NAME ARGUMENT...: output to $work/NAME.out, exit status in $status.
run() {
  local name=$1
  shift
  status=0
  wine_run "$work/$name.out" "$program" "$@" || status=$?
}

{
  LC_ALL=C sed 's/$/\r/' tests/e2e/expected/help_c_locale.out
  printf 'ScriptRes:Unknown:TimeFrame is required\r\n'
} >"$work/help.want"

run no_arguments
expect_file no_arguments "$work/help.want" "$work/no_arguments.out"
expect_status no_arguments 2 "$status"

# Wine hands an empty argument over as two double quotes, which the splitting rule drops:
# -h is then the first argument and asks for help.
run empty_then_help "" -h -task:backup -timeframe:today
expect_file empty_then_help "$work/help.want" "$work/empty_then_help.out"
expect_status empty_then_help 2 "$status"

run version -version
expect_bytes version "runwarden $(project_version build/windows)\r\n" "$work/version.out"
expect_status version 0 "$status"

run missing_task -timeframe:today
expect_bytes missing_task 'ScriptRes:Unknown:Scheduled Task name is required\r\n' "$work/missing_task.out"
expect_status missing_task 2 "$status"

run missing_time_frame '-task:Daily Backup'
expect_bytes missing_time_frame 'ScriptRes:Unknown:TimeFrame is required\r\n' "$work/missing_time_frame.out"
expect_status missing_time_frame 2 "$status"

# Split at the blank, "-remotegmt:1" would be a valid offset; quoted, "1 2" is no number.
run quoted_gmt -task:backup -timeframe:today '-remotegmt:1 2'
expect_bytes quoted_gmt \
  'ScriptRes:Unknown:Invalid gmt offset specified. Number should be in range -760..+780\r\n' \
  "$work/quoted_gmt.out"
expect_status quoted_gmt 2 "$status"

finish
