#!/usr/bin/env bash
# -usermanager: the timers of a user's own manager on the system manager bed with logind
# (tests/e2e/lib/system_manager.sh): a lingering user with a good and a failing timer,
# checked as root locally and through the bed's sshd, by name and by number, in a pattern,
# from the journal after a reboot; a user without a running manager; an unknown user.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh  # testbed_result_time
source tests/e2e/lib/system_manager.sh
source tests/e2e/lib/system_manager_sshd.sh
require_built build/linux/runwarden
program=$PWD/build/linux/runwarden

sysbed_init --logind
uid=$(sysbed_account rwsync)
sysbed_account rwidle >/dev/null  # no lingering, never logged in: no manager
sysbed_user_unit rwsync rw-good.service <<<$'[Service]\nType=oneshot\nExecStart=/bin/true'
sysbed_user_unit rwsync rw-bad.service <<<$'[Service]\nType=oneshot\nExecStart=/bin/sh -c "exit 3"'
for timer in rw-good rw-bad; do
  sysbed_user_unit rwsync $timer.timer <<<$'[Timer]\nOnActiveSec=1s\nAccuracySec=1ms'
done
sysbed_start
sysbed_sshd_start
sysbed_sshd_login root
sysbed_linger rwsync
sysbed_user_systemctl rwsync start rw-good.timer rw-bad.timer
for _ in $(seq 100); do
  [[ $(sysbed_user_systemctl rwsync show -P Result rw-bad.service) == exit-code &&
     $(sysbed_user_systemctl rwsync show -P ExecMainExitTimestampMonotonic rw-good.service) != 0 ]] &&
    break
  sleep 0.1
done

# The start of a user unit's last run: its manager's, or the journal's first message of
# its last invocation.
last_run() {
  testbed_result_time "$(sysbed_user_systemctl rwsync show -P ExecMainStartTimestamp \
    --timestamp=unix "$1" | tr -d @)000000"
}
journal_start() {
  local invocation
  invocation=$(sysbed_journalctl -o json -n 1 _UID="$uid" USER_UNIT="$1" | jq -r .USER_INVOCATION_ID)
  testbed_result_time "$(sysbed_journalctl -o json _UID="$uid" USER_UNIT="$1" \
    USER_INVOCATION_ID="$invocation" | head -n 1 | jq -r .__REALTIME_TIMESTAMP)"
}
run() {
  sysbed_command
  expect_run "$1" "$2" "$3" "${SYSBED_COMMAND[@]}" "$program" "${@:4}"
}
good=$(last_run rw-good.service)
bad=$(last_run rw-bad.service)
remote=("-host:127.0.0.1:$SYSBED_SSHD_PORT" -user:root)
connect="ScriptRes:Bad:Cannot connect to computer: \"\\\\\\\\127.0.0.1:$SYSBED_SSHD_PORT\"; Error Code:"

for where in local remote; do
  host=()
  [[ $where == remote ]] && host=("${remote[@]}")
  run "$where: a good timer" 0 "ScriptRes:Ok:$good" -task:rw-good.timer -timeframe:10 \
    -usermanager:rwsync "${host[@]}"
  run "$where: a failing timer" 1 "ScriptRes:Bad:$bad Last Result : 3" -task:rw-bad.timer \
    -timeframe:10 -usermanager:rwsync "${host[@]}"
  run "$where: an unknown user" 2 'ScriptRes:Unknown:Unknown user "nosuch" for -usermanager:' \
    -task:rw-bad.timer -timeframe:10 -usermanager:nosuch "${host[@]}"
done
run "local: the user by number" 1 "ScriptRes:Bad:$bad Last Result : 3" -task:rw-bad \
  -timeframe:10 "-usermanager:$uid"
run "local: no manager runs" 1 "ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315" \
  -task:rw-bad -timeframe:10 -usermanager:rwidle
run "remote: no manager runs" 1 "$connect 80041315" -task:rw-bad -timeframe:10 \
  -usermanager:rwidle "${remote[@]}"
run "the system manager knows no such unit" 1 \
  "ScriptRes:Bad:Cannot find task \"rw-bad.timer\"; Error Code: 80070002" -task:rw-bad.timer \
  -timeframe:10

out=$(mktemp "$SYSBED_DIR/out.XXXXXX")
sysbed_run "$program" "-task:rw-*" -timeframe:10 -usermanager:rwsync -format:nagios >"$out"
expect_status "a pattern over the user's timers" 2 $?
expect_bytes "a pattern: each timer" "CRITICAL - rw-bad.timer: $bad Last Result : 3\nOK - rw-good.timer: $good\n" \
  <(tail -n +2 "$out")
rm -f "$out"

# After a reboot the user's manager comes back (lingering) and has forgotten the runs.
sysbed_reboot
sysbed_wait_user_manager rwsync
run "after a reboot: from the journal" 1 \
  "ScriptRes:Bad:$(journal_start rw-bad.service) Last Result : 3" -task:rw-bad \
  -timeframe:10 -usermanager:rwsync
run "after a reboot: remote, from the journal" 1 \
  "ScriptRes:Bad:$(journal_start rw-bad.service) Last Result : 3" -task:rw-bad \
  -timeframe:10 -usermanager:rwsync "${remote[@]}"
finish
