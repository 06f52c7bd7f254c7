#!/usr/bin/env bash
# -cred: under Wine: a generic credential written as cmdkey writes it gives the account and
# the password of the logon (seen in Wine's relay trace of LogonUserA) and nothing of it
# reaches the output; a credential that does not exist gives the Unknown line before any
# logon; given with -user: and -pswd: as well, the credential wins.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe" "$bin/credential_fixture.exe"
export TZ=UTC LC_ALL=C
wine_start
out=$(mktemp)
trace=$(mktemp)
trap 'rm -f "$out" "$out.err" "$trace"; wine_stop' EXIT

password='Pa55-w0rd!x'
# shellcheck disable=SC2046 # the date is six words
wine_run "$out" "$bin/task_fixture.exe" nightly 0 $(date -d '-10 minutes' '+%Y %m %d %H %M %S') &&
  wine_run "$out" "$bin/credential_fixture.exe" backup-srv 'OFFICE\backup' "$password" ||
  { echo "FAIL: fixtures: $(cat "$out.err")"; exit 1; }

# logon_seen NAME USER DOMAIN PASSWORD ARGS...: runwarden.exe ARGS under the relay trace
# answers Ok (in the default form or JSON), logs on with exactly these parts, and writes
# nothing of the password.
logon_seen() {
  local name=$1 call
  call="advapi32[.]LogonUserA[(][0-9a-f]+ \"$2\",[0-9a-f]+ \"$3\",[0-9a-f]+ \"$4\","
  shift 4
  WINEDEBUG=+relay timeout 120 "$WINE64" "$bin/runwarden.exe" "$@" >"$out" 2>"$trace"
  expect_status "$name" 0 $?
  checks=$((checks + 1))
  if ! grep -qE '^(ScriptRes:Ok:|\{"status":"ok")' "$out"; then
    echo "FAIL $name: not Ok: $(cat "$out")"
    failures=$((failures + 1))
  fi
  checks=$((checks + 1))
  if ! grep -aqE "Call $call" "$trace"; then
    echo "FAIL $name: no $call in the relay trace:"
    grep -aF "LogonUserA(" "$trace" | head -n 3
    failures=$((failures + 1))
  fi
  checks=$((checks + 1))
  if grep -qF "$password" "$out"; then
    echo "FAIL $name: the password is in the output"
    failures=$((failures + 1))
  fi
}

logon_seen "credential" backup OFFICE "$password" -task:nightly -timeframe:today -cred:backup-srv
logon_seen "credential over -user: and -pswd:" backup OFFICE "$password" \
  -task:nightly -timeframe:today -user:OTHER\\admin -pswd:typed -cred:backup-srv
logon_seen "JSON form" backup OFFICE "$password" \
  -task:nightly -timeframe:today -cred:backup-srv -format:json

wine_run "$out" "$bin/runwarden.exe" -task:nightly -timeframe:today -cred:nosuch -user:a -pswd:b
expect_status "missing credential" 2 $?
expect_bytes "missing credential" \
  'ScriptRes:Unknown:Cannot read credential "nosuch": Element not found.\r\n' "$out"

finish
