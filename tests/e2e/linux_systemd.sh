#!/usr/bin/env bash
# The Linux program against a real, private systemd manager with real services and timers:
# first the scheduler backend alone (systemd_backend_probe drives the scheduled-task helper
# and prints the last run to the millisecond and the exit code, or the helper's error
# text; with --list it prints the tasks that the scheduler object lists for a pattern and
# what each one read), then whole checks of runwarden (result line and exit status), of
# one unit and of many under one pattern. Both for the linux and the sanitizer build.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden

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
# The main process succeeds, a later command fails: the unit failed.
testbed_unit rw-post-fails.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/true
ExecStartPost=/bin/false
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
# On disk only: no timer refers to it and nothing starts it.
testbed_unit rw-idle.service <<'EOF'
[Service]
Type=oneshot
ExecStart=/bin/true
EOF
# Many units under one pattern: a timer and its service (counted once, as the timer), a
# timer whose Unit= names a service of another name, a service that failed, a timer whose
# service never ran, a service only on disk, and a template, which is no task.
testbed_oneshot rw-many-ok.service /bin/true
testbed_idle_timer rw-many-ok.timer
testbed_oneshot rw-many-job.service /bin/true
printf '[Timer]\nOnCalendar=2099-01-01\nUnit=rw-many-job.service\n' |
  testbed_unit rw-many-okay.timer
testbed_oneshot rw-many-fails.service "/bin/sh -c 'exit 3'"
testbed_oneshot rw-many-idle.service /bin/true
testbed_idle_timer rw-many-idle.timer
testbed_oneshot rw-many-disk.service /bin/true
testbed_oneshot rw-many-tpl@.service /bin/true
# Aliases (links to another unit's file) are the unit they name: one of a unit that a
# listed timer starts, one of a unit that the pattern does not match.
ln -s rw-many-ok.service "$XDG_CONFIG_HOME/systemd/user/rw-many-ok-alias.service"
ln -s rw-fails.service "$XDG_CONFIG_HOME/systemd/user/rw-alias-of-fails.service"
# More units than answers are awaited at once (four each): they stay active once they
# ran, so that the manager keeps their runs without a timer.
bulk=()
for i in $(seq -w 1 24); do
  bulk+=("rw-bulk-$i.service")
  printf '[Service]\nType=oneshot\nRemainAfterExit=yes\nExecStart=/bin/true\n' |
    testbed_unit "rw-bulk-$i.service"
done
testbed_start
tb_systemctl start rw-ok.timer rw-never.timer rw-nightly.timer
tb_systemctl start rw-many-ok.timer rw-many-okay.timer rw-many-idle.timer
tb_systemctl start rw-ok.service rw-fails.service rw-killed.service rw-post-fails.service 2>/dev/null
for unit in rw-ok rw-fails rw-killed rw-post-fails rw-job; do testbed_wait_finished "$unit.service"; done
tb_systemctl start "${bulk[@]}"
# One after the other, so that the latest and the earliest run are told apart.
for unit in rw-many-ok rw-many-job rw-many-fails; do
  sleep 1.1  # and a second apart, so that their ages differ as well
  tb_systemctl start "$unit.service" 2>/dev/null
  testbed_wait_finished "$unit.service"
done

# Microseconds since the epoch as the probe prints them, in local time.
probe_time() { date -d "@${1:0:-6}" "+%Y-%m-%d %H:%M:%S.${1: -6:3}"; }

trigger=$(testbed_property rw-nightly.timer Timer LastTriggerUSec)
job_start=$(testbed_last_start rw-job.service)
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
  *" silent-host "*) exec sleep 60 ;;
esac
for last; do :; done
exec "\$last"
EOF
chmod +x "$fake_bin/ssh"
ssh_options='-xT\n-o\nBatchMode=yes\n-o\nConnectTimeout=10\n-o\nLogLevel=ERROR\n'

