#!/usr/bin/env bash
# Runs the manager forgot, read from the journal, on a real system manager
# (tests/e2e/lib/system_manager.sh): the same lines after a "reboot" as before it, a timer's
# service's exit code, a transient unit that is gone, -lastlog: in the plugins' form and
# JSON, a journal the check's account cannot read, and the remote check through the bed's
# own sshd.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh  # testbed_result_time
source tests/e2e/lib/system_manager.sh
source tests/e2e/lib/system_manager_sshd.sh
require_built build/linux/runwarden
program=$PWD/build/linux/runwarden
long=$(printf 'x%.0s' {1..300})

sysbed_init
sysbed_oneshot rw-ok.service /bin/true
# Its output: non-ASCII text, the plugins' separator, a line too wide to show whole.
printf '#!/bin/sh\necho Gr\303\274\303\237e\necho "a|b"\necho %s\nexit 3\n' "$long" \
  >"$SYSBED_DIR/fails.sh"
sysbed_oneshot rw-fails.service "/bin/sh $SYSBED_DIR/fails.sh"
sysbed_oneshot rw-killed.service "/bin/sh -c 'kill -9 \$\$\$\$'"
sysbed_oneshot rw-job.service "/bin/sh -c 'exit 4'"
printf '[Timer]\nOnActiveSec=1s\nAccuracySec=1ms\nUnit=rw-job.service\n' |
  sysbed_unit rw-nightly.timer
sysbed_account alice >/dev/null  # outside systemd-journal
sysbed_start
sysbed_sshd_start
remote=127.0.0.1:$SYSBED_SSHD_PORT

# Starts a unit early in a second: the journal's start of a run (the manager's "Starting"
# line) comes a few milliseconds before the main process's start, which the manager keeps;
# both then show the same second.
start_early_in_second() {
  while ((10#$(date +%N) > 300000000)); do sleep 0.05; done
  sysbed_systemctl start "$1" 2>/dev/null
}
for unit in rw-ok rw-fails rw-killed; do start_early_in_second $unit.service; done
sysbed_systemctl start rw-nightly.timer
sysbed_run systemd-run --quiet --unit=rw-transient -p Type=oneshot /bin/sh -c 'exit 0'
sysbed_wait_finished rw-job.service
sysbed_wait_logged "$long" -u rw-fails.service

# The start of a unit's last run as runwarden writes it: the manager's, or (a unit it no
# longer knows) the journal's first message of the unit's last invocation.
last_run() {
  testbed_result_time "$(sysbed_show "$1" ExecMainStartTimestamp --timestamp=unix | tr -d @)000000"
}
journal_start() {
  local invocation
  invocation=$(sysbed_journalctl -o json -n 1 UNIT="$1" _PID=1 | jq -r .INVOCATION_ID)
  testbed_result_time "$(sysbed_journalctl -o json UNIT="$1" INVOCATION_ID="$invocation" |
    head -n 1 | jq -r .__REALTIME_TIMESTAMP)"
}

run() {
  local name=$1 account=
  [[ $2 =~ ^[0-9]+$ ]] || { account=$2; shift; }
  sysbed_command "$account"
  expect_run "$name" "$2" "$3" "${SYSBED_COMMAND[@]}" "$program" "${@:4}"
}
ok=$(journal_start rw-ok.service)  # unloaded once it succeeded: nothing references it
fails=$(last_run rw-fails.service)
killed=$(last_run rw-killed.service)
job=$(journal_start rw-job.service)
run "transient unit, gone: from the journal" 0 "ScriptRes:Ok:$(journal_start rw-transient.service)" \
  -task:rw-transient -timeframe:10
expect_status "transient unit: the manager forgot it" not-found \
  "$(sysbed_show rw-transient.service LoadState)"

# Before and after a reboot, the same lines: first the manager's, then the journal's.
checks_of_runs() {
  run "$1: ok" 0 "ScriptRes:Ok:$ok" -task:rw-ok -timeframe:10
  run "$1: exit 3" 1 "ScriptRes:Bad:$fails Last Result : 3" -task:rw-fails -timeframe:10
  run "$1: killed" 1 "ScriptRes:Bad:$killed Last Result : 137" -task:rw-killed -timeframe:10
  run "$1: remote" 1 "ScriptRes:Bad:$fails Last Result : 3" -task:rw-fails -timeframe:10 \
    "-host:$remote" -user:monitor
}
checks_of_runs "before the reboot"
sysbed_reboot
expect_status "reboot: the manager forgot the run" 0 \
  "$(sysbed_show rw-fails.service ExecMainStartTimestampMonotonic)"
checks_of_runs "after the reboot"
run "after the reboot: a timer keeps its service's exit code" 1 \
  "ScriptRes:Bad:$job Last Result : 4" -task:rw-nightly.timer -timeframe:10
run "unreadable journal: the manager's answer stands" alice 2 \
  "ScriptRes:Unknown:Invalid argument to date encode" -task:rw-fails -timeframe:10

# -lastlog: the run's last lines under its task in the plugins' form, an array in JSON.
out=$(mktemp "$SYSBED_DIR/out.XXXXXX")
sysbed_run "$program" -task:rw-fails -timeframe:10 -format:nagios -lastlog:3 >"$out"
expect_status "-lastlog: plugins' form" 2 $?
expect_bytes "-lastlog: the lines, indented, | replaced, cut" \
  "  Gr\xc3\xbc\xc3\x9fe\n  a!b\n  $(printf 'x%.0s' {1..200})...\n" <(tail -n +2 "$out")
for where in local remote; do
  host=()
  [[ $where == remote ]] && host=("-host:$remote" -user:monitor)
  sysbed_run "$program" -task:rw-fails -timeframe:10 -format:json -lastlog:2 "${host[@]}" >"$out"
  expect_bytes "-lastlog: JSON ($where)" "[\"a|b\",\"$long\"]\n" <(jq -c '.tasks[0].log' "$out")
done
sysbed_run "$program" -task:rw-ok -timeframe:10 -format:json -lastlog:2 >"$out"
expect_bytes "-lastlog: none for an Ok task" "null\n" <(jq -c '.tasks[0].log' "$out")
rm -f "$out"
finish
