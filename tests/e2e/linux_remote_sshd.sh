#!/usr/bin/env bash
# Remote checks of the Linux program through a real OpenSSH server on loopback, whose
# sessions reach the test bed's private systemd manager as a remote computer's
# systemd-stdio-bridge would reach its own (tests/e2e/lib/sshd.sh). The monitoring
# account's own ssh set-up is used as it is: its key, known_hosts and ~/.ssh/config (host
# aliases, connection sharing). Every case gives one result line and its exit status,
# nothing on standard error, no prompt (standard input is closed), and leaves no process
# behind: no ssh, no session of the server, no bridge. Both for the linux and the
# sanitizer build.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
source tests/e2e/lib/sshd.sh
testbed_enter "$@"
require_built build/linux/runwarden

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1

testbed_oneshot rw-ok.service /bin/true
testbed_idle_timer rw-ok.timer
testbed_oneshot rw-fails.service "/bin/sh -c 'exit 3'"
testbed_idle_timer rw-fails.timer
testbed_oneshot rw-disk.service /bin/true
# A timer that elapses on the monotonic clock, an hour after it started (outside RW-*).
testbed_oneshot late.service /bin/true
printf '[Timer]\nOnActiveSec=1h\n' | testbed_unit late.timer
# An alias of a service that its timer stands for: counted once, as the timer.
ln -s rw-ok.service "$XDG_CONFIG_HOME/systemd/user/rw-okay.service"
testbed_start
tb_systemctl start rw-ok.timer rw-fails.timer late.timer
tb_systemctl start rw-ok.service rw-fails.service late.service 2>/dev/null
for unit in rw-ok rw-fails late; do testbed_wait_finished "$unit.service"; done
sshd_start

# The monitoring account's ssh configuration: host aliases with their own ports, keys,
# known hosts and connection sharing, all of which runwarden's ssh must honour.
ssh-keygen -q -t ed25519 -N '' -C unauthorised -f "$HOME/.ssh/unauthorised_key"
# A key that the server lets run nothing but the bridge, as docs/linux.md suggests.
ssh-keygen -q -t ed25519 -N '' -C bridge-only -f "$HOME/.ssh/bridge_only_key"
echo "restrict,command=\"systemd-stdio-bridge\" $(cat "$HOME/.ssh/bridge_only_key.pub")" \
  >>"$SSHD_DIR/authorized_keys/monitor"
cat >"$HOME/.ssh/config" <<EOF
Host shared
  HostName 127.0.0.1
  Port $SSHD_PORT
  User monitor
  ControlMaster auto
  ControlPath ~/.ssh/shared-%C
  ControlPersist 60
Host master-only
  HostName 127.0.0.1
  Port $SSHD_PORT
  User monitor
  ControlMaster auto
  ControlPath ~/.ssh/master-%C
Host bridge-only
  HostName 127.0.0.1
  Port $SSHD_PORT
  IdentityFile ~/.ssh/bridge_only_key
  IdentitiesOnly yes
Host wrong-key
  HostName 127.0.0.1
  Port $SSHD_PORT
  IdentityFile ~/.ssh/unauthorised_key
  IdentitiesOnly yes
Host trust-on-first-use
  HostName localhost
  Port $SSHD_PORT
  UserKnownHostsFile ~/.ssh/known_hosts_first_use
  StrictHostKeyChecking accept-new
EOF

remote=127.0.0.1:$SSHD_PORT
closed_port=$(free_port)
ok=$(testbed_result_time "$(testbed_last_start rw-ok.service)")
fails=$(testbed_result_time "$(testbed_last_start rw-fails.service)")
out=$TESTBED_DIR/out
empty_bus_config=$TESTBED_DIR/empty-bus.conf
cat >"$empty_bus_config" <<EOF
<busconfig>
  <type>system</type>
  <listen>unix:path=$TESTBED_DIR/empty-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF

# What a check may leave: nothing of ssh, no session of the server, no bridge (the
# sessions are given a moment to end after their client has gone).
leftovers() {
  sshd_wait_sessions_ended
  testbed_running '^ssh[ :]|^sshd: [^/]|systemd-stdio-bridge'
}

