# A real systemd SYSTEM manager for end-to-end tests: systemd as PID 1 of new PID, mount
# and UTS namespaces (container mode), in a cgroup of its own, with only the units the test
# writes, its own journald (socket activated, persistent journal) and a system D-Bus daemon.
# The program under test runs inside those namespaces unchanged: the system bus is where
# it expects it (/run/dbus/system_bus_socket), so no environment variable points it there.
#
#   source tests/e2e/lib/common.sh
#   source tests/e2e/lib/system_manager.sh
#   sysbed_init [--logind]       # temporary directory; all stopped when the script ends
#   sysbed_unit NAME <<EOF       # a unit file (also a drop-in: NAME.service.d/x.conf)
#   sysbed_enable NAME...        # started at every boot
#   sysbed_account NAME [GROUP...]  # an unprivileged account (system_manager_users.sh)
#   sysbed_start                 # PID 1 up, bus and journal ready
#   sysbed_run build/linux/runwarden -task:...     # as root inside the namespaces
#   sysbed_run_as NAME COMMAND...                  # as an account
#   sysbed_command [NAME]; expect_run ... "${SYSBED_COMMAND[@]}" build/linux/runwarden ...
#   sysbed_systemctl ARGS, sysbed_journalctl ARGS, sysbed_show UNIT PROPERTY
#   sysbed_wait_finished UNIT, sysbed_wait_active UNIT, sysbed_wait_logged LINE ARGS
#   sysbed_reboot                # a new PID 1 and boot on the same machine
#   sysbed_stop                  # also done by the exit trap
#
# The machine's state lives in $SYSBED_DIR and survives sysbed_reboot, which stops PID 1 and
# boots a new one on the same units, persistent journal (/var/log/journal), /var/lib/systemd
# (linger flags, timer stamps), machine id and accounts, with a new boot id. Inside, /run,
# /var/tmp, /var/log, /var/lib/systemd, /root, /home, /etc/passwd, group and shadow (and
# with --logind /etc/pam.d) are the bed's own; /dev/console and /dev/kmsg are /dev/null, so
# that PID 1 writes to neither the machine's console nor its kernel log. The exit trap stops
# the manager (and with PID 1 every process of its PID namespace ends), removes its cgroup
# and the directory, and fails the script if a process of the bed or its cgroup is left.
# Accounts, logind and user managers: tests/e2e/lib/system_manager_users.sh (sourced here);
# sshd inside the bed: tests/e2e/lib/system_manager_sshd.sh.
#
# Needs root, systemd, dbus-daemon and util-linux; without them the script is skipped, and
# with CI=true that is a failure instead.

SYSBED_PID=
SYSBED_UNSHARE_PID=
SYSBED_PIDNS=
SYSBED_BOOTS=0
SYSBED_LOGIND=0
# Where the distribution keeps its system and user units (copied, never used in place).
SYSBED_SYSTEM_UNITS=/usr/lib/systemd/system
SYSBED_USER_UNITS=/usr/lib/systemd/user

source "$(dirname "${BASH_SOURCE[0]}")/system_manager_users.sh"

sysbed_unavailable() {
  if [[ ${CI:-} == true ]]; then
    echo "FAIL: system manager test bed unavailable: $*" >&2
    exit 1
  fi
  echo "SKIP ${0##*/}: system manager test bed unavailable: $*"
  exit 0
}

# The cgroup hierarchies systemd uses here: the named v1 one and the unified one (hybrid), or
# the unified one alone.
sysbed_cgroup_roots() {
  if [[ $(stat -fc %T /sys/fs/cgroup) == cgroup2fs ]]; then
    echo /sys/fs/cgroup
  else
    local root
    for root in /sys/fs/cgroup/systemd /sys/fs/cgroup/unified; do
      [[ -e $root/cgroup.procs ]] && echo "$root"
    done
  fi
}

