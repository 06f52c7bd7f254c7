#!/usr/bin/env bash
# The Linux program in the plugins' form (-format:nagios) against the private systemd
# manager. First its lines byte for byte, their exit statuses, nothing on standard error,
# and the default form where the help text is shown. Then real monitoring engines run it
# as service checks with the ready-to-use definitions of docs/monitoring: Nagios 4, whose
# status.dat shows the state, plugin output and performance data it parsed; and Icinga 2,
# which validates its definition and runs it, its perfdata writer showing what it parsed.
# Each engine is started in a temporary directory, stopped with SIGTERM and leaves nothing
# running.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden
require_tool /usr/sbin/nagios4
require_tool /usr/sbin/icinga2

program=$PWD/build/linux/runwarden
# The engines run the checks in their own environment: the C locale's date text.
export LC_ALL=C

testbed_unit rw-ok.service <<'UNIT'
[Service]
Type=oneshot
ExecStart=/bin/true
UNIT
testbed_unit rw-fails.service <<'UNIT'
[Service]
Type=oneshot
ExecStart=/bin/sh -c 'exit 3'
UNIT
testbed_unit rw-never.service <<'UNIT'
[Service]
Type=oneshot
ExecStart=/bin/true
UNIT
# Timers keep the services loaded, and with them their last runs.
for unit in rw-ok rw-fails rw-never; do
  testbed_unit "$unit.timer" <<'UNIT'
[Timer]
OnCalendar=2099-01-01
UNIT
done
testbed_start
tb_systemctl start rw-ok.timer rw-fails.timer rw-never.timer
tb_systemctl start rw-ok.service rw-fails.service 2>/dev/null
for unit in rw-ok rw-fails; do testbed_wait_finished "$unit.service"; done

# Seconds since the epoch of a service's last start, and its date text in the C locale.
start_of() {
  local usec
  usec=$(testbed_property "$1" Service ExecMainStartTimestamp)
  echo "${usec:0:-6}"
}
start_text() { date -d "@$(start_of "$1")" '+%-m/%-d/%y %-I:%M:%S %P'; }

# expect_match NAME REGEX TEXT: TEXT matches the extended regular expression as a whole.
expect_match() {
  checks=$((checks + 1))
  if ! [[ $3 =~ ^$2$ ]]; then
    echo "FAIL $1: [$3] does not match [$2]"
    failures=$((failures + 1))
  fi
}

# expect_age NAME PERFDATA CHECK_TIME SERVICE: the age in the performance data is the time
# from the service's start to the check, within the seconds a loaded machine adds.
expect_age() {
  local age want=$(($3 - $(start_of "$4")))
  age=$(sed -nE 's/^age=(-?[0-9]+)s.*/\1/p' <<<"$2")
  checks=$((checks + 1))
  if [[ -z $age ]] || ((age < want - 5 || age > want + 5)); then
    echo "FAIL $1: age [$age], expected about $want"
    failures=$((failures + 1))
  fi
}

# ---- The program's lines ----
ok=$(start_text rw-ok.service) fails=$(start_text rw-fails.service)
out=$TESTBED_DIR/out