# run NAME EXPECTED_STATUS EXPECTED_LINE ARGS...: runs $program in the C locale, then
# expects nothing left behind.
run() {
  expect_run "$1" "$2" "$3" "$program" "${@:4}"
  expect_bytes "$1 (nothing left running)" "" <(leftovers)
}

# The line of a computer that was not reached: HOST CODE.
cannot_connect() {
  printf 'ScriptRes:Bad:Cannot connect to computer: "\\\\\\\\%s"; Error Code: %s' "$1" "$2"
}
logins() { grep -c '^Accepted publickey for monitor' "$SSHD_DIR/sshd.log"; }

# run_checks BUILD [PROGRAM]: the checks of that build's runwarden, or of PROGRAM, which
# runs it; the cases that take long only for the linux build itself.
run_checks() {
  program=${2:-$PWD/build/$1/runwarden}
  echo "-- ${2:-build/$1/runwarden}"
  run "remote service, -user: gives the login" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok -timeframe:10 "-host:$remote" '-user:OFFICE\monitor'
  run "remote timer, login in the host text" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok.timer -timeframe:today "-host:monitor@$remote"
  run "remote service outside the window" 1 "ScriptRes:Bad:$ok" \
    -task:rw-ok -timeframe:yesterday "-host:$remote" -user:monitor
  run "remote service that exited 3" 1 "ScriptRes:Bad:$fails Last Result : 3" \
    -task:rw-fails -timeframe:10 "-host:$remote" -user:monitor
  run "remote timer whose service exited 3" 1 "ScriptRes:Bad:$fails Last Result : 3" \
    -task:rw-fails.timer -timeframe:10 "-host:$remote" -user:monitor
  run "remote unit that does not exist" 1 \
    'ScriptRes:Bad:Cannot find task "rw-missing"; Error Code: 80070002' \
    -task:rw-missing -timeframe:10 "-host:$remote" -user:monitor
  run "remote unit that is no task" 1 \
    'ScriptRes:Bad:Cannot find task "default.target"; Error Code: 80004002' \
    -task:default.target -timeframe:10 "-host:$remote" -user:monitor
  local before=$(logins)
  run "remote pattern" 1 \
    "ScriptRes:Bad:3 tasks matched, 2 failed; rw-disk.service: Invalid argument to date\
 encode; rw-fails.timer: $fails Last Result : 3" \
    -task:RW-* -timeframe:10 "-host:$remote" -user:monitor
  # rw-disk.service has no run the manager knows: its journal is asked in a second login.
  expect_status "remote pattern: one login for the list and every task, one for the journal" \
    $((before + 2)) "$(logins)"
  before=$(logins)
  run "remote pattern of units that ran" 1 \
    "ScriptRes:Bad:1 task matched, 1 failed; rw-fails.timer: $fails Last Result : 3" \
    -task:RW-F* -timeframe:10 "-host:$remote" -user:monitor
  expect_status "remote pattern of units that ran: one login for the list and every task" \
    $((before + 1)) "$(logins)"
  # -checkstate: a service through its timer; the next run of a calendar timer, and none
  # for one on the remote computer's monotonic clock, which cannot be read from here.
  run "remote -checkstate: a service by its timer" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok -timeframe:10 -checkstate "-host:$remote" -user:monitor
  local timer next
  for timer in rw-ok late; do
    next=none
    [[ $timer == rw-ok ]] && next=$(testbed_next_in rw-ok.timer)
    LC_ALL=C timeout 60 "$program" "-task:$timer.timer" -timeframe:10 -checkstate -format:nagios \
      "-host:$remote" -user:monitor >"$out" 2>"$out.err" </dev/null
    expect_status "remote -checkstate: $timer.timer" 0 $?
    expect_bytes "remote -checkstate: $timer.timer" \
      "TASK OK - $timer.timer: $(testbed_result_time "$(testbed_last_start "$timer.service")")\n" \
      <(sed 's/ | .*//' "$out")
    expect_next "remote -checkstate: $timer.timer, next run" "$next" "$out"
    expect_bytes "remote -checkstate: $timer.timer (no error output)" "" "$out.err"
  done
  run "a password is no ssh credential: the key still logs on" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok -timeframe:10 "-host:$remote" -user:monitor -pswd:secret
  run "a key restricted to the bridge" 1 "ScriptRes:Bad:$fails Last Result : 3" \
    -task:rw-fails -timeframe:10 -host:bridge-only -user:monitor

  # No local manager at all: the remote check needs none, the local one still fails as
  # it always has.
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TESTBED_DIR/no-bus run "remote check without a local manager" \
    0 "ScriptRes:Ok:$ok" -task:rw-ok -timeframe:10 "-host:$remote" -user:monitor
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TESTBED_DIR/no-bus run "local check without a local manager" \
    1 "ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315" -task:rw-ok -timeframe:10

  # Refused logins.
  run "a login without an authorised key" 1 "$(cannot_connect "$remote" 80070005)" \
    -task:rw-ok -timeframe:10 "-host:$remote" -user:root
  run "a key the server does not accept" 1 "$(cannot_connect wrong-key 80070005)" \
    -task:rw-ok -timeframe:10 -host:wrong-key -user:monitor

  # Host keys: an unknown one is refused; the operator trusts it once with ssh, as the
  # monitoring account, and from then on the check runs. A changed key is refused.
  ssh-keygen -q -R "[localhost]:$SSHD_PORT" >/dev/null 2>&1
  run "unknown host key" 1 "$(cannot_connect "localhost:$SSHD_PORT" 80070005)" \
    -task:rw-ok -timeframe:10 "-host:localhost:$SSHD_PORT" -user:monitor
  ssh -o StrictHostKeyChecking=accept-new -p "$SSHD_PORT" monitor@localhost true \
    </dev/null 2>/dev/null
  run "host key trusted first with ssh" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok -timeframe:10 "-host:localhost:$SSHD_PORT" -user:monitor
  ssh-keygen -q -R "[localhost]:$SSHD_PORT" >/dev/null 2>&1
  echo "[localhost]:$SSHD_PORT $(cut -d' ' -f1-2 "$HOME/.ssh/unauthorised_key.pub")" \
    >>"$HOME/.ssh/known_hosts"
  run "changed host key" 1 "$(cannot_connect "localhost:$SSHD_PORT" 80070005)" \
    -task:rw-ok -timeframe:10 "-host:localhost:$SSHD_PORT" -user:monitor
  ssh-keygen -q -R "[localhost]:$SSHD_PORT" >/dev/null 2>&1
  rm -f "$HOME/.ssh/known_hosts_first_use"
  run "trust on first use, when the account's configuration says so" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok -timeframe:10 -host:trust-on-first-use -user:monitor
  expect_status "the first use recorded the host key" 1 \
    "$(grep -c . "$HOME/.ssh/known_hosts_first_use" 2>/dev/null)"

  # No ssh on the monitoring host, computers that cannot be reached, or that lack the
  # bridge.
  expect_run "no ssh on the monitoring host" 1 "$(cannot_connect "$remote" 80004005)" \
    env PATH=/nonexistent "$program" -task:rw-ok -timeframe:10 "-host:$remote" -user:monitor
  run "closed port" 1 "$(cannot_connect "127.0.0.1:$closed_port" 80070035)" \
    -task:rw-ok -timeframe:10 "-host:127.0.0.1:$closed_port" -user:monitor
  run "no systemd-stdio-bridge on the remote computer" 1 \
    "$(cannot_connect "127.0.0.1:$SSHD_NO_BRIDGE_PORT" 80004005)" \
    -task:rw-ok -timeframe:10 "-host:127.0.0.1:$SSHD_NO_BRIDGE_PORT" -user:monitor
  mv /run/dbus/system_bus_socket "$TESTBED_DIR/system_bus_socket"
  run "no system bus on the remote computer" 1 "$(cannot_connect "$remote" 80004005)" \
    -task:rw-ok -timeframe:10 "-host:$remote" -user:monitor
  # A bus without a manager on it (and none to start): the bridge answers, the manager
  # does not.
  dbus-daemon --nofork --config-file="$empty_bus_config" 2>>"$TESTBED_DIR/empty-bus.log" &
  local empty_bus=$!
  for _ in $(seq 50); do [[ -S $TESTBED_DIR/empty-bus ]] && break; sleep 0.1; done
  ln -s "$TESTBED_DIR/empty-bus" /run/dbus/system_bus_socket
  run "no manager on the remote computer's bus" 1 "$(cannot_connect "$remote" 80041315)" \
    -task:rw-ok -timeframe:10 "-host:$remote" -user:monitor
  kill "$empty_bus"
  wait "$empty_bus"
  rm -f /run/dbus/system_bus_socket "$TESTBED_DIR/empty-bus"
  mv "$TESTBED_DIR/system_bus_socket" /run/dbus/system_bus_socket

  # Connection sharing in the account's configuration. The first check opens the shared
  # connection, whose master stays in the background (ControlPersist): the check neither
  # waits for it nor lets it hold the reader's pipe; the next check logs on no more.
  local started=$SECONDS status
  before=$(logins)
  LC_ALL=C timeout 60 "$program" -task:rw-ok -timeframe:10 -host:shared 2>"$out.err" </dev/null |
    cat >"$out"
  status=${PIPESTATUS[0]}
  expect_status "shared connection, first check" 0 "$status"
  expect_bytes "shared connection, first check" "ScriptRes:Ok:$ok\n" "$out"
  expect_bytes "shared connection, first check (no error output)" "" "$out.err"
  ((SECONDS - started < 20)) ||
    expect_status "the reader's pipe closed at once" "<20" $((SECONDS - started))
  expect_run "shared connection, next check" 1 "ScriptRes:Bad:$fails Last Result : 3" \
    "$program" -task:rw-fails -timeframe:10 -host:shared
  expect_status "shared connection: one login for both checks" $((before + 1)) "$(logins)"
  ssh -O check shared 2>/dev/null
  expect_status "the master runs on" 0 $?
  ssh -O exit shared 2>/dev/null
  for _ in $(seq 50); do [[ -z $(leftovers) ]] && break; sleep 0.1; done
  expect_bytes "the master ended by ssh -O exit" "" <(leftovers)
  # Without ControlPersist the check's own ssh is the master, and it ends with the check.
  run "ControlMaster without ControlPersist" 0 "ScriptRes:Ok:$ok" \
    -task:rw-ok -timeframe:10 -host:master-only

  # A server that never answers (stopped: the kernel still accepts the connection): ssh
  # gives up on the banner after its connect timeout. Once, since it takes that long.
  [[ $1 == linux && -z ${2:-} ]] || return 0
  kill -STOP "$SSHD_PID"
  started=$SECONDS
  LC_ALL=C timeout 60 "$program" -task:rw-ok -timeframe:10 "-host:$remote" -user:monitor \
    >"$out" 2>"$out.err" </dev/null
  expect_status "server that never answers" 1 $?
  ((SECONDS - started <= 30)) || expect_status "answer within 30 s" "<=30" $((SECONDS - started))
  kill -CONT "$SSHD_PID"
  expect_bytes "server that never answers" "$(cannot_connect "$remote" 80070035)\n" "$out"
  expect_bytes "server that never answers (no error output)" "" "$out.err"
  expect_bytes "server that never answers (nothing left running)" "" <(leftovers)
  # A remote manager that does not answer: the server and the bridge do, so the check
  # must ask the manager itself to tell.
  kill -STOP "$TESTBED_MANAGER_PID"
  started=$SECONDS
  expect_run "remote manager that does not answer" 1 "$(cannot_connect "$remote" 80070035)" \
    "$program" -task:rw-ok.timer -timeframe:10 "-host:$remote" -user:monitor
  ((SECONDS - started <= 30)) || expect_status "answer within 30 s" "<=30" $((SECONDS - started))
  kill -CONT "$TESTBED_MANAGER_PID"
  expect_bytes "remote manager that does not answer (nothing left running)" "" <(leftovers)
}

testbed_each_build run_checks
# The same lines when the parent leaves SIGCHLD ignored, as some engines and shells do: the
# kernel would then reap ssh at once, and its exit status, which tells a missing bridge
# from an unreachable computer, would be lost.
sigchld_ignored=$TESTBED_DIR/runwarden-sigchld-ignored
printf '#!/usr/bin/perl\n$SIG{CHLD} = "IGNORE";\nexec {"%s"} "%s", @ARGV or die "$!";\n' \
  "$PWD/build/linux/runwarden" "$PWD/build/linux/runwarden" >"$sigchld_ignored"
chmod +x "$sigchld_ignored"
run_checks linux "$sigchld_ignored"
finish
