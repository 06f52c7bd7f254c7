#!/usr/bin/env bash
# The timer data that the Linux scheduler objects read of a task, against the private
# systemd manager's own properties: calendar and monotonic settings, delays, the moments
# the monotonic settings count from, a service read through the timers that trigger it, a
# plain service, and the latest start those give. Then the same through the real sshd
# with the manager in another zone than the check: the remote zone comes with the data.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/systemd.sh
source tests/e2e/lib/sshd.sh
testbed_enter "$@"
require_built build/linux/timer_schedule_probe

export TZ=UTC
probe=$PWD/build/linux/timer_schedule_probe

testbed_oneshot rw-cal.service /bin/true
printf '[Timer]\nOnCalendar=*:0/15\nOnCalendar=Mon 08:00 Europe/Berlin\nRandomizedDelaySec=30s\nAccuracySec=1ms\n' |
  testbed_unit rw-cal.timer
testbed_oneshot rw-target.service /bin/true
printf '[Timer]\nOnActiveSec=1s\nOnUnitActiveSec=1d\nOnUnitInactiveSec=2h\nOnBootSec=1h\nOnStartupSec=2min\nAccuracySec=1ms\nUnit=rw-target.service\n' |
  testbed_unit rw-mono.timer
testbed_oneshot rw-plain.service /bin/true
testbed_oneshot rw-local.service /bin/true
printf '[Timer]\nOnCalendar=*-*-* 03:00\n' | testbed_unit rw-local.timer
# The manager runs in a zone of its own: a remote check reads it from the manager.
TZ=Pacific/Auckland testbed_start
tb_systemctl start rw-cal.timer rw-mono.timer rw-local.timer
testbed_wait_finished rw-target.service

property() { testbed_property "$@"; }
manager() {
  busctl --user get-property org.freedesktop.systemd1 /org/freedesktop/systemd1 \
    org.freedesktop.systemd1.Manager "$1" | cut -d' ' -f2-
}
start=$(manager UserspaceTimestamp)
# In a container the boot of a timer is its manager's start, as the manager counts it.
boot=$((start - $(manager UserspaceTimestampMonotonic)))
case $(manager Virtualization | tr -d '"') in
  openvz | lxc | lxc-libvirt | systemd-nspawn | docker | podman | rkt | wsl | proot | pouch) boot=$start ;;
esac
# A moment as the probe prints it: 0 for unset.
moment() { local v; v=$(property "$@"); echo "${v:-0}"; }
mono_activated=$(moment rw-mono.timer Unit InactiveExitTimestamp)
mono_trigger=$(moment rw-mono.timer Timer LastTriggerUSec)
target_active=$(moment rw-target.service Unit InactiveExitTimestamp)
target_inactive=$(moment rw-target.service Unit InactiveEnterTimestamp)
cal_activated=$(moment rw-cal.timer Unit InactiveExitTimestamp)

# The latest start the probe gives for rw-mono: its activation plus 1 s (OnActiveSec), its
# last elapse, or a later one of its other settings.
latest=$((mono_activated + 1000000))
for candidate in "$mono_trigger" $((boot + 3600000000)) $((start + 120000000)); do
  ((candidate <= $(date +%s%6N) && candidate > latest)) && latest=$candidate
done

expected=$(mktemp)
actual=$(mktemp)
# compare NAME: the probe's lines against the expected ones, the difference shown.
compare() {
  diff -u "$expected" "$actual"
  expect_file "$1" "$expected" "$actual"
}
cal_block() {
  printf '%s\n' "timer rw-cal.timer zone $1" "calendar Mon *-*-* 08:00:00 Europe/Berlin" \
    "calendar *-*-* *:00/15:00" "delays 30000000 1000" \
    "moments $boot $start $cal_activated 0 0 0"
}
{
  echo "rw-cal.timer timers 1"
  cal_block -
  echo "start start $(($(date +%s) / 900 * 900 - 900))000000"
  echo "rw-cal.service timers 1"
  cal_block -
  echo "start start $(($(date +%s) / 900 * 900 - 900))000000"
  echo "rw-mono.timer timers 1"
  echo "timer rw-mono.timer zone -"
  tb_systemctl show -P TimersMonotonic rw-mono.timer >/dev/null
  busctl --user --json=short get-property org.freedesktop.systemd1 \
    "$(busctl --user call org.freedesktop.systemd1 /org/freedesktop/systemd1 \
      org.freedesktop.systemd1.Manager LoadUnit s rw-mono.timer | cut -d'"' -f2)" \
    org.freedesktop.systemd1.Timer TimersMonotonic |
    grep -oE '\["On[A-Za-z]+",[0-9]+' | tr -d '["' | tr ',' ' ' | sed 's/^/monotonic /'
  echo "delays 0 1000"
  echo "moments $boot $start $mono_activated $mono_trigger $target_active $target_inactive"
  echo "start start $latest"
  echo "rw-plain.service timers 0"
  echo "start no-time-schedule 0"
} >"$expected"
# The starts of rw-cal (every quarter hour, grace 15 min) are those at the time of the run.
"$probe" --grace 15 rw-cal.timer rw-cal.service >"$actual"
"$probe" rw-mono.timer rw-plain.service >>"$actual"
compare "timer data read locally"

# Remote: the manager's zone comes along for the expressions without one.
sshd_start
remote=127.0.0.1:$SSHD_PORT
today=$(TZ=Pacific/Auckland date +%F)
three=$(TZ=Pacific/Auckland date -d "$today 03:00" +%s)
(($(date +%s) < three)) && three=$(TZ=Pacific/Auckland date -d "$today 03:00 -1 day" +%s)
printf '%s\n' "rw-local.timer timers 1" "timer rw-local.timer zone Pacific/Auckland" \
  "calendar *-*-* 03:00:00" "delays 0 60000000" \
  "moments $boot $start $(moment rw-local.timer Unit InactiveExitTimestamp) 0 0 0" \
  "start start ${three}000000" >"$expected"
"$probe" --host "$remote" --login monitor rw-local.timer >"$actual"
compare "timer data read remotely, in the manager's zone"
sshd_stop
finish
