#!/usr/bin/env bash
# The scheduled-task helper over the real Windows platform, under Wine's Task Scheduler 1.0
# and 2.0: the scheduler object, the target computer, the opened task, its recorded last
# run and exit code and its run state, each result exactly as the helper reports it (no
# check, no locale around it).
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/task_fixture.exe" "$bin/scheduler_probe.exe"
wine_start
out=$(mktemp)
trap 'rm -f "$out" "$out.err"; wine_stop' EXIT

fixture() {
  wine_run "$out" "$bin/task_fixture.exe" "$@" || { echo "FAIL: task_fixture $*: $(cat "$out.err")"; exit 1; }
}
fixture "Nightly Backup" 3 2026 12 6 15 4 5
fixture "Top Bit" 0x80000001 2026 1 31 23 59 59
fixture "Never Ran" never

# probe NAME HOST TASK EXPECTED [state]: the probe's exact output (CR LF line ends) and
# status 0.
probe() {
  wine_run "$out" "$bin/scheduler_probe.exe" "$2" "$3" "${@:5}"
  expect_status "$1" 0 $?
  expect_bytes "$1" "$4" "$out"
}

probe "last run and exit code" "" "Nightly Backup" \
  'last run 2026-12-06 15:04:05\r\nexit code 3\r\n'
probe "exit code with the top bit set is unsigned" "" "Top Bit" \
  'last run 2026-01-31 23:59:59\r\nexit code 2147483649\r\n'
probe "never ran: all-zero record" "" "Never Ran" \
  'last run: Invalid argument to date encode\r\nexit code 0\r\n'
probe "unknown task" "" "No Such Task" \
  'open failed: Cannot find task "No Such Task"; Error Code: 80070002\r\n'
probe "unreachable computer" '\\nohost.invalid' "Nightly Backup" \
  'connect failed: Cannot connect to computer: "\\\\nohost.invalid"; Error Code: 80070035\r\n'
# A task that only Task Scheduler 2.0 holds: found through 2.0; Wine records no run for it
# and gives no result (E_NOTIMPL), which reads as 0.
fixture --v2 '\Backup\Nightly'
probe "2.0 task in a folder: never ran, no result" "" '\Backup\Nightly' \
  'last run: Invalid argument to date encode\r\nexit code 0\r\n'
probe "found by neither: the 1.0 code" "" '\Backup\Nope' \
  'open failed: Cannot find task "\\Backup\\Nope"; Error Code: 80070003\r\n'
# The run state through the real adapters. Wine's 1.0 keeps the status, the flags, the
# running instances and the triggers of a task file: a daily trigger six hours ahead is
# the next run, to the minute; a disabled task has none. Its 2.0 gives Enabled and a ready
# or disabled state, and no next run or missed runs.
later=$(date -d '+6 hours' '+%Y-%m-%d %H:%M')
fixture "Daily State" 0 2026 1 31 23 59 59 "daily=${later#* }"
fixture "Off State" 0 2026 1 31 23 59 59 "daily=${later#* }" flags=4
fixture "Busy State" 0 2026 1 31 23 59 59 status=0x41301 instances=1
fixture --v2 '\Backup\Off' disabled
ran='last run 2026-01-31 23:59:59\r\nexit code 0\r\n'
probe "1.0 state: scheduled, its next run" "" "Daily State" \
  "${ran}running no\r\nschedule scheduled\r\nnext run $later:00\r\nmissed -\r\n" state
probe "1.0 state: the disabled flag" "" "Off State" \
  "${ran}running no\r\nschedule disabled\r\nnext run -\r\nmissed -\r\n" state
probe "1.0 state: running, and no trigger to run by" "" "Busy State" \
  "${ran}running yes\r\nschedule not scheduled\r\nnext run -\r\nmissed -\r\n" state
never_ran='last run: Invalid argument to date encode\r\nexit code 0\r\n'
probe "2.0 state: enabled and ready" "" '\Backup\Nightly' \
  "${never_ran}running no\r\nschedule scheduled\r\nnext run -\r\nmissed -\r\n" state
probe "2.0 state: not enabled" "" '\Backup\Off' \
  "${never_ran}running no\r\nschedule disabled\r\nnext run -\r\nmissed -\r\n" state
long=$(printf 'n%.0s' $(seq 600))
probe "600-byte name refused before the platform" "" "$long" \
  "open failed: Cannot find task \"$long\"; Error Code: 800700CE\\r\\n"

finish
