#!/usr/bin/env bash
# The Unix times of the machine-read forms against the private systemd manager are the
# manager's own: a run in the hour that the end of daylight saving repeats (a zone whose
# change comes half an hour after the run, so that the run's local time names two
# instants) gives last_run exactly the manager's ExecMainStartTimestamp, to the second,
# and never after checked_at.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool jq

program=$PWD/build/linux/runwarden
export LC_ALL=C

testbed_oneshot rw-dst.service /bin/true
testbed_idle_timer rw-dst.timer
testbed_start
tb_systemctl start rw-dst.timer
tb_systemctl start rw-dst.service
testbed_wait_finished rw-dst.service
start=$(testbed_last_start rw-dst.service)
ran=${start:0:-6}

# Standard time is UTC, daylight saving UTC+1 from 1 January; it ends (its clock going back
# an hour) half an hour after the run, written as the day of the run (from 0) and the
# daylight-saving clock's hours since that day's midnight, which may pass 24.
midnight=$(date -u -d "@$ran" +%Y-%m-%d)
midnight=$(date -u -d "$midnight" +%s)
day=$((10#$(date -u -d "@$ran" +%j) - 1))
end=$((ran + 1800 + 3600 - midnight))
zone=$(printf 'XST0XDT,0/0,%d/%d:%02d:%02d' "$day" $((end / 3600)) $((end % 3600 / 60)) $((end % 60)))
export TZ=$zone
# The premise: the run's local time comes round again an hour later, in standard time.
expect_bytes "the run's local time is repeated ($zone)" \
  "$(date -d "@$ran" '+%F %T') XDT\n$(date -d "@$ran" '+%F %T') XST\n" \
  <(date -d "@$ran" '+%F %T %Z'; date -d "@$((ran + 3600))" '+%F %T %Z')

out=$TESTBED_DIR/out
# run NAME ARGS...: exit status 0, nothing on standard error; the output in $out.
run() {
  local name=$1
  shift
  timeout 60 "$program" "$@" >"$out" 2>"$out.err" </dev/null
  expect_status "$name" 0 $?
  expect_bytes "$name (no error output)" "" "$out.err"
}

run "json" -task:rw-dst -timeframe:10 -format:json
checks=$((checks + 1))
jq -e --argjson ran "$ran" '.tasks[0].last_run == $ran and .tasks[0].last_run <= .checked_at' \
  "$out" >/dev/null || { echo "FAIL json: last_run is not $ran:"; cat "$out"; failures=$((failures + 1)); }

run "prometheus" -task:rw-dst -timeframe:10 -format:prometheus
expect_line "prometheus: the last run" \
  "runwarden_task_last_run_timestamp_seconds{task=\"rw-dst\",host=\"\",timeframe=\"10\"} $ran" "$out"
value() { sed -nE "s/^$1\\{.*\\} ([0-9]+)\$/\\1/p" "$out"; }
shown=$(value runwarden_task_last_run_timestamp_seconds)
checked=$(value runwarden_check_timestamp_seconds)
expect_status "prometheus: the last run ($shown) not after the check ($checked)" yes \
  "$([[ -n $shown && -n $checked && $shown -le $checked ]] && echo yes)"

finish
