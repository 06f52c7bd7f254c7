#!/usr/bin/env bash
# The Prometheus set-up of docs/monitoring, with the real components: the alert rules
# through their promtool unit tests; the units runwarden-textfile@.service and .timer on
# the private systemd manager (instances named by systemd-escape, a drop-in with the time
# frame and an option, and one whose name holds a key: checkstate-x.timer), whose files the
# node exporter's textfile collector serves without an error; and a Prometheus server that scrapes the exporter with the example rules
# loaded, answers a query for the failed task and fires its alert. Exporter and server run
# on free loopback ports in the test bed's directory and are stopped at the end.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool promtool
require_tool prometheus
require_tool prometheus-node-exporter
require_tool curl
require_tool jq

program=$PWD/build/linux/runwarden
export LC_ALL=C

promtool test rules docs/monitoring/runwarden-rules.test.yml >"$TESTBED_DIR/rules.log" 2>&1
status=$?
expect_status "promtool test rules: the example rules" 0 $status
((status == 0)) || cat "$TESTBED_DIR/rules.log"

# ---- The units on the private manager ----
textfile=$TESTBED_DIR/textfile
mkdir "$textfile"
testbed_oneshot rw-ok.service /bin/true
testbed_oneshot rw-fails.service "/bin/sh -c 'exit 3'"
for unit in rw-ok rw-fails; do testbed_idle_timer "$unit.timer"; done
# A timer task whose name, with the dash before it, is the key -checkstate; it elapses once.
testbed_oneshot checkstate-x.service /bin/true
printf '[Timer]\nOnActiveSec=0\n' | testbed_unit checkstate-x.timer
# The units as shipped, with the program and the collector's folder of this test bed.
for unit in service timer; do
  sed -e "s|/usr/bin/runwarden|$program|" -e "s|/var/lib/prometheus/node-exporter|$textfile|" \
    "docs/monitoring/runwarden-textfile@.$unit" | testbed_unit "runwarden-textfile@.$unit"
done
fails=$(systemd-escape rw-fails) pattern=$(systemd-escape 'rw-*')
keyword=$(systemd-escape checkstate-x.timer)
mkdir -p "$XDG_CONFIG_HOME/systemd/user/runwarden-textfile@$pattern.service.d"
printf '[Service]\nEnvironment=RUNWARDEN_TIMEFRAME=today\nEnvironment="RUNWARDEN_OPTIONS=-ignoreres"\n' \
  | testbed_unit "runwarden-textfile@$pattern.service.d/options.conf"
testbed_start
tb_systemctl start rw-ok.timer rw-fails.timer checkstate-x.timer
tb_systemctl start rw-ok.service rw-fails.service 2>/dev/null
for unit in rw-ok rw-fails checkstate-x; do testbed_wait_finished "$unit.service"; done
fails_start=$(testbed_last_start rw-fails.service)
fails_start=${fails_start:0:-6}

# Starting a timer runs its check at once.
instances=("$fails" "$pattern" "$keyword")
for instance in "${instances[@]}"; do tb_systemctl start "runwarden-textfile@$instance.timer"; done
all_written() {
  local instance
  for instance in "${instances[@]}"; do [[ -s $textfile/runwarden_$instance.prom ]] || return 1; done
}
wait_until all_written
for instance in "${instances[@]}"; do
  testbed_wait_finished "runwarden-textfile@$instance.service"
  # A bad task is no failure of the unit: the file tells the outcome.
  expect_bytes "unit of $instance: success" "success\n" \
    <(tb_systemctl show -P Result "runwarden-textfile@$instance.service")
  expect_bytes "timer of $instance: waits for its next run" "active waiting\n" \
    <(tb_systemctl show -P ActiveState -P SubState "runwarden-textfile@$instance.timer" | paste -sd ' ')
  expect_valid_exposition "file of $instance" "$textfile/runwarden_$instance.prom"
