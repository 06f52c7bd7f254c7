#!/usr/bin/env bash
# runwarden.exe under Wine where the user's locale and the system's code page differ: a
# Japanese user locale (thread locale 1041, code page 932) on a Western system (ANSI code
# page 1252), and a Japanese system. The command line is text in the system's code page:
# it is split, its keys removed and its names converted by that code page, while the date
# text follows the user's locale.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
require_tool iconv
wine_locales
export TZ=UTC
wine_start
out=$(mktemp)
trap 'rm -f "$out" "$out.err"; rm -rf "$WINE_LOCALES"; wine_stop' EXIT

western_system=(LANG=en_US.UTF-8)
japanese_user=(LANG=en_US.UTF-8 LC_MESSAGES=ja_JP.UTF-8)
japanese_system=(LANG=ja_JP.UTF-8)

recent=$(date -d '-10 minutes' '+%Y %m %d %H %M %S')
# The Japanese regional form of that time, as Wine writes it: yyyy/M/d H:mm:ss.
japanese_text=$(date -d '-10 minutes' '+%Y/%-m/%-d %-H:%M:%S')

# task ENV... -- NAME: a 1.0 task of that name that ran 10 minutes ago with exit code 0.
task() {
  local environment=()
  while [[ $1 != -- ]]; do environment+=("$1"); shift; done
  env "${environment[@]}" timeout 60 "$WINE64" "$bin/task_fixture.exe" "$2" 0 $recent \
    >"$out" 2>"$out.err" || { echo "FAIL: task_fixture $2: $(cat "$out.err")"; exit 1; }
}

# check NAME STATUS EXPECTED_UTF8_TEXT ENV... -- ARGS...: runwarden.exe gives that line; the
# output is in the system's code page (932 for a Japanese system), compared as UTF-8.
check() {
  local name=$1 status=$2 expected=$3 environment=() codepage=CP1252
  shift 3
  while [[ $1 != -- ]]; do environment+=("$1"); shift; done
  shift
  [[ ${environment[*]} == "${japanese_system[*]}" ]] && codepage=CP932
  env "${environment[@]}" timeout 60 "$WINE64" "$bin/runwarden.exe" "$@" >"$out" 2>"$out.err"
  expect_status "$name" "$status" $?
  iconv -f "$codepage" -t UTF-8 "$out" >"$out.utf8" 2>/dev/null || cp "$out" "$out.utf8"
  expect_bytes "$name" "$expected\r\n" "$out.utf8"
  rm -f "$out.utf8"
}

task "${western_system[@]}" -- "rw_bü"
task "${japanese_system[@]}" -- "バックアップ表示"

check "a name ending in ü under a Japanese user locale" 0 "ScriptRes:Ok:$japanese_text" \
  "${japanese_user[@]}" -- "-task:rw_bü" -timeframe:60
check "every key text is removed, also after ž" 1 \
  'ScriptRes:Bad:Cannot find task "cafžx"; Error Code: 80070002' \
  "${japanese_user[@]}" -- "-task:cafž-TASK:x" -timeframe:60
check "a Japanese name under a Japanese system is kept whole" 0 \
  "ScriptRes:Ok:$japanese_text" "${japanese_system[@]}" -- "-task:バックアップ表示" -timeframe:60
check "a key text after a Japanese name is removed" 1 \
  'ScriptRes:Bad:Cannot find task "表示x"; Error Code: 80070002' \
  "${japanese_system[@]}" -- "-task:表示-TASK:x" -timeframe:60

finish
