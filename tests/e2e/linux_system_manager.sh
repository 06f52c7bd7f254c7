#!/usr/bin/env bash
# The system manager test bed (tests/e2e/lib/system_manager.sh) with the unchanged Linux
# program run inside it: a real systemd as PID 1 of its own namespaces, reached on the
# standard system bus with no environment variable. Services that failed and succeeded, a
# timer, a transient unit, a check as an unprivileged account, a remote check through the
# bed's own sshd, a lingering user's manager, a reboot that keeps the persistent journal,
# and nothing of the bed left on the machine afterwards.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh  # testbed_result_time
source tests/e2e/lib/system_manager.sh
source tests/e2e/lib/system_manager_sshd.sh
require_built build/linux/runwarden
program=$PWD/build/linux/runwarden
marker=$(mktemp /tmp/runwarden-sysbed-marker.XXXXXX)

sysbed_init --logind
sysbed_oneshot rw-ok.service /bin/true
sysbed_oneshot rw-fails.service "/bin/sh -c 'echo out-fails; exit 3'"
sysbed_oneshot rw-job.service "/bin/sh -c 'exit 4'"
printf '[Timer]\nOnActiveSec=1s\nAccuracySec=1ms\nUnit=rw-job.service\n' |
  sysbed_unit rw-nightly.timer
for timer in rw-ok rw-fails; do
  printf '[Timer]\nOnCalendar=2099-01-01\n' | sysbed_unit "$timer.timer"
done
sysbed_enable rw-nightly.timer rw-ok.timer rw-fails.timer
sysbed_account alice >/dev/null  # not in systemd-journal: cannot read the system journal
rwsync_uid=$(sysbed_account rwsync)
printf '[Service]\nType=oneshot\nExecStart=/bin/sh -c "echo out-user"\n' |
  sysbed_user_unit rwsync rw-user.service

started=$(date +%s%N)
sysbed_start
echo "bed ready in $((($(date +%s%N) - started) / 1000000)) ms"
sysbed_systemctl start rw-ok.service
sysbed_systemctl start rw-fails.service 2>/dev/null
sysbed_run systemd-run --quiet --unit=rw-transient -p Type=oneshot -p RemainAfterExit=yes /bin/true
sysbed_wait_finished rw-job.service
sysbed_sshd_start
sysbed_linger rwsync

# The last start of a service in the bed, as runwarden writes it.
last_run() {
  testbed_result_time "$(sysbed_show "$1" ExecMainStartTimestamp --timestamp=unix | tr -d @)000000"
}
ok=$(last_run rw-ok.service)
fails=$(last_run rw-fails.service)

# run NAME [ACCOUNT] EXPECTED_STATUS EXPECTED_LINE ARGS...: runwarden inside the bed, as root
# or as ACCOUNT.
run() {
  local name=$1 account=
  [[ $2 =~ ^[0-9]+$ ]] || { account=$2; shift; }
  sysbed_command "$account"
  expect_run "$name" "$2" "$3" "${SYSBED_COMMAND[@]}" "$program" "${@:4}"
}
remote=127.0.0.1:$SYSBED_SSHD_PORT
run "service that exited 0" 0 "ScriptRes:Ok:$ok" -task:rw-ok -timeframe:10
run "service that exited 3" 1 "ScriptRes:Bad:$fails Last Result : 3" -task:rw-fails -timeframe:10
run "timer: its service's run and exit code" 1 \
  "ScriptRes:Bad:$(last_run rw-job.service) Last Result : 4" -task:rw-nightly.timer -timeframe:10
run "transient unit of systemd-run" 0 "ScriptRes:Ok:$(last_run rw-transient.service)" \
  -task:rw-transient -timeframe:10
run "as an unprivileged account" alice 1 "ScriptRes:Bad:$fails Last Result : 3" \
  -task:rw-fails -timeframe:10
logins=$(sysbed_sshd_logins monitor)
run "remote, through the bed's sshd" 1 "ScriptRes:Bad:$fails Last Result : 3" \
  -task:rw-fails -timeframe:10 "-host:$remote" -user:monitor
