#!/usr/bin/env bash
# The Windows build under Wine and the Linux build write the same date and time texts for
# the same regional settings. For each locale the Windows locale probe records what Wine's
# locale functions answer and the texts it makes with them; the Linux probe replays those
# answers and must write the very same file. A few texts are also checked directly, so
# that a locale Wine does not know cannot pass unnoticed.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh

root=$PWD
windows_probe=$root/build/windows/runwarden_locale_probe.exe
linux_probe=$root/build/linux/runwarden_locale_probe
require_built "$windows_probe" "$linux_probe"

wine_start
work=$WINEPREFIX/probe  # removed with the prefix
mkdir -p "$work"
cd "$work" || exit 1

# probe NAME LC_ALL: runs both probes, compares them; leaves NAME.windows for more checks.
probe() {
  local name=$1 locale=$2
  # Through env: the shell itself need not know the locale.
  env LC_ALL="$locale" timeout 60 "$WINE64" "$windows_probe" "$name.windows" >"$name.out" 2>&1
  expect_status "$name: Windows probe" 0 $?
  "$linux_probe" "$name.linux" "$name.windows"
  expect_status "$name: Linux replay" 0 $?
  expect_file "$name: Linux replay of Wine's answers" "$name.windows" "$name.linux"
}

# expect_line NAME LINE: the Windows probe's file holds exactly this line.
expect_line() {
  checks=$((checks + 1))
  if ! grep -qxF -- "$2" "$1.windows"; then
    echo "FAIL $1: no line $2"
    grep -F -- "${2%\"*\"}" "$1.windows" | head -n 3
    failures=$((failures + 1))
  fi
}

afternoon='text 2026-12-06T15:04:05.250 DateTimeText'
midnight='text 2026-12-06T00:00:00.400 DateTimeText'

probe en_US en_US.UTF-8
expect_line en_US "$afternoon \"12/6/2026 3:04:05 PM\""
expect_line en_US "$midnight \"12/6/2026\""

probe de_DE de_DE.UTF-8
expect_line de_DE "$afternoon \"6.12.2026 15:04:05\""
expect_line de_DE 'text 2026-12-06T15:04:05.250 "dddd, d. mmmm yyyy" "Sonntag, 6. Dezember 2026"'

# Code page 932: the trail byte N of the year character in the long date is no element.
probe ja_JP ja_JP.UTF-8
expect_line ja_JP "$afternoon \"2026/12/6 15:04:05\""
expect_line ja_JP 'setting LeadBytes 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC'
expect_line ja_JP 'text 2026-12-06T15:04:05.250 "dddddd" "2026\x94N12\x8C\x8E6\x93\xFA\x93\xFA\x97j\x93\xFA"'

# Chinese, sub-language 1: one g is the third and fourth character of the era name; the
# 12-hour marker goes in front.
probe zh_TW zh_TW.UTF-8
expect_line zh_TW "$afternoon \"2026/12/6 \\xA4U\\xA4\\xC8 3:04:05\""

probe ko_KR ko_KR.UTF-8
expect_line ko_KR "$afternoon \"2026. 12. 6. PM 3:04:05\""

# An era calendar (type 3) set in the user's regional settings rewrites the date patterns.
env LC_ALL=ja_JP.UTF-8 timeout 60 "$WINE64" reg add 'HKCU\Control Panel\International' \
  /v iCalendarType /t REG_SZ /d 3 /f >/dev/null 2>&1
probe ja_JP_era ja_JP.UTF-8
expect_line ja_JP_era 'setting ShortDatePattern "eeee/M/d"'

finish
