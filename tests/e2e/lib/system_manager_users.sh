# Accounts of the system manager test bed (tests/e2e/lib/system_manager.sh sources this):
# accounts in the bed's own password database, commands run as them, and with
# `sysbed_init --logind` systemd-logind, user@.service and lingering, so that a user gets a
# running user manager (/run/user/UID/systemd/private) as on a real machine.
#
# The bed's /etc/passwd, group and shadow are copies of the machine's in $SYSBED_DIR/etc,
# bound over the originals inside the bed only; they are changed in place (never replaced),
# so that the change shows through the binds at once. Homes are /home/NAME inside the bed.
# A user manager reads only the user's own units (~/.config/systemd/user), the basic targets
# and the user's bus (dbus-user-session), not the machine's other user units.

# sysbed_free_id FILE FIRST: the first numeric id from FIRST on that no line of FILE (passwd
# or group) uses.
sysbed_free_id() {
  local id=$2
  while cut -d: -f3 "$1" | grep -qx "$id"; do id=$((id + 1)); done
  echo "$id"
}

# sysbed_uid NAME, sysbed_gid GROUP: ids in the bed's databases.
sysbed_uid() { awk -F: -v n="$1" '$1 == n { print $3 }' "$SYSBED_DIR/etc/passwd"; }
sysbed_gid() { awk -F: -v n="$1" '$1 == n { print $3 }' "$SYSBED_DIR/etc/group"; }

# sysbed_account NAME [GROUP...]: an unprivileged account with its own group and home
# (/home/NAME), also a member of each GROUP (e.g. systemd-journal); none by default, so it
# cannot read the system journal. Prints its uid.
sysbed_account() {
  local name=$1 d=$SYSBED_DIR uid group members
  shift
  if [[ -n $(sysbed_uid "$name") ]]; then
    echo "FAIL: the bed has an account $name already" >&2
    return 1
  fi
  uid=$(sysbed_free_id "$d/etc/passwd" 4000)
  while [[ -n $(awk -F: -v id="$uid" '$3 == id' "$d/etc/group") ]]; do
    uid=$(sysbed_free_id "$d/etc/passwd" $((uid + 1)))
  done
  echo "$name:x:$uid:$uid:test account:/home/$name:/bin/sh" >>"$d/etc/passwd"
  echo "$name:$uid:" | sed 's/:/:x:/' >>"$d/etc/group"
  echo "$name:*:19000:0:99999:7:::" >>"$d/etc/shadow"  # "*": no password, not locked
  for group; do
    [[ -n $(sysbed_gid "$group") ]] || { echo "FAIL: no group $group in the bed" >&2; return 1; }
    members=$(awk -F: -v g="$group" -v n="$name" \
      'BEGIN { OFS = ":" } $1 == g { $4 = $4 ? $4 "," n : n } { print }' "$d/etc/group")
    printf '%s\n' "$members" >"$d/etc/group"  # in place: the bind keeps the inode
  done
  mkdir -p "$d/home/$name/.config/systemd/user"
  chown -R "$uid:$uid" "$d/home/$name"
  chmod 700 "$d/home/$name"
  ln -sfn "/home/$name/.config/systemd/user" "$d/user-units/$uid"
  echo "$uid"
}

# sysbed_user_unit NAME UNIT: writes standard input as a unit of that account's user
# manager (~/.config/systemd/user/UNIT; an account of sysbed_account, whose gid is its uid).
sysbed_user_unit() {
  local file=$SYSBED_DIR/home/$1/.config/systemd/user/$2
  mkdir -p "$(dirname "$file")"
  cat >"$file"
  chown -R "$(sysbed_uid "$1"):$(sysbed_uid "$1")" "$SYSBED_DIR/home/$1/.config"
}

