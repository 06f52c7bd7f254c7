#!/usr/bin/env bash
# A whole Linux check ends within its bound however the manager or the connection to it
# falls silent: before the login, after it, after the listing, in the middle of a batch;
# for one unit and for a pattern of more units than answers are awaited at once;
# locally (10 s) and through a real sshd (20 s). Each case gives one Bad line and leaves
# no ssh behind. A relay (bus_relay) stands between the check and the manager's bus and
# falls silent on cue; remotely, each case logs on with a key of its own whose forced
# command points the bridge at that case's relay; "before the login" is a port that
# accepts and never speaks. A check given a deadline of its own (SetCheckDeadline, through
# the probe) ends by it. The cases cost their bound each, so they run at once.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
source tests/e2e/lib/sshd.sh
testbed_enter "$@"
require_built build/linux/runwarden build/linux/bus_relay build/linux/systemd_backend_probe

testbed_oneshot rw-ok.service /bin/true
testbed_idle_timer rw-ok.timer
# Four answers each: 72 services are 288 answers, more than four rounds of awaited ones.
many=()
for i in $(seq -w 1 72); do
  many+=("rw-many-$i.service")
  printf '[Service]\nType=oneshot\nRemainAfterExit=yes\nExecStart=/bin/true\n' |
    testbed_unit "rw-many-$i.service"
done
testbed_start
tb_systemctl start rw-ok.timer rw-ok.service "${many[@]}"
testbed_wait_finished rw-ok.service
sshd_start

runwarden=$PWD/build/linux/runwarden
probe=$PWD/build/linux/systemd_backend_probe
results=$TESTBED_DIR/results
mkdir -p "$results"
relays=()
cases=()

# Waits until a program has written its first line to the file (at most 5 s).
wait_written() {
  for _ in $(seq 50); do [[ -s $1 ]] && return 0; sleep 0.1; done
  echo "FAIL: nothing written to $1" >&2
  return 1
}

# relay NAME TRIGGER COUNT: a relay to the manager's bus on $TESTBED_DIR/NAME.
relay() {
  build/linux/bus_relay "$TESTBED_DIR/$1" "$XDG_RUNTIME_DIR/bus" "$2" "$3" \
    >"$TESTBED_DIR/$1.ready" &
  relays+=($!)
  wait_written "$TESTBED_DIR/$1.ready"
}

# remote_relay NAME TRIGGER COUNT [DELAY]: a relay, and a host alias NAME whose login
# runs the bridge against it, DELAY seconds after logging on.
remote_relay() {
  relay "$1" "$2" "$3"
  ssh-keygen -q -t ed25519 -N '' -C "$1" -f "$HOME/.ssh/$1"
  local bridge="systemd-stdio-bridge -p unix:path=$TESTBED_DIR/$1"
  echo "restrict,command=\"sleep ${4:-0}; exec $bridge\" $(cat "$HOME/.ssh/$1.pub")" \
    >>"$SSHD_DIR/authorized_keys/monitor"
  printf 'Host %s\n  HostName 127.0.0.1\n  Port %s\n  User monitor\n' "$1" "$SSHD_PORT" \
    >>"$HOME/.ssh/config"
  printf '  IdentityFile ~/.ssh/%s\n  IdentitiesOnly yes\n' "$1" >>"$HOME/.ssh/config"
}

# start NAME COMMAND...: runs a case in the background, in the C locale, for at most 60 s
# and with standard input closed; its output, exit status and time (ms) are kept.
start() {
  local name=$1
  shift
  (
    began=$(date +%s%N)
    LC_ALL=C timeout 60 "$@" >"$results/$name.out" 2>"$results/$name.err" </dev/null
    echo "$? $((($(date +%s%N) - began) / 1000000))" >"$results/$name.status"
  ) &
  cases+=($!)
}

# local_case NAME TRIGGER COUNT ARGS...: a local check through a relay.
local_case() {
  relay "$1" "$2" "$3"
  start "$1" env "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TESTBED_DIR/$1" "${@:4}"
}

# expect_case NAME STATUS MILLISECONDS LINE [like]: the case's exit status, its time at
# most that, exactly that line (or one that the glob LINE matches) and no error output.
expect_case() {
  local status elapsed line
  read -r status elapsed <"$results/$1.status"
  expect_status "$1" "$2" "$status"
  ((elapsed <= $3)) || expect_status "$1: ended within $3 ms" "<=$3" "$elapsed"
  if [[ ${5:-} == like ]]; then
    line=$(cat "$results/$1.out")
    # shellcheck disable=SC2053 # the expected line is a glob here
    [[ $line == $4 && $(wc -l <"$results/$1.out") == 1 ]] ||
      expect_bytes "$1 (like $4)" "$4\n" "$results/$1.out"
  else
    expect_bytes "$1" "$4\n" "$results/$1.out"
  fi
  expect_bytes "$1 (no error output)" "" "$results/$1.err"
}

