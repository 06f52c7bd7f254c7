#!/usr/bin/env bash
# runwarden.exe -timeframe:schedule under Wine, whose Task Scheduler lists no run times
# (1.0 ITask::GetRunTimes and 2.0 IRegisteredTask::GetRunTimes answer 80004001): one clear
# Unknown line for a 1.0 and a 2.0 task and for each task of a pattern, in every form,
# and no value of S in the forms.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
require_tool promtool
export TZ=UTC LC_ALL=C
wine_start
out=$(mktemp)
trap 'rm -f "$out" "$out.err"; wine_stop' EXIT

fixture() {
  wine_run "$out" "$bin/task_fixture.exe" "$@" ||
    { echo "FAIL: task_fixture $*: $(cat "$out.err")"; exit 1; }
}
fixture "Nightly Backup" 0 2020 6 15 10 20 30
fixture "Weekly Report" 3 2020 6 15 10 20 30
fixture --v2-xml '\runwarden\Nightly Backup' docs/monitoring/runwarden-textfile.xml

reason() { echo "Cannot list run times of task \"$1\"; Error Code: 80004001"; }
v1=$(reason "Nightly Backup") v2=$(reason '\runwarden\Nightly Backup')

# run STATUS ARGS...: the check's output in $out and its status.
run() {
  local status=$1
  shift
  wine_run "$out" "$bin/runwarden.exe" "$@"
  expect_status "$*" "$status" $?
}
run 2 "-task:Nightly Backup" -timeframe:schedule
expect_bytes "1.0: the default form" "ScriptRes:Unknown:$v1\r\n" "$out"
run 2 '-task:\runwarden\Nightly Backup' -timeframe:schedule -grace:0
expect_bytes "2.0: the default form" "ScriptRes:Unknown:${v2//\\/\\\\}\r\n" "$out"
run 3 "-task:Nightly Backup" -timeframe:schedule -format:nagios
expect_bytes "1.0: the plugins' form, no performance data" \
  "TASK UNKNOWN - Nightly Backup: $v1\r\n" "$out"
run 3 '-task:* Report' -timeframe:today -warnframe:schedule -format:nagios
expect_bytes "a warn frame of the schedule, for each task of a pattern" \
  "TASK UNKNOWN - * Report: 1 task matched, 1 failed; Weekly Report: $(reason "Weekly Report")\r\nUNKNOWN - Weekly Report: $(reason "Weekly Report")\r\n" \
  "$out"
run 2 "-task:Nightly Backup" -timeframe:schedule -format:json
((checks += 1))
if ! grep -qF '"status":"unknown","exit_status":3' "$out" ||
  ! grep -qF "\"text\":\"${v1//\"/\\\"}\"" "$out" || grep -q '"due"' "$out"; then
  echo "FAIL JSON: not the task's reason, or a due value without S:"
  cat "$out"
  failures=$((failures + 1))
fi
run 2 '-task:\runwarden\Nightly Backup' -timeframe:schedule -format:prometheus
expect_valid_exposition "Prometheus: valid" "$out"
expect_line "Prometheus: the task unknown" \
  'runwarden_task_status{task="\\runwarden\\Nightly Backup",host="",timeframe="schedule",status="unknown"} 1' "$out"
((checks += 1))
if grep -q due_timestamp "$out"; then echo "FAIL Prometheus: a due series without S"; failures=$((failures + 1)); fi

finish