out=$TESTBED_DIR/out
# probe_check NAME EXPECTED_STATUS EXPECTED_TEXT PROBE_ARGS...: runs $probe.
probe_check() {
  local name=$1 status=$2 text=$3
  shift 3
  timeout 60 "$probe" "$@" >"$out" 2>"$out.err"
  expect_status "$name" "$status" $?
  expect_bytes "$name" "$text\n" "$out"
  expect_bytes "$name (no error output)" "" "$out.err"
}

# The backend alone.
run_probe_checks() {
  probe=$PWD/build/$1/systemd_backend_probe
  echo "-- build/$1"
  probe_check "service that exited 0" 0 "$(probe_time "$(testbed_last_start rw-ok.service)") 0" \
    rw-ok
  probe_check "the same with its suffix" 0 \
    "$(probe_time "$(testbed_last_start rw-ok.service)") 0" rw-ok.service
  probe_check "timer that never fired: its service's run" 0 \
    "$(probe_time "$(testbed_last_start rw-ok.service)") 0" rw-ok.timer
  probe_check "service that exited 3" 0 \
    "$(probe_time "$(testbed_last_start rw-fails.service)") 3" rw-fails
  probe_check "service killed by SIGKILL" 0 \
    "$(probe_time "$(testbed_last_start rw-killed.service)") 137" rw-killed
  probe_check "service whose later command failed" 0 \
    "$(probe_time "$(testbed_last_start rw-post-fails.service)") 1" rw-post-fails
  probe_check "timer name resolves to its service" 0 "$(probe_time "$job_start") 4" rw-nightly.timer
  probe_check "service that never ran" 2 "Invalid argument to date encode" rw-never
  probe_check "not a valid unit name" 1 'Cannot find task "no such/unit"; Error Code: 80070002' \
    "no such/unit"
  probe_check "unit of another type" 1 'Cannot find task "default.target"; Error Code: 80004002' \
    default.target

  probe_check "list: each task once, its last run read with the list" 0 \
    "rw-many-disk.service 00041303 00041303
rw-many-fails.service $(probe_time "$(testbed_last_start rw-many-fails.service)") 3
rw-many-idle.timer 00041303 00041303
rw-many-ok.timer $(probe_time "$(testbed_last_start rw-many-ok.service)") 0
rw-many-okay.timer $(probe_time "$(testbed_last_start rw-many-job.service)") 0" --list 'RW-MANY-*'
  local unit listed=
  for unit in "${bulk[@]}"; do
    listed+="${listed:+$'\n'}$unit $(probe_time "$(testbed_last_start "$unit")") 0"
  done
  probe_check "list of more units than answers awaited at once" 0 "$listed" --list 'rw-bulk-*'
  probe_check "list, one character" 0 \
    "rw-many-ok.timer $(probe_time "$(testbed_last_start rw-many-ok.service)") 0" \
    --list 'rw-many-o?.*'

  PATH=$fake_bin:$PATH probe_check "remote service through ssh" 0 \
    "$(probe_time "$(testbed_last_start rw-fails.service)") 3" rw-fails "backup@server:2222"
  expect_bytes "ssh never prompts, connect bounded, login and port passed" \
    "$ssh_options-l\nbackup\n-p\n2222\n--\nserver\nsystemd-stdio-bridge\n" \
    "$TESTBED_DIR/ssh-arguments"
  PATH=$fake_bin:$PATH probe_check "remote timer" 0 \
    "$(probe_time "$(testbed_last_start rw-ok.service)") 0" rw-ok.timer server admin
  expect_bytes "the account's user name is the ssh login" \
    "$ssh_options-l\nadmin\n--\nserver\nsystemd-stdio-bridge\n" "$TESTBED_DIR/ssh-arguments"
  PATH=$fake_bin:$PATH probe_check "remote unit that does not exist" 1 \
    'Cannot find task "rw-missing"; Error Code: 80070002' rw-missing server
  PATH=$fake_bin:$PATH probe_check "ssh authentication refused" 1 \
    'Cannot connect to computer: "\\\\denied-host"; Error Code: 80070005' rw-ok denied-host admin
  probe_check "no host name left" 1 'Cannot connect to computer: "\\\\"; Error Code: 80070035' rw-ok ""

  env -u DBUS_SYSTEM_BUS_ADDRESS "$probe" rw-ok >"$out" 2>&1
  expect_bytes "the standard system bus socket" \
    "$(probe_time "$(testbed_last_start rw-ok.service)") 0\n" "$out"
}