# check NAME STATUS EXPECTED ARGS...: the exact output, where AGE in EXPECTED stands for
# the age of the last run of $age_unit (rw-ok.service unless set) at the time of the check.
check() {
  local name=$1 status=$2 expected=$3 age
  shift 3
  timeout 60 "$program" "$@" >"$out" 2>"$out.err"
  expect_status "$name" "$status" $?
  if [[ $expected == *AGE* ]]; then
    age=$(sed -nE 's/.* \| (age=[0-9]+s).*/\1/p' "$out")
    expect_age "$name: age" "$age" "$(date +%s)" "${age_unit:-rw-ok.service}"
    expected=${expected//AGE/${age//[^0-9]/}}
  fi
  expect_bytes "$name" "$expected" "$out"
  expect_bytes "$name (no error output)" "" "$out.err"
}

check "OK in a minute window" 0 "TASK OK - rw-ok: $ok | age=AGEs;;600 result=0\n" \
  -task:rw-ok -timeframe:10 -format:nagios
age_unit=rw-fails.service check "CRITICAL: the exit code" 2 \
  "TASK CRITICAL - rw-fails: $fails Last Result : 3 | age=AGEs;;600 result=3\n" \
  -task:rw-fails -timeframe:10 -format:nagios
check "UNKNOWN: never ran, no performance data" 3 \
  "TASK UNKNOWN - rw-never: Invalid argument to date encode\n" \
  -task:rw-never -timeframe:10 -format:nagios
check "CRITICAL: no such unit, a | in its name" 2 \
  'TASK CRITICAL - rw!x: Cannot find task "rw!x"; Error Code: 80070002\n' \
  '-task:rw|x' -timeframe:10 -format:nagios
check "the host in the reason, never the password" 2 \
  'TASK CRITICAL - rw-ok: Cannot connect to computer: "\\\\127.0.0.1:1"; Error Code: 80070035\n' \
  -task:rw-ok -timeframe:10 -host:127.0.0.1:1 -user:monitor -pswd:Zq7-secret -format:nagios
check "an unknown form: the default one, its message last" 2 \
  'ScriptRes:Unknown:Invalid format specified. Format should be scriptres, nagios, prometheus or json\n' \
  -timeframe:10 -format:plugin

# The help text, then the default line: nothing after a help switch is read.
{ cat tests/e2e/expected/help_c_locale.out; printf 'ScriptRes:Unknown:TimeFrame is required\n'; } \
  >"$TESTBED_DIR/help.want"
"$program" '/?' -task:rw-ok -timeframe:10 -format:nagios >"$out" 2>&1
expect_status "help switch first" 2 $?
expect_file "help switch first" "$TESTBED_DIR/help.want" "$out"

# ---- Nagios 4 ----
nagios=$TESTBED_DIR/nagios
mkdir -p "$nagios/checkresults"
# The definition as shipped, with the program's path in this build.
sed "s|/usr/bin/runwarden|$program|" docs/monitoring/runwarden-nagios.cfg >"$nagios/runwarden.cfg"
cat >"$nagios/nagios.cfg" <<CFG
log_file=$nagios/nagios.log
cfg_file=$nagios/runwarden.cfg
cfg_file=$nagios/objects.cfg
object_cache_file=$nagios/objects.cache
precached_object_file=$nagios/objects.precache
resource_file=$nagios/resource.cfg
status_file=$nagios/status.dat
temp_file=$nagios/nagios.tmp
temp_path=$nagios
lock_file=$nagios/nagios.lock
command_file=$nagios/nagios.cmd
query_socket=$nagios/nagios.qh
check_result_path=$nagios/checkresults
state_retention_file=$nagios/retention.dat
retain_state_information=0
check_external_commands=0
nagios_user=root
nagios_group=root
use_syslog=0
log_rotation_method=n
interval_length=1
status_update_interval=1
check_result_reaper_frequency=1
service_inter_check_delay_method=n
max_service_check_spread=1
execute_host_checks=0
enable_notifications=0
enable_event_handlers=0
enable_flap_detection=0
process_performance_data=0
CFG
: >"$nagios/resource.cfg"
{
  cat <<'CFG'
define timeperiod {
    timeperiod_name         always
    alias                   always
    sunday                  00:00-24:00
    monday                  00:00-24:00
    tuesday                 00:00-24:00
    wednesday               00:00-24:00
    thursday                00:00-24:00
    friday                  00:00-24:00
    saturday                00:00-24:00
}
define contact {
    contact_name                    nobody
    host_notifications_enabled      0
    service_notifications_enabled   0
    host_notification_period        always
    service_notification_period     always
    host_notification_options       n
    service_notification_options    n
    host_notification_commands      runwarden
    service_notification_commands   runwarden
}
define host {
    host_name               testbed
    address                 127.0.0.1
    max_check_attempts      1
    check_period            always
    notification_period     always
    contacts                nobody
}
CFG
  for service in "ok!rw-ok!10" "fails!rw-fails!10" "never!rw-never!today" \
    "many!rw-*.service!10"; do
    cat <<CFG
define service {
    host_name               testbed
    service_description     ${service%%!*}
    check_command           runwarden!${service#*!}
    max_check_attempts      1
    check_interval          2
    retry_interval          2
    check_period            always
    notification_period     always
    contacts                nobody
}
CFG
  done
} >"$nagios/objects.cfg"

/usr/sbin/nagios4 -v "$nagios/nagios.cfg" >"$nagios/verify.log" 2>&1
status=$?
expect_status "nagios4 -v accepts the configuration" 0 $status
((status == 0)) || cat "$nagios/verify.log"
/usr/sbin/nagios4 "$nagios/nagios.cfg" >"$nagios/run.log" 2>&1 &
nagios_pid=$!

# A field of one service in status.dat.
nagios_field() {
  awk -v service="$1" -v field="$2" '
    /^servicestatus \{/ { inside = 1; name = ""; value = ""; next }
    inside && /^[[:space:]]*\}/ { if (name == service) print value; inside = 0; next }
    inside {
      line = $0; sub(/^[[:space:]]+/, "", line)
      key = substr(line, 1, index(line, "=") - 1); rest = substr(line, index(line, "=") + 1)
      if (key == "service_description") name = rest
      if (key == field) value = rest
    }' "$nagios/status.dat" 2>/dev/null
}
all_checked() {
  local service
  for service in ok fails never many; do
    [[ $(nagios_field "$service" has_been_checked) == 1 ]] || return 1
  done
}
if wait_until all_checked; then
  expect_bytes "nagios: OK state" "0\n" <(nagios_field ok current_state)
  expect_bytes "nagios: OK output" "TASK OK - rw-ok: $(start_text rw-ok.service)\n" \
    <(nagios_field ok plugin_output)
  expect_match "nagios: OK performance data" 'age=[0-9]+s;;600 result=0' \
    "$(nagios_field ok performance_data)"
  expect_age "nagios: OK age" "$(nagios_field ok performance_data)" \
    "$(nagios_field ok last_check)" rw-ok.service

  expect_bytes "nagios: CRITICAL state" "2\n" <(nagios_field fails current_state)
  expect_bytes "nagios: CRITICAL output" \
    "TASK CRITICAL - rw-fails: $(start_text rw-fails.service) Last Result : 3\n" \
    <(nagios_field fails plugin_output)
  expect_match "nagios: CRITICAL performance data" 'age=[0-9]+s;;600 result=3' \
    "$(nagios_field fails performance_data)"

  expect_bytes "nagios: UNKNOWN state" "3\n" <(nagios_field never current_state)
  expect_bytes "nagios: UNKNOWN output" "TASK UNKNOWN - rw-never: Invalid argument to date encode\n" \
    <(nagios_field never plugin_output)
  expect_bytes "nagios: UNKNOWN has no performance data" "\n" \
    <(nagios_field never performance_data)

  # Many tasks: the summary (Nagios shows each ; of it as :), the per-task lines as the
  # engine's long output (status.dat writes their line breaks as \n), each task's values.
  expect_bytes "nagios: many tasks, state" "2\n" <(nagios_field many current_state)
  expect_bytes "nagios: many tasks, output" "TASK CRITICAL - rw-*.service: 3 tasks matched, 2 \
failed: rw-fails.service: $(start_text rw-fails.service) Last Result : 3: rw-never.service: \
Invalid argument to date encode\n" <(nagios_field many plugin_output)
  expect_bytes "nagios: many tasks, long output" "CRITICAL - rw-fails.service: \
$(start_text rw-fails.service) Last Result : 3\\\nUNKNOWN - rw-never.service: Invalid \
argument to date encode\\\nOK - rw-ok.service: $(start_text rw-ok.service)\n" \
    <(nagios_field many long_plugin_output)
  expect_match "nagios: many tasks, performance data" "'rw-fails.service age'=[0-9]+s;;600 \
'rw-fails.service result'=3 'rw-ok.service age'=[0-9]+s;;600 'rw-ok.service result'=0" \
    "$(nagios_field many performance_data)"
else
  cat "$nagios/nagios.log" "$nagios/run.log"
fi
stop_engine nagios "$nagios_pid" 'nagios4'

# ---- Icinga 2 ----
icinga=$TESTBED_DIR/icinga2
mkdir -p "$icinga"/{cache,data,log,run,spool,perfdata}
sed "s|/usr/bin/runwarden|$program|" docs/monitoring/runwarden-icinga2.conf >"$icinga/runwarden.conf"
# The perfdata writer's files show, per check, the state, the plugin output and the
# performance data as the engine parsed them; each file is complete once rotated.
cat >"$icinga/icinga2.conf" <<CONF
include <itl>
include "runwarden.conf"
object CheckerComponent "checker" { }
object PerfdataWriter "perfdata" {
  service_perfdata_path = "$icinga/perfdata/service"
  service_temp_path = "$icinga/perfdata/service.tmp"
  host_perfdata_path = "$icinga/perfdata/host"
  host_temp_path = "$icinga/perfdata/host.tmp"
  service_format_template = "\$service.name\$\t\$service.state_id\$\t\$icinga.timet\$\t\$service.output\$\t\$service.perfdata\$"
  rotation_interval = 1s
}
object Host "testbed" {
  check_command = "dummy"
  check_interval = 1h
}
template Service "runwarden-service" {
  host_name = "testbed"
  check_command = "runwarden"
  max_check_attempts = 1
  check_interval = 2s
  retry_interval = 2s
}
object Service "ok" {
  import "runwarden-service"
  vars.runwarden_task = "rw-ok"
  vars.runwarden_timeframe = "10"
}
object Service "fails" {
  import "runwarden-service"
  vars.runwarden_task = "rw-fails"
  vars.runwarden_timeframe = "today"
}
object Service "ignored" {
  import "runwarden-service"
  vars.runwarden_task = "rw-fails"
  vars.runwarden_timeframe = "today"
  vars.runwarden_ignoreres = true
}
object Service "never" {
  import "runwarden-service"
  vars.runwarden_task = "rw-never"
  vars.runwarden_timeframe = "today"
}
CONF
icinga_args=(-c "$icinga/icinga2.conf" -DConfiguration.CacheDir="$icinga/cache"
  -DConfiguration.DataDir="$icinga/data" -DConfiguration.LogDir="$icinga/log"
  -DConfiguration.InitRunDir="$icinga/run" -DConfiguration.SpoolDir="$icinga/spool"
  -DConfiguration.StatePath="$icinga/data/icinga2.state"
  -DConfiguration.RunAsUser=root -DConfiguration.RunAsGroup=root)
/usr/sbin/icinga2 daemon -C "${icinga_args[@]}" >"$icinga/validate.log" 2>&1
status=$?
expect_status "icinga2 daemon -C accepts the definition" 0 $status
((status == 0)) || cat "$icinga/validate.log"
/usr/sbin/icinga2 daemon "${icinga_args[@]}" >"$icinga/run.log" 2>&1 &
icinga_pid=$!

# The last line the writer wrote for a service, from the rotated files only.
icinga_line() { cat "$icinga"/perfdata/service.[0-9]* 2>/dev/null | grep -a "^$1"$'\t' | tail -n 1; }
icinga_field() { icinga_line "$1" | cut -f "$2"; }
all_written() {
  local service
  for service in ok fails ignored never; do [[ -n $(icinga_line "$service") ]] || return 1; done
}
if wait_until all_written; then
  # The engine keeps the blank before the "|" in the output it shows.
  ok=$(start_text rw-ok.service) fails=$(start_text rw-fails.service)
  expect_bytes "icinga2: OK state" "0\n" <(icinga_field ok 2)
  expect_bytes "icinga2: OK output" "TASK OK - rw-ok: $ok \n" <(icinga_field ok 4)
  expect_match "icinga2: OK performance data" 'age=[0-9]+s;;600 result=0' "$(icinga_field ok 5)"
  expect_age "icinga2: OK age" "$(icinga_field ok 5)" "$(icinga_field ok 3)" rw-ok.service
  expect_bytes "icinga2: CRITICAL state" "2\n" <(icinga_field fails 2)
  expect_bytes "icinga2: CRITICAL output" "TASK CRITICAL - rw-fails: $fails Last Result : 3 \n" \
    <(icinga_field fails 4)
  expect_match "icinga2: CRITICAL performance data, no threshold for a keyword" \
    'age=[0-9]+s result=3' "$(icinga_field fails 5)"
  expect_bytes "icinga2: -ignoreres passed when set" "0\tTASK OK - rw-fails: $fails \n" \
    <(icinga_line ignored | cut -f 2,4)
  # An option left unset is not passed: an empty -remotegmt: would be another message.
  expect_bytes "icinga2: UNKNOWN, no performance data" \
    "3\tTASK UNKNOWN - rw-never: Invalid argument to date encode\t\n" \
    <(icinga_line never | cut -f 2,4,5)
else
  cat "$icinga/run.log"
fi
stop_engine icinga2 "$icinga_pid" 'icinga2'

finish
