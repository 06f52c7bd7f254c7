#!/usr/bin/env bash
# -timeout: of runwarden.exe under Wine. Wine's Task Scheduler calls are RPC calls to the
# service process that hosts the scheduler; with that process stopped (SIGSTOP) they never
# return, as a call to a computer that stopped answering would not. The watchdog must then
# write the timed-out result within the time plus one second, in the form asked for, and
# end the process; a check in time gives its own result.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
export TZ=UTC LC_ALL=C
wine_start
out=$(mktemp)
service=
trap 'rm -f "$out" "$out.err"; [[ -n $service ]] && kill -CONT "$service"; wine_stop' EXIT

# The processes of this prefix whose command line matches an extended regular expression.
prefix_processes() {
  local process
  for process in /proc/[0-9]*; do
    { tr '\0' '\n' <"$process/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
      { tr '\0' ' ' <"$process/cmdline"; } 2>/dev/null | grep -qE -- "$1" &&
      echo "${process#/proc/}"
  done
}

# Recording the task's run starts the scheduler service, which the check then reaches;
# the longest limit leaves a check that answers in time alone.
wine_run "$out" "$bin/task_fixture.exe" "Nightly Backup" 0 2001 1 1 0 0 0 ||
  { echo "FAIL: task_fixture: $(cat "$out.err")"; exit 1; }
wine_run "$out" "$bin/runwarden.exe" "-task:Nightly Backup" -timeframe:today -timeout:2147483647
expect_status "a check in time: its own result" 1 $?
expect_bytes "a check in time: its own result" 'ScriptRes:Bad:1/1/2001\r\n' "$out"

service=$(prefix_processes 'svchost\.exe -k netsvcs')
[[ $service =~ ^[0-9]+$ ]] || { echo "FAIL: the scheduler's service process: '$service'"; exit 1; }
kill -STOP "$service"

# stuck NAME STATUS EXPECTED_OUTPUT ARGS...: with -timeout:2, that output and status within
# three seconds, and no runwarden.exe left.
stuck() {
  local name=$1 status=$2 expected=$3 start elapsed
  shift 3
  start=$(date +%s%N)
  wine_run "$out" "$bin/runwarden.exe" "$@" -timeout:2
  expect_status "$name" "$status" $?
  elapsed=$((($(date +%s%N) - start) / 1000000))
  expect_bytes "$name" "$expected" "$out"
  expect_status "$name: within 3 s ($elapsed ms)" yes "$( ((elapsed < 3000)) && echo yes)"
  expect_status "$name: no runwarden.exe left" "" "$(prefix_processes 'runwarden\.exe')"
}

timed_out='Check timed out after 2 seconds'
stuck "one task, the default form" 2 "ScriptRes:Unknown:$timed_out\r\n" \
  "-task:Nightly Backup" -timeframe:60
stuck "one task, the plugins' form" 3 "TASK UNKNOWN - Nightly Backup: $timed_out\r\n" \
  "-task:Nightly Backup" -timeframe:60 -format:nagios
stuck "a pattern, its list never given" 2 "ScriptRes:Unknown:$timed_out\r\n" \
  "-task:Night*" -timeframe:60
# The watchdog writes where every result goes: into the -outfile: file, replacing it whole.
printf 'the last result\n' >"$WINEPREFIX/drive_c/result.json"
stuck "into the output file, in the document's form" 2 "" \
  "-task:Nightly Backup" -timeframe:60 -format:json '-outfile:C:\result.json'
expect_status "into the output file: the timed-out document, whole" yes "$(
  grep -q '^{"status":"unknown",.*"plugin_output":"TASK UNKNOWN - Nightly Backup: '"$timed_out"'"' \
    "$WINEPREFIX/drive_c/result.json" && (($(wc -l <"$WINEPREFIX/drive_c/result.json") == 1)) &&
    echo yes)"

finish