# sysbed_init [--logind]: lays out the machine in a new temporary directory ($SYSBED_DIR)
# and sets the exit trap. --logind adds systemd-logind, user@.service and PAM's
# systemd-user, so that a user with lingering gets a running user manager.
sysbed_init() {
  [[ ${1:-} == --logind ]] && SYSBED_LOGIND=1
  [[ $(id -u) -eq 0 ]] || sysbed_unavailable "needs root"
  local tool
  for tool in /usr/lib/systemd/systemd /usr/lib/systemd/systemd-journald /usr/bin/dbus-daemon \
    unshare nsenter setpriv setsid journalctl systemctl systemd-run; do
    command -v "$tool" >/dev/null || sysbed_unavailable "no $tool"
  done
  ((SYSBED_LOGIND)) && { [[ -x /usr/lib/systemd/systemd-logind ]] ||
    sysbed_unavailable "no systemd-logind"; }
  [[ -n $(sysbed_cgroup_roots) ]] || sysbed_unavailable "no writable cgroup hierarchy"
  SYSBED_DIR=$(mktemp -d /tmp/runwarden-sysbed.XXXXXX)
  chmod 711 "$SYSBED_DIR"
  trap sysbed_cleanup EXIT
  SYSBED_CGROUP=runwarden-sysbed-${SYSBED_DIR##*.}
  local d=$SYSBED_DIR
  mkdir -p "$d/units/default.target.wants" "$d/var-log/journal" "$d/var-lib-systemd/linger" \
    "$d/root" "$d/home" "$d/etc" "$d/user-units" "$d/user-base"
  chmod 700 "$d/root"
  touch "$d/var-log/wtmp" "$d/var-log/btmp" "$d/var-log/lastlog"  # PAM and sshd write these
  cp /etc/passwd /etc/group /etc/shadow "$d/etc/"
  grep -q '^systemd-journal:' "$d/etc/group" ||
    echo "systemd-journal:x:$(sysbed_free_id "$d/etc/group" 190):" >>"$d/etc/group"
  # As systemd-tmpfiles lays it out: journal files readable by the systemd-journal group.
  chgrp "$(sysbed_gid systemd-journal)" "$d/var-log/journal"
  chmod 2755 "$d/var-log/journal"
  tr -d - </proc/sys/kernel/random/uuid >"$d/etc/machine-id"  # one machine across reboots
  sysbed_write_units
  ((SYSBED_LOGIND)) && sysbed_write_logind_units
  return 0
}

# sysbed_unit NAME: writes standard input as the unit file NAME (a path below the unit
# directory, so drop-ins too). After sysbed_start, `sysbed_systemctl daemon-reload` loads it.
sysbed_unit() {
  mkdir -p "$(dirname "$SYSBED_DIR/units/$1")"
  cat >"$SYSBED_DIR/units/$1"
}

# sysbed_oneshot NAME EXECSTART: a one-shot service.
sysbed_oneshot() { printf '[Service]\nType=oneshot\nExecStart=%s\n' "$2" | sysbed_unit "$1"; }

# sysbed_enable UNIT...: started at every boot (wanted by default.target).
sysbed_enable() {
  local unit
  for unit; do ln -sf "../$unit" "$SYSBED_DIR/units/default.target.wants/$unit"; done
}

# The fixed part of the machine: targets without dependencies, journald, the journal's
# flush to /var/log/journal and the system bus.
sysbed_write_units() {
  local target
  for target in sysinit basic sockets timers paths slices shutdown time-set time-sync \
    local-fs remote-fs network network-online nss-user-lookup user-sessions multi-user; do
    printf '[Unit]\nDefaultDependencies=no\n' | sysbed_unit "$target.target"
  done
  printf '[Unit]\nDefaultDependencies=no\nWants=%s\n' "systemd-journald.socket \
systemd-journald.service systemd-journal-flush.service dbus.socket dbus.service" |
    sysbed_unit default.target
  cp "$SYSBED_SYSTEM_UNITS/systemd-journald.socket" "$SYSBED_SYSTEM_UNITS/dbus.socket" \
    "$SYSBED_SYSTEM_UNITS/dbus.service" "$SYSBED_SYSTEM_UNITS/systemd-journal-flush.service" \
    "$SYSBED_DIR/units/" || sysbed_unavailable "units missing in $SYSBED_SYSTEM_UNITS"
  # The distribution's journald unit wants the audit socket and a kernel log; this one not.
  sysbed_unit systemd-journald.service <<'EOF'
[Unit]
DefaultDependencies=no
Requires=systemd-journald.socket
After=systemd-journald.socket
[Service]
Type=notify
ExecStart=/usr/lib/systemd/systemd-journald
Sockets=systemd-journald.socket
FileDescriptorStoreMax=4224
RuntimeDirectory=systemd/journal
RuntimeDirectoryPreserve=yes
StandardOutput=null
Restart=always
RestartSec=0
EOF
  printf '%s\n' '[Journal]' Storage=persistent ReadKMsg=no Audit=no ForwardToWall=no \
    ForwardToSyslog=no ForwardToConsole=no ForwardToKMsg=no RateLimitBurst=0 \
    >"$SYSBED_DIR/journald.conf"
}

# sysbed_start: boots PID 1 and waits until its start-up jobs are done (journal flushed to
# /var/log/journal, bus up); at most 20 s.
sysbed_start() {
  local d=$SYSBED_DIR cgroup_root enter_cgroups=
  SYSBED_BOOTS=$((SYSBED_BOOTS + 1))
  cat /proc/sys/kernel/random/uuid >"$d/boot_id.$SYSBED_BOOTS"
  for cgroup_root in $(sysbed_cgroup_roots); do
    mkdir -p "$cgroup_root/$SYSBED_CGROUP" || sysbed_unavailable "cannot make a cgroup"
    enter_cgroups+="echo \$\$ >$cgroup_root/$SYSBED_CGROUP/cgroup.procs && "
  done
  local pam=
  ((SYSBED_LOGIND)) && pam="mount --bind $d/etc/pam.d /etc/pam.d &&"
  # /proc is the namespace's own; a boot id of this boot over the kernel's, as a container
  # manager gives one, so that the journal tells the boots apart.
  setsid unshare --pid --fork --kill-child --mount --uts --propagation private --mount-proc sh -c "
    set -e
    $enter_cgroups :
    mount -t tmpfs -o mode=755 tmpfs /run
    mkdir -p /run/systemd/journald.conf.d
    cp $d/journald.conf /run/systemd/journald.conf.d/zz-runwarden-sysbed.conf
    mount --bind /dev/null /dev/console
    mount --bind /dev/null /dev/kmsg
    mount --bind $d/var-log /var/log
    mount --bind $d/var-lib-systemd /var/lib/systemd
    mount -t tmpfs -o mode=1777 tmpfs /var/tmp
    mount --bind $d/root /root
    mount --bind $d/home /home
    for f in passwd group shadow machine-id; do mount --bind $d/etc/\$f /etc/\$f; done
    $pam :
    mount --bind $d/boot_id.$SYSBED_BOOTS /proc/sys/kernel/random/boot_id
    # Only the bed's units, and those of systemd-run, which must survive a daemon-reload.
    exec env -i container=runwarden-sysbed SYSTEMD_UNIT_PATH=$d/units:/run/systemd/transient \
      SYSTEMD_GENERATOR_PATH=/nonexistent SYSTEMD_ENVIRONMENT_GENERATOR_PATH=/nonexistent \
      PATH=/usr/sbin:/usr/bin:/sbin:/bin /usr/lib/systemd/systemd --log-target=journal
  " </dev/null >>"$d/pid1.log" 2>&1 &
  SYSBED_UNSHARE_PID=$!
  local _ state=
  for _ in $(seq 400); do
    [[ -n $SYSBED_PID ]] || SYSBED_PID=$(pgrep -P "$SYSBED_UNSHARE_PID" -x systemd)
    if [[ -n $SYSBED_PID ]]; then
      [[ -n $SYSBED_PIDNS ]] || SYSBED_PIDNS=$(stat -Lc %i "/proc/$SYSBED_PID/ns/pid")
      state=$(sysbed_run systemctl is-system-running 2>/dev/null)
      [[ $state == running || $state == degraded ]] && return 0
    fi
    kill -0 "$SYSBED_UNSHARE_PID" 2>/dev/null || break
    sleep 0.05
  done
  cat "$d/pid1.log" >&2
  sysbed_unavailable "the system manager did not come up (state: ${state:-none})"
}

# sysbed_command [NAME]: sets SYSBED_COMMAND to the words that run a command inside the
# bed's namespaces, in the current directory, as root or as the account NAME (its uid, gid
# and groups, HOME, USER and LOGNAME), without the bus addresses or runtime directory of the
# caller's environment: `timeout 9 "${SYSBED_COMMAND[@]}" build/linux/runwarden ...`.
sysbed_command() {
  SYSBED_COMMAND=(nsenter -t "$SYSBED_PID" -m -u -p --)
  if [[ -n ${1:-} ]]; then
    local uid gid
    uid=$(sysbed_uid "$1")
    gid=$(awk -F: -v n="$1" '$1 == n { print $4 }' "$SYSBED_DIR/etc/passwd")
    [[ -n $uid ]] || { echo "FAIL: no account $1 in the bed" >&2; return 1; }
    SYSBED_COMMAND+=(setpriv --reuid="$uid" --regid="$gid" --init-groups --)
  fi
  SYSBED_COMMAND+=(env -u DBUS_SYSTEM_BUS_ADDRESS -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR)
  if [[ -n ${1:-} ]]; then
    SYSBED_COMMAND+=(HOME="/home/$1" USER="$1" LOGNAME="$1")
  else
    SYSBED_COMMAND+=(HOME=/root)
  fi
}

# sysbed_run COMMAND...: runs COMMAND as root inside the bed (as sysbed_command).
sysbed_run() { sysbed_command && "${SYSBED_COMMAND[@]}" "$@"; }

# sysbed_run_as NAME COMMAND...: runs COMMAND inside the bed as that account.
sysbed_run_as() { sysbed_command "$1" && "${SYSBED_COMMAND[@]}" "${@:2}"; }

sysbed_systemctl() { sysbed_run systemctl --no-pager "$@"; }
sysbed_journalctl() { sysbed_run journalctl --no-pager "$@"; }

# sysbed_wait_logged LINE JOURNALCTL_ARGS...: until `journalctl -o cat ARGS` shows LINE (a
# whole line), at most 10 s. A service's output comes on a stream of its own and may be
# written after the manager's messages about its end, even after `journalctl --sync`.
sysbed_wait_logged() {
  local _
  for _ in $(seq 100); do
    sysbed_journalctl -o cat "${@:2}" 2>/dev/null | grep -qxF -- "$1" && return 0
    sleep 0.1
  done
  echo "FAIL: [$1] not logged (journalctl ${*:2})" >&2
  return 1
}

# sysbed_show UNIT PROPERTY [SYSTEMCTL_OPTION...]: a property of a unit as the manager gives
# it (e.g. with --timestamp=unix).
sysbed_show() { sysbed_systemctl show -P "$2" "${@:3}" "$1"; }

# sysbed_wait_finished UNIT [SECONDS]: until the unit's last run is over (inactive or failed
# after a start); 10 s unless told.
sysbed_wait_finished() {
  local _ state
  for _ in $(seq $((${2:-10} * 20))); do
    state=$(sysbed_show "$1" ActiveState)
    [[ $state == inactive || $state == failed ]] &&
      [[ $(sysbed_show "$1" ExecMainExitTimestampMonotonic) != 0 ]] && return 0
    sleep 0.05
  done
  echo "FAIL: $1 did not finish (state: $state)" >&2
  return 1
}

# sysbed_wait_active UNIT [SECONDS]: until the unit is active; 10 s unless told.
sysbed_wait_active() {
  local _ state
  for _ in $(seq $((${2:-10} * 20))); do
    state=$(sysbed_show "$1" ActiveState)
    [[ $state == active ]] && return 0
    sleep 0.05
  done
  echo "FAIL: $1 is not active (state: $state)" >&2
  return 1
}

# sysbed_stop_manager: ends PID 1, and with it every process of its namespaces. journald is
# stopped first, so that its files are closed cleanly as at a shutdown; the manager itself
# with `systemctl --force exit` (SIGTERM would make PID 1 execute itself anew). At most 10 s,
# then SIGKILL.
sysbed_stop_manager() {
  [[ -n $SYSBED_UNSHARE_PID ]] || return 0
  if [[ -z $SYSBED_PID ]]; then
    kill -KILL "$SYSBED_UNSHARE_PID" 2>/dev/null  # a PID 1 that never came up: --kill-child
  elif kill -0 "$SYSBED_PID" 2>/dev/null; then
    kill -CONT "$SYSBED_PID"  # in case a test stopped it
    timeout 5 nsenter -t "$SYSBED_PID" -m -p -- \
      systemctl stop systemd-journald.socket systemd-journald.service >/dev/null 2>&1
    timeout 5 nsenter -t "$SYSBED_PID" -m -p -- systemctl --force exit 0 >/dev/null 2>&1
    local _
    for _ in $(seq 100); do
      kill -0 "$SYSBED_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$SYSBED_PID" 2>/dev/null
  fi
  wait "$SYSBED_UNSHARE_PID" 2>/dev/null
  SYSBED_PID=
  SYSBED_UNSHARE_PID=
}

# sysbed_reboot: a new PID 1 and boot id on the same machine (units, journal,
# /var/lib/systemd, accounts). What sysbed_enable named starts again (so does the bed's
# sshd), units started by hand do not; lingering users' managers come up after it returns
# (sysbed_wait_user_manager).
sysbed_reboot() {
  sysbed_stop_manager
  SYSBED_PIDNS=
  sysbed_start
}

# The processes of the machine left in the bed's PID namespace or cgroup.
sysbed_leftovers() {
  local root
  [[ -n $SYSBED_PIDNS ]] && stat -Lc '%i %n' /proc/[0-9]*/ns/pid 2>/dev/null |
    awk -v ns="$SYSBED_PIDNS" '$1 == ns { split($2, path, "/"); print path[3] }'
  for root in $(sysbed_cgroup_roots); do
    [[ -d $root/$SYSBED_CGROUP ]] && find "$root/$SYSBED_CGROUP" -name cgroup.procs -exec cat {} +
  done
}

# sysbed_remove_cgroup: removes the bed's cgroups (innermost first); fails if one stays.
sysbed_remove_cgroup() {
  local root _
  for root in $(sysbed_cgroup_roots); do
    for _ in $(seq 50); do
      [[ -d $root/$SYSBED_CGROUP ]] || break
      find "$root/$SYSBED_CGROUP" -depth -type d -exec rmdir {} + 2>/dev/null
      [[ -d $root/$SYSBED_CGROUP ]] && sleep 0.1
    done
    [[ ! -d $root/$SYSBED_CGROUP ]] || return 1
  done
}

# sysbed_stop: ends the manager, removes its cgroup and directory; fails (with a message)
# if a process of the bed or its cgroup was left. The exit trap runs it too.
sysbed_stop() {
  [[ -n ${SYSBED_DIR:-} ]] || return 0
  local status=0 left
  sysbed_stop_manager
  left=$(sysbed_leftovers)
  if [[ -n $left ]]; then
    echo "FAIL: processes left behind by the system manager test bed:" $left >&2
    xargs -r kill -KILL <<<"$left" 2>/dev/null
    status=1
  fi
  sysbed_remove_cgroup || { echo "FAIL: cgroup $SYSBED_CGROUP left behind" >&2; status=1; }
  rm -rf "$SYSBED_DIR"
  SYSBED_DIR=
  return "$status"
}

sysbed_cleanup() {
  local status=$?
  sysbed_stop || status=1
  exit "$status"
}
