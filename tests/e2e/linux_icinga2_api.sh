#!/usr/bin/env bash
# Icinga 2 as it ships, through its API: a real daemon whose API listens on a loopback port
# with a CA, certificate and ApiUser of its own, configuration and state in the test bed's
# directory. The check's JSON document, with only "type" and "filter" added, is a passive
# result that POST /v1/actions/process-check-result accepts for the one service the filter
# names, leaving alone a host that -host: happens to name. And the CheckCommand of
# docs/monitoring/runwarden-icinga2.conf, run by the engine, passes each option whose
# variable is set, in the program's key order, and no other: the command lines are read
# back from the results. The daemon is stopped at the end.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool /usr/sbin/icinga2
require_tool openssl
require_tool curl
require_tool jq

program=$PWD/build/linux/runwarden
export LC_ALL=C

testbed_oneshot rw-ok.service /bin/true
testbed_oneshot rw-fails.service "/bin/sh -c 'exit 3'"
for unit in rw-ok rw-fails; do testbed_idle_timer "$unit.timer"; done
testbed_start
tb_systemctl start rw-ok.timer rw-fails.timer
tb_systemctl start rw-ok.service rw-fails.service 2>/dev/null
for unit in rw-ok rw-fails; do testbed_wait_finished "$unit.service"; done

# ---- The daemon: its own CA and certificate, an API user, passive and active services ----
icinga=$TESTBED_DIR/icinga2
certs=$icinga/data/certs
mkdir -p "$icinga"/{cache,log,run,spool} "$certs"
node=runwarden-test port=$(free_port) password=$RANDOM$RANDOM$RANDOM
{
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=runwarden-test-ca \
    -keyout "$icinga/ca.key" -out "$certs/ca.crt" &&
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$node" \
      -keyout "$certs/$node.key" -out "$icinga/$node.csr" &&
    openssl x509 -req -in "$icinga/$node.csr" -CA "$certs/ca.crt" -CAkey "$icinga/ca.key" \
      -set_serial 1 -days 1 -extfile <(echo "subjectAltName=DNS:$node") -out "$certs/$node.crt"
} >"$icinga/openssl.log" 2>&1 || cat "$icinga/openssl.log"
sed "s|/usr/bin/runwarden|$program|" docs/monitoring/runwarden-icinga2.conf >"$icinga/runwarden.conf"
cat >"$icinga/icinga2.conf" <<CONF
include <itl>
include "runwarden.conf"
object Endpoint NodeName { }
object Zone ZoneName { endpoints = [ NodeName ] }
object ApiListener "api" {
  bind_host = "127.0.0.1"
  bind_port = $port
}
object ApiUser "runwarden" {
  password = "$password"
  permissions = [ "actions/process-check-result", "objects/query/Host", "objects/query/Service" ]
}
object CheckerComponent "checker" { }
object Host "fileserver" {
  check_command = "dummy"
  enable_active_checks = false
}
template Service "passive" {
  host_name = "fileserver"
  check_command = "dummy"
  enable_active_checks = false
  max_check_attempts = 1
}
object Service "backup" { import "passive" }
object Service "dumps" { import "passive" }
object Service "remote" { import "passive" }
template Service "active" {
  host_name = "fileserver"
  check_command = "runwarden"
  check_interval = 1s
  max_check_attempts = 1
}
object Service "required-only" {
  import "active"
  vars.runwarden_task = "rw-ok"
  vars.runwarden_timeframe = 10
}
object Service "every-option" {
  import "active"
  vars.runwarden_task = "rw-*"
  vars.runwarden_timeframe = "today"
  vars.runwarden_host = "db1"
  vars.runwarden_user = "monitor"
  vars.runwarden_password = "pw"
  vars.runwarden_ignoreres = true
  vars.runwarden_remotegmt = 60
  vars.runwarden_format = "scriptres"
  vars.runwarden_okcodes = "1,3"
  vars.runwarden_maxrun = 30
  vars.runwarden_warnframe = 60
  vars.runwarden_checkstate = true
  vars.runwarden_timeout = 2
  vars.runwarden_cred = "backup-srv"
  vars.runwarden_lastlog = 5
  vars.runwarden_grace = 10
  vars.runwarden_usermanager = "backup"
}
object Service "switches-off" {
  import "active"
  vars.runwarden_task = "rw-ok"
  vars.runwarden_timeframe = 10
  vars.runwarden_ignoreres = false
  vars.runwarden_checkstate = false
}
CONF
icinga_args=(-c "$icinga/icinga2.conf" -DNodeName="$node" -DZoneName="$node"
  -DConfiguration.CacheDir="$icinga/cache" -DConfiguration.DataDir="$icinga/data"
  -DConfiguration.LogDir="$icinga/log" -DConfiguration.InitRunDir="$icinga/run"
  -DConfiguration.SpoolDir="$icinga/spool" -DConfiguration.StatePath="$icinga/data/icinga2.state"
  -DConfiguration.RunAsUser="$(id -un)" -DConfiguration.RunAsGroup="$(id -gn)")