expect_status "remote: one login of monitor" $((logins + 1)) "$(sysbed_sshd_logins monitor)"

# The journal: the service's own output and the manager's messages, readable by root and
# the systemd-journal group, not by another account.
out=$(mktemp "$SYSBED_DIR/out.XXXXXX")
sysbed_wait_logged out-fails -u rw-fails.service
sysbed_journalctl -u rw-fails.service -o cat >"$out"
expect_line "journal: the service's output" out-fails "$out"
expect_line "journal: its exit" \
  "rw-fails.service: Main process exited, code=exited, status=3/NOTIMPLEMENTED" "$out"
sysbed_run_as monitor journalctl -u rw-fails.service -o cat >"$out" 2>/dev/null
expect_line "journal: read by the systemd-journal group" out-fails "$out"
sysbed_run_as alice journalctl -u rw-fails.service -o cat >"$out" 2>/dev/null
expect_bytes "journal: not read by another account" "" <(grep out-fails "$out")

# A lingering user's manager on its private socket, running the user's units.
sysbed_run test -S "/run/user/$rwsync_uid/systemd/private"
expect_status "lingering user: the manager's private socket" 0 $?
sysbed_run test -S "/run/user/$rwsync_uid/bus"
expect_status "lingering user: the user's bus" 0 $?
sysbed_user_systemctl rwsync start rw-user.service
expect_status "lingering user: its unit ran" 0 "$(sysbed_user_systemctl rwsync show -P \
  ExecMainStatus rw-user.service)"
sysbed_wait_logged out-user _UID="$rwsync_uid" _SYSTEMD_USER_UNIT=rw-user.service
sysbed_journalctl _UID="$rwsync_uid" _SYSTEMD_USER_UNIT=rw-user.service + \
  _UID="$rwsync_uid" USER_UNIT=rw-user.service -o cat >"$out"
expect_line "lingering user: its unit's output in the journal" out-user "$out"
expect_line "lingering user: its manager's message in the journal" "Finished rw-user.service." \
  "$out"

# A reboot: a new PID 1 and boot, the same journal; lingering and sshd come back.
sysbed_reboot
expect_status "reboot: the manager forgot the run" 0 \
  "$(sysbed_show rw-fails.service ExecMainStartTimestampMonotonic)"
sysbed_journalctl --list-boots >"$out"
expect_status "reboot: two boots in the journal" 2 "$(grep -cE '^ *-?[0-9]+ [0-9a-f]{32} ' "$out")"
sysbed_journalctl -b -1 -u rw-fails.service -o cat >"$out"
expect_line "reboot: the old boot's exit in the journal" \
  "rw-fails.service: Main process exited, code=exited, status=3/NOTIMPLEMENTED" "$out"
sysbed_wait_user_manager rwsync
expect_status "reboot: the lingering user's manager again" 0 $?
sysbed_systemctl start rw-ok.service
run "reboot: remote again" 0 "ScriptRes:Ok:$(last_run rw-ok.service)" \
  -task:rw-ok -timeframe:10 "-host:monitor@$remote"

# Stopped: no process of its PID namespace or cgroup, no cgroup, no directory, nothing new
# where a manager, journald, logind or sshd of the machine would write.
pid_namespace=$SYSBED_PIDNS cgroup=$SYSBED_CGROUP dir=$SYSBED_DIR
sysbed_stop
expect_status "stopped cleanly" 0 $?
SYSBED_PIDNS=$pid_namespace SYSBED_CGROUP=$cgroup
expect_bytes "nothing left running" "" <(sysbed_leftovers)
expect_bytes "no cgroup left" "" <(for root in $(sysbed_cgroup_roots); do
  ls -d "$root/$cgroup" 2>/dev/null; done)
expect_bytes "no directory left" "" <(ls -d "$dir" 2>/dev/null)
expect_bytes "nothing written on the machine" "" <(find /var/log/journal /var/lib/systemd \
  /run/systemd /run/user /run/dbus /run/sshd /root/.ssh /etc/passwd /etc/group /etc/shadow \
  /etc/machine-id /etc/pam.d /dev/log -newer "$marker" 2>/dev/null)
rm -f "$marker"
finish