# run NAME EXPECTED_STATUS EXPECTED_LINE ARGS...: runs $program in the C locale.
run() { expect_run "$1" "$2" "$3" "$program" "${@:4}"; }

# Whole checks: the result line and the exit status.
run_program_checks() {
  program=$PWD/build/$1/runwarden
  echo "-- build/$1/runwarden"
  local ok fails killed job
  ok=$(testbed_result_time "$(testbed_last_start rw-ok.service)")
  fails=$(testbed_result_time "$(testbed_last_start rw-fails.service)")
  killed=$(testbed_result_time "$(testbed_last_start rw-killed.service)")
  job=$(testbed_result_time "$job_start")
  run "ran and exited 0, minutes" 0 "ScriptRes:Ok:$ok" -task:rw-ok -timeframe:10
  run "ran and exited 0, today" 0 "ScriptRes:Ok:$ok" -task:rw-ok.service -timeframe:today
  run "timer, this week" 0 "ScriptRes:Ok:$ok" -task:rw-ok.timer -timeframe:this_week
  run "ran, but not in the window" 1 "ScriptRes:Bad:$ok" -task:rw-ok -timeframe:yesterday
  run "exited 3" 1 "ScriptRes:Bad:$fails Last Result : 3" -task:rw-fails -timeframe:10
  run "killed by a signal" 1 "ScriptRes:Bad:$killed Last Result : 137" \
    -task:rw-killed -timeframe:10
  run "killed, exit code ignored" 0 "ScriptRes:Ok:$killed" -task:rw-killed -timeframe:10 -ignoreres
  run "timer name: its service's run and exit code" 1 "ScriptRes:Bad:$job Last Result : 4" \
    -task:rw-nightly.timer -timeframe:10
  run "unit that does not exist" 1 \
    'ScriptRes:Bad:Cannot find task "rw-missing"; Error Code: 80070002' \
    -task:rw-missing -timeframe:10
  run "unit that never ran" 2 "ScriptRes:Unknown:Invalid argument to date encode" \
    -task:rw-never -timeframe:10
  run "unit that nothing has loaded yet: loaded by the check" 2 \
    "ScriptRes:Unknown:Invalid argument to date encode" -task:rw-idle -timeframe:10
  # Many units under one pattern, each judged as a check of it alone.
  local many_ok many_job many_fails never='Invalid argument to date encode'
  many_ok=$(testbed_result_time "$(testbed_last_start rw-many-ok.service)")
  many_job=$(testbed_result_time "$(testbed_last_start rw-many-job.service)")
  many_fails=$(testbed_result_time "$(testbed_last_start rw-many-fails.service)")
  run "pattern: mixed outcomes, the failed ones in name order" 1 \
    "ScriptRes:Bad:5 tasks matched, 3 failed; rw-many-disk.service: $never;\
 rw-many-fails.service: $many_fails Last Result : 3; rw-many-idle.timer: $never" \
    -task:rw-many-* -timeframe:10
  run "pattern: all ok, letters in either case" 0 \
    "ScriptRes:Ok:2 tasks matched, 0 failed; latest $many_job, earliest $many_ok" \
    -task:RW-MANY-OK* -timeframe:10
  run "pattern: exit code ignored" 0 \
    "ScriptRes:Ok:1 task matched, 0 failed; latest $many_fails, earliest $many_fails" \
    '-task:rw-many-fail?.service' -timeframe:10 -ignoreres
  run "pattern: never ran" 2 \
    "ScriptRes:Unknown:1 task matched, 1 failed; rw-many-idle.timer: $never" \
    -task:rw-many-idle* -timeframe:10
  run "pattern: outside the window" 1 \
    "ScriptRes:Bad:1 task matched, 1 failed; rw-many-ok.timer: $many_ok" \
    -task:rw-many-ok.* -timeframe:yesterday
  run "pattern that matches a unit by an alias only: shown by the alias" 1 \
    "ScriptRes:Bad:1 task matched, 1 failed; rw-alias-of-fails.service: $fails Last Result : 3" \
    '-task:rw-alias-*' -timeframe:10
  run "pattern that matches nothing" 1 \
    'ScriptRes:Bad:Cannot find task "rw-none-*"; Error Code: 80070002' -task:rw-none-* -timeframe:10
  run "pattern that matches only a template" 1 \
    'ScriptRes:Bad:Cannot find task "rw-many-tpl*"; Error Code: 80070002' \
    -task:rw-many-tpl* -timeframe:10
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TESTBED_DIR/no-bus run "pattern, no bus" 1 \
    "ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315" -task:rw-many-* -timeframe:10
  PATH=$fake_bin:$PATH run "pattern on a remote computer" 0 \
    "ScriptRes:Ok:2 tasks matched, 0 failed; latest $many_job, earliest $many_ok" \
    '-task:rw-many-ok*' -timeframe:10 -host:server
  PATH=$fake_bin:$PATH run "remote computer, -user as the ssh login" 1 \
    "ScriptRes:Bad:$fails Last Result : 3" -task:rw-fails -timeframe:10 '-host:\\server' \
    '-user:OFFICE\monitor'
  expect_bytes "the user name part of the account is the login" \
    "$ssh_options-l\nmonitor\n--\nserver\nsystemd-stdio-bridge\n" "$TESTBED_DIR/ssh-arguments"
  run "unreachable remote host (the real ssh, a closed port here)" 1 \
    'ScriptRes:Bad:Cannot connect to computer: "\\\\127.0.0.1:1"; Error Code: 80070035' \
    -task:rw-ok -timeframe:10 -host:127.0.0.1:1

  # A manager that is not there, or does not answer, gives a Bad line in bounded time.
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TESTBED_DIR/no-bus run "no bus" 1 \
    "ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315" -task:rw-ok -timeframe:10
  kill -STOP "$TESTBED_MANAGER_PID"
  local started=$SECONDS
  run "manager that does not answer" 1 \
    "ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315" -task:rw-ok -timeframe:10
  kill -CONT "$TESTBED_MANAGER_PID"
  ((SECONDS - started <= 15)) || expect_status "answer within 15 s" "<=15" $((SECONDS - started))

  # A remote computer that never answers: the connection gives up after 20 s, ssh is
  # ended. Once, since it takes that long.
  [[ $1 == linux ]] || return 0
  started=$SECONDS
  PATH=$fake_bin:$PATH run "remote computer that does not answer" 1 \
    'ScriptRes:Bad:Cannot connect to computer: "\\\\silent-host"; Error Code: 80070035' \
    -task:rw-ok -timeframe:10 -host:silent-host
  ((SECONDS - started <= 30)) || expect_status "answer within 30 s" "<=30" $((SECONDS - started))
  expect_bytes "the silent ssh is ended" "" <(testbed_running '^sleep 60')
}

run_checks() {
  run_probe_checks "$1"
  run_program_checks "$1"
}
testbed_each_build run_checks

# Nothing the probes started runs on: only the manager and its own services remain.
expect_bytes "no process left behind" "" <(testbed_running '^(ssh|systemd-stdio-bridge|sleep) ')
finish
