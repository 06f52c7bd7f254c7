#!/usr/bin/env bash
# The later keys of the Linux program against the private systemd manager: -okcodes: on
# services that exited 5 and 8; -maxrun: on a one-shot service that runs while it is
# checked; -checkstate on a daily, a stopped, an elapsed one-shot, a turned-off and a
# monotonic timer and on services through their timers, with the next run in the plugins'
# form; -warnframe: in the plugins' and the default form; a pattern without a unit type
# suffix. Then the properties a check asks the manager for, with and without the keys, as
# a monitor of the bus sees the calls. Both for the linux and the sanitizer build.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool dbus-monitor

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# -remotegmt: shifts a run by the local zone's standard offset, which is none here.
export TZ=UTC

# Services whose runs stay loaded without a timer: failed, or active after they exited.
testbed_oneshot rw-exit5.service "/bin/sh -c 'exit 5'"
testbed_oneshot rw-exit8.service "/bin/sh -c 'exit 8'"
kept() {
  printf '[Service]\nType=oneshot\nRemainAfterExit=yes\nExecStart=/bin/true\n' | testbed_unit "$1"
}
kept rw-plain.service
kept rw-stopped.service
kept rw-sfx-1.service
# A one-shot whose command runs through the checks, started by its timer.
testbed_oneshot rw-busy.service "/bin/sleep 600"
printf '[Timer]\nOnActiveSec=1s\nOnUnitActiveSec=1d\nAccuracySec=1ms\n' | testbed_unit rw-busy.timer
for unit in rw-daily rw-once rw-off rw-mono rw-sfx-2; do
  testbed_oneshot "$unit.service" /bin/true
done
printf '[Timer]\nOnCalendar=daily\n' | testbed_unit rw-daily.timer
printf '[Timer]\nOnCalendar=daily\n' | testbed_unit rw-stopped.timer
printf '[Timer]\nOnActiveSec=1s\nAccuracySec=1ms\n' | testbed_unit rw-once.timer
# Installable but not enabled: the unit file is "disabled", though the timer was started.
printf '[Timer]\nOnCalendar=daily\n[Install]\nWantedBy=timers.target\n' | testbed_unit rw-off.timer
printf '[Timer]\nOnActiveSec=1h\n' | testbed_unit rw-mono.timer
testbed_idle_timer rw-sfx-2.timer
testbed_start
mono_started=$(date +%s)
tb_systemctl start rw-daily.timer rw-stopped.timer rw-once.timer rw-off.timer rw-mono.timer \
  rw-sfx-2.timer
tb_systemctl start rw-exit5.service rw-exit8.service 2>/dev/null
tb_systemctl start rw-plain.service rw-stopped.service rw-sfx-1.service rw-daily.service \
  rw-off.service rw-mono.service rw-sfx-2.service
tb_systemctl stop rw-stopped.timer
for unit in rw-exit5 rw-exit8 rw-daily rw-off rw-mono rw-sfx-2; do
  testbed_wait_finished "$unit.service"
done
# The one-shot timer has fired, its service has run, and it has no next elapse.
for _ in $(seq 100); do
  [[ $(tb_systemctl show -P SubState rw-once.timer) == elapsed ]] && break
  sleep 0.1
done
testbed_wait_finished rw-once.service

# (Re)starts the busy service through its timer and waits until its command runs.
start_busy() {
  tb_systemctl stop rw-busy.timer rw-busy.service
  tb_systemctl start rw-busy.timer
  for _ in $(seq 100); do
    [[ $(tb_systemctl show -P SubState rw-busy.timer) == running &&
      $(tb_systemctl show -P ExecMainPID rw-busy.service) != 0 ]] && return 0
    sleep 0.1
  done
  echo "FAIL: rw-busy.service did not start" >&2
  return 1
}

time_of() { testbed_result_time "$(testbed_last_start "$1")"; }
# The last run two minutes earlier, as -remotegmt:2 shifts it.
shifted_time_of() { testbed_result_time "$(($(testbed_last_start "$1") - 120000000))"; }

out=$TESTBED_DIR/out
# run NAME EXPECTED_STATUS EXPECTED_LINE ARGS...: runs $program in the C locale.
run() { expect_run "$1" "$2" "$3" "$program" "${@:4}"; }

# plugin NAME EXPECTED_STATUS EXPECTED_SUMMARY NEXT ARGS...: a check in the plugins' form;
# the line up to its performance data is EXPECTED_SUMMARY, the next run NEXT (expect_next).
plugin() {
  local name=$1 status=$2 summary=$3 next=$4
  shift 4
  LC_ALL=C timeout 60 "$program" "$@" -format:nagios >"$out" 2>"$out.err" </dev/null
  expect_status "$name" "$status" $?
  expect_bytes "$name" "$summary\n" <(sed 's/ | .*//' "$out")
  expect_next "$name" "$next" "$out"
  expect_bytes "$name (no error output)" "" "$out.err"
}