done
expect_bytes "nothing else in the collector's folder" "3\n" <(ls -A "$textfile" | wc -l)
expect_line "the instance name unescaped, the time frame of the unit" \
  'runwarden_task_status{task="rw-fails",host="",timeframe="1440",status="bad"} 1' \
  "$textfile/runwarden_$fails.prom"
expect_line "a pattern, the drop-in's time frame and option" \
  'runwarden_check_status{task="rw-*",host="",timeframe="today",status="ok"} 1' \
  "$textfile/runwarden_$pattern.prom"
expect_line "a task whose name holds a key: its file, not standard output" \
  'runwarden_task_status{task="checkstate-x.timer",host="",timeframe="1440",status="ok"} 1' \
  "$textfile/runwarden_$keyword.prom"

# ---- The node exporter's textfile collector ----
exporter_port=$(free_port)
prometheus-node-exporter --collector.disable-defaults --collector.textfile \
  "--collector.textfile.directory=$textfile" "--web.listen-address=127.0.0.1:$exporter_port" \
  >"$TESTBED_DIR/exporter.log" 2>&1 &
exporter_pid=$!
metrics=$TESTBED_DIR/metrics
exporter_answers() { curl -sf "http://127.0.0.1:$exporter_port/metrics" >"$metrics"; }
if wait_until exporter_answers; then
  expect_line "exporter: every file read" "node_textfile_scrape_error 0" "$metrics"
  # The exporter sorts the labels and writes numbers in floating point.
  value_of() { awk -v series="$1" '$1 == series { printf "%d\n", $2 }' "$metrics"; }
  expect_bytes "exporter: the failed task's last run" "$fails_start\n" \
    <(value_of 'runwarden_task_last_run_timestamp_seconds{host="",task="rw-fails",timeframe="1440"}')
  expect_bytes "exporter: its exit code" "3\n" \
    <(value_of 'runwarden_task_last_exit_code{host="",task="rw-fails",timeframe="1440"}')
  expect_bytes "exporter: the pattern's tasks" "2\n" \
    <(value_of 'runwarden_check_tasks{host="",task="rw-*",timeframe="today"}')
else
  cat "$TESTBED_DIR/exporter.log"
fi

# ---- A Prometheus server with the example rules ----
server_port=$(free_port)
cat >"$TESTBED_DIR/prometheus.yml" <<CONFIG
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - $PWD/docs/monitoring/runwarden-rules.yml
scrape_configs:
  - job_name: node
    static_configs:
      - targets: ['127.0.0.1:$exporter_port']
CONFIG
prometheus "--config.file=$TESTBED_DIR/prometheus.yml" "--storage.tsdb.path=$TESTBED_DIR/tsdb" \
  "--web.listen-address=127.0.0.1:$server_port" >"$TESTBED_DIR/prometheus.log" 2>&1 &
server_pid=$!
api() { curl -sf "http://127.0.0.1:$server_port/api/v1/$1" "${@:2}"; }
firing=$TESTBED_DIR/firing
# The first sample arrives after some seconds; the rule has no "for", so it fires with it.
alert_fires() {
  api alerts | jq -c '[.data.alerts[] | select(.state == "firing")
    | {alert: .labels.alertname, task: .labels.task}]' >"$firing" 2>/dev/null &&
    [[ $(cat "$firing") != "[]" ]]
}
if wait_until alert_fires; then
  expect_bytes "prometheus: the failed task's alert fires, no other" \
    '[{"alert":"RunwardenTaskBad","task":"rw-fails"}]\n' "$firing"
  expect_bytes "prometheus: PromQL finds the failed task" '["rw-fails","3"]\n' \
    <(api query --data-urlencode \
      'query=runwarden_task_last_exit_code and on(task, host, timeframe) runwarden_task_status{status="bad"} == 1' |
      jq -c '[.data.result[] | .metric.task, .value[1]]')
else
  cat "$TESTBED_DIR/prometheus.log"
fi
stop_engine prometheus "$server_pid" '^prometheus '
stop_engine "node exporter" "$exporter_pid" '^prometheus-node-exporter '

finish