# The line of a pattern check whose 72 units all failed with CODE: the first 11 shown.
all_failed() {
  local line="ScriptRes:Bad:72 tasks matched, 72 failed;" unit
  for unit in "${many[@]:0:11}"; do
    line+=" $unit: Cannot find task \"$unit\"; Error Code: $1;"
  done
  echo "$line 61 more"
}
cannot_connect() {
  printf 'ScriptRes:Bad:Cannot connect to computer: "\\\\\\\\%s"; Error Code: 80070035' "$1"
}
no_manager='ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315'
unit_failed() { echo "ScriptRes:Bad:Cannot find task \"rw-ok\"; Error Code: $1"; }
some_failed() {
  echo "ScriptRes:Bad:72 tasks matched, * failed; rw-many-*.service: Cannot find task\
 \"rw-many-*.service\"; Error Code: $1;*"
}

# Locally the bus's own greeting is the login.
local_case local-before-login '' 0 "$runwarden" -task:rw-ok -timeframe:60
local_case local-before-login-many '' 0 "$runwarden" '-task:rw-many-*' -timeframe:60
local_case local-after-login Ping 1 "$runwarden" -task:rw-ok -timeframe:60
local_case local-after-login-many Ping 1 "$runwarden" '-task:rw-many-*' -timeframe:60
local_case local-after-listing ExecMainStartTimestamp 1 "$runwarden" -task:rw-ok -timeframe:60
local_case local-after-listing-many ExecMainStartTimestamp 1 \
  "$runwarden" '-task:rw-many-*' -timeframe:60
local_case local-mid-batch ExecMainCode 1 "$runwarden" -task:rw-ok -timeframe:60
local_case local-mid-batch-many ExecMainStartTimestamp 30 \
  "$runwarden" '-task:rw-many-*' -timeframe:60
local_case local-own-deadline Ping 1 "$probe" --deadline 2000 rw-ok

# Remotely: a port that never greets; a login that takes 15 s, then a manager that does not
# answer; silence after the listing and in the middle of a batch.
silent_port=$TESTBED_DIR/silent-port
build/linux/bus_relay tcp >"$silent_port" &
relays+=($!)
wait_written "$silent_port"
before_login=127.0.0.1:$(cat "$silent_port")
remote_relay after-login Version 1 15
remote_relay after-login-many Version 1 15
remote_relay after-listing ExecMainStartTimestamp 1
remote_relay after-listing-many ExecMainStartTimestamp 1
remote_relay mid-batch ExecMainCode 1
remote_relay mid-batch-many ExecMainStartTimestamp 30
remote_relay own-deadline '' 0
for host in after-login after-listing mid-batch; do
  start "remote-$host" "$runwarden" -task:rw-ok -timeframe:60 "-host:$host"
  start "remote-$host-many" "$runwarden" '-task:rw-many-*' -timeframe:60 "-host:$host-many"
done
start remote-before-login "$runwarden" -task:rw-ok -timeframe:60 "-host:$before_login" \
  -user:monitor
start remote-before-login-many "$runwarden" '-task:rw-many-*' -timeframe:60 \
  "-host:$before_login" -user:monitor
# ssh's own connect limit (10 s) is not what ends these.
start remote-own-deadline-before-login "$probe" --deadline 2000 rw-ok "$before_login" monitor
start remote-own-deadline "$probe" --deadline 2000 rw-ok own-deadline

wait "${cases[@]}"
# No ssh outlives its check.
expect_bytes "no ssh left running" "" <(testbed_running '^ssh[ :]')

local_bound=10800 remote_bound=20800 deadline_bound=2800
expect_case local-before-login 1 $local_bound "$no_manager"
expect_case local-before-login-many 1 $local_bound "$no_manager"
expect_case local-after-login 1 $local_bound "$no_manager"
expect_case local-after-login-many 1 $local_bound "$no_manager"
expect_case local-after-listing 1 $local_bound "$(unit_failed 80041315)"
expect_case local-after-listing-many 1 $local_bound "$(all_failed 80041315)"
expect_case local-mid-batch 1 $local_bound "$(unit_failed 80041315)"
expect_case local-mid-batch-many 1 $local_bound "$(some_failed 80041315)" like
expect_case local-own-deadline 1 $deadline_bound 'Error in CoCreateInstance. Error Code: 80041315'

expect_case remote-before-login 1 $remote_bound "$(cannot_connect "$before_login")"
expect_case remote-before-login-many 1 $remote_bound "$(cannot_connect "$before_login")"
expect_case remote-after-login 1 $remote_bound "$(cannot_connect after-login)"
expect_case remote-after-login-many 1 $remote_bound "$(cannot_connect after-login-many)"
expect_case remote-after-listing 1 $remote_bound "$(unit_failed 80070035)"
expect_case remote-after-listing-many 1 $remote_bound "$(all_failed 80070035)"
expect_case remote-mid-batch 1 $remote_bound "$(unit_failed 80070035)"
expect_case remote-mid-batch-many 1 $remote_bound "$(some_failed 80070035)" like
expect_case remote-own-deadline-before-login 1 $deadline_bound \
  "$(cannot_connect "$before_login" | sed 's/^ScriptRes:Bad://')"
expect_case remote-own-deadline 1 $deadline_bound \
  "$(cannot_connect own-deadline | sed 's/^ScriptRes:Bad://')"

# Once the relays are gone, so are the sessions and bridges that waited on them.
kill "${relays[@]}"
wait "${relays[@]}" 2>/dev/null
sshd_wait_sessions_ended
expect_bytes "nothing left running" "" \
  <(testbed_running '^ssh[ :]|^sshd: [^/]|systemd-stdio-bridge|bus_relay')
finish