run_checks() {
  program=$PWD/build/$1/runwarden
  echo "-- build/$1/runwarden"
  start_busy
  local exit5 exit8 busy daily once stopped off plain sfx1 sfx2
  exit5=$(time_of rw-exit5.service) exit8=$(time_of rw-exit8.service)
  busy=$(time_of rw-busy.service) daily=$(time_of rw-daily.service)
  once=$(time_of rw-once.service) stopped=$(time_of rw-stopped.service)
  off=$(time_of rw-off.service) plain=$(time_of rw-plain.service)
  sfx1=$(time_of rw-sfx-1.service) sfx2=$(time_of rw-sfx-2.service)

  run "-okcodes: a listed code" 0 "ScriptRes:Ok:$exit5" -task:rw-exit5 -timeframe:10 -okcodes:0-7
  run "-okcodes: a code not listed" 1 "ScriptRes:Bad:$exit8 Last Result : 8" \
    -task:rw-exit8 -timeframe:10 -okcodes:0-7
  run "-okcodes: for every task of a pattern without a suffix" 1 \
    "ScriptRes:Bad:2 tasks matched, 1 failed; rw-exit8.service: $exit8 Last Result : 8" \
    '-task:rw-exit?' -timeframe:10 -okcodes:0-7
  run "pattern without a suffix: the services and timers of the names" 0 \
    "ScriptRes:Ok:2 tasks matched, 0 failed; latest $sfx2, earliest $sfx1" \
    '-task:rw-sfx-?' -timeframe:10
  run "pattern with a suffix: whole names" 0 \
    "ScriptRes:Ok:2 tasks matched, 0 failed; latest $sfx2, earliest $sfx1" \
    '-task:rw-sfx-?.service' -timeframe:10
  run "pattern with a suffix that matches no name" 1 \
    'ScriptRes:Bad:Cannot find task "rw-sfx-?.socket"; Error Code: 80070002' \
    '-task:rw-sfx-?.socket' -timeframe:10

  run "-maxrun: running, below the limit" 0 "ScriptRes:Ok:$busy" \
    -task:rw-busy -timeframe:10 -maxrun:1
  run "-maxrun: a timer by its service, running longer" 1 \
    "ScriptRes:Bad:$(shifted_time_of rw-busy.service) State : running for 2 minutes" \
    -task:rw-busy.timer -timeframe:10 -maxrun:1 -remotegmt:2
  run "-maxrun: a service that has finished" 0 "ScriptRes:Ok:$(shifted_time_of rw-daily.service)" \
    -task:rw-daily -timeframe:10 -maxrun:1 -remotegmt:2

  run "-checkstate: a daily timer" 0 "ScriptRes:Ok:$daily" \
    -task:rw-daily.timer -timeframe:10 -checkstate
  run "-checkstate: a service by its timer" 0 "ScriptRes:Ok:$daily" -task:rw-daily -timeframe:10 \
    -checkstate
  run "-checkstate: a timer whose service runs" 0 "ScriptRes:Ok:$busy" \
    -task:rw-busy.timer -timeframe:10 -checkstate -maxrun:1
  run "an elapsed one-shot timer, without -checkstate" 0 "ScriptRes:Ok:$once" \
    -task:rw-once.timer -timeframe:10
  run "-checkstate: an elapsed one-shot timer" 1 "ScriptRes:Bad:$once State : no next run" \
    -task:rw-once.timer -timeframe:10 -checkstate
  run "-checkstate: its service" 1 "ScriptRes:Bad:$once State : no next run" \
    -task:rw-once -timeframe:10 -checkstate
  run "-checkstate: a stopped timer" 1 "ScriptRes:Bad:$stopped State : disabled" \
    -task:rw-stopped.timer -timeframe:10 -checkstate
  run "-checkstate: a started timer whose unit file is disabled" 1 \
    "ScriptRes:Bad:$off State : disabled" -task:rw-off.timer -timeframe:10 -checkstate
  run "-checkstate: a service that no timer triggers" 1 \
    "ScriptRes:Bad:$plain State : not scheduled" \
    -task:rw-plain -timeframe:10 -checkstate
  run "-checkstate: each task of a pattern" 1 \
    "ScriptRes:Bad:2 tasks matched, 1 failed; rw-sfx-1.service: $sfx1 State : not scheduled" \
    '-task:rw-sfx-?' -timeframe:10 -checkstate
  plugin "-checkstate: the next run of a daily timer" 0 "TASK OK - rw-daily.timer: $daily" \
    "$(testbed_next_in rw-daily.timer)" -task:rw-daily.timer -timeframe:10 -checkstate
  plugin "-checkstate: a monotonic next run, on this computer's clocks" 0 \
    "TASK OK - rw-mono: $(time_of rw-mono.service)" $((mono_started + 3600 - $(date +%s))) \
    -task:rw-mono -timeframe:10 -checkstate
  plugin "-checkstate: no next run, no value" 2 \
    "TASK CRITICAL - rw-once.timer: $once State : no next run" none \
    -task:rw-once.timer -timeframe:10 -checkstate

  plugin "-warnframe: outside it, a warning" 1 "TASK WARNING - rw-daily: $daily" none \
    -task:rw-daily -timeframe:today -warnframe:yesterday
  plugin "-warnframe: inside it" 0 "TASK OK - rw-daily: $daily" none \
    -task:rw-daily -timeframe:today -warnframe:10
  run "-warnframe: the default form has no warning" 0 "ScriptRes:Ok:$daily" \
    -task:rw-daily -timeframe:today -warnframe:yesterday
  run "-warnframe: no time frame" 2 "ScriptRes:Unknown:Invalid warn frame specified.\
 Warn frame should be minutes or a time frame keyword" \
    -task:rw-daily -timeframe:today -warnframe:soon
}
testbed_each_build run_checks

