#!/usr/bin/env bash
# The calendar engine against systemd's own calendar arithmetic: for each row, the elapses
# that `systemd-analyze calendar` gives from a base time in a zone are handed with its
# normalised form to calendar_oracle_probe, which asks the engine for the previous elapse
# at each of them and just before the next. The rows: the examples of systemd.time(7),
# daylight-saving days in Europe and in southern zones, leap days, "~" days, repetitions.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
require_built build/linux/calendar_oracle_probe
require_tool systemd-analyze

# ZONE|BASE (in ZONE)|ITERATIONS|EXPRESSION
rows=$(cat <<'ROWS'
UTC|2002-12-01 00:00:00|8|2003-03-05 05:40
UTC|2002-12-01 00:00:00|8|2003-03-05 05:40 UTC
UTC|2002-12-01 00:00:00|8|2003-02..04-05
UTC|2002-12-01 00:00:00|8|2003-03-05
UTC|2011-12-01 00:00:00|12|Mon,Sun 12-*-* 2,1:23
UTC|2011-12-01 00:00:00|12|Wed..Sat,Tue 12-10-16 1:2:3
Europe/Berlin|2024-01-10 10:00:00|12|Sat,Thu,Mon..Wed,Sat..Sun
Europe/Berlin|2024-01-10 10:00:00|12|Wed *-1
Europe/Berlin|2024-01-10 10:00:00|12|Wed..Wed,Wed *-1
Europe/Berlin|2024-01-10 10:00:00|12|Wed, 17:48
Europe/Berlin|2024-01-10 10:00:00|12|*-*-7 0:0:0
Europe/Berlin|2024-01-10 10:00:00|5|10-15
Europe/Berlin|2024-01-10 10:00:00|12|monday *-12-* 17:00
Europe/Berlin|2024-01-10 10:00:00|20|Mon,Fri *-*-3,1,2 *:30:45
Europe/Berlin|2024-01-10 10:00:00|20|12,14,13,12:20,10,30
Europe/Berlin|2024-01-10 10:00:00|20|12..14:10,20,30
Europe/Berlin|2024-01-10 10:00:00|20|mon,fri *-1/2-1,3 *:30:45
Europe/Berlin|2024-01-10 10:00:00|5|03-05 08:05:40
Europe/Berlin|2024-01-10 10:00:00|8|08:05:40
Europe/Berlin|2024-01-10 10:00:00|8|05:40
Europe/Berlin|2024-01-10 10:00:00|8|Sat,Sun 12-05 08:05:40
Europe/Berlin|2024-01-10 10:00:00|8|Sat,Sun 08:05:40
Europe/Berlin|2024-01-10 10:00:00|20|05:40:23.4200004/3.1700005
Europe/Berlin|2024-01-10 10:00:00|30|hourly
Europe/Berlin|2024-01-10 10:00:00|12|daily UTC
Europe/Berlin|2024-01-10 10:00:00|12|monthly
Europe/Berlin|2024-01-10 10:00:00|12|weekly
Europe/Berlin|2024-01-10 10:00:00|12|weekly Pacific/Auckland
Europe/Berlin|2024-01-10 10:00:00|5|yearly
Europe/Berlin|2024-01-10 10:00:00|30|*:2/3
Europe/Berlin|2024-03-30 22:00:00|40|*:0/15
Europe/Berlin|2024-03-25 12:00:00|12|*-*-* 02:30
Europe/Berlin|2024-03-30 23:00:00|20|*-*-* *:30:00
Europe/Berlin|2024-10-26 23:00:00|40|*:0/15
Europe/Berlin|2024-10-20 12:00:00|12|*-*-* 02:30
Europe/Berlin|2024-10-26 22:00:00|40|*:*:0/30
Europe/London|2024-10-26 22:00:00|40|*:0/15 Europe/Berlin
Australia/Sydney|2024-04-06 23:00:00|40|*:0/15
Australia/Sydney|2024-04-01 12:00:00|12|*-*-* 02:30
Australia/Sydney|2024-10-05 23:00:00|40|*:0/15
Australia/Sydney|2024-10-01 12:00:00|12|*-*-* 02:30
America/Santiago|2024-09-07 20:00:00|12|*:0/30
America/Santiago|2024-09-01 12:00:00|12|*-*-* 00:00
America/Santiago|2024-04-06 20:00:00|20|*:0/30
Australia/Lord_Howe|2024-04-06 23:00:00|20|*:0/10
Australia/Lord_Howe|2024-10-05 23:00:00|20|*:0/10
UTC|2023-01-01 00:00:00|6|*-02-29
UTC|2000-01-01 00:00:00|8|Mon *-02-29
UTC|2023-01-01 00:00:00|6|*-02~01
UTC|2023-01-01 00:00:00|14|*-*~03
UTC|2023-01-01 00:00:00|14|*-05~07/1
UTC|2023-01-01 00:00:00|6|Mon *-05~07/1
UTC|2023-01-01 00:00:00|12|*-*~01..03 12:00
UTC|2023-01-01 00:00:00|12|2024..2030-*-* 12:00
UTC|2023-01-01 00:00:00|12|*-1..3/2-1..20/5 4..20/8:0/30:10
UTC|2023-01-01 00:00:00|12|*-*-31
UTC|2023-01-01 00:00:00|30|*:*:*
America/New_York|2024-03-09 23:00:00|20|*:0/15 UTC
ROWS
)

output=$(mktemp)
while IFS='|' read -r zone base iterations event; do
  checks=$((checks + 1))
  if ! TZ=$zone systemd-analyze calendar --base-time="$base" --iterations="$iterations" \
      "$event" >"$output" 2>&1; then
    echo "FAIL $zone '$event': systemd-analyze failed:"; cat "$output"
    failures=$((failures + 1))
    continue
  fi
  if ! TZ=$zone timeout 20 build/linux/calendar_oracle_probe <"$output" >"$output.result"; then
    echo "FAIL $zone from $base, '$event':"; cat "$output.result"
    failures=$((failures + 1))
  fi
done <<<"$rows"
rm -f "$output" "$output.result"
finish
