#!/usr/bin/env bash
# runwarden.exe under Wine against tasks of Wine's own Task Scheduler 1.0, and tasks that only
# its 2.0 holds: real command lines, the exact bytes of the output (CR LF line ends) and the
# exit status.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

bin=build/windows
require_built "$bin/runwarden.exe" "$bin/task_fixture.exe"
# Wine's clock and time zone follow these; the C locale is en-US for Wine, whose regional
# forms are M/d/yyyy and h:mm:ss with AM and PM.
export TZ=UTC LC_ALL=C
wine_start
out=$(mktemp)
trap 'rm -f "$out" "$out.err" "$out.want"; wine_stop' EXIT

# when OFFSET: "Y M D h m s" of the local time OFFSET ago (a date(1) expression).
when() { date -d "$1" '+%Y %m %d %H %M %S'; }

# date_text Y M D h m s: the program's text for that time in the en-US regional form.
date_text() {
  local text="$((10#$2))/$((10#$3))/$1" hour=$((10#$4))
  if ((hour || 10#$5 || 10#$6)); then
    local hour12=$((hour % 12 == 0 ? 12 : hour % 12)) marker=AM
    ((hour >= 12)) && marker=PM
    text+=$(printf ' %d:%02d:%02d %s' "$hour12" "$((10#$5))" "$((10#$6))" "$marker")
  fi
  printf '%s' "$text"
}

# task NAME EXITCODE Y M D h m s | task NAME never | task --v2 PATH
task() {
  wine_run "$out" "$bin/task_fixture.exe" "$@" ||
    { echo "FAIL: task_fixture $*: $(cat "$out.err")"; exit 1; }
}

# check NAME STATUS EXPECTED_OUTPUT ARGS...: runwarden.exe ARGS gives exactly that.
check() {
  local name=$1 status=$2 expected=$3
  shift 3
  wine_run "$out" "$bin/runwarden.exe" "$@"
  expect_status "$name" "$status" $?
  expect_bytes "$name" "$expected" "$out"
}

# A double-byte name under code page 932 (Japanese): the trail bytes of 表 and 予 are
# backslashes, yet the path must reach both interfaces whole. Wine hands such an argument
# on only where the Linux locale exists: it is built into the prefix. The task is made
# first, so that the scheduler service starts in that locale too and can name the task's
# file; the other tasks have plain names.
require_tool localedef
mkdir -p "$WINEPREFIX/locale" &&
  localedef -i ja_JP -f UTF-8 "$WINEPREFIX/locale/ja_JP.UTF-8" 2>/dev/null
[[ -d $WINEPREFIX/locale/ja_JP.UTF-8 ]] || { echo "FAIL: localedef ja_JP.UTF-8"; exit 1; }
printf '#!/bin/sh\nLOCPATH=%s LC_ALL=ja_JP.UTF-8 exec %s "$@"\n' "$WINEPREFIX/locale" "$WINE64" \
  >"$WINEPREFIX/wine-ja"
chmod +x "$WINEPREFIX/wine-ja"
japanese() { local WINE64=$WINEPREFIX/wine-ja; "$@"; }
japanese task --v2 '\表示\予定'

recent=$(when '-10 minutes')
old=$(when '-120 minutes')
midnight="$(date '+%Y %m %d') 00 00 00"
yesterday="$(date -d yesterday '+%Y %m %d') 13 14 15"
task "Nightly Backup" 0 $recent
task "Failed Job" 3 $recent
task "Crashed Job" 0xC0000005 $recent
task "Stale Job" 3 $old
task "Midnight Job" 0 $midnight
task "Yesterday Job" 0 $yesterday
task "Never Ran" never

check "inside a minutes window" 0 "ScriptRes:Ok:$(date_text $recent)\r\n" \
  "-task:Nightly Backup" -timeframe:60
check "inside today, at midnight: date only" 0 "ScriptRes:Ok:$(date_text $midnight)\r\n" \
  "-task:Midnight Job" -timeframe:today
check "inside yesterday" 0 "ScriptRes:Ok:$(date_text $yesterday)\r\n" \
  "-task:Yesterday Job" -timeframe:yesterday
check "outside a minutes window" 1 "ScriptRes:Bad:$(date_text $old)\r\n" \
  "-task:Stale Job" -timeframe:60 -ignoreres
check "outside a keyword window" 1 "ScriptRes:Bad:$(date_text $yesterday)\r\n" \
  "-task:Yesterday Job" -timeframe:today
check "outside the window, non-zero exit code: the window's text only" 1 \
  "ScriptRes:Bad:$(date_text $old)\r\n" "-task:Stale Job" -timeframe:60
check "non-zero exit code" 1 "ScriptRes:Bad:$(date_text $recent) Last Result : 3\r\n" \
  "-task:Failed Job" -timeframe:60
check "exit code with the top bit set, unsigned" 1 \
  "ScriptRes:Bad:$(date_text $recent) Last Result : 3221225477\r\n" \
  "-task:Crashed Job" -timeframe:60
check "non-zero exit code ignored" 0 "ScriptRes:Ok:$(date_text $recent)\r\n" \
  "-task:Failed Job" -timeframe:60 -ignoreres
check "unknown task" 1 \
  'ScriptRes:Bad:Cannot find task "No Such Task"; Error Code: 80070002\r\n' \
  "-task:No Such Task" -timeframe:today
check "unreachable computer" 1 \
  'ScriptRes:Bad:Cannot connect to computer: "\\\\nohost.invalid"; Error Code: 80070035\r\n' \
  "-task:Nightly Backup" -timeframe:today -host:nohost.invalid
check "task that never ran" 2 'ScriptRes:Unknown:Invalid argument to date encode\r\n' \
  "-task:Never Ran" -timeframe:today
check "account and password given: the check still completes" 0 \
  "ScriptRes:Ok:$(date_text $recent)\r\n" \
  "-task:Nightly Backup" -timeframe:60 '-user:OFFICE\backup' -pswd:secret
# A help switch first: banner and usage, and nothing after it is parsed.
{
  sed 's/$/\r/' tests/e2e/expected/help_c_locale.out
  printf 'ScriptRes:Unknown:TimeFrame is required\r\n'
} >"$out.want"
wine_run "$out" "$bin/runwarden.exe" '/?' "-task:Nightly Backup" -timeframe:60
expect_status "help switch before a complete check" 2 $?
expect_file "help switch before a complete check" "$out.want" "$out"
long=$(printf 'n%.0s' $(seq 600))
check "600-byte task name refused" 1 \
  "ScriptRes:Bad:Cannot find task \"$long\"; Error Code: 800700CE\\r\\n" \
  "-task:$long" -timeframe:today

# Tasks that only Task Scheduler 2.0 holds (registered through 2.0, so Wine's 1.0 does not
# see them, as current Windows' 1.0 does not). Wine's 2.0 finds them by path but records no
# run: every LastRunTime is "has not run" and LastTaskResult is not implemented, so a task
# found gives the never-ran line, and one found by neither interface the 1.0 line.
task --v2 'Daily Backup'
task --v2 '\Backup\Nightly'
task --v2 '\Backup\Weekly\Full'
task "Both" 0 $recent
task --v2 'Both'
never='ScriptRes:Unknown:Invalid argument to date encode\r\n'
check "2.0 only, in the root" 2 "$never" "-task:Daily Backup" -timeframe:today
check "2.0 only: a leading backslash means the root" 2 "$never" '-task:\Daily Backup' -timeframe:60
check "2.0 only, in a folder" 2 "$never" '-task:\Backup\Nightly' -timeframe:today
check "2.0 only, the folder written without its backslash" 2 "$never" '-task:Backup\Nightly' \
  -timeframe:today -ignoreres
check "2.0 only, two folder levels" 2 "$never" '-task:\Backup\Weekly\Full' -timeframe:yesterday
wine_run "$out" cmd /c 'echo %COMPUTERNAME%'
computer=$(tr -d '\r\n' <"$out")
check "2.0 only, on the computer named by -host:, under an account" 2 "$never" \
  '-task:\Backup\Nightly' -timeframe:today "-host:$computer" '-user:OFFICE\backup' -pswd:secret
check "known to both: 1.0 is asked first" 0 "ScriptRes:Ok:$(date_text $recent)\r\n" \
  -task:Both -timeframe:60
check "a folder that does not exist: the 1.0 line" 1 \
  'ScriptRes:Bad:Cannot find task "\\Nope\\Nightly"; Error Code: 80070003\r\n' \
  '-task:\Nope\Nightly' -timeframe:today
check "no such task in an existing folder: the 1.0 line" 1 \
  'ScriptRes:Bad:Cannot find task "\\Backup\\Nope"; Error Code: 80070003\r\n' \
  '-task:\Backup\Nope' -timeframe:today
check "a folder is no task: the 1.0 line" 1 \
  'ScriptRes:Bad:Cannot find task "\\Backup"; Error Code: 80070002\r\n' \
  '-task:\Backup' -timeframe:today
japanese check "2.0 only, a double-byte path" 2 "$never" '-task:\表示\予定' -timeframe:today
japanese check "a double-byte path found by neither: its code page 932 bytes" 1 \
  'ScriptRes:Bad:Cannot find task "\\\x95\\\x8e\xa6\\\x97\\"; Error Code: 80070003\r\n' \
  '-task:\表示\予' -timeframe:today

# A command line as typed at a prompt: the quotes sit inside the argument.
batch=$WINEPREFIX/drive_c/quoted_task.bat
exe="Z:$(realpath "$bin/runwarden.exe" | tr / '\\')"
printf '@"%s" -task:"Nightly Backup" -timeframe:60\r\n@exit /b %%ERRORLEVEL%%\r\n' "$exe" >"$batch"
wine_run "$out" cmd /c 'C:\quoted_task.bat'
expect_status "task name with a blank in double quotes" 0 $?
expect_bytes "task name with a blank in double quotes" \
  "ScriptRes:Ok:$(date_text $recent)\r\n" "$out"

# Many tasks in one check: -task: with * and ?, or a folder with a trailing backslash. A
# window of 3000 minutes holds every run made above, wherever midnight falls. The copies
# tell the name order: Wine lists them alpha, Beta, Broken, _x; byte order is Beta, Broken,
# _x, alpha; the report's order is ASCII case-insensitive. A task file that the scheduler
# cannot read fails on its own, with the reason a check of it alone gives.
task "Beta Copy" 2 $recent
task "_x Copy" 0 $old
task "alpha Copy" 1 $recent
tasks=$WINEPREFIX/drive_c/windows/tasks
printf 'no task' >"$tasks/Broken Copy.job"
wide=-timeframe:3000
# Within ten minutes after midnight, today's midnight run is later than the recent ones.
latest=$recent
[[ $midnight > $recent ]] && latest=$midnight
# many NAME STATUS SUMMARY ARGS...: the check gives "ScriptRes:<its status>:SUMMARY".
many() {
  local name=$1 status=$2 summary=$3 prefix
  shift 3
  case $status in 0) prefix=Ok ;; 1) prefix=Bad ;; *) prefix=Unknown ;; esac
  check "$name" "$status" "ScriptRes:$prefix:$summary\r\n" "$@"
}
many "pattern, mixed outcomes: the failed ones only" 1 \
  "5 tasks matched, 3 failed; Crashed Job: $(date_text $recent) Last Result : 3221225477; Failed Job: $(date_text $recent) Last Result : 3; Stale Job: $(date_text $old) Last Result : 3" \
  '-task:*Job' $wide
many "pattern, all Ok: latest and earliest; a leading backslash, any case" 0 \
  "5 tasks matched, 0 failed; latest $(date_text $latest), earliest $(date_text $yesterday)" \
  '-task:\*jOB' $wide -ignoreres
many "? is one character; one task" 0 \
  "1 task matched, 0 failed; latest $(date_text $midnight), earliest $(date_text $midnight)" \
  '-task:M?DNIGHT job' $wide
many "Bad over Unknown" 1 \
  "2 tasks matched, 2 failed; Crashed Job: $(date_text $recent) Last Result : 3221225477; Never Ran: Invalid argument to date encode" \
  '-task:*RA*' $wide
many "Unknown when none is Bad" 2 \
  "2 tasks matched, 1 failed; Never Ran: Invalid argument to date encode" '-task:n*' $wide
many "name order, ASCII case-insensitive" 1 \
  "4 tasks matched, 4 failed; _x Copy: $(date_text $old); alpha Copy: $(date_text $recent) Last Result : 1; Beta Copy: $(date_text $recent) Last Result : 2; Broken Copy: Cannot find task \"Broken Copy\"; Error Code: 8004130E" \
  '-task:*copy' -timeframe:60
japanese task '予定' never
japanese many "a double-byte name: ? is one character, the name in code page 932" 2 \
  '1 task matched, 1 failed; \x97\\\x92\xe8: Invalid argument to date encode' '-task:?定' $wide
many "? needs a character: nothing matches" 1 \
  'Cannot find task "Failed Job?"; Error Code: 80070002' '-task:Failed Job?' $wide
# Wine's 2.0 GetTasks gives a collection whose Count and Item answer E_NOTIMPL: its root
# and folder tasks cannot be listed, so only 1.0 tasks take part here; a folder that
# exists gives the code of its list (80004001), one that does not the folder's 80070003.
many "known to both: counted once" 0 \
  "1 task matched, 0 failed; latest $(date_text $recent), earliest $(date_text $recent)" \
  '-task:Bo?h' $wide
many "2.0 root tasks in a root pattern" 1 \
  'Cannot find task "Daily*"; Error Code: 80070002' '-task:Daily*' $wide
many "2.0 folder, a pattern" 1 \
  'Cannot find task "\\Backup\\*"; Error Code: 80004001' '-task:\Backup\*' $wide
many "2.0 folder, every task in it" 1 \
  'Cannot find task "\\Backup\\"; Error Code: 80004001' '-task:\Backup\' $wide
many "a folder that does not exist" 1 \
  'Cannot find task "\\Nope\\*"; Error Code: 80070003' '-task:\Nope\*' $wide

# The later keys, against 1.0 tasks whose recorded state is written into their files: exit
# codes, the disabled flag, a status, a running instance, a daily trigger six hours ahead
# (a task without one has no valid trigger: not scheduled).
daily="daily=$(date -d '+6 hours' '+%H:%M')"
task "Code Five" 5 $recent "$daily"
task "Code Eight" 8 $recent "$daily"
task "Code Sched" 0x8004131F $recent "$daily"
task "State Daily" 0 $recent "$daily"
task "State Off" 3 $recent "$daily" flags=4
task "State Plain" 0 $recent
task "State Ended" 0 $recent "$daily" status=0x41304
ok_recent="ScriptRes:Ok:$(date_text $recent)\r\n"
check "-okcodes: a listed code" 0 "$ok_recent" "-task:Code Five" $wide -okcodes:5
check "-okcodes: a code outside the list" 1 \
  "ScriptRes:Bad:$(date_text $recent) Last Result : 5\r\n" "-task:Code Five" $wide -okcodes:0-4,6-7
many "-okcodes: every task of a pattern, a scheduler code in hexadecimal" 0 \
  "3 tasks matched, 0 failed; latest $(date_text $recent), earliest $(date_text $recent)" \
  '-task:Code *' $wide -okcodes:5,8,0x8004131F
many "-okcodes: the unsigned code that Last Result shows" 1 \
  "3 tasks matched, 1 failed; Code Sched: $(date_text $recent) Last Result : 2147750687" \
  '-task:Code *' $wide -okcodes:5,8
check "-okcodes: a list that is not valid" 2 'ScriptRes:Unknown:Invalid exit code list specified\r\n' \
  "-task:Code Five" $wide -okcodes:5-3
check "-checkstate: scheduled" 0 "$ok_recent" "-task:State Daily" $wide -checkstate
check "-checkstate: the disabled flag" 1 "ScriptRes:Bad:$(date_text $recent) State : disabled\r\n" \
  "-task:State Off" $wide -checkstate -okcodes:3
check "-checkstate: the exit code first" 1 \
  "ScriptRes:Bad:$(date_text $recent) Last Result : 3\r\n" "-task:State Off" $wide -checkstate
check "-checkstate: no valid trigger" 1 \
  "ScriptRes:Bad:$(date_text $recent) State : not scheduled\r\n" "-task:State Plain" $wide -checkstate
check "-checkstate: no more runs" 1 "ScriptRes:Bad:$(date_text $recent) State : no next run\r\n" \
  "-task:State Ended" $wide -checkstate
check "without -checkstate a disabled task is judged by its run" 0 "$ok_recent" \
  "-task:State Off" $wide -okcodes:3
# Half a minute from the next whole minute either way, for the time the checks take.
started=$(when '-119 minutes -30 seconds')
task "State Running" 0 $started "$daily" status=0x41301 instances=1
check "-maxrun: running longer" 1 \
  "ScriptRes:Bad:$(date_text $started) State : running for 119 minutes\r\n" \
  "-task:State Running" $wide -maxrun:60
check "-maxrun: running within it" 0 "ScriptRes:Ok:$(date_text $started)\r\n" \
  "-task:State Running" $wide -maxrun:120
check "-maxrun: not a positive number" 2 \
  'ScriptRes:Unknown:Invalid max run time specified. Max run time should be a positive number of minutes\r\n' \
  "-task:State Running" $wide -maxrun:0
check "-warnframe: the default form is unchanged" 0 "$ok_recent" "-task:State Daily" $wide -warnframe:5
check "-warnframe: no time frame" 2 \
  'ScriptRes:Unknown:Invalid warn frame specified. Warn frame should be minutes or a time frame keyword\r\n' \
  "-task:State Daily" $wide -warnframe:soon
# Folder trees: Wine's 2.0 lists the folders of a folder but not its tasks, so every 2.0
# folder of a tree is an entry that could not be listed (80004001), each by its path (the
# double-byte folder made above in code page 1252, where it has no characters), after the
# 1.0 tasks of the root.
task --v2 '\Company\Sub\Deep'
unlisted() {
  local folder
  for folder; do printf '; %s: Cannot list folder "%s"; Error Code: 80004001' "$folder" "$folder"; done
}
many "a tree whose folders cannot be listed, and no task" 1 \
  'Cannot find task "\\Company\\**"; Error Code: 80004001' '-task:\Company\**' $wide
many "the whole tree from the root: the 1.0 tasks and every 2.0 folder" 1 \
  "9 tasks matched, 6 failed$(unlisted '\\' '\\Backup\\' '\\Backup\\Weekly\\' '\\Company\\' \
    '\\Company\\Sub\\' '\\??\\')" '-task:\**\Code *' $wide -okcodes:5,8,0x8004131F

# Windows names files without regard to case, so a task file may end in .JOB; the task is
# still the one that -task: names. Last, so that no pattern above meets it.
task "Upper Case" 0 $recent
mv "$tasks/Upper Case.job" "$tasks/Upper Case.JOB"
check "a task file ending in .JOB, alone" 0 "ScriptRes:Ok:$(date_text $recent)\r\n" \
  "-task:Upper Case" $wide
many "a task file ending in .JOB, in a pattern: the task's name" 0 \
  "1 task matched, 0 failed; latest $(date_text $recent), earliest $(date_text $recent)" \
  '-task:upper*' $wide

# A name outside the system's code page (1252 here): the task is read by its own UTF-16
# name and reported as the code page writes it (a best fit: Ω as O). Wine reads Linux file
# names as UTF-8 only under a UTF-8 locale.
cp "$tasks/Failed Job.job" "$tasks/Ω Job.job"
LC_ALL=C.UTF-8 many "a name outside the code page" 1 \
  "1 task matched, 1 failed; O Job: $(date_text $recent) Last Result : 3" '-task:? Job' $wide

finish