# sysbed_user_systemctl NAME ARGS...: systemctl --user as that account, on its manager.
sysbed_user_systemctl() {
  sysbed_run_as "$1" env XDG_RUNTIME_DIR="/run/user/$(sysbed_uid "$1")" \
    systemctl --user --no-pager "${@:2}"
}

# sysbed_linger NAME: enables lingering for the account (kept across reboots in
# /var/lib/systemd/linger); with the manager running, waits until its user manager listens
# on /run/user/UID/systemd/private (at most 10 s). Needs sysbed_init --logind.
sysbed_linger() {
  ((SYSBED_LOGIND)) || { echo "FAIL: sysbed_linger needs sysbed_init --logind" >&2; return 1; }
  if [[ -z $SYSBED_PID ]]; then
    touch "$SYSBED_DIR/var-lib-systemd/linger/$1"
    return 0
  fi
  sysbed_run loginctl enable-linger "$1" || return 1
  sysbed_wait_user_manager "$1"
}

# sysbed_wait_user_manager NAME: until the account's user manager listens (at most 10 s).
sysbed_wait_user_manager() {
  local uid _
  uid=$(sysbed_uid "$1")
  for _ in $(seq 200); do
    sysbed_run test -S "/run/user/$uid/systemd/private" &&
      [[ $(sysbed_show "user@$uid.service" ActiveState) == active ]] && return 0
    sleep 0.05
  done
  echo "FAIL: no user manager for $1 (user@$uid.service: $(sysbed_show "user@$uid.service" \
    ActiveState))" >&2
  return 1
}

# logind, user@.service and what they need: PAM's systemd-user service (the bed's own
# /etc/pam.d, where the machine has none) and the user managers' unit path.
sysbed_write_logind_units() {
  local d=$SYSBED_DIR unit
  cp "$SYSBED_SYSTEM_UNITS/user@.service" "$SYSBED_SYSTEM_UNITS/user-runtime-dir@.service" \
    "$SYSBED_SYSTEM_UNITS/user.slice" "$d/units/" ||
    sysbed_unavailable "user@.service missing in $SYSBED_SYSTEM_UNITS"
  sysbed_unit systemd-logind.service <<'EOF'
[Unit]
Wants=dbus.socket
After=dbus.socket dbus.service user.slice
[Service]
Type=dbus
BusName=org.freedesktop.login1
ExecStart=/usr/lib/systemd/systemd-logind
FileDescriptorStoreMax=512
Restart=always
RuntimeDirectory=systemd/sessions systemd/seats systemd/users systemd/inhibit systemd/shutdown
RuntimeDirectoryPreserve=yes
EOF
  sysbed_enable systemd-logind.service
  printf '[Service]\nEnvironment=%s\n' \
    "SYSTEMD_UNIT_PATH=$d/user-units/%i:$d/user-base:/run/user/%i/systemd/transient \
SYSTEMD_GENERATOR_PATH=/nonexistent SYSTEMD_ENVIRONMENT_GENERATOR_PATH=/nonexistent" |
    sysbed_unit user@.service.d/runwarden-sysbed.conf
  # The basic targets, and the user's bus (dbus-user-session), as a user manager has them.
  for unit in default.target basic.target paths.target sockets.target timers.target \
    shutdown.target exit.target systemd-exit.service session.slice dbus.socket dbus.service; do
    cp "$SYSBED_USER_UNITS/$unit" "$d/user-base/" 2>/dev/null ||
      sysbed_unavailable "$unit missing in $SYSBED_USER_UNITS"
  done
  mkdir -p "$d/user-base/sockets.target.wants"
  ln -s ../dbus.socket "$d/user-base/sockets.target.wants/dbus.socket"
  cp -a /etc/pam.d "$d/etc/pam.d"
  [[ -e $d/etc/pam.d/systemd-user ]] || printf '%s\n' \
    'account required pam_unix.so' \
    'session required pam_unix.so' \
    'session optional pam_systemd.so' >"$d/etc/pam.d/systemd-user"
}
