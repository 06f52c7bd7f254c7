#!/usr/bin/env bash
# runwarden.exe under Wine in the forms that machines read as UTF-8: names of Wine's own
# Task Scheduler in code pages 1252 (a Western system) and 932 (a Japanese one, where the
# trail byte of "ポ" is 0x7C) come out in UTF-8 in the plugins' form, the Prometheus
# exposition (LF line ends, accepted by promtool) and the JSON document, a pattern's summary
# too; the last run's Unix time by the zone's rules of its year; -outfile: with a
# Z:\ path replaces the file and leaves nothing else behind, and a folder that does not
# exist gives the Unknown result with the system's reason and keeps the old file.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
require_tool promtool
require_tool jq
wine_locales
export TZ=UTC
wine_start
work=$(mktemp -d /tmp/runwarden-wine-forms.XXXXXX)
out=$work/out
trap 'rm -rf "$WINE_LOCALES" "$work"; wine_stop' EXIT

western=(LANG=en_US.UTF-8)
japanese=(LANG=ja_JP.UTF-8)
# The last run, long past, in seconds since 1970 (Wine's zone is UTC here).
ran=$(date -u -d '2020-06-15 10:20:30' +%s)

# run_in ENV... -- PROGRAM ARGS...: runs a Wine program in that environment, output in $out.
run_in() {
  local environment=()
  while [[ $1 != -- ]]; do environment+=("$1"); shift; done
  shift
  env "${environment[@]}" timeout 60 "$WINE64" "$@" >"$out" 2>"$out.err"
}
task() {
  run_in "$@" 0 2020 6 15 10 20 30 || { echo "FAIL: task_fixture $*: $(cat "$out.err")"; exit 1; }
}
task "${western[@]}" -- "$bin/task_fixture.exe" "rw_bü"
task "${japanese[@]}" -- "$bin/task_fixture.exe" "ポートX"

# check NAME STATUS EXPECTED ENV... -- ARGS...: runwarden.exe gives exactly those bytes.
check() {
  local name=$1 status=$2 expected=$3 environment=()
  shift 3
  while [[ $1 != -- ]]; do environment+=("$1"); shift; done
  shift
  run_in "${environment[@]}" -- "$bin/runwarden.exe" "$@"
  expect_status "$name" "$status" $?
  [[ -n $expected ]] && expect_bytes "$name" "$expected" "$out"
}

frame=-timeframe:2147483647
labels='host="",timeframe="2147483647"'

# ---- The plugins' form in UTF-8 ----
age_of() { sed -nE 's/.*age=([0-9]+)s.*/\1/p' "$out"; }
check "plugins' form: a Swedish letter of code page 1252" 0 "" "${western[@]}" -- \
  "-task:rw_bü" "$frame" -format:nagios
expect_bytes "plugins' form: 1252 in UTF-8" \
  "TASK OK - rw_bü: 6/15/2020 10:20:30 AM | age=$(age_of)s;;$((2147483647 * 60)) result=0\r\n" "$out"
check "plugins' form: ポ keeps its trail byte 0x7C" 0 "" "${japanese[@]}" -- \
  "-task:ポートX" "$frame" -format:nagios
expect_bytes "plugins' form: 932 in UTF-8" \
  "TASK OK - ポートX: 2020/6/15 10:20:30 | age=$(age_of)s;;$((2147483647 * 60)) result=0\r\n" "$out"
check "the default form stays in the code page" 0 \
  'ScriptRes:Ok:2020/6/15 10:20:30\r\n' "${japanese[@]}" -- "-task:ポートX" "$frame"
check "plugins' form: a pattern on a Western system" 2 "" "${western[@]}" -- "-task:*" \
  -timeframe:1 -format:nagios
checks=$((checks + 1))
head -n 1 "$out" | grep -qF "; ポートX: 6/15/2020 10:20:30 AM" ||
  { echo "FAIL the summary names ポートX from UTF-16:"; cat "$out"; failures=$((failures + 1)); }

# ---- The exposition ----
check "prometheus: 1252" 0 "" "${western[@]}" -- "-task:rw_bü" "$frame" -format:prometheus
expect_valid_exposition "prometheus: 1252" "$out"
expect_line "prometheus: the last run" \
  "runwarden_task_last_run_timestamp_seconds{task=\"rw_bü\",$labels} $ran" "$out"
check "prometheus: 932" 0 "" "${japanese[@]}" -- "-task:ポートX" "$frame" -format:prometheus
expect_valid_exposition "prometheus: 932" "$out"
expect_line "prometheus: a name of 932" \
  "runwarden_task_status{task=\"ポートX\",$labels,status=\"ok\"} 1" "$out"
