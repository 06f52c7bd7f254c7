#!/usr/bin/env bash
# The Linux program in the machine-read forms against the private systemd manager:
# -format:prometheus, every output of which `promtool check metrics` must accept, with the
# last run's Unix time exactly the manager's; -format:json, one valid document on one line;
# and -outfile:, which replaces a file in one step, leaves nothing else in its folder, and
# keeps the old file when the new one cannot be written.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool promtool
require_tool jq

program=$PWD/build/linux/runwarden
export LC_ALL=C

testbed_oneshot rw-ok.service /bin/true
testbed_oneshot rw-fails.service "/bin/sh -c 'exit 3'"
testbed_oneshot rw-never.service /bin/true
for unit in rw-ok rw-fails rw-never; do testbed_idle_timer "$unit.timer"; done
testbed_start
tb_systemctl start rw-ok.timer rw-fails.timer rw-never.timer
tb_systemctl start rw-ok.service rw-fails.service 2>/dev/null
for unit in rw-ok rw-fails; do testbed_wait_finished "$unit.service"; done
ok_start=$(testbed_last_start rw-ok.service)
ok_start=${ok_start:0:-6}

out=$TESTBED_DIR/out
# run NAME STATUS ARGS...: the exit status, nothing on standard error; the output in $out.
run() {
  local name=$1 status=$2
  shift 2
  timeout 60 "$program" "$@" >"$out" 2>"$out.err" </dev/null
  expect_status "$name" "$status" $?
  expect_bytes "$name (no error output)" "" "$out.err"
}

# ---- -format:prometheus ----
labels='host="",timeframe="10"'
# prom NAME STATUS ARGS...: a valid exposition and that exit status.
prom() {
  local name=$1 status=$2
  shift 2
  run "$name" "$status" -format:prometheus "$@"
  expect_valid_exposition "$name" "$out"
}
prom "prometheus: ok" 0 -task:rw-ok -timeframe:10
expect_line "the last run, to the second" \
  "runwarden_task_last_run_timestamp_seconds{task=\"rw-ok\",$labels} $ok_start" "$out"
expect_line "the task's status" "runwarden_task_status{task=\"rw-ok\",$labels,status=\"ok\"} 1" "$out"
expect_line "one task" "runwarden_check_tasks{task=\"rw-ok\",$labels} 1" "$out"
prom "prometheus: the exit code, a bad outcome" 1 -task:rw-fails -timeframe:10
expect_line "the exit code" "runwarden_task_last_exit_code{task=\"rw-fails\",$labels} 3" "$out"
prom "prometheus: never ran" 2 -task:rw-never -timeframe:10
expect_line "never ran: unknown" \
  "runwarden_task_status{task=\"rw-never\",$labels,status=\"unknown\"} 1" "$out"
prom "prometheus: a pattern" 1 '-task:rw-*' -timeframe:10
expect_line "three tasks" "runwarden_check_tasks{task=\"rw-*\",$labels} 3" "$out"
prom "prometheus: not found, a name to escape" 1 '-task:rw"\x' -timeframe:10
expect_line "escaped" "runwarden_task_status{task=\"rw\\\"\\\\x\",$labels,status=\"bad\"} 1" "$out"
prom "prometheus: bad options" 2 -task:rw-ok
prom "prometheus: no scheduler" 1 -task:rw-ok -timeframe:10 -host:127.0.0.1:1
expect_line "no task reached" "runwarden_check_tasks{task=\"rw-ok\",host=\"127.0.0.1:1\",timeframe=\"10\"} 0" "$out"

# ---- -format:json ----
run "json: ok" 0 -task:rw-ok -timeframe:10 -format:json
checks=$((checks + 1))
if [[ $(wc -l <"$out") != 1 ]] ||
  ! jq -e --argjson start "$ok_start" '.status == "ok" and .exit_status == 0 and
      .tasks[0].last_run == $start and .tasks[0].exit_code == 0 and
      (.performance_data | length) == 2 and (.plugin_output | startswith("TASK OK - rw-ok: "))' \
    "$out" >/dev/null; then
  echo "FAIL json: ok:"; cat "$out"; failures=$((failures + 1))
fi
run "json: a pattern" 1 '-task:rw-*' -timeframe:10 -format:json
checks=$((checks + 1))
if ! jq -e '.status == "bad" and .exit_status == 2 and ([.tasks[].task] == ["rw-fails.timer", "rw-never.timer", "rw-ok.timer"])
      and (.tasks[1] | has("last_run") | not)' "$out" >/dev/null; then
  echo "FAIL json: a pattern:"; cat "$out"; failures=$((failures + 1))
fi
run "json: a name that is no UTF-8 and has control characters" 1 \
  "-task:rw$(printf '\xff\x01')\"x" -timeframe:10 -format:json
checks=$((checks + 1))
jq -e '.tasks[0].task == "rw\ufffd\u0001\"x"' "$out" >/dev/null ||
  { echo "FAIL json: escaping:"; cat "$out"; failures=$((failures + 1)); }

# ---- -outfile: ----
folder=$TESTBED_DIR/collector
mkdir "$folder"
run "outfile: written" 0 -task:rw-ok -timeframe:10 -format:prometheus "-outfile:$folder/rw.prom"
expect_bytes "outfile: nothing on standard output" "" "$out"
expect_valid_exposition "outfile: written" "$folder/rw.prom"
run "outfile: replaced" 1 -task:rw-fails -timeframe:10 -format:prometheus "-outfile:$folder/rw.prom"
expect_line "outfile: the new content" \
  "runwarden_check_status{task=\"rw-fails\",$labels,status=\"bad\"} 1" "$folder/rw.prom"
expect_bytes "outfile: nothing else left in the folder" "rw.prom\n" <(ls -A "$folder")
cp "$folder/rw.prom" "$TESTBED_DIR/old.prom"
run "outfile: a folder that does not exist" 2 -task:rw-ok -timeframe:10 \
  "-outfile:$folder/missing/rw.prom"
expect_bytes "outfile: the reason on standard output" \
  "ScriptRes:Unknown:Cannot write output file \"$folder/missing/rw.prom\": No such file or directory\n" "$out"
run "outfile: over a folder, in the exposition" 2 -task:rw-ok -timeframe:10 -format:prometheus \
  "-outfile:$folder"
expect_valid_exposition "outfile: failure in the exposition" "$out"
expect_line "outfile: failure is unknown" \
  "runwarden_check_status{task=\"rw-ok\",$labels,status=\"unknown\"} 1" "$out"
expect_file "outfile: the old file kept" "$TESTBED_DIR/old.prom" "$folder/rw.prom"
expect_bytes "outfile: nothing left after the failures" "rw.prom\n" <(ls -A "$folder")
run "outfile: a path ending in a slash is refused" 2 -task:rw-ok -timeframe:10 "-outfile:$folder/"
expect_bytes "outfile: refused" \
  "ScriptRes:Unknown:Invalid output file specified. The path should name a file\n" "$out"

finish
