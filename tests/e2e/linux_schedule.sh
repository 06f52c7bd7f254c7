#!/usr/bin/env bash
# -timeframe:schedule and -grace: against the private systemd manager: a timer every 20
# seconds whose service ran (Ok), one whose slot passed without a run (Bad with
# " Missed : "), one due only in 2099 (Not yet due), a boot-only timer (its one start after
# boot), a plain service (no time schedule), a
# calendar expression with a zone, a pattern over them, -grace: moving the verdict and
# the values of S in the plugins' form, JSON and Prometheus; an expression without a zone
# checked locally and through the real sshd, the manager in another zone than the check.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
source tests/e2e/lib/sshd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool promtool
export TZ=UTC

flag=$TESTBED_DIR/may-run
every20() { printf '[Timer]\nOnCalendar=*:*:0/20\nAccuracySec=1ms\n' | testbed_unit "$1"; }
every20 rw-s20.timer
testbed_oneshot rw-s20.service /bin/true
every20 rw-miss.timer
printf '[Unit]\nConditionPathExists=%s\n[Service]\nType=oneshot\nExecStart=/bin/true\n' \
  "$flag" | testbed_unit rw-miss.service
testbed_idle_timer rw-2099.timer
testbed_oneshot rw-2099.service /bin/true
printf '[Timer]\nOnCalendar=*-*-* 00:00:00 Pacific/Kiritimati\n' | testbed_unit rw-zone.timer
testbed_oneshot rw-zone.service /bin/true
printf '[Service]\nType=oneshot\nRemainAfterExit=yes\nExecStart=/bin/true\n' |
  testbed_unit rw-plain.service
# Once per boot, a second after it: long past, so it fires when started.
printf '[Timer]\nOnBootSec=1s\nAccuracySec=1ms\n' | testbed_unit rw-boot.timer
testbed_oneshot rw-boot.service /bin/true
printf '[Timer]\nOnCalendar=*-*-* 03:00:00\n' | testbed_unit rw-three.timer
testbed_oneshot rw-three.service /bin/true
# The manager's computer lies in another zone than the check: a remote check reads it.
TZ=Pacific/Auckland testbed_start
sshd_start
touch "$flag"
tb_systemctl start rw-s20.timer rw-miss.timer rw-2099.timer rw-zone.timer rw-plain.service \
  rw-boot.timer rw-three.timer
# Both 20-second timers have run their service once; then rw-miss may not run any more
# and its next slot passes.
both_ran() {
  [[ $(testbed_last_start rw-s20.service) != 0 && $(testbed_last_start rw-miss.service) != 0 ]]
}
wait_until both_ran
testbed_wait_finished rw-s20.service
rm -f "$flag"
missed_run=$(testbed_last_start rw-miss.service)
# A second after a slot that came after the last run.
slot_passed() { (($(date +%s) % 20 == 1 && $(date +%s) > ${missed_run:0:-6} + 2)); }
wait_until slot_passed
s20_run=$(testbed_last_start rw-s20.service)

out=$TESTBED_DIR/out
check() {  # STATUS ARGS...: the check's line in $out
  local status=$1
  shift
  timeout 60 build/linux/runwarden "$@" >"$out" 2>&1 </dev/null
  expect_status "$*" "$status" $?
}
# The latest midnight in Kiritimati (UTC+14) at or before now less the grace of 5 minutes.
zone_due=$(TZ=Pacific/Kiritimati date -d "$(TZ=Pacific/Kiritimati date -d '5 minutes ago' +%F) 00:00" +%s)
zone_text=$(testbed_result_time "${zone_due}000000")

check 0 -task:rw-s20.timer -timeframe:schedule -grace:0
expect_bytes "a timer every 20 s whose service ran" \
  "ScriptRes:Ok:$(testbed_result_time "$s20_run")\n" "$out"
# The service: its timer's last trigger is later than its last run.
check 1 -task:rw-miss.service -timeframe:schedule -grace:0
expect_line "a slot passed without a run" \
  "ScriptRes:Bad:$(testbed_result_time "$missed_run") Missed : $(testbed_result_time "$(( ($(date +%s) / 20) * 20 ))000000")" "$out"
