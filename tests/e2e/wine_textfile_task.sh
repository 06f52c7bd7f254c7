#!/usr/bin/env bash
# The Windows exporter's set-up of docs/monitoring: runwarden-textfile.xml is plain ASCII,
# well-formed and fits the Task Scheduler schema's rules for the elements it uses (order,
# types, ranges), and Wine's Task Scheduler 2.0 registers it. Its program action, started as
# the scheduler starts it, runs runwarden.exe installed where the task expects it and writes
# a file into the collector's folder that promtool accepts, with the recorded run of the
# task it checks; a second run replaces the file.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
require_tool xmllint
require_tool promtool
xml=docs/monitoring/runwarden-textfile.xml

checks=$((checks + 1))
if LC_ALL=C grep -q '[^[:print:][:space:]]' "$xml"; then
  echo "FAIL task XML: not plain ASCII"; failures=$((failures + 1))
fi
lint=$(xmllint --noout --schema tests/wine/task_schema_subset.xsd "$xml" 2>&1)
status=$?
expect_status "task XML: well-formed and of the schema" 0 $status
((status == 0)) || echo "$lint"

# The Exec action's program and arguments, as the XML parser reads them.
exec_field() {
  xmllint --xpath "string(//*[local-name()='Exec']/*[local-name()='$1'])" "$xml"
}
command=$(exec_field Command) arguments=$(exec_field Arguments)
output=$(sed -nE 's/.*"-outfile:([^"]*)".*/\1/p' <<<"$arguments")

export TZ=UTC
wine_start
work=$(mktemp -d /tmp/runwarden-wine-textfile.XXXXXX)
out=$work/out
trap 'rm -rf "$work"; wine_stop' EXIT
# A C:\ path of the task inside the Wine prefix.
unix_path() { local path=${1#C:\\}; echo "$WINEPREFIX/drive_c/${path//\\//}"; }
mkdir -p "$(dirname "$(unix_path "$command")")" "$(dirname "$(unix_path "$output")")"
cp "$bin/runwarden.exe" "$(unix_path "$command")"
folder=$(dirname "$(unix_path "$output")")

fixture() {
  wine_run "$out" "$bin/task_fixture.exe" "$@" ||
    { echo "FAIL: task_fixture $*: $(cat "$out.err")"; exit 1; }
}
fixture --v2-xml '\runwarden\Nightly Backup' "$xml"

labels='task="Nightly Backup",host="",timeframe="1440"'
# run_task EXIT_CODE: the checked task ran an hour ago with that exit code; the program
# action runs once.
run_task() {
  local when
  when=$(date -u -d '1 hour ago' '+%F %T')
  ran=$(date -u -d "$when" +%s)
  fixture "Nightly Backup" "$1" $(date -u -d "$when" '+%Y %-m %-d %-H %-M %-S')
  wine_run "$out" "$bin/task_fixture.exe" --start "$command" "$arguments"
}
run_task 0
expect_status "the task's program: ok" 0 $?
expect_valid_exposition "the collector's file" "$(unix_path "$output")"
expect_line "the task's status" "runwarden_task_status{$labels,status=\"ok\"} 1" \
  "$(unix_path "$output")"
expect_line "its last run" "runwarden_task_last_run_timestamp_seconds{$labels} $ran" \
  "$(unix_path "$output")"
run_task 3
expect_status "the task's program: bad" 1 $?
expect_line "the file replaced" "runwarden_task_last_exit_code{$labels} 3" "$(unix_path "$output")"
expect_bytes "nothing else in the collector's folder" "${output##*\\}\n" <(ls -A "$folder")

finish