/usr/sbin/icinga2 daemon -C "${icinga_args[@]}" >"$icinga/validate.log" 2>&1
status=$?
expect_status "icinga2 daemon -C accepts the definition with every variable" 0 $status
((status == 0)) || cat "$icinga/validate.log"
/usr/sbin/icinga2 daemon "${icinga_args[@]}" >"$icinga/run.log" 2>&1 &
icinga_pid=$!

# api PATH [CURL ARGUMENTS...]: the API's answer, the server's certificate checked.
api() {
  curl -s --max-time 10 --cacert "$certs/ca.crt" --resolve "$node:$port:127.0.0.1" \
    -u "runwarden:$password" -H 'Accept: application/json' "https://$node:$port/v1/$1" "${@:2}"
}
api_answers() { api objects/hosts -o /dev/null -f; }

# post SERVICE NAME STATUS RUNWARDEN_ARGUMENTS...: the document posted for SERVICE is
# accepted for it alone, and the service then holds its exit status, output and
# performance data.
post() {
  local service=$1 name=$2 state=$3 document=$icinga/$1.json
  shift 3
  "$program" "$@" -format:json | jq -c --arg filter "host.name==\"fileserver\" && service.name==\"$service\"" \
    '. + {type: "Service", filter: $filter}' >"$document"
  expect_bytes "$name: accepted for that service alone" \
    "[{\"code\":200,\"status\":\"Successfully processed check result for object 'fileserver!$service'.\"}]\n" \
    <(api actions/process-check-result -X POST --data-binary "@$document" | jq -c .results)
  expect_bytes "$name: the service's state, output and performance data" "true\n" \
    <(api "objects/services/fileserver!$service?attrs=state&attrs=last_check_result" |
      jq --slurpfile sent "$document" '.results[0].attrs | .state == $sent[0].exit_status and
        .state == '"$state"' and .last_check_result.output == $sent[0].plugin_output and
        .last_check_result.performance_data == $sent[0].performance_data')
}

# command_of SERVICE: the command line of the service's last check, once it has one.
command_of() {
  api "objects/services/fileserver!$1?attrs=last_check_result" |
    jq -c '.results[0].attrs.last_check_result.command // empty | .[1:]'
}
commands_known() {
  local service
  for service in required-only every-option switches-off; do
    [[ -n $(command_of "$service") ]] || return 1
  done
}

if wait_until api_answers; then
  post backup "one task, OK" 0 -task:rw-ok -timeframe:10
  post dumps "a pattern, CRITICAL with its long output" 2 '-task:rw-*' -timeframe:today
  post remote "-host: naming an Icinga host, UNKNOWN" 3 -task:rw-ok -timeframe:10 \
    -host:fileserver -okcodes:none
  expect_bytes "the host that -host: names is left alone" "null\n" \
    <(api 'objects/hosts/fileserver?attrs=last_check_result' | jq -c '.results[0].attrs.last_check_result')
  if wait_until commands_known; then
    expect_bytes "CheckCommand: the required options and the plugins' form only" \
      '["-task:rw-ok","-timeframe:10","-format:nagios"]\n' <(command_of required-only)
    expect_bytes "CheckCommand: every option, in the program's key order" \
      '["-host:db1","-task:rw-*","-user:monitor","-pswd:pw","-timeframe:today","-ignoreres","-remotegmt:60","-format:scriptres","-okcodes:1,3","-maxrun:30","-warnframe:60","-checkstate","-timeout:2","-cred:backup-srv","-lastlog:5","-grace:10","-usermanager:backup"]\n' \
      <(command_of every-option)
    expect_bytes "CheckCommand: switches set to false are left out" \
      '["-task:rw-ok","-timeframe:10","-format:nagios"]\n' <(command_of switches-off)
  fi
else
  cat "$icinga/run.log"
fi
stop_engine icinga2 "$icinga_pid" 'sbin/icinga2 '

finish
