#!/usr/bin/env bash
# The Linux scheduler backend against a real, private systemd manager: the scheduled-task
# helper reads real services and timers through it (systemd_backend_probe prints what it
# read: the last run to the millisecond and the exit code, or the helper's error text).
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_tool build/linux/systemd_backend_probe

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1

testbed_unit rw-ok.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/true
EOF
# A timer keeps its service loaded, and with it the service's last run.
testbed_unit rw-ok.timer <<'EOF'
[Timer]
OnCalendar=2099-01-01
EOF
testbed_unit rw-fails.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/sh -c 'exit 3'
EOF
testbed_unit rw-killed.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/sh -c 'kill -KILL $$$$'
EOF
testbed_unit rw-job.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/sh -c 'sleep 0.2; exit 4'
EOF
testbed_unit rw-nightly.timer <<'EOF'
[Timer]
OnActiveSec=1s
AccuracySec=1ms
Unit=rw-job.service
EOF
testbed_unit rw-never.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/true
EOF
testbed_unit rw-never.timer <<'EOF'
[Timer]
OnCalendar=2099-01-01
EOF
testbed_start
tb_systemctl start rw-ok.timer rw-never.timer rw-nightly.timer
tb_systemctl start rw-ok.service rw-fails.service rw-killed.service 2>/dev/null
for unit in rw-ok rw-fails rw-killed rw-job; do testbed_wait_finished "$unit.service"; done

# Microseconds since the epoch as the probe prints them, in local time.
probe_time() { date -d "@${1:0:-6}" "+%Y-%m-%d %H:%M:%S.${1: -6:3}"; }
start_of() { testbed_property "$1" Service ExecMainStartTimestamp; }

trigger=$(testbed_property rw-nightly.timer Timer LastTriggerUSec)
job_start=$(start_of rw-job.service)
((trigger > 0 && job_start >= trigger)) || expect_status "timer fired before its service" yes no

# Remote computers through ssh. A stand-in ssh records its arguments and runs the remote
# command here, so that the bridge reaches this test bed's manager as a remote one would.
fake_bin=$TESTBED_DIR/bin
mkdir -p "$fake_bin"
cat >"$fake_bin/ssh" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$TESTBED_DIR/ssh-arguments"
case " \$* " in
  *" denied-host "*) echo 'admin@denied-host: Permission denied (publickey).' >&2; exit 255 ;;
esac
for last; do :; done
exec "\$last"
EOF
chmod +x "$fake_bin/ssh"
ssh_options='-xT\n-o\nBatchMode=yes\n-o\nConnectTimeout=10\n-o\nLogLevel=ERROR\n'

out=$TESTBED_DIR/out
# check NAME EXPECTED_STATUS EXPECTED_TEXT PROBE_ARGS...: runs $probe.
check() {
  local name=$1 status=$2 text=$3
  shift 3
  timeout 60 "$probe" "$@" >"$out" 2>"$out.err"
  expect_status "$name" "$status" $?
  expect_bytes "$name" "$text\n" "$out"
  expect_bytes "$name (no error output)" "" "$out.err"
}

# The same checks for each build: the sanitizer build also finds leaks and bad accesses.
run_checks() {
  probe=$PWD/build/$1/systemd_backend_probe
  echo "-- build/$1"
  check "service that exited 0" 0 "$(probe_time "$(start_of rw-ok.service)") 0" rw-ok
  check "the same with its suffix" 0 "$(probe_time "$(start_of rw-ok.service)") 0" rw-ok.service
  check "timer that never fired: its service's run" 0 \
    "$(probe_time "$(start_of rw-ok.service)") 0" rw-ok.timer
  check "service that exited 3" 0 "$(probe_time "$(start_of rw-fails.service)") 3" rw-fails
  check "service killed by SIGKILL" 0 "$(probe_time "$(start_of rw-killed.service)") 137" \
    rw-killed
  check "timer name resolves to its service" 0 "$(probe_time "$job_start") 4" rw-nightly.timer
  check "service that never ran" 2 "Invalid argument to date encode" rw-never
  check "unit that does not exist" 1 'Cannot find task "rw-missing"; Error Code: 80070002' \
    rw-missing
  check "not a valid unit name" 1 'Cannot find task "no such/unit"; Error Code: 80070002' \
    "no such/unit"
  check "unit of another type" 1 'Cannot find task "default.target"; Error Code: 80004002' \
    default.target

  PATH=$fake_bin:$PATH check "remote service through ssh" 0 \
    "$(probe_time "$(start_of rw-fails.service)") 3" rw-fails "backup@server:2222"
  expect_bytes "ssh never prompts, connect bounded, login and port passed" \
    "$ssh_options-l\nbackup\n-p\n2222\n--\nserver\nsystemd-stdio-bridge\n" \
    "$TESTBED_DIR/ssh-arguments"
  PATH=$fake_bin:$PATH check "remote timer" 0 \
    "$(probe_time "$(start_of rw-ok.service)") 0" rw-ok.timer server admin
  expect_bytes "the account's user name is the ssh login" \
    "$ssh_options-l\nadmin\n--\nserver\nsystemd-stdio-bridge\n" "$TESTBED_DIR/ssh-arguments"
  PATH=$fake_bin:$PATH check "remote unit that does not exist" 1 \
    'Cannot find task "rw-missing"; Error Code: 80070002' rw-missing server
  PATH=$fake_bin:$PATH check "ssh authentication refused" 1 \
    'Cannot connect to computer: "\\\\denied-host"; Error Code: 80070005' rw-ok denied-host admin
  # The real ssh against a closed port on this machine.
  check "unreachable remote host" 1 \
    'Cannot connect to computer: "\\\\127.0.0.1:1"; Error Code: 80070035' rw-ok 127.0.0.1:1
  check "no host name left" 1 'Cannot connect to computer: "\\\\"; Error Code: 80070035' rw-ok ""

  # A manager that is not there, or does not answer, gives an answer in bounded time.
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TESTBED_DIR/no-bus check "no bus at all" 1 \
    "Error in CoCreateInstance. Error Code: 80041315" rw-ok
  kill -STOP "$TESTBED_MANAGER_PID"
  local started=$SECONDS
  check "manager that does not answer" 1 "Error in CoCreateInstance. Error Code: 80041315" rw-ok
  kill -CONT "$TESTBED_MANAGER_PID"
  ((SECONDS - started <= 15)) || expect_status "answer within 15 s" "<=15" $((SECONDS - started))
}

run_checks linux
if [[ -x build/asan/systemd_backend_probe ]]; then
  run_checks asan
else
  [[ ${CI:-} != true ]] || expect_status "sanitizer build present" yes no
fi

# Nothing the probes started runs on: only the manager and its own services remain.
leftovers=$(pgrep -a -f 'systemd-stdio-bridge' || true)
expect_bytes "no process left behind" "" <(printf '%s' "$leftovers")
finish
