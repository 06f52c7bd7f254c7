#!/usr/bin/env bash
# runwarden.exe -format:nagios under Wine against tasks of Wine's own Task Scheduler 1.0:
# the line of the plugins' form byte for byte (CR LF line end), and its exit status.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
# Wine's clock and time zone follow these; its C locale writes M/d/yyyy h:mm:ss AM.
export TZ=UTC LC_ALL=C
wine_start
out=$(mktemp)
trap 'rm -f "$out" "$out.err"; wine_stop' EXIT

task() {
  wine_run "$out" "$bin/task_fixture.exe" "$@" ||
    { echo "FAIL: task_fixture $*: $(cat "$out.err")"; exit 1; }
}
# Runs long past, so that their age is known from the clock alone.
task "Nightly Backup" 0 2020 6 15 10 20 30
task "Crashed Job" 0xC0000005 2020 6 15 10 20 30
task "Never Ran" never
task "Bob's Job" 0 2020 6 15 10 20 30
ran=$(date -d '2020-06-15 10:20:30' +%s)
# A window of every minute there is: anything in the past lies inside it.
frame=-timeframe:2147483647
threshold=$((2147483647 * 60))

# check NAME STATUS EXPECTED ARGS...: the exact output, where each AGE in EXPECTED stands for
# an age of the run at 2020-06-15 10:20:30 that lies between the check's start and its end
# (the ages of the performance data, in their order).
check() {
  local name=$1 status=$2 expected=$3 before after age
  shift 3
  before=$(date +%s)
  wine_run "$out" "$bin/runwarden.exe" -format:nagios "$@"
  expect_status "$name" "$status" $?
  after=$(date +%s)
  for age in $(head -n 1 "$out" | grep -oE "age'?=[0-9]+s" | tr -dc '0-9\n'); do
    [[ $expected == *AGE* ]] || break
    ((age >= before - ran && age <= after - ran + 1)) || expect_status "$name: age" \
      "$((before - ran))..$((after - ran + 1))" "$age"
    expected=${expected/AGE/$age}
  done
  expect_bytes "$name" "$expected" "$out"
}

check "OK" 0 "TASK OK - Nightly Backup: 6/15/2020 10:20:30 AM | age=AGEs;;$threshold result=0\r\n" \
  "-task:Nightly Backup" "$frame"
check "CRITICAL: outside a keyword window, which has no threshold" 2 \
  "TASK CRITICAL - Nightly Backup: 6/15/2020 10:20:30 AM | age=AGEs result=0\r\n" \
  "-task:Nightly Backup" -timeframe:this_week
check "CRITICAL: the exit code, its top bit set" 2 \
  "TASK CRITICAL - Crashed Job: 6/15/2020 10:20:30 AM Last Result : 3221225477 | age=AGEs;;$threshold result=3221225477\r\n" \
  "-task:Crashed Job" "$frame"
check "UNKNOWN: never ran, no performance data" 3 \
  'TASK UNKNOWN - Never Ran: Invalid argument to date encode\r\n' "-task:Never Ran" "$frame"
# Wine refuses the name as invalid (8007007B).
check "a | in the name does not start the performance data" 2 \
  'TASK CRITICAL - No!Such: Cannot find task "No!Such"; Error Code: 8007007B\r\n' \
  "-task:No|Such" "$frame"
check "the host in the reason, never the password" 2 \
  'TASK CRITICAL - Nightly Backup: Cannot connect to computer: "\\\\nohost.invalid"; Error Code: 80070035\r\n' \
  "-task:Nightly Backup" "$frame" -host:nohost.invalid '-user:OFFICE\backup' -pswd:Zq7-secret
# Many tasks: the summary first, the performance data of every task that has a run (a
# quote in a label doubled), then a line per task in name order.
check "many tasks: the worst status, a line per task" 2 \
  "TASK CRITICAL - *: 4 tasks matched, 2 failed; Crashed Job: 6/15/2020 10:20:30 AM Last Result : 3221225477; Never Ran: Invalid argument to date encode | 'Bob''s Job age'=AGEs;;$threshold 'Bob''s Job result'=0 'Crashed Job age'=AGEs;;$threshold 'Crashed Job result'=3221225477 'Nightly Backup age'=AGEs;;$threshold 'Nightly Backup result'=0\r\nOK - Bob's Job: 6/15/2020 10:20:30 AM\r\nCRITICAL - Crashed Job: 6/15/2020 10:20:30 AM Last Result : 3221225477\r\nUNKNOWN - Never Ran: Invalid argument to date encode\r\nOK - Nightly Backup: 6/15/2020 10:20:30 AM\r\n" \
  '-task:*' "$frame"
check "an unknown form: the default one" 2 \
  'ScriptRes:Unknown:Invalid format specified. Format should be scriptres, nagios, prometheus or json\r\n' \
  "-task:Nightly Backup" "$frame" -format:xml

finish