check "prometheus: a pattern, names from UTF-16" 0 "" "${japanese[@]}" -- "-task:*" "$frame" \
  -format:prometheus
expect_valid_exposition "prometheus: a pattern" "$out"
expect_line "prometheus: the pattern's task of 932" \
  "runwarden_task_last_exit_code{task=\"ポートX\",$labels} 0" "$out"
expect_line "prometheus: the pattern's task of 1252" \
  "runwarden_task_last_exit_code{task=\"rw_bü\",$labels} 0" "$out"
check "prometheus: not found" 1 "" "${western[@]}" -- "-task:nö such" "$frame" -format:prometheus
expect_valid_exposition "prometheus: not found" "$out"
check "prometheus: bad options" 2 "" "${western[@]}" -- "-task:rw_bü" -format:prometheus
expect_valid_exposition "prometheus: bad options" "$out"
check "prometheus: no scheduler" 1 "" "${western[@]}" -- "-task:rw_bü" "$frame" \
  -host:nohost.invalid -format:prometheus
expect_valid_exposition "prometheus: no scheduler" "$out"

# ---- The document ----
check "json: 932" 0 "" "${japanese[@]}" -- "-task:ポートX" "$frame" -format:json
checks=$((checks + 1))
jq -e --argjson ran "$ran" '.status == "ok" and .tasks[0].task == "ポートX" and
    .tasks[0].last_run == $ran and (.plugin_output | startswith("TASK OK - ポートX: "))' \
  "$out" >/dev/null && [[ $(tail -c 1 "$out" | od -An -c) == *'\n'* ]] && ! grep -q $'\r' "$out" ||
  { echo "FAIL json: 932:"; cat "$out"; failures=$((failures + 1)); }

# ---- -outfile: with a Z:\ path ----
folder=$work/collector
mkdir "$folder"
z=$(tr / '\\' <<<"Z:$folder")
check "outfile: written" 0 "" "${western[@]}" -- "-task:rw_bü" "$frame" -format:prometheus \
  "-outfile:$z\\rw.prom"
expect_bytes "outfile: nothing on standard output" "" "$out"
expect_valid_exposition "outfile: written" "$folder/rw.prom"
check "outfile: replaced" 1 "" "${western[@]}" -- "-task:nö such" "$frame" -format:prometheus \
  "-outfile:$z\\rw.prom"
expect_line "outfile: the new content" \
  "runwarden_check_status{task=\"nö such\",$labels,status=\"bad\"} 1" "$folder/rw.prom"
expect_bytes "outfile: nothing else in the folder" "rw.prom\n" <(ls -A "$folder")
cp "$folder/rw.prom" "$work/old.prom"
check "outfile: a folder that does not exist" 2 "" "${western[@]}" -- "-task:rw_bü" "$frame" \
  "-outfile:$z\\missing\\rw.prom"
checks=$((checks + 1))
grep -qE "^ScriptRes:Unknown:Cannot write output file \"Z:.*\\\\missing\\\\rw\.prom\": .+"$'\r'"$" "$out" ||
  { echo "FAIL outfile: the reason:"; cat "$out"; failures=$((failures + 1)); }
expect_file "outfile: the old file kept" "$work/old.prom" "$folder/rw.prom"
expect_bytes "outfile: nothing left after the failure" "rw.prom\n" <(ls -A "$folder")

# ---- Unix times by the zone's rules of the run's year ----
# New York's daylight saving ended on 29 October in 2006 (now on the first Sunday of
# November): noon that day was standard time. 1:30 on 1 November 2020 came twice: the
# earlier, daylight-saving one.
new_york=(TZ=America/New_York "${western[@]}")
for run in "2006 10 29 12 0 0 1162141200" "2020 11 1 1 30 0 1604208600"; do
  read -r year month day hour minute second instant <<<"$run"
  run_in "${new_york[@]}" -- "$bin/task_fixture.exe" "rw_ny$year" 0 "$year" "$month" "$day" \
    "$hour" "$minute" "$second" || { echo "FAIL: task_fixture rw_ny$year: $(cat "$out.err")"; exit 1; }
  check "json: a New York time of $year" 0 "" "${new_york[@]}" -- "-task:rw_ny$year" "$frame" \
    -format:json
  checks=$((checks + 1))
  jq -e --argjson instant "$instant" '.tasks[0].last_run == $instant' "$out" >/dev/null ||
    { echo "FAIL json: the New York time of $year is not $instant:"; cat "$out"; failures=$((failures + 1)); }
done

finish