check 0 -task:rw-miss.service -timeframe:schedule -grace:1
expect_bytes "-grace: moves the slot before the last run" \
  "ScriptRes:Ok:$(testbed_result_time "$missed_run")\n" "$out"
check 0 -task:rw-2099.timer -timeframe:schedule
expect_bytes "due only in 2099, never ran" "ScriptRes:Ok:Not yet due\n" "$out"
# In the test bed the manager is a user manager started long after the computer's boot.
check 0 -task:rw-boot.service -timeframe:schedule
((checks += 1))
grep -q "^ScriptRes:Ok:$(testbed_result_time "$(testbed_last_start rw-boot.service)")" "$out" ||
  { echo "FAIL a boot-only timer:"; cat "$out"; failures=$((failures + 1)); }
check 2 -task:rw-plain.service -timeframe:schedule
expect_bytes "a plain service" "ScriptRes:Unknown:The task has no time schedule\n" "$out"
check 1 -task:rw-zone.timer -timeframe:schedule
expect_bytes "an expression with a zone, never ran" \
  "ScriptRes:Bad:Invalid argument to date encode Missed : $zone_text\n" "$out"
check 2 '-task:rw-*' -timeframe:schedule -grace:0 -format:nagios
expect_line "a pattern over all" "OK - rw-2099.timer: Not yet due" "$out"
expect_line "a pattern over all: the plain service" \
  "UNKNOWN - rw-plain.service: The task has no time schedule" "$out"
((checks += 1))
if ! head -n 1 "$out" | grep -qE "^TASK CRITICAL - rw-\*: [0-9]+ tasks matched, "; then
  echo "FAIL pattern summary:"; cat "$out"; failures=$((failures + 1))
fi

# An expression without a zone: in the check's zone locally, in the manager's remotely.
three() {  # ZONE: the latest 03:00 in that zone at or before now less the grace
  local due
  due=$(TZ=$1 date -d "$(TZ=$1 date -d '5 minutes ago' +%F) 03:00" +%s)
  ((due > $(date +%s) - 300)) && due=$(TZ=$1 date -d "$(TZ=$1 date -d '5 minutes ago 1 day ago' +%F) 03:00" +%s)
  testbed_result_time "${due}000000"
}
check 1 -task:rw-three.timer -timeframe:schedule
expect_bytes "local: 03:00 in the check's zone" \
  "ScriptRes:Bad:Invalid argument to date encode Missed : $(three UTC)\n" "$out"
check 1 -task:rw-three.timer -timeframe:schedule "-host:127.0.0.1:$SSHD_PORT" -user:monitor
expect_bytes "remote: 03:00 in the manager's zone, shown in the check's" \
  "ScriptRes:Bad:Invalid argument to date encode Missed : $(three Pacific/Auckland)\n" "$out"

# The forms: due of the zone timer, which stays put while the test runs.
check 1 -task:rw-zone.timer -timeframe:schedule -format:json
((checks += 1))
grep -qF "\"due\":$zone_due," "$out" || { echo "FAIL JSON due:"; cat "$out"; failures=$((failures + 1)); }
check 1 -task:rw-zone.timer -timeframe:schedule -format:prometheus
expect_valid_exposition "Prometheus: valid" "$out"
expect_line "Prometheus: due" \
  "runwarden_task_due_timestamp_seconds{task=\"rw-zone.timer\",host=\"\",timeframe=\"schedule\"} $zone_due" "$out"
check 0 -task:rw-s20.service -timeframe:schedule -format:nagios -grace:0
((checks += 1))
if ! grep -qE "^TASK OK - rw-s20.service: .* \| age=[0-9]+s;;[0-9]+ result=0 due=[0-9]+s$" "$out"; then
  echo "FAIL plugins' form: due and the age's threshold:"; cat "$out"; failures=$((failures + 1))
fi

finish
