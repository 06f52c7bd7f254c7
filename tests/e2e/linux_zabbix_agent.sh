#!/usr/bin/env bash
# The Zabbix set-up of docs/monitoring with the real agents: zabbix_agentd and
# zabbix_agent2 load runwarden-zabbix.conf as shipped (only the program's path is this
# build's), and `-t KEY` runs each of its keys once against the private systemd manager, whose
# units bear the example's names; the value is the check's JSON document. zabbix_js, the
# server's script engine, then turns the pattern's document into the discovery rows of
# runwarden-zabbix-discovery.js, and fails on a check that reached no task. A running
# zabbix_agentd, with the agent's default Timeout of 3 s, answers zabbix_get as it answers
# the server; and with the manager stopped (SIGSTOP), every way gives within those 3 s a
# value, the document that says the check timed out, not the agent's time-out error.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool /usr/sbin/zabbix_agentd
require_tool /usr/sbin/zabbix_agent2
require_tool zabbix_js
require_tool zabbix_get
require_tool jq

program=$PWD/build/linux/runwarden
export LC_ALL=C

# The tasks that the example's keys check.
testbed_oneshot backup.service /bin/true
testbed_oneshot db-dump-daily.service "/bin/sh -c 'exit 3'"
testbed_oneshot db-dump-hourly.service /bin/true
for unit in backup db-dump-daily db-dump-hourly; do testbed_idle_timer "$unit.timer"; done
testbed_start
tb_systemctl start backup.timer db-dump-daily.timer db-dump-hourly.timer
tb_systemctl start backup.service db-dump-daily.service db-dump-hourly.service 2>/dev/null
for unit in backup db-dump-daily db-dump-hourly; do testbed_wait_finished "$unit.service"; done

zabbix=$TESTBED_DIR/zabbix
mkdir "$zabbix"
sed "s|/usr/bin/runwarden|$program|" docs/monitoring/runwarden-zabbix.conf >"$zabbix/runwarden.conf"
# The agents' defaults otherwise: UnsafeUserParameters=0 among them.
printf 'LogType=console\nServer=127.0.0.1\nInclude=%s/runwarden.conf\n' "$zabbix" >"$zabbix/agent.conf"

# agent_value AGENT KEY: the value that `AGENT -t KEY` prints, [t|...] or [s|...].
agent_value() {
  timeout 60 "$1" -c "$zabbix/agent.conf" -t "$2" 2>"$zabbix/agent.err" |
    sed -nE "s/^${2//./\\.} +\[[st]\|(.*)\]\$/\1/p"
}
# expect_document NAME FILE JQ_FILTER: FILE is one JSON document on one line that passes.
expect_document() {
  checks=$((checks + 1))
  if [[ $(wc -l <"$2") != 1 ]] || ! jq -e "$3" "$2" >/dev/null 2>&1; then
    echo "FAIL $1:"; cat "$2" "$zabbix/agent.err"; failures=$((failures + 1))
  fi
}

discovery=docs/monitoring/runwarden-zabbix-discovery.js
for agent in /usr/sbin/zabbix_agentd /usr/sbin/zabbix_agent2; do
  name=${agent##*/}
  agent_value "$agent" runwarden.backup >"$zabbix/backup.json"
  expect_document "$name: one task, ok" "$zabbix/backup.json" \
    '.status == "ok" and .timeframe == "1440" and [.tasks[].task] == ["backup.timer"]'
  agent_value "$agent" runwarden.db-dumps >"$zabbix/dumps.json"
  expect_document "$name: a pattern, one task failed" "$zabbix/dumps.json" \
    '.status == "bad" and .task == "db-dump-*" and
     [.tasks[] | [.task, .exit_code]] == [["db-dump-daily.timer", 3], ["db-dump-hourly.timer", 0]]'
  # The server's preprocessing: the document in, the rows out (after a blank line).
  timeout 60 zabbix_js -s "$discovery" -i "$zabbix/dumps.json" >"$zabbix/rows" 2>&1
  expect_status "$name: discovery runs" 0 $?
  expect_bytes "$name: a row per task" \
    '[{"{#TASK}":"db-dump-daily.timer"},{"{#TASK}":"db-dump-hourly.timer"}]\n' \
    <(sed '/^$/d' "$zabbix/rows")
done

# A check that reached no task fails the discovery with its reason, instead of rows that
# would mark every known task lost.
"$program" '-task:no-such-*' -timeframe:90 -format:json >"$zabbix/none.json"
timeout 60 zabbix_js -s "$discovery" -i "$zabbix/none.json" >"$zabbix/rows" 2>&1
expect_status "discovery of no task fails" 1 $?
expect_line "the check's reason in the failure" \
  'cannot execute script: runwarden reached no task: TASK CRITICAL - no-such-*: Cannot find task "no-such-*"; Error Code: 80070002' \
  "$zabbix/rows"

# ---- The agent as a daemon, queried as the server queries it ----
# The agent takes ports up to 32767 only.
until port=$(free_port) && ((port < 32768)); do :; done
{ cat "$zabbix/agent.conf"
  printf 'AllowRoot=1\nListenIP=127.0.0.1\nListenPort=%s\nPidFile=%s/agentd.pid\n' "$port" "$zabbix"
} >"$zabbix/daemon.conf"
/usr/sbin/zabbix_agentd -f -c "$zabbix/daemon.conf" >"$zabbix/daemon.log" 2>&1 &
daemon_pid=$!
# get KEY: the value that the daemon gives zabbix_get within the server's default 3 s.
get() { timeout 60 zabbix_get -s 127.0.0.1 -p "$port" -t 3 -k "$1" 2>"$zabbix/agent.err"; }
agent_answers() { [[ -n $(get agent.ping) ]]; }
if wait_until agent_answers; then
  get runwarden.backup >"$zabbix/backup.json"
  expect_document "zabbix_get: one task, ok" "$zabbix/backup.json" \
    '.status == "ok" and [.tasks[].task] == ["backup.timer"]'
else
  cat "$zabbix/daemon.log"
fi

# With the manager stopped, every way gives the document of a check that timed out: the
# agent (and zabbix_get, as the server) would give its own time-out error after 3 s.
kill -STOP "$TESTBED_MANAGER_PID"
silent() {
  "${@:2}" >"$zabbix/silent.json"
  expect_document "$1, a manager that does not answer" "$zabbix/silent.json" \
    '.status == "unknown" and (.plugin_output | endswith(": Check timed out after 2 seconds"))'
}
for agent in /usr/sbin/zabbix_agentd /usr/sbin/zabbix_agent2; do
  silent "${agent##*/} -t" agent_value "$agent" runwarden.backup
done
silent zabbix_get get runwarden.backup
kill -CONT "$TESTBED_MANAGER_PID"
stop_engine zabbix_agentd "$daemon_pid" '^/usr/sbin/zabbix_agentd'

finish
