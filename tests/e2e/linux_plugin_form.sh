#!/usr/bin/env bash
# The Linux program with -format:nagios against the private systemd manager: the line of
# the plugins' form byte for byte, its exit status, nothing on standard error; and where
# the help text is shown, the default form as before.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
testbed_enter "$@"
require_built build/linux/runwarden

program=$PWD/build/linux/runwarden
testbed_unit rw-ok.service <<'UNIT'
[Service]
Type=oneshot
ExecStart=/bin/true
UNIT
testbed_unit rw-fails.service <<'UNIT'
[Service]
Type=oneshot
ExecStart=/bin/sh -c 'kill -KILL $$$$'
UNIT
testbed_unit rw-never.service <<'UNIT'
[Service]
Type=oneshot
ExecStart=/bin/true
UNIT
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

start_of() { local usec; usec=$(testbed_property "$1" Service ExecMainStartTimestamp); echo "${usec:0:-6}"; }
start_text() { LC_ALL=C date -d "@$(start_of "$1")" '+%-m/%-d/%y %-I:%M:%S %P'; }
ok=$(start_text rw-ok.service) fails=$(start_text rw-fails.service)
out=$TESTBED_DIR/out

# check NAME STATUS EXPECTED ARGS...: the exact output in the C locale, where AGE in
# EXPECTED stands for the age of the last run of $age_unit (rw-ok.service unless set),
# from before the check to after it.
check() {
  local name=$1 status=$2 expected=$3 before after age
  shift 3
  before=$(date +%s)
  LC_ALL=C timeout 60 "$program" "$@" >"$out" 2>"$out.err"
  expect_status "$name" "$status" $?
  after=$(date +%s)
  if [[ $expected == *AGE* ]]; then
    age=$(sed -nE 's/.* \| age=([0-9]+)s.*/\1/p' "$out")
    local ran
    ran=$(start_of "${age_unit:-rw-ok.service}")  # whole seconds: the run began up to 1 s later
    ((age >= before - ran - 1 && age <= after - ran + 1)) || expect_status "$name: age" \
      "$((before - ran - 1))..$((after - ran + 1))" "$age"
    expected=${expected//AGE/$age}
  fi
  expect_bytes "$name" "$expected" "$out"
  expect_bytes "$name (no error output)" "" "$out.err"
}

check "OK in a minute window" 0 "TASK OK - rw-ok: $ok | age=AGEs;;600 result=0\n" \
  -task:rw-ok -timeframe:10 -format:nagios
check "OK in a keyword window, the key's value lower-cased" 0 \
  "TASK OK - rw-ok.timer: $ok | age=AGEs result=0\n" -task:rw-ok.timer -timeframe:today -format:NAGIOS
age_unit=rw-fails.service check "CRITICAL: killed by a signal" 2 \
  "TASK CRITICAL - rw-fails: $fails Last Result : 137 | age=AGEs;;600 result=137\n" \
  -task:rw-fails -timeframe:10 -format:nagios
check "UNKNOWN: never ran, no performance data" 3 \
  "TASK UNKNOWN - rw-never: Invalid argument to date encode\n" -task:rw-never -timeframe:10 -format:nagios
check "CRITICAL: no such unit, a | in its name" 2 \
  'TASK CRITICAL - rw!x: Cannot find task "rw!x"; Error Code: 80070002\n' \
  '-task:rw|x' -timeframe:10 -format:nagios
check "the host in the reason, never the password" 2 \
  'TASK CRITICAL - rw-ok: Cannot connect to computer: "\\\\127.0.0.1:1"; Error Code: 80070035\n' \
  -task:rw-ok -timeframe:10 -host:127.0.0.1:1 -user:monitor -pswd:Zq7-secret -format:nagios
check "bad options: UNKNOWN" 3 'TASK UNKNOWN - Scheduled Task name is required\n' \
  -timeframe:10 -format:nagios
check "an unknown form: the default one, its message last" 2 \
  'ScriptRes:Unknown:Invalid format specified. Format should be scriptres or nagios\n' \
  -timeframe:10 -format:plugin
check "the last -format: wins" 0 "ScriptRes:Ok:$ok\n" \
  -task:rw-ok -timeframe:10 -format:nagios -format:scriptres

# The help text, then the default line: nothing after a help switch is read.
{ cat tests/e2e/expected/help_c_locale.out; printf 'ScriptRes:Unknown:TimeFrame is required\n'; } \
  >"$TESTBED_DIR/help.want"
LC_ALL=C "$program" '/?' -task:rw-ok -timeframe:10 -format:nagios >"$out" 2>&1
expect_status "help switch first" 2 $?
expect_file "help switch first" "$TESTBED_DIR/help.want" "$out"

finish
