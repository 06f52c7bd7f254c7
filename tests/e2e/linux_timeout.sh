#!/usr/bin/env bash
# -timeout: of the Linux program against what does not answer: the test bed's manager
# stopped with SIGSTOP, and a real sshd stopped the same way (the kernel still accepts the
# connection, the server never speaks). The check must give the timed-out result within the
# time plus one second, in the form asked for, and leave nothing running: no ssh, no
# session of the server. Both for the linux and the sanitizer build.
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
testbed_start
tb_systemctl start rw-ok.timer
tb_systemctl start rw-ok.service
testbed_wait_finished rw-ok.service
sshd_start
remote=127.0.0.1:$SSHD_PORT
ok=$(testbed_result_time "$(testbed_last_start rw-ok.service)")

# What a check may leave: no ssh at all once it has ended; the server's sessions and their
# bridges are given a moment to end after their client has gone.
leftovers() {
  testbed_running '^ssh[ :]'
  sshd_wait_sessions_ended
  testbed_running '^sshd: [^/]|systemd-stdio-bridge'
}

# stuck NAME STATUS EXPECTED_LINE ARGS...: with -timeout:2, that line and status within
# three seconds, and nothing left running.
stuck() {
  local name=$1 status=$2 line=$3 start elapsed
  shift 3
  start=$(date +%s%N)
  expect_run "$name" "$status" "$line" "$program" "$@" -timeout:2
  elapsed=$((($(date +%s%N) - start) / 1000000))
  expect_status "$name: within 3 s ($elapsed ms)" yes "$( ((elapsed < 3000)) && echo yes)"
  expect_bytes "$name (nothing left running)" "" <(leftovers)
}

timed_out='Check timed out after 2 seconds'

run_checks() {
  program=$PWD/build/$1/runwarden
  echo "-- build/$1/runwarden"
  expect_run "a check in time: its own result" 0 "ScriptRes:Ok:$ok" \
    "$program" -task:rw-ok -timeframe:60 -timeout:2147483647

  kill -STOP "$TESTBED_MANAGER_PID"
  stuck "manager that does not answer" 2 "ScriptRes:Unknown:$timed_out" -task:rw-ok -timeframe:60
  stuck "manager that does not answer, the plugins' form" 3 \
    "TASK UNKNOWN - rw-ok: $timed_out" -task:rw-ok -timeframe:60 -format:nagios
  kill -CONT "$TESTBED_MANAGER_PID"

  kill -STOP "$SSHD_PID"
  stuck "ssh server that accepts and never speaks" 2 "ScriptRes:Unknown:$timed_out" \
    -task:rw-ok -timeframe:60 "-host:$remote" -user:monitor
  kill -CONT "$SSHD_PID"
}

testbed_each_build run_checks
finish