# asked ARGS...: what a check asks the manager for, one "UNIT INTERFACE.PROPERTY" a line,
# sorted, as a monitor of the bus sees the calls. A property the test asks for itself
# (Manager.Version, then Manager.Architecture) tells that the monitor sees the calls, and
# then that it has seen every call of the check.
monitor_log=$TESTBED_DIR/monitor
seen_in_log() {
  local _
  for _ in $(seq 100); do
    grep -q "\"$1\"" "$monitor_log" && return 0
    busctl --user get-property org.freedesktop.systemd1 /org/freedesktop/systemd1 \
      org.freedesktop.systemd1.Manager "$1" >/dev/null
    sleep 0.05
  done
  echo "FAIL: the bus monitor did not see $1" >&2
  return 1
}
asked() {
  dbus-monitor --address "$DBUS_SYSTEM_BUS_ADDRESS" \
    "type='method_call',interface='org.freedesktop.DBus.Properties',member='Get'" \
    >"$monitor_log" 2>&1 &
  local monitor=$!
  seen_in_log Version
  LC_ALL=C timeout 60 build/linux/runwarden "$@" >/dev/null 2>&1
  seen_in_log Architecture
  kill "$monitor"
  wait "$monitor" 2>/dev/null
  local path unit
  awk '/member=Get$/ { split($0, f, "path="); split(f[2], p, ";"); path = p[1]; n = 0; next }
       path != "" && /^ *string / { gsub(/.*string "|"$/, ""); v[++n] = $0
         if (n == 2) { sub(/.*\./, "", v[1]); print path, v[1] "." v[2]; path = "" } }' \
    "$monitor_log" | grep -v '^/org/freedesktop/systemd1 ' |
    while read -r path property; do
      unit=${path##*/}
      printf '%b %s\n' "${unit//_/\\x}" "$property"
    done | sort
}
service_run() {
  printf '%s\n' "$1 Service.ExecMainCode" "$1 Service.ExecMainStartTimestamp" \
    "$1 Service.ExecMainStatus" "$1 Service.Result"
}
running_of() { printf '%s\n' "$1 Service.ExecMainExitTimestamp" "$1 Unit.ActiveState"; }
timer_schedule() {
  printf '%s\n' "$1 Timer.NextElapseUSecMonotonic" "$1 Timer.NextElapseUSecRealtime" \
    "$1 Unit.ActiveState" "$1 Unit.SubState" "$1 Unit.UnitFileState"
}
expect_bytes "asked: a service, without the keys" \
  "$({ service_run rw-daily.service; echo rw-daily.service Unit.LoadState; } | sort)\n" \
  <(asked -task:rw-daily -timeframe:10)
expect_bytes "asked: a service, with -maxrun: and -checkstate: its timer's schedule too" \
  "$({ service_run rw-daily.service; running_of rw-daily.service
       echo rw-daily.service Unit.LoadState; echo rw-daily.service Unit.TriggeredBy
       timer_schedule rw-daily.timer; } | sort)\n" \
  <(asked -task:rw-daily -timeframe:10 -maxrun:5 -checkstate)
expect_bytes "asked: a pattern, without the keys" \
  "$({ service_run rw-daily.service
       printf '%s\n' "rw-daily.timer Timer.LastTriggerUSec" "rw-daily.timer Timer.Unit"; } |
     sort)\n" \
  <(asked '-task:rw-daily*' -timeframe:10)
expect_bytes "asked: a pattern with -checkstate: the listed timer's schedule asked once" \
  "$({ service_run rw-daily.service; echo rw-daily.service Unit.TriggeredBy
       timer_schedule rw-daily.timer
       printf '%s\n' "rw-daily.timer Timer.LastTriggerUSec" "rw-daily.timer Timer.Unit"; } |
     sort)\n" \
  <(asked '-task:rw-daily*' -timeframe:10 -checkstate)
finish
