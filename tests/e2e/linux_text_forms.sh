#!/usr/bin/env bash
# The Linux build takes its regional settings from the process's time locale (LC_ALL,
# LC_TIME, LANG). The locales are compiled into a private directory (LOCPATH), so the test
# needs no system-wide locale; the locale probe writes the texts of fixed values.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh

probe_program=$PWD/build/linux/runwarden_locale_probe
require_built "$probe_program"
require_tool localedef
if [[ ! -e /usr/share/i18n/locales/de_DE ]]; then
  [[ ${CI:-} == true ]] && { echo "FAIL: locale sources (package locales) are required in CI"; exit 1; }
  echo "SKIP ${0##*/}: no locale sources (package locales)"
  exit 0
fi

work=$(mktemp -d /tmp/runwarden-locales.XXXXXX)
trap 'rm -rf "$work"' EXIT
for locale in de_DE en_US ja_JP; do
  localedef -i "$locale" -f UTF-8 "$work/$locale.UTF-8" 2>/dev/null ||
    { echo "FAIL: localedef $locale"; exit 1; }
done

# probe NAME VAR=VALUE...: the probe's file for that environment, in NAME.txt.
probe() {
  local name=$1
  shift
  env -u LC_ALL -u LC_TIME -u LANG LOCPATH="$work" "$@" "$probe_program" "$work/$name.txt"
  expect_status "$name: probe" 0 $?
}

# expect_text NAME LABEL TEXT: the probe's text of the value LABEL by DateTimeText.
expect_text() {
  checks=$((checks + 1))
  local line
  line=$(grep -F "text $2 DateTimeText " "$work/$1.txt")
  if [[ $line != "text $2 DateTimeText \"$3\"" ]]; then
    echo "FAIL $1 $2: $line, expected \"$3\""
    failures=$((failures + 1))
  fi
}

# Without a locale every value takes its default.
for setting in "" LC_ALL=C LC_ALL=POSIX LC_ALL=C.UTF-8 LC_ALL=xx_XX.UTF-8 "LC_ALL=C LANG=de_DE.UTF-8"; do
  name="defaults${setting:+ $setting}"
  # shellcheck disable=SC2086 # the setting is one or more words
  probe "$name" $setting
  expect_text "$name" 2026-12-06T15:04:05.250 "12/6/26 3:04:05 pm"
  expect_text "$name" 2026-12-06T00:00:00.000 "12/6/26"
  expect_text "$name" 2026-12-06T00:00:00.400 "12/6/26"
  expect_text "$name" 2026-12-06T00:00:01 "12/6/26 12:00:01 am"
  expect_text "$name" 2026-12-06T12:30:00 "12/6/26 12:30:00 pm"
done

for setting in LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 "LC_TIME=de_DE.UTF-8 LANG=C"; do
  name="German ($setting)"
  # shellcheck disable=SC2086
  probe "$name" $setting
  expect_text "$name" 2026-12-06T15:04:05.250 "06.12.2026 15:04:05"
  expect_text "$name" 2026-12-06T00:00:01 "06.12.2026 00:00:01"
done
checks=$((checks + 1))
grep -qxF 'text 2026-12-06T15:04:05.250 "dddd, d. mmmm yyyy" "Sonntag, 6. Dezember 2026"' \
  "$work/German (LANG=de_DE.UTF-8).txt" || { echo "FAIL German names"; failures=$((failures + 1)); }

probe English LC_ALL=en_US.UTF-8
expect_text English 2026-12-06T15:04:05.250 "12/06/2026 03:04:05 PM"
expect_text English 2026-12-06T00:00:01 "12/06/2026 12:00:01 AM"
expect_text English 2026-12-06T00:00:00.400 "12/06/2026"

probe Japanese LC_ALL=ja_JP.UTF-8
expect_text Japanese 2026-12-06T15:04:05.250 '2026\xE5\xB9\xB412\xE6\x9C\x8806\xE6\x97\xA5 15:04:05'

finish
